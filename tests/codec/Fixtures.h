// Generators of small image files for the codec tests, the fuzz seed corpora and the benchmark.
// Hand-written formats are assembled byte by byte; JPEG, PNG and TIFF go through their libraries.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon::codec::fixtures {

using Bytes = std::vector<uint8_t>;

// A picture in the layer's own layout: RGB, rows from the top, no padding.
struct Picture {
    int width = 0;
    int height = 0;
    Bytes rgb;

    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * width + x) * 3]; }
};

// A palette picture; `palette` holds RGB entries.
struct Indexed {
    int width = 0;
    int height = 0;
    Bytes indices;
    Bytes palette;

    Picture Expand() const;
};

// Smooth gradients with a few hard edges, different in every channel.
Picture Pattern(int width, int height);
// Indices cycling through `colors` entries of a distinct palette.
Indexed IndexedPattern(int width, int height, int colors);

// Little- and big-endian writers.
void Put16LE(Bytes& b, uint32_t v);
void Put32LE(Bytes& b, uint32_t v);
void Put16BE(Bytes& b, uint32_t v);
void Put32BE(Bytes& b, uint32_t v);

Bytes PackBits(const uint8_t* data, size_t size);

// PSD. Channels are given plane by plane as 8-bit values; depth 16 stores each value as v*257.
struct PsdLayout {
    int width = 0;
    int height = 0;
    uint16_t mode = 3;
    uint16_t depth = 8;
    bool rle = false;
    std::vector<Bytes> channels;
    Bytes colorModeData; // e.g. 768 bytes of palette
    Bytes layerSection;  // contents of the layer and mask section
};
Bytes MakePsd(const PsdLayout& layout);
// The planes of an RGB picture, plus `extra` planes of 0x80.
std::vector<Bytes> Planes(const Picture& p, int extra = 0);

struct GifFrame {
    Indexed image;
    bool localTable = false;
    bool interlaced = false;
    int left = 0;
    int top = 0;
    int minCodeSize = 0; // 0: from the table size
};
// A GIF with an optional global table, a graphic control extension and the given frames.
Bytes MakeGif(const std::vector<GifFrame>& frames, const Bytes& globalTable, int screenWidth,
              int screenHeight);
// LZW data sub-blocks (with the leading code size and the terminator) for `indices`.
Bytes GifLzw(const Bytes& indices, int minCodeSize);

enum class BmpHeader { Info40, Core12, V4_108, V5_124 };
// Uncompressed BMP from an indexed picture (bits 1, 4, 8) or RGB (bits 16, 24, 32).
Bytes MakeBmpIndexed(const Indexed& p, int bits, bool topDown,
                     BmpHeader header = BmpHeader::Info40);
// With a version 4 or 5 header the bit fields' masks sit inside it, then an alpha mask.
Bytes MakeBmpRgb(const Picture& p, int bits, bool topDown, bool bitFields = false,
                 BmpHeader header = BmpHeader::Info40);
// RLE8 (bits 8) or RLE4 (bits 4), bottom-up.
Bytes MakeBmpRle(const Indexed& p, int bits);

// TGA types 1/2/3 (raw) and 9/10/11 (rle); `footer` adds the version-2 footer.
Bytes MakeTgaRgb(const Picture& p, int bits, bool rle, bool topDown, bool footer = true);
Bytes MakeTgaGrey(const Picture& p, bool rle, bool footer = true);
Bytes MakeTgaMapped(const Indexed& p, bool rle, bool footer = true);

// PCX: 8-bit palette (with the 256-colour palette at the end) or 24-bit three-plane RGB,
// 1-bit black and white, or 4-bit with the header palette (planes 4, bits 1).
Bytes MakePcx8(const Indexed& p);
Bytes MakePcx24(const Picture& p);
Bytes MakePcx1(const Indexed& p);
Bytes MakePcx4Planes(const Indexed& p);

Bytes MakeWbmp(const Indexed& p); // indices 0 black, 1 white

// A Photo CD image pack whose base image stores the same luma and chroma everywhere, except the
// top-left pixel's luma, which is 0.
Bytes MakePhotoCd(uint8_t y, uint8_t c1, uint8_t c2);

Bytes MakePng(const Picture& p, int colorType, int depth, bool interlaced);
// transparency: one alpha per palette entry from the first (a tRNS chunk), none when empty.
Bytes MakePngIndexed(const Indexed& p, const Bytes& transparency = {});
Bytes MakeJpeg(const Picture& p, bool grey, bool progressive, int quality = 95);
// A four-component (CMYK) JPEG whose pixels store the given values, one pixel per entry.
Bytes MakeJpegCmyk(const std::vector<std::array<uint8_t, 4>>& pixels);
// Compression as libtiff numbers it; bits 8 or 16; tiled or striped; samples 1 (grey), 3 or 4
// (RGB with unassociated alpha 0).
Bytes MakeTiff(const Picture& p, int compression, int bits, int samples, bool tiled);

Bytes MakePnm(const Picture& p, char kind, int maxval); // kind '1'..'6'

Bytes WithoutTail(const Bytes& b, size_t drop);

} // namespace quillon::codec::fixtures
