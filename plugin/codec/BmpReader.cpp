// Windows bitmaps with the 40-byte info header, its longer versions (52, 56, 108 and 124 bytes:
// the same 40 bytes, then colour masks, colour space and profile fields) or the 12-byte OS/2 core
// header.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

namespace quillon::codec {
namespace {

constexpr uint32_t kInfoHeader = 40;
constexpr uint32_t kCoreHeader = 12;
// Versions 2 and 3 (Adobe's), 4 and 5 of the info header; each begins with the 40 bytes and the
// colour masks of version 2 follow them.
constexpr uint32_t kLongerHeaders[] = {52, 56, 108, 124};

// Embedded JPEG (4) and PNG (5) data is for printers; the reader refuses it.
enum Compression : uint32_t {
    kNone = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6
};

struct BitField {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    static BitField From(uint32_t mask) {
        BitField f;
        f.mask = mask;
        if (mask == 0) return f;
        f.shift = __builtin_ctz(mask);
        f.max = mask >> f.shift;
        return f;
    }
    uint8_t Extract(uint32_t v) const {
        if (max == 0) return 0;
        return uint8_t(uint64_t((v & mask) >> shift) * 255 / max);
    }
};

struct BmpInfo {
    int64_t width = 0;
    int64_t height = 0; // rows; always positive here
    bool topDown = false;
    uint16_t bits = 0;
    uint32_t compression = kNone;
    uint32_t colorsUsed = 0;
    BitField fields[3];
};

using Palette = std::array<uint8_t, 256 * 3>;

// Run-length data: (count, index) runs and escapes for end of line, end of picture and a delta
// move. Runs are clipped at the row's end; pixels never reached stay black.
int DecodeRle(ByteReader& in, const BmpInfo& info, const Palette& palette, DecodedImage& image) {
    const bool four = info.compression == kRle4;
    const int64_t width = info.width;
    const int64_t height = info.height;
    const size_t stride = size_t(width) * 3;
    int64_t x = 0, row = 0; // row counts from the bottom
    auto put = [&](uint8_t index) {
        if (x < width && row < height) {
            std::memcpy(image.pixels.get() + size_t(height - 1 - row) * stride + size_t(x) * 3,
                        &palette[size_t(index) * 3], 3);
        }
        ++x;
    };
    while (row < height) {
        uint8_t count = in.U8();
        uint8_t value = in.U8();
        if (in.Truncated()) return kCodecBadData;
        if (count > 0) {
            for (int i = 0; i < count && x < width; ++i)
                put(four ? (i & 1 ? value & 15 : value >> 4) : value);
            continue;
        }
        if (value == 0) {
            x = 0;
            ++row;
        } else if (value == 1) {
            return kCodecOk;
        } else if (value == 2) {
            x += in.U8();
            row += in.U8();
            if (in.Truncated()) return kCodecBadData;
        } else {
            size_t stored = four ? (size_t(value) + 1) / 2 : value;
            std::array<uint8_t, 256> literal{};
            if (!in.Read(literal.data(), stored)) return kCodecBadData;
            for (int i = 0; i < value; ++i) {
                uint8_t byte = literal[size_t(four ? i / 2 : i)];
                put(four ? (i & 1 ? byte & 15 : byte >> 4) : byte);
            }
            if (stored & 1) in.U8();
        }
    }
    return in.Truncated() ? kCodecBadData : kCodecOk;
}

int DecodeRows(ByteReader& in, const BmpInfo& info, const Palette& palette, DecodedImage& image) {
    const size_t width = size_t(info.width);
    const size_t rowBytes = (width * info.bits + 31) / 32 * 4;
    const size_t stride = width * 3;
    std::vector<uint8_t> row(rowBytes);
    for (int64_t r = 0; r < info.height; ++r) {
        if (!in.Read(row.data(), rowBytes)) return kCodecBadData;
        int64_t y = info.topDown ? r : info.height - 1 - r;
        uint8_t* out = image.pixels.get() + size_t(y) * stride;
        const uint8_t* p = row.data();
        switch (info.bits) {
        case 1:
        case 4:
        case 8: {
            const unsigned perByte = 8 / info.bits;
            const unsigned mask = (1u << info.bits) - 1;
            for (size_t x = 0; x < width; ++x) {
                unsigned shift = 8 - info.bits * (1 + x % perByte);
                unsigned index = (p[x / perByte] >> shift) & mask;
                std::memcpy(out + 3 * x, &palette[index * 3], 3);
            }
            break;
        }
        case 24:
            for (size_t x = 0; x < width; ++x) {
                out[3 * x] = p[3 * x + 2];
                out[3 * x + 1] = p[3 * x + 1];
                out[3 * x + 2] = p[3 * x];
            }
            break;
        case 16:
        case 32:
            for (size_t x = 0; x < width; ++x) {
                uint32_t v = info.bits == 16
                                 ? uint32_t(p[2 * x] | p[2 * x + 1] << 8)
                                 : uint32_t(p[4 * x]) | uint32_t(p[4 * x + 1]) << 8 |
                                       uint32_t(p[4 * x + 2]) << 16 | uint32_t(p[4 * x + 3]) << 24;
                for (int c = 0; c < 3; ++c)
                    out[3 * x + c] = info.fields[c].Extract(v);
            }
            break;
        }
    }
    return kCodecOk;
}

} // namespace

int ReadBmp(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    const uint64_t start = in.Tell();
    uint8_t magic[2];
    in.Read(magic, 2);
    in.Skip(8); // file size, reserved
    uint32_t dataOffset = in.U32LE();
    uint32_t headerSize = in.U32LE();
    if (in.Truncated()) return kCodecBadData;
    if (std::memcmp(magic, "BM", 2) != 0) return kCodecBmpBadHeader;

    BmpInfo info;
    const bool longer = std::find(std::begin(kLongerHeaders), std::end(kLongerHeaders),
                                  headerSize) != std::end(kLongerHeaders);
    if (headerSize == kInfoHeader || longer) {
        auto width = int32_t(in.U32LE());
        auto height = int32_t(in.U32LE());
        in.U16LE(); // planes
        info.bits = in.U16LE();
        info.compression = in.U32LE();
        in.Skip(12); // image size, resolution
        info.colorsUsed = in.U32LE();
        in.U32LE(); // important colours
        if (height == INT32_MIN) return kCodecBmpBadHeader;
        info.width = width;
        info.topDown = height < 0;
        info.height = height < 0 ? -int64_t(height) : height;
    } else if (headerSize == kCoreHeader) {
        info.width = in.U16LE();
        info.height = in.U16LE();
        in.U16LE(); // planes
        info.bits = in.U16LE();
    } else {
        return kCodecBmpBadHeader;
    }
    // Colour masks inside a longer header, read whatever the compression (they count only with
    // bit fields); alpha and the colour-space fields are not needed for the colours.
    uint32_t masks[3] = {};
    if (longer) {
        for (uint32_t& mask : masks)
            mask = in.U32LE();
        in.Skip(headerSize - kInfoHeader - sizeof masks);
    }
    if (in.Truncated()) return kCodecBadData;
    if (info.width < 1 || info.height < 1) return kCodecBmpBadHeader;
    // With alpha bit fields the colour masks are those of plain bit fields.
    const bool alphaFields = info.compression == kAlphaBitFields;
    if (alphaFields) info.compression = kBitFields;

    const bool rle = (info.compression == kRle8 && info.bits == 8) ||
                     (info.compression == kRle4 && info.bits == 4);
    const bool direct =
        info.compression == kNone && (info.bits == 1 || info.bits == 4 || info.bits == 8 ||
                                      info.bits == 16 || info.bits == 24 || info.bits == 32);
    const bool fields = info.compression == kBitFields && (info.bits == 16 || info.bits == 32);
    // Run-length pictures are stored bottom-up by definition.
    if (!(rle || direct || fields) || (rle && info.topDown)) return kCodecBmpBadHeader;

    if (fields) {
        for (size_t c = 0; c < 3; ++c)
            info.fields[c] = BitField::From(longer ? masks[c] : in.U32LE());
        // A 40-byte header with alpha bit fields has a fourth mask after the three.
        if (!longer && alphaFields) in.U32LE();
    } else if (info.bits == 16) {
        info.fields[0] = BitField::From(0x7C00);
        info.fields[1] = BitField::From(0x03E0);
        info.fields[2] = BitField::From(0x001F);
    } else if (info.bits == 32) {
        info.fields[0] = BitField::From(0x00FF0000);
        info.fields[1] = BitField::From(0x0000FF00);
        info.fields[2] = BitField::From(0x000000FF);
    }

    Palette palette{};
    if (info.bits <= 8) {
        uint32_t entries = info.colorsUsed == 0 ? 1u << info.bits : info.colorsUsed;
        if (entries > 256) entries = 256;
        const size_t entryBytes = headerSize == kCoreHeader ? 3 : 4;
        for (uint32_t i = 0; i < entries; ++i) {
            uint8_t bgr[4];
            in.Read(bgr, entryBytes);
            palette[3 * i] = bgr[2];
            palette[3 * i + 1] = bgr[1];
            palette[3 * i + 2] = bgr[0];
        }
    }
    if (in.Truncated()) return kCodecBadData;
    if (!in.Seek(start + dataOffset)) return kCodecBadData;

    if (!FitsBlockLimit(uint64_t(info.width), uint64_t(info.height))) return kCodecOutOfMemory;
    const uint64_t pixels = uint64_t(info.width) * uint64_t(info.height);
    if (rle) {
        // A two-byte run covers at most 255 pixels; delta moves may skip more, but a picture
        // made almost wholly of skips is not one any writer produces.
        if (!CouldHold(pixels, in.Remaining(), 1024)) return kCodecBadData;
    } else {
        uint64_t rowBytes = (uint64_t(info.width) * info.bits + 31) / 32 * 4;
        if (SatMul(rowBytes, uint64_t(info.height)) > in.Remaining()) return kCodecBadData;
    }
    int code = AllocateRgb(info.width, info.height, image);
    if (code != kCodecOk) return code;
    code = rle ? DecodeRle(in, info, palette, image) : DecodeRows(in, info, palette, image);
    if (code != kCodecOk) image = DecodedImage{};
    return code;
}

} // namespace quillon::codec
