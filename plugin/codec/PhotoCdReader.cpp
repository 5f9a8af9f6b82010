// Kodak Photo CD image pack: the 768 x 512 base image.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace quillon::codec {
namespace {

constexpr uint32_t kBaseWidth = 768;
constexpr uint32_t kBaseHeight = 512;
constexpr uint64_t kBaseOffset = 0x30000; // after the image pack's header and the two thumbnails

uint8_t Clamp(float v) {
    return uint8_t(std::clamp(v, 0.0f, 255.0f) + 0.5f);
}

// PhotoYCC to RGB with the usual published scale factors and chroma offsets.
void YccToRgb(uint8_t y, uint8_t c1, uint8_t c2, uint8_t* rgb) {
    float l = 1.3584f * y;
    float b = 2.2179f * (float(c1) - 156.0f);
    float r = 1.8215f * (float(c2) - 137.0f);
    rgb[0] = Clamp(l + r);
    rgb[1] = Clamp(l - 0.194f * b - 0.509f * r);
    rgb[2] = Clamp(l + b);
}

} // namespace

int ReadPhotoCd(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    uint8_t mark[3];
    if (!in.Seek(in.Tell() + 2048) || !in.Read(mark, 3)) return kCodecBadData;
    if (std::memcmp(mark, "PCD", 3) != 0) return kCodecBadData;

    // The base image is stored uncompressed, two rows at a time: two luma rows, then one row of
    // each chroma channel at half resolution both ways.
    constexpr size_t kPairBytes = kBaseWidth * 2 + kBaseWidth / 2 * 2;
    if (!in.Seek(kBaseOffset) || in.Remaining() < kPairBytes * (kBaseHeight / 2))
        return kCodecBadData;
    int code = AllocateRgb(kBaseWidth, kBaseHeight, image);
    if (code != kCodecOk) return code;

    std::array<uint8_t, kPairBytes> pair{};
    uint8_t* pixels = image.pixels.get();
    for (uint32_t y = 0; y < kBaseHeight; y += 2) {
        if (!in.Read(pair.data(), pair.size())) {
            image = DecodedImage{};
            return kCodecBadData;
        }
        const uint8_t* c1 = pair.data() + 2 * kBaseWidth;
        const uint8_t* c2 = c1 + kBaseWidth / 2;
        for (uint32_t r = 0; r < 2; ++r) {
            const uint8_t* luma = pair.data() + r * kBaseWidth;
            uint8_t* out = pixels + size_t(y + r) * kBaseWidth * 3;
            for (uint32_t x = 0; x < kBaseWidth; ++x)
                YccToRgb(luma[x], c1[x / 2], c2[x / 2], out + 3 * x);
        }
    }
    return kCodecOk;
}

} // namespace quillon::codec
