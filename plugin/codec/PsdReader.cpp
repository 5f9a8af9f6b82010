// Photoshop documents: the composite image that follows the layers.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <array>
#include <cstring>
#include <vector>

namespace quillon::codec {
namespace {

enum PsdMode : uint16_t {
    kBitmap = 0,
    kGrayscale = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
};

constexpr uint16_t kRaw = 0;
constexpr uint16_t kRle = 1;

struct PsdHeader {
    uint16_t channels = 0;
    uint32_t height = 0;
    uint32_t width = 0;
    uint16_t depth = 0;
    uint16_t mode = 0;
};

int ReadHeader(ByteReader& in, PsdHeader& h) {
    uint8_t signature[4];
    in.Read(signature, 4);
    uint16_t version = in.U16BE();
    in.Skip(6);
    h.channels = in.U16BE();
    h.height = in.U32BE();
    h.width = in.U32BE();
    h.depth = in.U16BE();
    h.mode = in.U16BE();
    if (in.Truncated()) return kCodecBadData;
    if (std::memcmp(signature, "8BPS", 4) != 0 || version != 1) return kCodecBadSignature;
    if (h.depth != 1 && h.depth != 8 && h.depth != 16) return kCodecUnsupportedMode;
    return kCodecOk;
}

using Palette = std::array<uint8_t, 256 * 3>;

// Decodes one channel row by row into `row` (zeroed before each row) and hands each row to the
// sink. Raw rows of depth 16 keep the high byte; RLE rows are PackBits.
class ChannelReader {
  public:
    ChannelReader(ByteReader& in, const PsdHeader& h, uint16_t compression)
        : in_(in), width_(h.width), height_(h.height), depth_(h.depth), compression_(compression) {}

    // Bytes in one decoded row: one value per pixel, or packed bits for depth 1.
    size_t RowValues() const { return depth_ == 1 ? (size_t(width_) + 7) / 8 : width_; }

    // For RLE: reads the byte-count table (channels x height entries) and keeps the first
    // `needed` channels' counts.
    int Prepare(uint16_t channels, uint16_t needed) {
        row_.assign(RowValues(), 0);
        if (compression_ == kRaw) {
            raw_.resize(RowValues() * (depth_ == 16 ? 2 : 1));
            return kCodecOk;
        }
        uint64_t entries = uint64_t(channels) * height_;
        if (entries * 2 > in_.Remaining()) return kCodecBadData;
        uint64_t keep = uint64_t(needed) * height_;
        counts_.resize(keep);
        for (uint16_t& c : counts_)
            c = in_.U16BE();
        if (!in_.Skip((entries - keep) * 2)) return kCodecBadData;
        packed_.resize(65535);
        return in_.Truncated() ? kCodecBadData : kCodecOk;
    }

    template <typename Sink> int Channel(uint16_t channel, Sink&& sink) {
        for (uint32_t y = 0; y < height_; ++y) {
            int code =
                compression_ == kRaw ? RawRow() : RleRow(counts_[size_t(channel) * height_ + y]);
            if (code != kCodecOk) return code;
            sink(y, row_.data());
        }
        return kCodecOk;
    }

  private:
    int RawRow() {
        if (!in_.Read(raw_.data(), raw_.size())) return kCodecBadData;
        if (depth_ == 16) {
            for (size_t x = 0; x < row_.size(); ++x)
                row_[x] = raw_[2 * x];
        } else {
            std::memcpy(row_.data(), raw_.data(), row_.size());
        }
        return kCodecOk;
    }

    int RleRow(uint16_t count) {
        if (!in_.Read(packed_.data(), count)) return kCodecBadData;
        std::fill(row_.begin(), row_.end(), 0);
        size_t in = 0, out = 0;
        const size_t end = row_.size();
        while (out < end && in < count) {
            auto n = static_cast<int8_t>(packed_[in++]);
            if (n >= 0) {
                size_t run = size_t(n) + 1;
                if (in + run > count) return kCodecBadData;
                size_t copy = std::min(run, end - out);
                std::memcpy(row_.data() + out, packed_.data() + in, copy);
                in += run;
                out += copy;
            } else if (n != -128) {
                if (in >= count) break;
                size_t run = std::min(size_t(1 - n), end - out);
                std::memset(row_.data() + out, packed_[in++], run);
                out += run;
            }
        }
        return kCodecOk;
    }

    ByteReader& in_;
    uint32_t width_;
    uint32_t height_;
    uint16_t depth_;
    uint16_t compression_;
    std::vector<uint8_t> row_;
    std::vector<uint8_t> raw_;
    std::vector<uint8_t> packed_;
    std::vector<uint16_t> counts_;
};

int ReadPalette(ByteReader& in, uint16_t mode, Palette& palette) {
    uint32_t length = in.U32BE();
    if (in.Truncated()) return kCodecBadData;
    uint64_t sectionEnd = in.Tell() + uint64_t(length);
    if (mode == kBitmap) {
        palette.fill(0);
        palette[0] = palette[1] = palette[2] = 255;
    } else {
        for (int i = 0; i < 256; ++i) {
            palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = uint8_t(i);
        }
    }
    if ((mode == kGrayscale || mode == kIndexed) && length != 0) {
        // The table is 256 reds, 256 greens, 256 blues. A shorter section cannot hold one, and
        // reading past it would take the next section's bytes for colours.
        if (length < 768) return kCodecBadData;
        uint8_t planes[768];
        if (!in.Read(planes, sizeof planes)) return kCodecBadData;
        for (int i = 0; i < 256; ++i) {
            palette[3 * i] = planes[i];
            palette[3 * i + 1] = planes[256 + i];
            palette[3 * i + 2] = planes[512 + i];
        }
    }
    return in.Seek(sectionEnd) ? kCodecOk : kCodecBadData;
}

int SkipSection(ByteReader& in) {
    uint32_t length = in.U32BE();
    if (in.Truncated() || !in.Skip(length)) return kCodecBadData;
    return kCodecOk;
}

// The least number of stored bytes that can hold the image data: raw samples exactly, RLE at
// most 128 values per two bytes plus the byte-count table.
bool DataCouldFit(const ByteReader& in, const PsdHeader& h, uint16_t compression,
                  uint16_t channelsRead) {
    uint64_t rowBytes = h.depth == 1 ? (uint64_t(h.width) + 7) / 8 : uint64_t(h.width);
    uint64_t values = SatMul(SatMul(rowBytes, h.height), channelsRead);
    if (compression == kRaw) return SatMul(values, h.depth == 16 ? 2 : 1) <= in.Remaining();
    return CouldHold(values, in.Remaining(), 64);
}

} // namespace

int CheckPsdHeader(ImageSource& source) {
    ByteReader in(source);
    PsdHeader h;
    int code = ReadHeader(in, h);
    if (code != kCodecOk) return code;
    return h.mode > kCmyk ? kCodecUnsupportedMode : kCodecOk;
}

int ReadPsd(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    PsdHeader h;
    int code = ReadHeader(in, h);
    if (code != kCodecOk) return code;

    Palette palette;
    if ((code = ReadPalette(in, h.mode, palette)) != kCodecOk) return code;
    if ((code = SkipSection(in)) != kCodecOk) return code; // image resources
    if ((code = SkipSection(in)) != kCodecOk) return code; // layers and masks
    uint16_t compression = in.U16BE();
    if (in.Truncated() || (compression != kRaw && compression != kRle)) return kCodecBadData;

    // Which channels the mode needs, and the depths it can be drawn at.
    uint16_t needed = 0;
    switch (h.mode) {
    case kBitmap:
        if (h.depth != 1) return kCodecUnsupportedMode;
        needed = 1;
        break;
    case kGrayscale:
    case kIndexed:
        if (h.depth == 1) return kCodecUnsupportedMode;
        if (h.depth == 16 && compression == kRle) {
            return h.mode == kIndexed ? kCodecUnsupportedVariant : kCodecBadArgument;
        }
        needed = 1;
        break;
    case kRgb:
    case kCmyk:
        if (h.depth == 1) return kCodecUnsupportedMode;
        if (h.depth == 16 && compression == kRle) return kCodecBadArgument;
        needed = h.mode == kRgb ? 3 : 4;
        if (h.mode == kCmyk ? h.channels != 4 : h.channels < 3) return kCodecBadArgument;
        break;
    default:
        return kCodecUnsupportedMode;
    }
    if (h.channels < needed) return kCodecBadArgument;
    // A zero size passes every product-based check below, so it is refused on its own.
    if (h.width == 0 || h.height == 0) return kCodecBadData;
    if (!FitsBlockLimit(h.width, h.height)) return kCodecOutOfMemory;
    if (!DataCouldFit(in, h, compression, needed)) return kCodecBadData;
    ChannelReader channels(in, h, compression);
    if ((code = channels.Prepare(h.channels, needed)) != kCodecOk) return code;
    if ((code = AllocateRgb(h.width, h.height, image)) != kCodecOk) return code;
    uint8_t* pixels = image.pixels.get();
    const size_t stride = size_t(h.width) * 3;

    switch (h.mode) {
    case kBitmap:
        code = channels.Channel(0, [&](uint32_t y, const uint8_t* bits) {
            uint8_t* out = pixels + y * stride;
            for (uint32_t x = 0; x < h.width; ++x) {
                uint8_t v = (bits[x >> 3] >> (7 - (x & 7))) & 1 ? 0 : 255;
                out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = v;
            }
        });
        break;
    case kGrayscale:
    case kIndexed:
        code = channels.Channel(0, [&](uint32_t y, const uint8_t* values) {
            uint8_t* out = pixels + y * stride;
            for (uint32_t x = 0; x < h.width; ++x)
                std::memcpy(out + 3 * x, &palette[3 * values[x]], 3);
        });
        break;
    default:
        for (uint16_t c = 0; c < 3 && code == kCodecOk; ++c) {
            code = channels.Channel(c, [&](uint32_t y, const uint8_t* values) {
                uint8_t* out = pixels + y * stride + c;
                for (uint32_t x = 0; x < h.width; ++x)
                    out[3 * x] = values[x];
            });
        }
        // CMYK: the stored bytes are inverted (255 = no ink), so C x K / 255 is the red.
        if (h.mode == kCmyk && code == kCodecOk) {
            code = channels.Channel(3, [&](uint32_t y, const uint8_t* k) {
                uint8_t* out = pixels + y * stride;
                for (uint32_t x = 0; x < h.width; ++x) {
                    for (int i = 0; i < 3; ++i)
                        out[3 * x + i] = uint8_t(out[3 * x + i] * k[x] / 255);
                }
            });
        }
        break;
    }
    if (code != kCodecOk) image = DecodedImage{};
    return code;
}

} // namespace quillon::codec
