// Hostile inputs: every one must fail with a non-zero code and no image, quickly and cleanly
// under the sanitizers.
#include "CodecTestSupport.h"

#include <random>
#include <zlib.h>

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

struct Named {
    const char* name;
    Bytes bytes;
};

std::vector<Named> ValidFiles() {
    Picture p = Pattern(48, 40);
    Indexed img = IndexedPattern(48, 40, 200);
    Indexed bw = IndexedPattern(48, 40, 2);
    return {
        {"psd raw", MakePsd({48, 40, 3, 8, false, Planes(p), {}, {}})},
        {"psd rle", MakePsd({48, 40, 3, 8, true, Planes(p), {}, {}})},
        {"gif", MakeGif({{img, false, true}}, img.palette, 48, 40)},
        {"bmp 24", MakeBmpRgb(p, 24, false)},
        {"bmp rle8", MakeBmpRle(img, 8)},
        {"tga rle", MakeTgaRgb(p, 24, true, false)},
        {"tga mapped", MakeTgaMapped(img, false)},
        {"pcx 24", MakePcx24(p)},
        {"wbmp", MakeWbmp(bw)},
        {"photocd", MakePhotoCd(100, 150, 140)},
        {"jpeg", MakeJpeg(p, false, false)},
        {"jpeg progressive", MakeJpeg(p, false, true)},
        {"png", MakePng(p, 2, 8, false)},
        {"png adam7", MakePng(p, 6, 16, true)},
        {"tiff lzw", MakeTiff(p, 5, 8, 3, false)},
        {"ppm raw", MakePnm(p, '6', 255)},
        {"pgm plain", MakePnm(p, '2', 255)},
    };
}

void ExpectFailure(const Bytes& bytes, const std::string& what) {
    Result r = Decode(bytes);
    EXPECT_NE(r.code, kCodecOk) << what;
    EXPECT_TRUE(r.picture.rgb.empty()) << what;
}

TEST(Hostile, ValidFixturesDecode) {
    for (const Named& f : ValidFiles())
        EXPECT_EQ(Decode(f.bytes).code, kCodecOk) << f.name;
}

TEST(Hostile, TruncatedFilesFail) {
    for (const Named& f : ValidFiles()) {
        std::vector<size_t> keep;
        for (size_t n = 0; n < 40; ++n)
            keep.push_back(n);
        for (double fraction : {0.25, 0.5, 0.75, 0.9})
            keep.push_back(size_t(double(f.bytes.size()) * fraction));
        for (size_t n : keep) {
            ExpectFailure(Bytes(f.bytes.begin(), f.bytes.begin() + long(n)),
                          std::string(f.name) + " cut to " + std::to_string(n));
        }
    }
}

TEST(Hostile, GarbageAfterValidSignaturesFails) {
    const std::vector<Bytes> signatures = {
        {'B', 'M'},
        {'G', 'I', 'F', '8', '9', 'a'},
        {'G', 'I', 'F', '8', '7', 'a'},
        {0xFF, 0xD8, 0xFF, 0xE0},
        {0x0A, 0x05},
        {'M', 'M'},
        {'I', 'I'},
        {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A},
        {'8', 'B', 'P', 'S'},
        {'P', '1'},
        {'P', '4'},
        {'P', '5'},
        {'P', '6'},
    };
    std::mt19937 random(7);
    for (const Bytes& sig : signatures) {
        for (size_t size : {size_t(20), size_t(300), size_t(5000)}) {
            Bytes b = sig;
            while (b.size() < size)
                b.push_back(uint8_t(random()));
            ExpectFailure(b, "signature " + std::string(sig.begin(), sig.end()) + " size " +
                                 std::to_string(size));
        }
    }
}

void PutLE(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}
void PutBE(Bytes& b, size_t at, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * (bytes - 1 - i)));
}

Bytes PngWithSize(uint32_t w, uint32_t h) {
    Bytes b = MakePng(Pattern(8, 8), 2, 8, false);
    PutBE(b, 16, w, 4);
    PutBE(b, 20, h, 4);
    PutBE(b, 29, uint32_t(crc32(0, &b[12], 17)), 4);
    return b;
}

Bytes JpegWithSize(uint32_t w, uint32_t h) {
    Bytes b = MakeJpeg(Pattern(16, 16), false, false);
    for (size_t i = 0; i + 9 < b.size(); ++i) {
        if (b[i] == 0xFF && b[i + 1] == 0xC0) {
            PutBE(b, i + 5, h, 2);
            PutBE(b, i + 7, w, 2);
            break;
        }
    }
    return b;
}

Bytes TiffWithSize(uint32_t w, uint32_t h) {
    // One IFD: width, height, 8-bit RGB, uncompressed, one strip of 16 bytes.
    Bytes b{'I', 'I', 42, 0, 8, 0, 0, 0};
    struct Entry {
        uint16_t tag, type;
        uint32_t count, value;
    };
    const std::vector<Entry> entries = {{256, 4, 1, w}, {257, 4, 1, h}, {258, 3, 1, 8},
                                        {259, 3, 1, 1}, {262, 3, 1, 2}, {273, 4, 1, 200},
                                        {277, 3, 1, 3}, {278, 4, 1, h}, {279, 4, 1, 16}};
    Put16LE(b, uint32_t(entries.size()));
    for (const Entry& e : entries) {
        Put16LE(b, e.tag);
        Put16LE(b, e.type);
        Put32LE(b, e.count);
        Put32LE(b, e.value);
    }
    Put32LE(b, 0);
    b.resize(216, 0x40);
    return b;
}

Bytes WbmpWithSize(uint32_t w, uint32_t h) {
    Indexed one = IndexedPattern(1, 1, 2);
    Bytes b = MakeWbmp(one);
    Bytes out{0, 0};
    for (uint32_t v : {w, h}) {
        Bytes tmp{uint8_t(v & 0x7F)};
        while (v >>= 7)
            tmp.insert(tmp.begin(), uint8_t(0x80 | (v & 0x7F)));
        out.insert(out.end(), tmp.begin(), tmp.end());
    }
    out.insert(out.end(), 10, 0x55);
    return out;
}

Bytes WithDeclaredSize(const std::string& format, uint32_t w, uint32_t h) {
    Picture p = Pattern(4, 4);
    Indexed img = IndexedPattern(4, 4, 4);
    if (format == "bmp") {
        Bytes b = MakeBmpRgb(p, 24, false);
        PutLE(b, 18, w, 4);
        PutLE(b, 22, h, 4);
        return b;
    }
    if (format == "bmp rle") {
        Bytes b = MakeBmpRle(img, 8);
        PutLE(b, 18, w, 4);
        PutLE(b, 22, h, 4);
        return b;
    }
    if (format == "psd raw" || format == "psd rle") {
        Bytes b = MakePsd({4, 4, 3, 8, format == "psd rle", Planes(p), {}, {}});
        PutBE(b, 14, h, 4);
        PutBE(b, 18, w, 4);
        return b;
    }
    if (format == "gif") {
        Bytes b = MakeGif({{img, false, false}}, img.palette, 4, 4);
        PutLE(b, 13 + 12 + 8 + 5, std::min(w, 65535u), 2);
        PutLE(b, 13 + 12 + 8 + 7, std::min(h, 65535u), 2);
        return b;
    }
    if (format == "tga" || format == "tga rle") {
        Bytes b = MakeTgaRgb(p, 24, format == "tga rle", false);
        PutLE(b, 12, std::min(w, 65535u), 2);
        PutLE(b, 14, std::min(h, 65535u), 2);
        return b;
    }
    if (format == "pcx") {
        Bytes b = MakePcx24(p);
        PutLE(b, 8, std::min(w, 65535u) - 1, 2);
        PutLE(b, 10, std::min(h, 65535u) - 1, 2);
        PutLE(b, 66, std::min(w, 65535u), 2);
        return b;
    }
    if (format == "wbmp") return WbmpWithSize(w, h);
    if (format == "png") return PngWithSize(w, h);
    if (format == "jpeg") return JpegWithSize(std::min(w, 65500u), std::min(h, 65500u));
    if (format == "tiff") return TiffWithSize(w, h);
    std::string pnm =
        "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n" + std::string(30, 'x');
    return Bytes(pnm.begin(), pnm.end());
}

const char* const kFormats[] = {"bmp", "bmp rle", "psd raw", "psd rle", "gif",  "tga", "tga rle",
                                "pcx", "wbmp",    "png",     "jpeg",    "tiff", "ppm"};

TEST(Hostile, HugeDeclaredSizesWithTinyDataFailBeforeAllocating) {
    for (const char* format : kFormats) {
        for (auto [w, h] : {std::pair{100000u, 100000u}, {20000u, 20000u}, {60000u, 3000u}}) {
            ExpectFailure(WithDeclaredSize(format, w, h),
                          std::string(format) + " " + std::to_string(w) + "x" + std::to_string(h));
        }
    }
}

TEST(Hostile, TallOneColumnPicturesWithTinyDataFail) {
    for (const char* format :
         {"bmp", "bmp rle", "psd raw", "psd rle", "wbmp", "png", "tiff", "ppm"}) {
        ExpectFailure(WithDeclaredSize(format, 1, 100000000), std::string(format) + " 1x100000000");
    }
    // JPEG sizes stop at 65500 rows; the 16 x 16 scan data then ends far too early.
    ExpectFailure(WithDeclaredSize("jpeg", 1, 65500), "jpeg 1x65500");
}

TEST(Hostile, ZeroSizesFail) {
    for (const char* format : kFormats) {
        ExpectFailure(WithDeclaredSize(format, 0, 0), std::string(format) + " 0x0");
        ExpectFailure(WithDeclaredSize(format, 5, 0), std::string(format) + " 5x0");
    }
}

TEST(Hostile, SizesOverTheBlockLimitFailAsOutOfMemory) {
    // The largest size each format can declare is over the limit; nothing else is looked at.
    for (const char* format : kFormats) {
        EXPECT_EQ(Decode(WithDeclaredSize(format, 100000, 100000)).code, kCodecOutOfMemory)
            << format;
    }
}

} // namespace
} // namespace quillon::codec::testing
