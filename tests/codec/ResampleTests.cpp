#include "codec/ImageCodec.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillon::codec {
namespace {

// One byte per pixel holding its own source index makes the chosen source pixel visible.
std::vector<uint8_t> Indices(int w, int h) {
    std::vector<uint8_t> v(size_t(w) * h);
    for (size_t i = 0; i < v.size(); ++i)
        v[i] = uint8_t(i);
    return v;
}

struct Case {
    int srcW, srcH, dstW, dstH;
    std::vector<uint8_t> expected;
};

TEST(Resample, PicksSourcePixelsByTruncatingDivision) {
    const std::vector<Case> cases = {
        {2, 2, 4, 4, {0, 0, 1, 1, 0, 0, 1, 1, 2, 2, 3, 3, 2, 2, 3, 3}},
        {2, 2, 3, 3, {0, 0, 1, 0, 0, 1, 2, 2, 3}},
        {4, 1, 2, 1, {0, 2}},
        {3, 1, 2, 1, {0, 1}},
        {1, 4, 1, 2, {0, 2}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> src = Indices(c.srcW, c.srcH);
        std::vector<uint8_t> dst(c.expected.size(), 0xEE);
        ASSERT_TRUE(ResampleImage(src.data(), c.srcW, c.srcH, c.srcW, dst.data(), c.dstW, c.dstH,
                                  c.dstW, 1, kResampleNearest, 0));
        EXPECT_EQ(dst, c.expected) << c.srcW << "x" << c.srcH << " -> " << c.dstW << "x" << c.dstH;
        EXPECT_EQ(CodecLastError(), kCodecOk);
    }
}

TEST(Resample, ThreeBytePixelsMoveTogether) {
    std::vector<uint8_t> src = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> dst(12);
    ASSERT_TRUE(ResampleImage(src.data(), 2, 1, 6, dst.data(), 4, 1, 12, 3, kResampleNearest, 0));
    EXPECT_EQ(dst, (std::vector<uint8_t>{1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6}));
}

TEST(Resample, EqualSizesCopyAndDifferentStridesLeavePaddingAlone) {
    std::vector<uint8_t> src = {1, 2, 3, 9, 4, 5, 6, 9}; // stride 4, one byte of padding a row
    std::vector<uint8_t> same(8, 0);
    ASSERT_TRUE(ResampleImage(src.data(), 3, 2, 4, same.data(), 3, 2, 4, 1, kResampleNearest, 0));
    EXPECT_EQ(same, src) << "whole block copied, padding included";

    std::vector<uint8_t> wider(10, 0xEE); // stride 5
    ASSERT_TRUE(ResampleImage(src.data(), 3, 2, 4, wider.data(), 3, 2, 5, 1, kResampleNearest, 0));
    EXPECT_EQ(wider, (std::vector<uint8_t>{1, 2, 3, 0xEE, 0xEE, 4, 5, 6, 0xEE, 0xEE}));
}

TEST(Resample, BadArgumentsFailWith5AndLeaveTheDestination) {
    std::vector<uint8_t> src(16, 7);
    std::vector<uint8_t> dst(16, 0xEE);
    struct Bad {
        const char* name;
        int sw, sh, ss, dw, dh, ds, bpp, mode;
    };
    const Bad cases[] = {
        {"zero source width", 0, 2, 2, 2, 2, 2, 1, 18},
        {"zero source height", 2, 0, 2, 2, 2, 2, 1, 18},
        {"zero dest width", 2, 2, 2, 0, 2, 2, 1, 18},
        {"zero dest height", 2, 2, 2, 2, 0, 2, 1, 18},
        {"zero bytes per pixel", 2, 2, 2, 2, 2, 2, 0, 18},
        {"short source stride", 2, 2, 1, 2, 2, 2, 1, 18},
        {"short dest stride", 2, 2, 2, 2, 2, 1, 1, 18},
        {"mode above 18", 2, 2, 2, 2, 2, 2, 1, 19},
        {"filtered mode", 2, 2, 2, 2, 2, 2, 1, 3},
        {"negative width", -2, 2, 2, 2, 2, 2, 1, 18},
    };
    for (const Bad& c : cases) {
        EXPECT_FALSE(ResampleImage(src.data(), c.sw, c.sh, c.ss, dst.data(), c.dw, c.dh, c.ds,
                                   c.bpp, c.mode, 0))
            << c.name;
        EXPECT_EQ(CodecLastError(), kCodecBadArgument) << c.name;
    }
    EXPECT_FALSE(ResampleImage(nullptr, 2, 2, 2, dst.data(), 2, 2, 2, 1, 18, 0));
    EXPECT_FALSE(ResampleImage(src.data(), 2, 2, 2, nullptr, 2, 2, 2, 1, 18, 0));
    EXPECT_EQ(dst, std::vector<uint8_t>(16, 0xEE));
}

TEST(Resample, WideSourcesDoNotWrapTheColumnProduct) {
    // i x source width exceeds 32 bits here; a wrapped product would pick a wrong column.
    const int srcW = 70000, dstW = 65536;
    std::vector<uint8_t> src(static_cast<size_t>(srcW));
    for (int i = 0; i < srcW; ++i)
        src[size_t(i)] = uint8_t(i % 251);
    std::vector<uint8_t> dst(static_cast<size_t>(dstW));
    ASSERT_TRUE(ResampleImage(src.data(), srcW, 1, srcW, dst.data(), dstW, 1, dstW, 1,
                              kResampleNearest, 0));
    const uint64_t i = dstW - 1;
    EXPECT_EQ(dst[i], src[size_t(i * srcW / dstW)]);
}

} // namespace
} // namespace quillon::codec
