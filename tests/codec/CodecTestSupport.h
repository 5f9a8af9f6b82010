#pragma once

#include "Fixtures.h"

#include "codec/ImageCodec.h"

#include <gtest/gtest.h>

namespace quillon::codec::testing {

using fixtures::Bytes;
using fixtures::Picture;

struct Result {
    int code = -1;
    Picture picture;
};

// Decodes through a memory source as the generic reader does.
inline Result Decode(const Bytes& bytes) {
    Result r;
    ImageSource* source = SourceFromMemory(bytes.data(), bytes.size());
    if (source == nullptr) {
        r.code = CodecLastError();
        return r;
    }
    int32_t w = 0, h = 0;
    uint8_t* pixels = DecodeImage(source, &w, &h);
    r.code = CodecLastError();
    CloseImageSource(source);
    if (pixels != nullptr) {
        r.picture = Picture{w, h, Bytes(pixels, pixels + size_t(w) * h * 3)};
        ReleaseRgbImage(pixels);
    }
    return r;
}

// Every channel of every pixel within `tolerance`.
inline ::testing::AssertionResult SamePicture(const Picture& actual, const Picture& expected,
                                              int tolerance = 0) {
    if (actual.width != expected.width || actual.height != expected.height) {
        return ::testing::AssertionFailure()
               << "size " << actual.width << "x" << actual.height << ", expected " << expected.width
               << "x" << expected.height;
    }
    for (size_t i = 0; i < actual.rgb.size(); ++i) {
        if (std::abs(int(actual.rgb[i]) - int(expected.rgb[i])) > tolerance) {
            size_t px = i / 3;
            return ::testing::AssertionFailure()
                   << "pixel (" << px % size_t(actual.width) << ", " << px / size_t(actual.width)
                   << ") channel " << i % 3 << " is " << int(actual.rgb[i]) << ", expected "
                   << int(expected.rgb[i]);
        }
    }
    return ::testing::AssertionSuccess();
}

// For lossy formats: the mean absolute difference over all channels.
inline double MeanError(const Picture& a, const Picture& b) {
    EXPECT_EQ(a.rgb.size(), b.rgb.size());
    double sum = 0;
    for (size_t i = 0; i < std::min(a.rgb.size(), b.rgb.size()); ++i)
        sum += std::abs(int(a.rgb[i]) - int(b.rgb[i]));
    return a.rgb.empty() ? 255 : sum / double(a.rgb.size());
}

} // namespace quillon::codec::testing
