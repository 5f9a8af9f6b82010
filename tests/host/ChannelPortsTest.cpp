// Channel ports: the composite channels a document offers, scaled 8-bit reads for previews and
// one-pixel reads at the channel's depth for the eyedropper.
#include "core/session/FilterSession.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace quillon::filterhost;

Document Patterned(ColorMode mode, int depth, int32_t width, int32_t height) {
    Document d = MakeDocument(mode, depth, width, height);
    const int max = depth == 16 ? 32768 : 255;
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            for (size_t p = 0; p < d.planes.size(); ++p)
                d.At(int(p), x, y) = uint16_t((x * 7 + y * 13 + int(p) * 50) % (max + 1));
    return d;
}

PixelMemoryDesc Memory(std::vector<uint8_t>& bytes, int32_t rowSamples, int depth) {
    return {bytes.data(), rowSamples * depth, depth, 0, depth};
}

TEST(ChannelPorts, CompositeChannelsFollowTheMode) {
    const std::pair<ColorMode, std::vector<int16_t>> kModes[] = {
        {ColorMode::RGB, {ctRed, ctGreen, ctBlue}},
        {ColorMode::CMYK, {ctCyan, ctMagenta, ctYellow, ctBlack}},
        {ColorMode::Lab, {ctL, ctA, ctB}}};
    for (const auto& [mode, types] : kModes) {
        Document d = MakeDocument(mode, 16, 5, 4);
        FilterSession session;
        ChannelPorts& ports = session.OpenPorts(d);
        std::vector<int16_t> seen;
        for (ReadChannelDesc* c = ports.Channels(); c; c = c->next) {
            seen.push_back(c->channelType);
            EXPECT_EQ(c->depth, 16);
            EXPECT_EQ(c->bounds.bottom, 4);
            EXPECT_EQ(c->bounds.right, 5);
            int32 depth = 0;
            EXPECT_EQ(ports.Suite()->GetDepth(c->port, &depth), 0);
            EXPECT_EQ(depth, 16);
        }
        EXPECT_EQ(seen, types);
    }
}

// A destination pixel takes the source pixel under its centre.
uint8_t Reference(const Document& d, int plane, const VRect& src, const VRect& dst, int32_t x,
                  int32_t y) {
    const double sx =
        src.left + (x - dst.left + 0.5) * (src.right - src.left) / (dst.right - dst.left);
    const double sy =
        src.top + (y - dst.top + 0.5) * (src.bottom - src.top) / (dst.bottom - dst.top);
    const uint16_t v = d.At(plane, int32_t(sx), int32_t(sy));
    return d.depth == 16 ? uint8_t((v * 255 + 16384) / 32768) : uint8_t(v);
}

struct ScaleCase {
    int depth;
    VRect source, destination, read;
};

class ScaledReadTest : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(ScaledReadTest, MatchesTheReference) {
    const ScaleCase& c = GetParam();
    Document d = Patterned(ColorMode::RGB, c.depth, 40, 30);
    FilterSession session;
    ChannelPorts& ports = session.OpenPorts(d);
    ReadChannelDesc* green = ports.Channels()->next;
    const int32_t width = c.read.right - c.read.left, height = c.read.bottom - c.read.top;
    std::vector<uint8_t> out(size_t(width * height), 0xee);
    const PixelMemoryDesc memory = Memory(out, width, 8);
    const PSScaling scaling{c.source, c.destination};
    VRect wrote{};
    ASSERT_EQ(ports.Suite()->ReadScaledPixels(green->port, &c.read, &scaling, &memory, &wrote), 0);
    EXPECT_EQ(wrote.top, c.read.top);
    EXPECT_EQ(wrote.right, c.read.right);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x)
            ASSERT_EQ(out[size_t(y * width + x)],
                      Reference(d, 1, c.source, c.destination, x + c.read.left, y + c.read.top))
                << x << "," << y;
    // The filter record's read-pixels service gives the same.
    std::vector<uint8_t> again(out.size());
    const PixelMemoryDesc memory2 = Memory(again, width, 8);
    EXPECT_EQ(ports.Procs()->readPixelsProc(green->port, &scaling, &c.read, &memory2, &wrote), 0);
    EXPECT_EQ(again, out);
}

INSTANTIATE_TEST_SUITE_P(
    Scales, ScaledReadTest,
    ::testing::Values(ScaleCase{8, {0, 0, 30, 40}, {0, 0, 30, 40}, {0, 0, 30, 40}},
                      ScaleCase{16, {0, 0, 30, 40}, {0, 0, 15, 20}, {0, 0, 15, 20}},
                      ScaleCase{8, {5, 10, 15, 20}, {0, 0, 30, 30}, {0, 0, 30, 30}},
                      ScaleCase{16, {0, 0, 30, 40}, {100, 200, 112, 217}, {103, 205, 110, 212}}));

TEST(ChannelPorts, OnePixelAtTheChannelsDepth) {
    Document d = Patterned(ColorMode::Lab, 16, 9, 7);
    FilterSession session;
    ChannelPorts& ports = session.OpenPorts(d);
    for (ReadChannelDesc* c = ports.Channels(); c; c = c->next) {
        const int plane = c->channelType - ctL;
        uint16_t value = 0;
        const PixelMemoryDesc memory{&value, 16, 16, 0, 16};
        const VRect pixel{3, 4, 4, 5};
        VRect wrote{};
        ASSERT_EQ(ports.Suite()->ReadPixelsFromLevel(c->port, 0, &pixel, &memory, &wrote), 0);
        EXPECT_EQ(value, d.At(plane, 4, 3));
        EXPECT_EQ(wrote.bottom - wrote.top, 1);
    }
    // Outside the image nothing is read.
    uint16_t value = 77;
    const PixelMemoryDesc memory{&value, 16, 16, 0, 16};
    const VRect outside{-1, 2, 0, 3};
    VRect wrote{1, 1, 1, 1};
    EXPECT_EQ(
        ports.Suite()->ReadPixelsFromLevel(ports.Channels()->port, 0, &outside, &memory, &wrote),
        0);
    EXPECT_EQ(value, 77);
    EXPECT_EQ(wrote.bottom, 0);
}

TEST(ChannelPorts, RefusesBadRequests) {
    Document d = Patterned(ColorMode::RGB, 8, 10, 10);
    FilterSession session;
    ChannelPorts& ports = session.OpenPorts(d);
    PIChannelPort port = ports.Channels()->port;
    uint8_t byte = 0;
    const PixelMemoryDesc memory8{&byte, 8, 8, 0, 8};
    const PixelMemoryDesc wrongDepth{&byte, 16, 16, 0, 16};
    const PixelMemoryDesc noData{nullptr, 8, 8, 0, 8};
    const VRect one{0, 0, 1, 1};
    VRect wrote{};
    int junk = 0;
    EXPECT_NE(ports.Suite()->ReadPixelsFromLevel(reinterpret_cast<PIChannelPort>(&junk), 0, &one,
                                                 &memory8, &wrote),
              0);
    EXPECT_NE(ports.Suite()->ReadPixelsFromLevel(port, 1, &one, &memory8, &wrote), 0);
    EXPECT_NE(ports.Suite()->ReadPixelsFromLevel(port, 0, &one, &wrongDepth, &wrote), 0);
    EXPECT_NE(ports.Suite()->ReadPixelsFromLevel(port, 0, &one, &noData, &wrote), 0);
    const PSScaling outside{{0, 0, 11, 10}, {0, 0, 5, 5}};
    EXPECT_NE(ports.Suite()->ReadScaledPixels(port, &one, &outside, &memory8, &wrote), 0);
    const PSScaling empty{{0, 0, 10, 10}, {0, 0, 0, 5}};
    EXPECT_NE(ports.Suite()->ReadScaledPixels(port, &one, &empty, &memory8, &wrote), 0);
    EXPECT_EQ(byte, 0);
}

} // namespace
