// Writes the seed corpora of the codec fuzz targets, made by the tests' own generators:
// codec_seeds DIR creates DIR/fuzz_<target>/ files.
#include "Fixtures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace quillon::codec::fixtures;

namespace {

// Every seed also goes to fuzz_decode, except the large Photo CD pack: a seed that size would
// make the fuzzer try inputs that size and slow it a hundredfold.
void Write(const fs::path& dir, const std::string& target, const std::string& name,
           const Bytes& b) {
    const bool large = b.size() > 65536;
    for (const std::string& t : {target, std::string("fuzz_decode")}) {
        if (large && t != target) continue;
        fs::create_directories(dir / t);
        std::ofstream(dir / t / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), long(b.size()));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: codec_seeds DIR\n");
        return 2;
    }
    const fs::path dir = argv[1];
    Picture p = Pattern(16, 12);
    Indexed img = IndexedPattern(16, 12, 16);
    Indexed big = IndexedPattern(16, 12, 256);
    Indexed bw = IndexedPattern(24, 12, 2);
    Bytes palette768(768);
    for (size_t i = 0; i < 768; ++i)
        palette768[i] = uint8_t(i * 7);

    Write(dir, "fuzz_psd", "rgb_raw", MakePsd({16, 12, 3, 8, false, Planes(p), {}, {}}));
    Write(dir, "fuzz_psd", "rgb_rle_alpha",
          MakePsd({16, 12, 3, 8, true, Planes(p, 1), {}, Bytes(8, 0)}));
    Write(dir, "fuzz_psd", "rgb16", MakePsd({16, 12, 3, 16, false, Planes(p), {}, {}}));
    Write(dir, "fuzz_psd", "cmyk_rle", MakePsd({16, 12, 4, 8, true, Planes(p, 1), {}, {}}));
    Write(dir, "fuzz_psd", "indexed_rle",
          MakePsd({16, 12, 2, 8, true, {img.indices}, palette768, {}}));
    Write(dir, "fuzz_psd", "bitmap_rle", MakePsd({16, 12, 0, 1, true, {bw.indices}, {}, {}}));

    Write(dir, "fuzz_gif", "global", MakeGif({{img, false, false}}, img.palette, 16, 12));
    Write(dir, "fuzz_gif", "local_interlaced", MakeGif({{big, true, true}}, {}, 16, 12));
    Write(dir, "fuzz_gif", "two_frames",
          MakeGif({{img, false, false}, {img, true, false}}, img.palette, 16, 12));

    Write(dir, "fuzz_bmp", "pal8", MakeBmpIndexed(big, 8, false));
    Write(dir, "fuzz_bmp", "pal4_core", MakeBmpIndexed(img, 4, false, BmpHeader::Core12));
    Write(dir, "fuzz_bmp", "pal1_topdown", MakeBmpIndexed(bw, 1, true));
    Write(dir, "fuzz_bmp", "rgb24", MakeBmpRgb(p, 24, false));
    Write(dir, "fuzz_bmp", "fields16", MakeBmpRgb(p, 16, false, true));
    Write(dir, "fuzz_bmp", "fields32", MakeBmpRgb(p, 32, true, true));
    Write(dir, "fuzz_bmp", "v5_fields32", MakeBmpRgb(p, 32, false, true, BmpHeader::V5_124));
    Write(dir, "fuzz_bmp", "v4_pal8", MakeBmpIndexed(img, 8, false, BmpHeader::V4_108));
    Write(dir, "fuzz_bmp", "rle8", MakeBmpRle(big, 8));
    Write(dir, "fuzz_bmp", "rle4", MakeBmpRle(img, 4));

    Write(dir, "fuzz_tga", "rgb24", MakeTgaRgb(p, 24, false, false));
    Write(dir, "fuzz_tga", "rgb16_rle_top", MakeTgaRgb(p, 16, true, true));
    Write(dir, "fuzz_tga", "rgb32_rle", MakeTgaRgb(p, 32, true, false));
    Write(dir, "fuzz_tga", "grey_rle", MakeTgaGrey(p, true));
    Write(dir, "fuzz_tga", "mapped_rle", MakeTgaMapped(img, true));

    Write(dir, "fuzz_pcx", "pal8", MakePcx8(big));
    Write(dir, "fuzz_pcx", "rgb24", MakePcx24(p));
    Write(dir, "fuzz_pcx", "bw", MakePcx1(bw));
    Write(dir, "fuzz_pcx", "planes4", MakePcx4Planes(img));

    Write(dir, "fuzz_wbmp", "bw", MakeWbmp(bw));

    Write(dir, "fuzz_photocd", "base", MakePhotoCd(120, 150, 140));

    Write(dir, "fuzz_decode", "jpeg", MakeJpeg(p, false, false, 80));
    Write(dir, "fuzz_decode", "jpeg_progressive", MakeJpeg(p, true, true, 80));
    Write(dir, "fuzz_decode", "png", MakePng(p, 2, 8, false));
    Write(dir, "fuzz_decode", "png_palette", MakePngIndexed(img));
    Write(dir, "fuzz_decode", "png16_adam7", MakePng(p, 6, 16, true));
    Write(dir, "fuzz_decode", "tiff_lzw", MakeTiff(p, 5, 8, 3, false));
    Write(dir, "fuzz_decode", "tiff_tiled16", MakeTiff(p, 8, 16, 1, true));
    Write(dir, "fuzz_decode", "ppm", MakePnm(p, '6', 255));
    Write(dir, "fuzz_decode", "pgm_plain", MakePnm(p, '2', 1000));
    Write(dir, "fuzz_decode", "pbm", MakePnm(p, '4', 1));
    return 0;
}
