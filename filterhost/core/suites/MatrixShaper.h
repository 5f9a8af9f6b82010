// A fast exact route between a matrix-shaper RGB profile and the host's Lab: the profile's own
// tone curves and colorants (read through LittleCMS) with the CIE formulas, tabulated finely
// enough that results match LittleCMS's unoptimised pipeline to the last unit. LittleCMS's
// optimised transforms are fast but off by several levels in dark colours; its exact pipeline
// is exact but slow.
#pragma once

#include "pluginapi/PIColorSpace.h"

#include <array>
#include <memory>
#include <vector>

namespace quillon::filterhost {

class MatrixShaper {
  public:
    // Null when the profile is not a matrix-shaper RGB profile.
    static std::unique_ptr<MatrixShaper> FromProfile(void* profile);

    void RgbToLab(Color8* records, int count) const;
    void LabToRgb(Color8* records, int count) const;
    void RgbToLab(Color16* records, int count) const;
    void LabToRgb(Color16* records, int count) const;

  private:
    MatrixShaper() = default;
    void ToLab(const float rgbLinear[3], float lab[3]) const;
    void ToLinearRgb(const float lab[3], float rgb[3]) const;
    float Encode(int channel, float linear) const;

    std::array<std::array<float, 256>, 3> linear8_; // 8-bit sample -> linear light
    std::array<std::vector<float>, 3> linear16_;    // host 16-bit sample -> linear light
    std::array<std::vector<float>, 3> encode_;      // linear light -> sample (0..1)
    std::vector<float> cubeRoot_;                   // CIE f(t) for t in 0..kMaxT
    float toXyz_[9] = {};
    float fromXyz_[9] = {};
};

} // namespace quillon::filterhost
