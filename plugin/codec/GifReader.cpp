// GIF87a and GIF89a: the first image of the file, at its own size.
#include "codec/ByteReader.h"
#include "codec/Readers.h"

#include <array>
#include <cstring>

namespace quillon::codec {
namespace {

constexpr int kMaxCodes = 4096;
constexpr int kMaxCodeBits = 12;

struct ColorTable {
    std::array<uint8_t, 256 * 3> rgb{}; // entries the file does not define stay black
    uint32_t size = 0;
};

bool ReadColorTable(ByteReader& in, uint8_t flags, ColorTable& table) {
    table.size = 1u << ((flags & 7) + 1);
    table.rgb.fill(0);
    return in.Read(table.rgb.data(), table.size * 3);
}

bool SkipSubBlocks(ByteReader& in) {
    for (;;) {
        uint8_t n = in.U8();
        if (in.Truncated()) return false;
        if (n == 0) return true;
        if (!in.Skip(n)) return false;
    }
}

// Pulls LZW codes, least significant bit first, out of the image's data sub-blocks.
class CodeStream {
  public:
    explicit CodeStream(ByteReader& in) : in_(in) {}

    // -1 at the end of the data (a zero-length block); the reader may be truncated then.
    int Next(int bits) {
        while (count_ < bits) {
            if (blockPos_ == blockLen_) {
                if (ended_) return -1;
                blockLen_ = in_.U8();
                blockPos_ = 0;
                if (blockLen_ == 0 || in_.Truncated() || !in_.Read(block_.data(), blockLen_)) {
                    ended_ = true;
                    return -1;
                }
            }
            acc_ |= uint32_t(block_[blockPos_++]) << count_;
            count_ += 8;
        }
        int code = int(acc_ & ((1u << bits) - 1));
        acc_ >>= bits;
        count_ -= bits;
        return code;
    }

  private:
    ByteReader& in_;
    std::array<uint8_t, 255> block_{};
    size_t blockLen_ = 0;
    size_t blockPos_ = 0;
    uint32_t acc_ = 0;
    int count_ = 0;
    bool ended_ = false;
};

// Walks the pixels of the picture in storage order, mapping interlaced rows to display rows.
class PixelCursor {
  public:
    PixelCursor(DecodedImage& image, bool interlaced)
        : pixels_(image.pixels.get()), width_(uint32_t(image.width)),
          height_(uint32_t(image.height)), interlaced_(interlaced) {}

    bool Done() const { return done_; }

    void Put(const uint8_t* rgb) {
        std::memcpy(pixels_ + (size_t(y_) * width_ + x_) * 3, rgb, 3);
        if (++x_ < width_) return;
        x_ = 0;
        if (!interlaced_) {
            done_ = ++y_ == height_;
            return;
        }
        static constexpr uint32_t kStart[4] = {0, 4, 2, 1};
        static constexpr uint32_t kStep[4] = {8, 8, 4, 2};
        y_ += kStep[pass_];
        while (y_ >= height_) {
            if (++pass_ == 4) {
                done_ = true;
                return;
            }
            y_ = kStart[pass_];
        }
    }

  private:
    uint8_t* pixels_;
    uint32_t width_;
    uint32_t height_;
    bool interlaced_;
    uint32_t x_ = 0;
    uint32_t y_ = 0;
    int pass_ = 0;
    bool done_ = false;
};

int DecodeLzw(ByteReader& in, int minCodeSize, const ColorTable& table, PixelCursor& cursor) {
    std::array<uint16_t, kMaxCodes> prefix{};
    std::array<uint8_t, kMaxCodes> suffix{};
    std::array<uint8_t, kMaxCodes> stack{};
    const int clear = 1 << minCodeSize;
    const int end = clear + 1;
    for (int i = 0; i < clear; ++i)
        suffix[size_t(i)] = uint8_t(i);

    CodeStream codes(in);
    int codeBits = minCodeSize + 1;
    int next = clear + 2;
    int prev = -1;
    uint8_t first = 0;
    while (!cursor.Done()) {
        int code = codes.Next(codeBits);
        if (code < 0) return in.Truncated() ? kCodecBadData : kCodecOk;
        if (code == clear) {
            codeBits = minCodeSize + 1;
            next = clear + 2;
            prev = -1;
            continue;
        }
        if (code == end) return kCodecOk;

        // Unwind the code's string onto the stack, last byte first.
        size_t depth = 0;
        int walk = code;
        if (prev < 0) {
            if (code > clear) return kCodecBadData;
        } else if (code == next) {
            if (next >= kMaxCodes) return kCodecBadData;
            stack[depth++] = first;
            walk = prev;
        } else if (code > next) {
            return kCodecBadData;
        }
        while (walk >= clear) {
            if (depth == stack.size()) return kCodecBadData;
            stack[depth++] = suffix[size_t(walk)];
            walk = prefix[size_t(walk)];
        }
        if (depth == stack.size()) return kCodecBadData;
        stack[depth++] = uint8_t(walk);
        first = uint8_t(walk);

        if (prev >= 0 && next < kMaxCodes) {
            prefix[size_t(next)] = uint16_t(prev);
            suffix[size_t(next)] = first;
            ++next;
            if (next == (1 << codeBits) && codeBits < kMaxCodeBits) ++codeBits;
        }
        prev = code;

        while (depth > 0 && !cursor.Done()) {
            uint8_t index = stack[--depth];
            if (index >= table.size) return kCodecGifBad;
            cursor.Put(&table.rgb[size_t(index) * 3]);
        }
    }
    return kCodecOk;
}

} // namespace

int ReadGif(ImageSource& source, DecodedImage& image) {
    ByteReader in(source);
    uint8_t header[6];
    in.Read(header, sizeof header);
    in.Skip(4); // logical screen size: the image's own size is used
    uint8_t screenFlags = in.U8();
    in.Skip(2);
    if (in.Truncated()) return kCodecBadData;
    if (std::memcmp(header, "GIF87a", 6) != 0 && std::memcmp(header, "GIF89a", 6) != 0) {
        return kCodecGifBad;
    }
    ColorTable global;
    if ((screenFlags & 0x80) && !ReadColorTable(in, screenFlags, global)) return kCodecGifBad;

    // Extensions are passed over (the transparent index is not used); the first image decides.
    for (;;) {
        uint8_t introducer = in.U8();
        if (in.Truncated()) return kCodecBadData;
        if (introducer == ',') break;
        if (introducer != '!') return kCodecGifBad;
        in.U8(); // label
        if (!SkipSubBlocks(in)) return kCodecBadData;
    }
    in.Skip(4); // position on the logical screen
    uint32_t width = in.U16LE();
    uint32_t height = in.U16LE();
    uint8_t flags = in.U8();
    if (in.Truncated()) return kCodecBadData;
    if (width == 0 || height == 0) return kCodecGifBad;
    ColorTable local;
    if ((flags & 0x80) && !ReadColorTable(in, flags, local)) return kCodecGifBad;
    const ColorTable& table = (flags & 0x80) ? local : global;

    int minCodeSize = in.U8();
    if (in.Truncated()) return kCodecBadData;
    if (minCodeSize < 1 || minCodeSize > 11) return kCodecBadData;
    if (!FitsBlockLimit(width, height)) return kCodecOutOfMemory;
    // A code of at least two bits stands for at most 4096 pixels.
    if (!CouldHold(uint64_t(width) * height, in.Remaining(), 4 * kMaxCodes)) return kCodecBadData;

    int code = AllocateRgb(width, height, image);
    if (code != kCodecOk) return code;
    // Pixels the data never reaches show index 0.
    if (table.size > 0 && (table.rgb[0] | table.rgb[1] | table.rgb[2]) != 0) {
        uint8_t* p = image.pixels.get();
        for (size_t i = 0, n = size_t(width) * height; i < n; ++i, p += 3)
            std::memcpy(p, table.rgb.data(), 3);
    }
    PixelCursor cursor(image, (flags & 0x40) != 0);
    code = DecodeLzw(in, minCodeSize, table, cursor);
    if (code != kCodecOk) image = DecodedImage{};
    return code;
}

} // namespace quillon::codec
