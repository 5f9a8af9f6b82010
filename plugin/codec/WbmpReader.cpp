// Wireless bitmap, type 0: one bit per pixel, 0 black and 1 white.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <vector>

namespace quillon::codec {
namespace {

// Multi-byte integer: seven bits per byte, high bit set on all but the last. More than five
// bytes cannot be a 32-bit size.
bool ReadMultiByte(ByteReader& in, uint32_t* value) {
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) {
        uint8_t b = in.U8();
        if (in.Truncated()) return false;
        v = (v << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) {
            if (v > UINT32_MAX) return false;
            *value = uint32_t(v);
            return true;
        }
    }
    return false;
}

} // namespace

int ReadWbmp(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    uint32_t type = 0, width = 0, height = 0;
    if (!ReadMultiByte(in, &type)) return kCodecBadData;
    uint8_t fixedHeader = in.U8();
    if (!ReadMultiByte(in, &width) || !ReadMultiByte(in, &height)) return kCodecBadData;
    if (type != 0 || fixedHeader != 0 || width == 0 || height == 0) return kCodecBadData;

    if (!FitsBlockLimit(width, height)) return kCodecOutOfMemory;
    const size_t rowBytes = (size_t(width) + 7) / 8;
    if (SatMul(rowBytes, height) > in.Remaining()) return kCodecBadData;
    int code = AllocateRgb(width, height, image);
    if (code != kCodecOk) return code;

    std::vector<uint8_t> row(rowBytes);
    uint8_t* out = image.pixels.get();
    for (uint32_t y = 0; y < height; ++y) {
        if (!in.Read(row.data(), rowBytes)) {
            image = DecodedImage{};
            return kCodecBadData;
        }
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            uint8_t v = (row[x >> 3] >> (7 - (x & 7))) & 1 ? 255 : 0;
            out[0] = out[1] = out[2] = v;
        }
    }
    return kCodecOk;
}

} // namespace quillon::codec
