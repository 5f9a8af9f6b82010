#include "CodecTestSupport.h"

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

// ---- GIF

TEST(Gif, GlobalAndLocalTablesAndInterlace) {
    Indexed img = IndexedPattern(23, 19, 256);
    for (bool local : {false, true}) {
        for (bool interlaced : {false, true}) {
            Bytes global = local ? Bytes{} : img.palette;
            Result r = Decode(MakeGif({{img, local, interlaced}}, global, 23, 19));
            ASSERT_EQ(r.code, kCodecOk) << local << interlaced;
            EXPECT_TRUE(SamePicture(r.picture, img.Expand()))
                << "local " << local << " interlaced " << interlaced;
        }
    }
}

TEST(Gif, LongRunsExerciseTheFullDictionary) {
    // Large areas of one colour make long LZW strings and refill the 4096-entry table.
    Indexed img = IndexedPattern(300, 200, 4);
    for (size_t i = 0; i < img.indices.size(); ++i)
        img.indices[i] = uint8_t((i / 1000) % 4);
    Result r = Decode(MakeGif({{img, false, false}}, img.palette, 300, 200));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, img.Expand()));
}

TEST(Gif, AnimationGivesTheFirstFrameAtItsOwnSize) {
    Indexed first = IndexedPattern(7, 5, 16);
    Indexed second = IndexedPattern(20, 20, 16);
    Result r = Decode(
        MakeGif({{first, false, false, 3, 2}, {second, false, false}}, first.palette, 20, 20));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, first.Expand()));
}

TEST(Gif, IndexOutsideTheTableFailsWith12) {
    // Codes can name all 256 indices, the table holds 16: its last index is 15.
    struct Case {
        uint8_t index;
        int code;
    };
    for (const Case c : {Case{15, kCodecOk}, Case{16, kCodecGifBad}, Case{17, kCodecGifBad},
                         Case{200, kCodecGifBad}, Case{255, kCodecGifBad}}) {
        Indexed img = IndexedPattern(4, 4, 16);
        img.indices[5] = c.index;
        GifFrame frame{img, true, false};
        frame.minCodeSize = 8;
        EXPECT_EQ(Decode(MakeGif({frame}, {}, 4, 4)).code, c.code) << "index " << int(c.index);
    }
}

TEST(Gif, TransparentIndexShowsItsTableColour) {
    // The fixture's control extension names index 0 transparent.
    Indexed img = IndexedPattern(3, 1, 4);
    img.indices = {0, 0, 1};
    Result r = Decode(MakeGif({{img, false, false}}, img.palette, 3, 1));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, img.Expand()));
}

TEST(Gif, DataEndingEarlyLeavesIndexZero) {
    Indexed img = IndexedPattern(8, 8, 4);
    Indexed half = img;
    half.height = 4;
    half.indices.resize(32);
    Bytes gif = MakeGif({{half, false, false}}, img.palette, 8, 8);
    // Patch the descriptor's height to 8: the data holds only half the pixels.
    gif[13 + 12 + 8 + 1 + 6] = 8;
    Result r = Decode(gif);
    ASSERT_EQ(r.code, kCodecOk);
    Indexed expect = img;
    std::fill(expect.indices.begin() + 32, expect.indices.end(), 0);
    EXPECT_TRUE(SamePicture(r.picture, expect.Expand()));
}

TEST(Gif, MalformedFilesFail) {
    Indexed img = IndexedPattern(4, 4, 4);
    Bytes ok = MakeGif({{img, false, false}}, img.palette, 4, 4);
    Bytes zeroWidth = ok;
    zeroWidth[13 + 12 + 8 + 5] = 0;
    zeroWidth[13 + 12 + 8 + 6] = 0;
    Bytes noImage = Bytes(ok.begin(), ok.begin() + 13 + 12);
    noImage.push_back(';');
    Bytes noTable = MakeGif({{img, false, false}}, {}, 4, 4);
    EXPECT_EQ(Decode(zeroWidth).code, kCodecGifBad);
    EXPECT_EQ(Decode(noImage).code, kCodecGifBad);
    EXPECT_EQ(Decode(noTable).code, kCodecGifBad) << "no table: every index is outside it";
    EXPECT_EQ(Decode(WithoutTail(ok, 6)).code, kCodecBadData);
}

// ---- BMP

TEST(Bmp, IndexedDepthsAndHeaders) {
    struct Case {
        int bits;
        int colors;
        BmpHeader header;
    };
    for (Case c : {Case{1, 2, BmpHeader::Info40}, Case{4, 16, BmpHeader::Info40},
                   Case{4, 5, BmpHeader::Info40}, Case{8, 256, BmpHeader::Info40},
                   Case{8, 200, BmpHeader::Core12}, Case{4, 16, BmpHeader::Core12},
                   Case{8, 256, BmpHeader::V5_124}, Case{4, 5, BmpHeader::V4_108},
                   Case{1, 2, BmpHeader::V5_124}}) {
        Indexed img = IndexedPattern(13, 7, c.colors);
        Result r = Decode(MakeBmpIndexed(img, c.bits, false, c.header));
        ASSERT_EQ(r.code, kCodecOk) << c.bits;
        EXPECT_TRUE(SamePicture(r.picture, img.Expand()))
            << "bits " << c.bits << " colours " << c.colors;
    }
}

TEST(Bmp, DirectColourDepths) {
    Picture p = Pattern(11, 6);
    EXPECT_TRUE(SamePicture(Decode(MakeBmpRgb(p, 24, false)).picture, p));
    EXPECT_TRUE(SamePicture(Decode(MakeBmpRgb(p, 32, false)).picture, p));
    EXPECT_TRUE(SamePicture(Decode(MakeBmpRgb(p, 32, false, true)).picture, p));
    // Five bits a channel scaled to eight: within 8 of the original.
    EXPECT_TRUE(SamePicture(Decode(MakeBmpRgb(p, 16, false)).picture, p, 8));
    EXPECT_TRUE(SamePicture(Decode(MakeBmpRgb(p, 16, false, true)).picture, p, 8));
}

// Versions 4 and 5 of the header, as image editors write them: the colour masks inside the
// header, an alpha mask after them, colour-space fields to pass over.
TEST(Bmp, LongerHeadersCarryTheirMasksInside) {
    Picture p = Pattern(11, 6);
    struct Case {
        int bits;
        bool bitFields;
        int tolerance;
    };
    for (BmpHeader header : {BmpHeader::V4_108, BmpHeader::V5_124})
        for (Case c : {Case{24, false, 0}, Case{32, false, 0}, Case{32, true, 0}, Case{16, true, 8},
                       Case{16, false, 8}}) {
            const Result r = Decode(MakeBmpRgb(p, c.bits, false, c.bitFields, header));
            ASSERT_EQ(r.code, kCodecOk) << c.bits << " bits, fields " << c.bitFields;
            EXPECT_TRUE(SamePicture(r.picture, p, c.tolerance))
                << c.bits << " bits, fields " << c.bitFields;
        }
    // Alpha bit fields (compression 6) give the colours of plain bit fields.
    Bytes alpha = MakeBmpRgb(p, 32, true, true, BmpHeader::V5_124);
    alpha[30] = 6;
    EXPECT_TRUE(SamePicture(Decode(alpha).picture, p));
}

TEST(Bmp, TopDownAndBottomUpDecodeIdentically) {
    Picture p = Pattern(9, 8);
    Indexed img = IndexedPattern(9, 8, 16);
    Result up = Decode(MakeBmpRgb(p, 24, false)), down = Decode(MakeBmpRgb(p, 24, true));
    ASSERT_EQ(up.code, kCodecOk);
    ASSERT_EQ(down.code, kCodecOk);
    EXPECT_TRUE(SamePicture(down.picture, up.picture));
    EXPECT_TRUE(SamePicture(Decode(MakeBmpIndexed(img, 4, true)).picture,
                            Decode(MakeBmpIndexed(img, 4, false)).picture));
}

TEST(Bmp, RunLengthEncoded) {
    Indexed img = IndexedPattern(21, 9, 16);
    for (size_t i = 0; i < 60; ++i)
        img.indices[i] = 3; // long runs as well as literals
    Result r8 = Decode(MakeBmpRle(img, 8));
    ASSERT_EQ(r8.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r8.picture, img.Expand()));
    Result r4 = Decode(MakeBmpRle(img, 4));
    ASSERT_EQ(r4.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r4.picture, img.Expand()));
}

TEST(Bmp, RunsAndDeltasNeverLeaveTheImage) {
    Indexed img = IndexedPattern(4, 2, 4);
    Bytes bmp = MakeBmpRle(img, 8);
    size_t data = bmp[10];
    bmp.resize(data);
    // A run past the row's end, a delta far outside, then the end.
    bmp.insert(bmp.end(), {200, 1, 0, 2, 250, 250, 0, 0, 3, 2, 0, 1});
    Result r = Decode(bmp);
    ASSERT_EQ(r.code, kCodecOk);
    for (int x = 0; x < 4; ++x)
        EXPECT_EQ(r.picture.At(x, 0)[0], 0) << "top row never reached";
    EXPECT_EQ(r.picture.At(3, 1)[0], img.palette[3]) << "bottom row filled by the clipped run";
}

TEST(Bmp, DataOffsetIsHonoured) {
    Picture p = Pattern(5, 5);
    Bytes bmp = MakeBmpRgb(p, 24, false);
    const uint32_t offset = bmp[10];
    bmp.insert(bmp.begin() + offset, 50, 0xEE);
    bmp[10] = uint8_t(offset + 50);
    EXPECT_TRUE(SamePicture(Decode(bmp).picture, p));
}

TEST(Bmp, RefusedHeadersFailWith6) {
    Indexed img = IndexedPattern(4, 4, 4);
    // The 64-byte OS/2 2.x header is not one that begins like the others.
    Bytes os2 = MakeBmpIndexed(img, 8, false, BmpHeader::V5_124);
    os2[14] = 64;
    Bytes zeroWidth = MakeBmpIndexed(img, 8, false);
    std::fill(zeroWidth.begin() + 18, zeroWidth.begin() + 22, 0);
    Bytes rleAt24 = MakeBmpRgb(Pattern(4, 4), 24, false);
    rleAt24[30] = 1;
    Bytes jpegInside = MakeBmpRgb(Pattern(4, 4), 24, false);
    jpegInside[30] = 4;
    Bytes rleTopDown = MakeBmpRle(img, 8);
    std::fill(rleTopDown.begin() + 22, rleTopDown.begin() + 26, 0xFF); // height -1
    Bytes pngInside = MakeBmpRgb(Pattern(4, 4), 24, false, false, BmpHeader::V5_124);
    pngInside[30] = 5;
    for (const Bytes& b : {os2, zeroWidth, rleAt24, jpegInside, pngInside, rleTopDown})
        EXPECT_EQ(Decode(b).code, kCodecBmpBadHeader);
}

// ---- TGA

TEST(Tga, TrueColourGreyAndMappedRawAndRle) {
    Picture p = Pattern(17, 9);
    for (bool rle : {false, true}) {
        for (bool top : {false, true}) {
            EXPECT_TRUE(SamePicture(Decode(MakeTgaRgb(p, 24, rle, top)).picture, p)) << rle << top;
            EXPECT_TRUE(SamePicture(Decode(MakeTgaRgb(p, 32, rle, top)).picture, p)) << rle << top;
            EXPECT_TRUE(SamePicture(Decode(MakeTgaRgb(p, 16, rle, top)).picture, p, 8))
                << rle << top;
        }
        Picture grey = p;
        for (size_t i = 0; i < grey.rgb.size(); i += 3)
            grey.rgb[i + 1] = grey.rgb[i + 2] = grey.rgb[i];
        EXPECT_TRUE(SamePicture(Decode(MakeTgaGrey(p, rle)).picture, grey));
        Indexed img = IndexedPattern(17, 9, 100);
        EXPECT_TRUE(SamePicture(Decode(MakeTgaMapped(img, rle)).picture, img.Expand()));
    }
}

TEST(Tga, UnsupportedTypesAndDepthsFailWith32) {
    Bytes b = MakeTgaRgb(Pattern(2, 2), 24, false, false);
    Bytes type32 = b, depth12 = b;
    type32[2] = 32; // Huffman-compressed colour-mapped
    depth12[16] = 12;
    EXPECT_EQ(Decode(type32).code, kCodecTgaUnsupported);
    EXPECT_EQ(Decode(depth12).code, kCodecTgaUnsupported);
}

TEST(Tga, MapIndexOutsideTheMapIsBlack) {
    Indexed img = IndexedPattern(3, 1, 2);
    img.indices = {0, 1, 7};
    Result r = Decode(MakeTgaMapped(img, false));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_EQ(r.picture.At(2, 0)[0], 0);
    EXPECT_EQ(r.picture.At(1, 0)[0], img.palette[3]);
}

// ---- PCX

TEST(Pcx, PalettedPlanarAndTrueColour) {
    Indexed pal = IndexedPattern(19, 7, 256);
    EXPECT_TRUE(SamePicture(Decode(MakePcx8(pal)).picture, pal.Expand()));
    Picture p = Pattern(19, 7);
    EXPECT_TRUE(SamePicture(Decode(MakePcx24(p)).picture, p));
    Indexed sixteen = IndexedPattern(19, 7, 16);
    EXPECT_TRUE(SamePicture(Decode(MakePcx4Planes(sixteen)).picture, sixteen.Expand()));
}

TEST(Pcx, OneBitIsBlackAndWhiteAndEightBitsWithoutPaletteIsGrey) {
    Indexed bw = IndexedPattern(10, 3, 2);
    Result r = Decode(MakePcx1(bw));
    ASSERT_EQ(r.code, kCodecOk);
    Indexed expect = bw;
    expect.palette = {0, 0, 0, 255, 255, 255};
    EXPECT_TRUE(SamePicture(r.picture, expect.Expand()));

    Indexed grey = IndexedPattern(10, 3, 256);
    Bytes pcx = MakePcx8(grey);
    pcx.resize(pcx.size() - 769);
    Result g = Decode(pcx);
    ASSERT_EQ(g.code, kCodecOk);
    for (int i = 0; i < 256; ++i)
        grey.palette[size_t(3 * i)] = grey.palette[size_t(3 * i + 1)] =
            grey.palette[size_t(3 * i + 2)] = uint8_t(i);
    EXPECT_TRUE(SamePicture(g.picture, grey.Expand()));
}

TEST(Pcx, BadHeadersAndDepths) {
    Bytes ok = MakePcx24(Pattern(4, 4));
    Bytes deep = ok, badEncoding = ok, shortLine = ok, inverted = ok;
    deep[65] = 4; // 32 bits
    badEncoding[2] = 0;
    shortLine[66] = 2;
    inverted[8] = 0;
    inverted[4] = 9;
    EXPECT_EQ(Decode(deep).code, kCodecPcxUnsupportedDepth);
    EXPECT_EQ(Decode(badEncoding).code, kCodecPcxBadHeader);
    EXPECT_EQ(Decode(shortLine).code, kCodecPcxBadHeader);
    EXPECT_EQ(Decode(inverted).code, kCodecPcxBadHeader);
}

// ---- WBMP and Photo CD

TEST(Wbmp, BitsAreWhiteAndClearBitsBlack) {
    // Files under 18 bytes are not recognised (the footer test cannot run), so 13 x 12.
    Indexed img = IndexedPattern(13, 12, 2);
    img.palette = {0, 0, 0, 255, 255, 255};
    Result r = Decode(MakeWbmp(img));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, img.Expand()));
    Indexed wide = IndexedPattern(300, 2, 2); // multi-byte width
    wide.palette = img.palette;
    EXPECT_TRUE(SamePicture(Decode(MakeWbmp(wide)).picture, wide.Expand()));
}

TEST(PhotoCd, BaseImageFromYcc) {
    Result r = Decode(MakePhotoCd(128, 156, 137));
    ASSERT_EQ(r.code, kCodecOk);
    ASSERT_EQ(r.picture.width, 768);
    ASSERT_EQ(r.picture.height, 512);
    // Neutral chroma: grey at 1.3584 x luma.
    EXPECT_TRUE(SamePicture(Picture{1, 1, Bytes(r.picture.At(5, 5), r.picture.At(5, 5) + 3)},
                            Picture{1, 1, {174, 174, 174}}, 1));
    EXPECT_EQ(r.picture.At(0, 0)[0], 0);
    Result red = Decode(MakePhotoCd(100, 156, 200));
    ASSERT_EQ(red.code, kCodecOk);
    EXPECT_GT(red.picture.At(9, 9)[0], red.picture.At(9, 9)[2]);
}

} // namespace
} // namespace quillon::codec::testing
