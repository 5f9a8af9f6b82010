// Recognition and the generic reader on a memory source, as the sample loading uses them.
#include "codec/ImageCodec.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace codec = quillon::codec;
    codec::ImageSource* source = codec::SourceFromMemory(data, size);
    if (source == nullptr) return 0;
    int32_t width = 0, height = 0;
    uint8_t* pixels = codec::DecodeImage(source, &width, &height);
    int code = codec::CodecLastError();
    if ((code == codec::kCodecOk) != (pixels != nullptr)) __builtin_trap();
    if (pixels != nullptr) {
        if (width < 1 || height < 1) __builtin_trap();
        uint8_t sum = 0;
        for (size_t i = 0, n = size_t(width) * size_t(height) * 3; i < n; ++i)
            sum ^= pixels[i];
        asm volatile("" : : "r"(sum));
    }
    codec::ReleaseRgbImage(pixels);
    codec::CloseImageSource(source);
    return 0;
}
