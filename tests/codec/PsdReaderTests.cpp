#include "CodecTestSupport.h"

namespace quillon::codec::testing {
namespace {

using namespace fixtures;

enum Mode : uint16_t {
    kBitmap = 0,
    kGrey = 1,
    kIndexed = 2,
    kRgb = 3,
    kCmyk = 4,
    kMultichannel = 7,
    kDuotone = 8,
    kLab = 9
};

Bytes GreyPalette768() {
    Bytes b(768);
    for (int i = 0; i < 256; ++i) {
        b[size_t(i)] = uint8_t(255 - i);     // red
        b[256 + size_t(i)] = uint8_t(i / 2); // green
        b[512 + size_t(i)] = uint8_t(i);     // blue
    }
    return b;
}

struct PsdCase {
    const char* name;
    uint16_t depth;
    bool rle;
    int extraChannels;
};

class PsdRgb : public ::testing::TestWithParam<PsdCase> {};

TEST_P(PsdRgb, DecodesTheCompositeWithExtraChannelsIgnored) {
    const PsdCase& c = GetParam();
    Picture p = Pattern(37, 11);
    PsdLayout layout{p.width, p.height, kRgb, c.depth, c.rle, Planes(p, c.extraChannels), {}, {}};
    layout.layerSection = Bytes(40, 0x33); // layers are skipped by their length
    Result r = Decode(MakePsd(layout));
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

INSTANTIATE_TEST_SUITE_P(Variants, PsdRgb,
                         ::testing::Values(PsdCase{"raw8", 8, false, 0},
                                           PsdCase{"rle8", 8, true, 0},
                                           PsdCase{"raw16", 16, false, 0},
                                           PsdCase{"rle8alpha", 8, true, 1},
                                           PsdCase{"raw8alpha", 8, false, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Psd, SixteenBitsKeepTheHighByteWithoutRounding) {
    Picture p{1, 1, {10, 20, 30}};
    Bytes psd = MakePsd({1, 1, kRgb, 16, false, Planes(p), {}, {}});
    // Low bytes of 0xFF would round up if the reader rounded.
    for (size_t i = psd.size() - 6; i < psd.size(); i += 2)
        psd[i + 1] = 0xFF;
    Result r = Decode(psd);
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_TRUE(SamePicture(r.picture, p));
}

TEST(Psd, CmykIsInkTimesBlackOverStoredBytes) {
    // Stored bytes are inverted: 255 means no ink.
    Picture expect{
        4,
        1,
        {255, 255, 255, 0, 0, 0, 200 * 128 / 255, 100 * 128 / 255, 50 * 128 / 255, 255, 0, 0}};
    std::vector<Bytes> planes = {
        {255, 255, 200, 255}, {255, 255, 100, 0}, {255, 255, 50, 0}, {255, 0, 128, 255}};
    for (bool rle : {false, true}) {
        Result r = Decode(MakePsd({4, 1, kCmyk, 8, rle, planes, {}, {}}));
        ASSERT_EQ(r.code, kCodecOk);
        EXPECT_TRUE(SamePicture(r.picture, expect)) << (rle ? "rle" : "raw");
    }
}

TEST(Psd, CmykWithAFifthChannelFails) {
    std::vector<Bytes> planes(5, Bytes{1, 2});
    EXPECT_EQ(Decode(MakePsd({2, 1, kCmyk, 8, false, planes, {}, {}})).code, kCodecBadArgument);
}

TEST(Psd, IndexedUsesItsTableAndGreyWithoutTableIsARamp) {
    Bytes table = GreyPalette768();
    Bytes indices{0, 1, 128, 255};
    Result indexed = Decode(MakePsd({4, 1, kIndexed, 8, true, {indices}, table, {}}));
    ASSERT_EQ(indexed.code, kCodecOk);
    EXPECT_TRUE(SamePicture(indexed.picture,
                            Picture{4, 1, {255, 0, 0, 254, 0, 1, 127, 64, 128, 0, 127, 255}}));

    Result grey = Decode(MakePsd({4, 1, kGrey, 16, false, {indices}, {}, {}}));
    ASSERT_EQ(grey.code, kCodecOk);
    EXPECT_TRUE(
        SamePicture(grey.picture, Picture{4, 1, {0, 0, 0, 1, 1, 1, 128, 128, 128, 255, 255, 255}}));
}

TEST(Psd, BitmapShowsBlackWhereBitsAreSet) {
    Bytes bits{1, 0, 0, 1, 1, 1, 0, 0, 1, 0}; // ten pixels, two bytes per row
    for (bool rle : {false, true}) {
        Result r = Decode(MakePsd({10, 1, kBitmap, 1, rle, {bits}, {}, {}}));
        ASSERT_EQ(r.code, kCodecOk);
        for (int x = 0; x < 10; ++x) {
            EXPECT_EQ(r.picture.At(x, 0)[1], bits[size_t(x)] ? 0 : 255) << "x " << x;
        }
    }
}

TEST(Psd, ShortRleRowsLeaveBlackAndLongOnesAreCut) {
    Bytes psd = MakePsd({8, 2, kGrey, 8, true, {Bytes(16, 0x90)}, {}, {}});
    // Replace the rows: row 0 one literal byte only, row 1 a run longer than the row.
    const size_t table = psd.size() - 4 - 4;
    psd.resize(table);
    Put16BE(psd, 2);
    Put16BE(psd, 2);
    psd.insert(psd.end(), {0x00, 0x77, 0xF0, 0x22}); // 1 literal; run of 17
    Result r = Decode(psd);
    ASSERT_EQ(r.code, kCodecOk);
    EXPECT_EQ(r.picture.At(0, 0)[0], 0x77);
    EXPECT_EQ(r.picture.At(1, 0)[0], 0);
    EXPECT_EQ(r.picture.At(7, 1)[0], 0x22);
}

struct PsdFailure {
    const char* name;
    PsdLayout layout;
    int code;
};

TEST(Psd, RefusedVariantsFailWithTheirCodes) {
    Picture p = Pattern(4, 4);
    const std::vector<PsdFailure> cases = {
        {"Lab", {4, 4, kLab, 8, false, Planes(p), {}, {}}, kCodecUnsupportedMode},
        {"Duotone",
         {4, 4, kDuotone, 8, false, {Planes(p)[0]}, Bytes(20, 1), {}},
         kCodecUnsupportedMode},
        {"Multichannel", {4, 4, kMultichannel, 8, false, Planes(p), {}, {}}, kCodecUnsupportedMode},
        {"RGB 16-bit RLE", {4, 4, kRgb, 16, true, Planes(p), {}, {}}, kCodecBadArgument},
        {"Indexed 16-bit RLE",
         {4, 4, kIndexed, 16, true, {Planes(p)[0]}, GreyPalette768(), {}},
         kCodecUnsupportedVariant},
        {"depth 32", {4, 4, kRgb, 32, false, Planes(p), {}, {}}, kCodecUnsupportedMode},
        {"RGB at depth 1", {4, 4, kRgb, 1, false, Planes(p), {}, {}}, kCodecUnsupportedMode},
        {"RGB with two channels",
         {4, 4, kRgb, 8, false, {Planes(p)[0], Planes(p)[1]}, {}, {}},
         kCodecBadArgument},
        {"palette section too short",
         {4, 4, kIndexed, 8, false, {Planes(p)[0]}, Bytes(100, 1), {}},
         kCodecBadData},
    };
    for (const PsdFailure& c : cases) {
        Result r = Decode(MakePsd(c.layout));
        EXPECT_EQ(r.code, c.code) << c.name;
        EXPECT_TRUE(r.picture.rgb.empty()) << c.name;
    }
}

TEST(Psd, BadSignatureOrVersionFailsWith46) {
    Bytes psd = MakePsd({2, 2, kRgb, 8, false, Planes(Pattern(2, 2)), {}, {}});
    psd[5] = 2; // version 2 (large document format)
    EXPECT_EQ(Decode(psd).code, kCodecBadSignature);
}

TEST(Psd, CompressionOtherThanRawOrRleFails) {
    Bytes psd = MakePsd({2, 2, kRgb, 8, false, Planes(Pattern(2, 2)), {}, {}});
    psd[psd.size() - 12 - 1] = 2; // ZIP
    EXPECT_EQ(Decode(psd).code, kCodecBadData);
}

} // namespace
} // namespace quillon::codec::testing
