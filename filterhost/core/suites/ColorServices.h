// The colour-space suite over LittleCMS: RGB, CMYK and the host's Lab, whole rows per call.
#pragma once

#include "core/suites/MatrixShaper.h"
#include "pluginapi/PIColorSpace.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <tuple>
#include <vector>

namespace quillon::filterhost {

class ColorServices {
  public:
    // Embedded profiles of the document, empty for the defaults (sRGB; the system CMYK profile).
    ColorServices(std::span<const uint8_t> rgbProfile = {},
                  std::span<const uint8_t> cmykProfile = {});
    ~ColorServices();
    ColorServices(const ColorServices&) = delete;
    ColorServices& operator=(const ColorServices&) = delete;

    // The suite table outlives every service object, so a plug-in that keeps it between runs
    // gets errors, not freed memory, while no document is open.
    static const PSColorSpaceSuite1* Suite();

    void Convert8(ColorSpace from, ColorSpace to, Color8* records, int count);
    void Convert16(ColorSpace from, ColorSpace to, Color16* records, int count);

    // The colour picker: returns false when the user cancels. Without one the colour is kept.
    using PickColorHook = std::function<bool(ColorSpace space, uint8_t components[4])>;
    void SetPickColorHook(PickColorHook hook) { pickColor_ = std::move(hook); }

    int Conversions() const { return conversions_; }
    // Conversion calls that did work, by source and destination space.
    const std::map<std::pair<int, int>, int>& ConversionsBySpaces() const { return bySpaces_; }
    size_t LiveColors() const { return colors_; }

  private:
    struct Transform;
    // RGB to and from Lab without LittleCMS's transform when the RGB profile allows.
    bool ConvertFast(ColorSpace from, ColorSpace to, Color8* records, int count) const;
    bool ConvertFast(ColorSpace from, ColorSpace to, Color16* records, int count) const;

    Transform& TransformFor(ColorSpace from, ColorSpace to, int bytes);
    void* ProfileFor(ColorSpace space);

    void* rgbProfile_ = nullptr;
    std::unique_ptr<MatrixShaper> shaper_;
    void* cmykProfile_ = nullptr;
    void* labProfile_ = nullptr;
    std::map<std::tuple<int, int, int>, std::unique_ptr<Transform>> transforms_;
    std::vector<uint16_t> scratch_;
    PickColorHook pickColor_;
    int conversions_ = 0;
    std::map<std::pair<int, int>, int> bySpaces_;
    size_t colors_ = 0;

    friend struct ColorSuiteProcs;
};

// An 8-bit sample on the host's 16-bit scale (0..32768), rounded: the suite's Convert8to16.
inline uint16_t EightToHost16(uint8_t v) {
    return static_cast<uint16_t>((v * 32768 + 127) / 255);
}

// Where the system CMYK profile is looked for.
inline constexpr const char* kDefaultCmykProfile =
    "/usr/share/color/icc/ghostscript/default_cmyk.icc";

} // namespace quillon::filterhost
