// ZSoft PCX: run-length scan lines, plane by plane.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <array>
#include <cstring>
#include <vector>

namespace quillon::codec {
namespace {

constexpr size_t kHeaderBytes = 128;
constexpr size_t kVgaPaletteBytes = 769; // 0x0C, then 256 RGB entries, at the end of the file
constexpr uint8_t kVgaPaletteMark = 0x0C;

} // namespace

int ReadPcx(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    const uint64_t start = in.Tell();
    uint8_t header[kHeaderBytes];
    if (!in.Read(header, sizeof header)) return kCodecBadData;
    auto u16 = [&](size_t at) { return unsigned(header[at] | header[at + 1] << 8); };
    const unsigned bits = header[3];
    const unsigned planes = header[65];
    const unsigned bytesPerLine = u16(66);
    const unsigned xMin = u16(4), yMin = u16(6), xMax = u16(8), yMax = u16(10);
    if (header[0] != 0x0A || header[2] != 1 || xMax < xMin || yMax < yMin)
        return kCodecPcxBadHeader;
    const unsigned width = xMax - xMin + 1;
    const unsigned height = yMax - yMin + 1;
    const unsigned depth = bits * planes;
    if (depth < 1 || depth > 32 || (bits != 1 && bits != 2 && bits != 4 && bits != 8))
        return kCodecPcxBadHeader;
    if (depth > 24) return kCodecPcxUnsupportedDepth;
    // Above 8 bits only three 8-bit planes (red, green, blue) make a picture.
    if (depth > 8 && !(bits == 8 && planes == 3)) return kCodecPcxUnsupportedDepth;
    if (uint64_t(bytesPerLine) * 8 < uint64_t(width) * bits) return kCodecPcxBadHeader;

    // The colour table for pictures of 8 bits or less; entries not set stay black.
    std::array<uint8_t, 256 * 3> table{};
    if (depth == 8 && planes == 1) {
        uint64_t size = in.Size();
        uint8_t mark = 0;
        bool hasPalette = size >= start + kHeaderBytes + kVgaPaletteBytes &&
                          in.Seek(size - kVgaPaletteBytes) && in.Read(&mark, 1) &&
                          mark == kVgaPaletteMark;
        if (hasPalette) {
            if (!in.Read(table.data(), table.size())) return kCodecBadData;
        } else {
            for (unsigned i = 0; i < 256; ++i)
                table[3 * i] = table[3 * i + 1] = table[3 * i + 2] = uint8_t(i);
        }
        if (!in.Seek(start + kHeaderBytes)) return kCodecBadData;
    } else if (depth == 1) {
        std::memset(&table[3], 255, 3);
    } else if (depth < 8) {
        std::memcpy(table.data(), header + 16, 48);
        for (unsigned i = 16; i < 256; ++i)
            std::memcpy(&table[3 * i], header + 16, 3);
    }

    if (!FitsBlockLimit(width, height)) return kCodecOutOfMemory;
    // A two-byte run yields at most 63 bytes.
    const uint64_t lineBytes = uint64_t(bytesPerLine) * planes;
    if (!CouldHold(lineBytes * height, in.Remaining(), 32)) return kCodecBadData;
    int code = AllocateRgb(width, height, image);
    if (code != kCodecOk) return code;

    std::vector<uint8_t> line(lineBytes);
    uint8_t* pixels = image.pixels.get();
    unsigned runLeft = 0;
    uint8_t runValue = 0;
    for (unsigned y = 0; y < height; ++y) {
        // Runs may carry over from one scan line to the next.
        for (size_t i = 0; i < line.size() && !in.Truncated();) {
            if (runLeft == 0) {
                uint8_t b = in.U8();
                if ((b & 0xC0) == 0xC0) {
                    runLeft = b & 0x3F;
                    runValue = in.U8();
                } else {
                    runLeft = 1;
                    runValue = b;
                }
                continue;
            }
            line[i++] = runValue;
            --runLeft;
        }
        if (in.Truncated()) {
            image = DecodedImage{};
            return kCodecBadData;
        }
        uint8_t* out = pixels + size_t(y) * width * 3;
        if (depth > 8) {
            for (unsigned x = 0; x < width; ++x) {
                for (unsigned c = 0; c < 3; ++c)
                    out[3 * x + c] = line[c * bytesPerLine + x];
            }
            continue;
        }
        const unsigned perByte = 8 / bits;
        const unsigned mask = (1u << bits) - 1;
        for (unsigned x = 0; x < width; ++x) {
            unsigned index = 0;
            unsigned shift = 8 - bits * (1 + x % perByte);
            for (unsigned p = 0; p < planes; ++p) {
                index |= ((line[p * bytesPerLine + x / perByte] >> shift) & mask) << (p * bits);
            }
            std::memcpy(out + 3 * x, &table[3 * index], 3);
        }
    }
    return kCodecOk;
}

} // namespace quillon::codec
