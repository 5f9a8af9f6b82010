// The colour a colour picker shows, in every form its fields show: the components of the space the
// plug-in asked for, RGB, Lab and hue/saturation/value. The form the user set last is the source;
// every other form is the host's colour services' conversion of it, so the fields always agree.
#pragma once

#include "core/suites/ColorServices.h"

#include <array>
#include <cstdint>

namespace quillon::ui {

// How one 8-bit component of a space is shown in a field: the scale people know for it.
struct ComponentScale {
    const char* label;
    int minimum, maximum;
};

// Lab components 1..3 as L 0..100, a and b -128..127; CMYK components 0..3 in percent; RGB
// components 1..3 as they are.
int ShownComponent(ColorSpace space, int slot, uint8_t stored);
uint8_t StoredComponent(ColorSpace space, int slot, int shown);
ComponentScale ScaleOf(ColorSpace space, int slot);

// "#rrggbb" in lower case; and the colour of a text of six hex digits, with or without '#'.
std::string HexOf(const std::array<uint8_t, 3>& rgb);
bool ParseHex(const std::string& text, std::array<uint8_t, 3>& rgb);

class PickerColour {
  public:
    // Components of space as the colour-space suite holds them (c0 first).
    PickerColour(filterhost::ColorServices& colours, ColorSpace space,
                 const std::array<uint8_t, 4>& components);

    ColorSpace Space() const { return space_; }
    const std::array<uint8_t, 4>& Components() const { return components_; }
    // R, G, B in the services' RGB (the document's RGB profile, sRGB by default).
    const std::array<uint8_t, 3>& Rgb() const { return rgb_; }
    // The Lab record: c1 L 0..255, c2 and c3 a and b neutral at 128.
    const std::array<uint8_t, 4>& Lab() const { return lab_; }
    // Hue 0..1 (kept through greys), saturation and value 0..1.
    double Hue() const { return hue_; }
    double Saturation() const { return saturation_; }
    double Value() const { return value_; }
    // Whether the Lab colour has an equivalent in the document's colours.
    bool InGamut() const { return inGamut_; }

    // Each sets one form and derives the others.
    void SetComponent(int slot, uint8_t stored);
    void SetComponents(const std::array<uint8_t, 4>& components);
    void SetRgb(const std::array<uint8_t, 3>& rgb);
    void SetLabComponent(int slot, uint8_t stored);
    void SetHsv(double hue, double saturation, double value);

  private:
    // Everything but the hue, saturation and value from the RGB colour.
    void DeriveFromRgb();
    void DeriveFromLab();
    void DeriveFromComponents();
    // Hue and saturation are kept where RGB leaves them undefined (greys, black).
    void HsvFromRgb();
    void CheckGamut();

    filterhost::ColorServices& colours_;
    ColorSpace space_;
    std::array<uint8_t, 4> components_;
    std::array<uint8_t, 3> rgb_{};
    std::array<uint8_t, 4> lab_{};
    double hue_ = 0, saturation_ = 0, value_ = 0;
    bool inGamut_ = true;
};

} // namespace quillon::ui
