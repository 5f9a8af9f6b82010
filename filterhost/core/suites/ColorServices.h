// The colour-space suite over LittleCMS: RGB, CMYK and the host's Lab, whole rows per call.
#pragma once

#include "core/documents/Document.h"
#include "core/suites/HandleTable.h"
#include "core/suites/MatrixShaper.h"
#include "pluginapi/PIColorSpace.h"
#include "pluginapi/PIPickerFollow.h"

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
    // Colour records the plug-in makes are entered in colours; without a table the services only
    // convert. Throws HostFailure when the RGB profile cannot be read; an unusable CMYK profile
    // fails the conversions that need it.
    ColorServices(std::span<const uint8_t> rgbProfile = {},
                  std::span<const uint8_t> cmykProfile = {}, HandleTable* colours = nullptr);
    ~ColorServices();
    ColorServices(const ColorServices&) = delete;
    ColorServices& operator=(const ColorServices&) = delete;

    // The suite table outlives every service object, so a plug-in that keeps it between runs
    // gets errors, not freed memory, while no document is open. It reaches the colour services
    // of the session in use, and answers a failure with an error code.
    static const PSColorSpaceSuite1* Suite();
    // The picker that reports each change while it is open, over the same colour records.
    static const QuillonPickerFollowSuite1* FollowSuite();

    // Throw HostFailure naming the profile that cannot be used.
    void Convert8(ColorSpace from, ColorSpace to, Color8* records, int count);
    void Convert16(ColorSpace from, ColorSpace to, Color16* records, int count);

    // The colour picker: returns false when the user cancels. Without one the colour is kept.
    // While it is open it calls changed (when set) with each colour the user makes, in space.
    using PickChanged = std::function<void(const uint8_t components[4])>;
    using PickColorHook =
        std::function<bool(ColorSpace space, uint8_t components[4], const PickChanged& changed)>;
    void SetPickColorHook(PickColorHook hook) { pickColor_ = std::move(hook); }

    // The colour space of the document filtered (RGB until told).
    void SetDocumentSpace(ColorSpace space) { documentSpace_ = space; }
    ColorSpace DocumentSpace() const { return documentSpace_; }
    // Whether a Lab colour (L 0..100, a and b about -128..127) has an equivalent in the
    // document's colours: its CMYK profile for a CMYK document, else its RGB profile (sRGB by
    // default). Throws HostFailure naming a profile that cannot be used.
    bool InDocumentGamut(double l, double a, double b);

    // Conversion calls that did work, by source and destination space, counted into counts from
    // now on (null stops counting): for tests of which conversions a filter asks for.
    using ConversionCounts = std::map<std::pair<int, int>, int>;
    void CountConversionsIn(ConversionCounts* counts) { counts_ = counts; }
    size_t LiveColors() const { return colours_ ? colours_->Count(HandleKind::Color) : 0; }

  private:
    struct Transform;
    // RGB to and from Lab without LittleCMS's transform when the RGB profile allows.
    bool ConvertFast(ColorSpace from, ColorSpace to, Color8* records, int count) const;
    bool ConvertFast(ColorSpace from, ColorSpace to, Color16* records, int count) const;

    Transform& TransformFor(ColorSpace from, ColorSpace to, int bytes);
    void* ProfileFor(ColorSpace space);

    void* rgbProfile_ = nullptr;
    bool rgbEmbedded_ = false;
    std::unique_ptr<MatrixShaper> shaper_;
    void* cmykProfile_ = nullptr;
    bool cmykEmbedded_ = false;
    void* labProfile_ = nullptr;
    std::map<std::tuple<int, int, int>, std::unique_ptr<Transform>> transforms_;
    std::vector<uint16_t> scratch_;
    ColorSpace documentSpace_ = plugIncolorServicesRGBSpace;
    // Lab to the document's device space and back, in floating point, for the gamut check.
    std::unique_ptr<Transform> toDevice_, fromDevice_;
    PickColorHook pickColor_;
    ConversionCounts* counts_ = nullptr;
    HandleTable* colours_;

    friend struct ColorSuiteProcs;
};

// The colour-space code of a document's mode.
inline ColorSpace ColorSpaceOf(ColorMode mode) {
    switch (mode) {
    case ColorMode::CMYK:
        return plugIncolorServicesCMYKSpace;
    case ColorMode::Lab:
        return plugIncolorServicesLabSpace;
    default:
        return plugIncolorServicesRGBSpace;
    }
}

// An 8-bit sample on the host's 16-bit scale (0..32768), rounded: the suite's Convert8to16.
inline uint16_t EightToHost16(uint8_t v) {
    return static_cast<uint16_t>((v * 32768 + 127) / 255);
}

// Where the system CMYK profile is looked for.
inline constexpr const char* kDefaultCmykProfile =
    "/usr/share/color/icc/ghostscript/default_cmyk.icc";

} // namespace quillon::filterhost
