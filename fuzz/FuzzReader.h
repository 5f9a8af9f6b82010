// Runs one reader of the codec layer on the fuzzer's bytes and checks what it hands back.
#pragma once

#include "codec/Readers.h"

#include <cstddef>
#include <cstdint>

namespace quillon::codec {

inline int FuzzReader(int (*reader)(ImageSource&, DecodedImage&), const uint8_t* data,
                      size_t size) {
    ImageSource* source = SourceFromMemory(data, size);
    if (source == nullptr) return 0;
    DecodedImage image;
    int code = reader(*source, image);
    if (code == kCodecOk) {
        if (image.pixels == nullptr || image.width < 1 || image.height < 1) __builtin_trap();
        // Reading every byte lets the sanitizers catch a block smaller than its size says.
        const uint8_t* p = image.pixels.get();
        uint8_t sum = 0;
        for (size_t i = 0, n = size_t(image.width) * size_t(image.height) * 3; i < n; ++i)
            sum ^= p[i];
        asm volatile("" : : "r"(sum));
    } else if (image.pixels != nullptr) {
        __builtin_trap();
    }
    CloseImageSource(source);
    return 0;
}

} // namespace quillon::codec
