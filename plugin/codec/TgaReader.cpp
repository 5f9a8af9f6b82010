// Truevision TGA: colour-mapped, true-colour and grey pictures, raw or run-length.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <cstring>
#include <vector>

namespace quillon::codec {
namespace {

enum TgaType : uint8_t {
    kMapped = 1,
    kTrue = 2,
    kGrey = 3,
    kRleMapped = 9,
    kRleTrue = 10,
    kRleGrey = 11
};

struct TgaHeader {
    uint8_t idLength, mapType, type;
    uint16_t mapFirst, mapLength;
    uint8_t mapBits;
    uint16_t width, height;
    uint8_t bits, descriptor;
};

uint8_t Scale5(unsigned v) {
    return uint8_t(v * 255 / 31);
}

// One stored colour (map entry or true-colour pixel) of 15, 16, 24 or 32 bits to RGB; alpha and
// the attribute bit are dropped.
void StoredColor(const uint8_t* p, unsigned bits, uint8_t* rgb) {
    if (bits <= 16) {
        unsigned v = p[0] | p[1] << 8;
        rgb[0] = Scale5((v >> 10) & 31);
        rgb[1] = Scale5((v >> 5) & 31);
        rgb[2] = Scale5(v & 31);
    } else {
        rgb[0] = p[2];
        rgb[1] = p[1];
        rgb[2] = p[0];
    }
}

bool ValidColorBits(unsigned bits) {
    return bits == 15 || bits == 16 || bits == 24 || bits == 32;
}

} // namespace

int ReadTga(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    TgaHeader h{};
    h.idLength = in.U8();
    h.mapType = in.U8();
    h.type = in.U8();
    h.mapFirst = in.U16LE();
    h.mapLength = in.U16LE();
    h.mapBits = in.U8();
    in.Skip(4); // origin
    h.width = in.U16LE();
    h.height = in.U16LE();
    h.bits = in.U8();
    h.descriptor = in.U8();
    if (in.Truncated()) return kCodecBadData;

    const uint8_t base = h.type & 7;
    const bool rle = h.type & 8;
    bool supported = false;
    switch (h.type) {
    case kMapped:
    case kRleMapped:
        supported = h.mapType == 1 && (h.bits == 8 || h.bits == 16) && ValidColorBits(h.mapBits);
        break;
    case kTrue:
    case kRleTrue:
        supported = ValidColorBits(h.bits);
        break;
    case kGrey:
    case kRleGrey:
        supported = h.bits == 8 || h.bits == 16;
        break;
    default:
        break;
    }
    if (!supported) return kCodecTgaUnsupported;
    if (h.width == 0 || h.height == 0) return kCodecBadData;

    in.Skip(h.idLength);
    // The colour map is kept at its stored indices; indices outside it are black.
    std::vector<uint8_t> map;
    if (h.mapType == 1) {
        if (!ValidColorBits(h.mapBits)) return kCodecTgaUnsupported;
        const size_t entryBytes = (h.mapBits + 7) / 8;
        std::vector<uint8_t> stored(size_t(h.mapLength) * entryBytes);
        if (!in.Read(stored.data(), stored.size())) return kCodecBadData;
        if (base == kMapped) {
            map.assign((size_t(h.mapFirst) + h.mapLength) * 3, 0);
            for (size_t i = 0; i < h.mapLength; ++i) {
                StoredColor(&stored[i * entryBytes], h.mapBits, &map[(h.mapFirst + i) * 3]);
            }
        }
    }
    if (in.Truncated()) return kCodecBadData;

    if (!FitsBlockLimit(h.width, h.height)) return kCodecOutOfMemory;
    const size_t pixelBytes = (h.bits + 7) / 8;
    const uint64_t count = uint64_t(h.width) * h.height;
    if (rle ? !CouldHold(count, in.Remaining(), 128) : count * pixelBytes > in.Remaining()) {
        return kCodecBadData;
    }
    int code = AllocateRgb(h.width, h.height, image);
    if (code != kCodecOk) return code;

    auto toRgb = [&](const uint8_t* p, uint8_t* rgb) {
        if (base == kGrey) {
            rgb[0] = rgb[1] = rgb[2] = p[0];
        } else if (base == kTrue) {
            StoredColor(p, h.bits, rgb);
        } else {
            size_t index = h.bits == 8 ? p[0] : size_t(p[0] | p[1] << 8);
            if (index * 3 < map.size()) {
                std::memcpy(rgb, &map[index * 3], 3);
            } else {
                rgb[0] = rgb[1] = rgb[2] = 0;
            }
        }
    };

    const bool topFirst = h.descriptor & 0x20;
    const bool rightFirst = h.descriptor & 0x10;
    uint8_t* pixels = image.pixels.get();
    uint8_t stored[4] = {};
    uint8_t rgb[3] = {};
    unsigned packetLeft = 0;
    bool repeat = false;
    for (uint64_t k = 0; k < count; ++k) {
        if (!rle) {
            in.Read(stored, pixelBytes);
            toRgb(stored, rgb);
        } else {
            if (packetLeft == 0) {
                uint8_t packet = in.U8();
                repeat = packet & 0x80;
                packetLeft = (packet & 0x7F) + 1u;
                if (repeat) {
                    in.Read(stored, pixelBytes);
                    toRgb(stored, rgb);
                }
            }
            if (!repeat) {
                in.Read(stored, pixelBytes);
                toRgb(stored, rgb);
            }
            --packetLeft;
        }
        if (in.Truncated()) {
            image = DecodedImage{};
            return kCodecBadData;
        }
        uint64_t row = k / h.width, col = k % h.width;
        size_t y = topFirst ? row : h.height - 1 - row;
        size_t x = rightFirst ? h.width - 1 - col : col;
        std::memcpy(pixels + (y * h.width + x) * 3, rgb, 3);
    }
    return kCodecOk;
}

} // namespace quillon::codec
