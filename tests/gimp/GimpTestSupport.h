// Running real GIMP on the bridge: a folder of the test's own that holds GIMP's settings (with the
// bridge and its module installed as a user would), the pictures, and what GIMP and quillon write.
#pragma once

#include "core/documents/Document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace quillon::testing {

// What a PNG stores, samples interleaved: 8-bit ones as they are, 16-bit ones on 0..65535.
struct Samples {
    int32_t width = 0, height = 0;
    int depth = 8;
    int channels = 3;
    std::vector<uint16_t> values;

    uint16_t At(int32_t x, int32_t y, int c) const {
        return values[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
};
Samples ReadSamples(const std::filesystem::path& file);

// Pictures made by code: a grey patch left of x 16 that the tests' adjustment moves, gradients
// elsewhere; with alpha running over many values, or at 16 bits between the 8-bit levels.
filterhost::Document MakePicture(int depth, bool alpha);

// An ICC profile of wider primaries than sRGB's (Adobe RGB's, gamma 2.2).
std::vector<uint8_t> WideProfile();

struct Finished {
    int status = -1;
    std::string output; // standard output and error together
};

class GimpTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Empty when GIMP and the bridge are both there, else what is missing.
    static std::string Missing();

    // Runs gimp -i on the Scheme text with environment assignments ("A=1 B=2"), through a
    // wrapper command (xvfb-run) when one is given.
    Finished Gimp(const std::string& scheme, const std::string& environment = "",
                  const std::string& wrapper = "");
    Finished Quillon(const std::string& arguments);

    // The notes the Scheme text wrote.
    std::string Notes() const;

    std::filesystem::path folder_;
};

} // namespace quillon::testing
