#include "ui/PickerColour.h"

#include <QColor>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon::ui {
namespace {

constexpr ColorSpace kRgb = plugIncolorServicesRGBSpace;
constexpr ColorSpace kLab = plugIncolorServicesLabSpace;
constexpr ColorSpace kCmyk = plugIncolorServicesCMYKSpace;

std::array<uint8_t, 4> Converted(filterhost::ColorServices& colours, ColorSpace from, ColorSpace to,
                                 const std::array<uint8_t, 4>& c) {
    Color8 record{c[0], c[1], c[2], c[3]};
    colours.Convert8(from, to, &record, 1);
    return {record.c0, record.c1, record.c2, record.c3};
}

bool InPercent(ColorSpace space, int slot) {
    return space == kCmyk || (space == kLab && slot == 1);
}

} // namespace

int ShownComponent(ColorSpace space, int slot, uint8_t stored) {
    if (InPercent(space, slot)) return int(std::lround(stored * 100.0 / 255.0));
    if (space == kLab) return stored - 128;
    return stored;
}

uint8_t StoredComponent(ColorSpace space, int slot, int shown) {
    const ComponentScale scale = ScaleOf(space, slot);
    shown = std::clamp(shown, scale.minimum, scale.maximum);
    if (InPercent(space, slot)) return uint8_t(std::lround(shown * 255.0 / 100.0));
    if (space == kLab) return uint8_t(shown + 128);
    return uint8_t(shown);
}

ComponentScale ScaleOf(ColorSpace space, int slot) {
    static constexpr const char* kCmykLabels[] = {"C %", "M %", "Y %", "K %"};
    static constexpr const char* kLabLabels[] = {"", "L", "a", "b"};
    static constexpr const char* kRgbLabels[] = {"", "R", "G", "B"};
    const size_t i = size_t(std::clamp(slot, 0, 3));
    switch (space) {
    case kCmyk:
        return {kCmykLabels[i], 0, 100};
    case kLab:
        return slot == 1 ? ComponentScale{kLabLabels[i], 0, 100}
                         : ComponentScale{kLabLabels[i], -128, 127};
    default:
        return {kRgbLabels[i], 0, 255};
    }
}

std::string HexOf(const std::array<uint8_t, 3>& rgb) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", rgb[0], rgb[1], rgb[2]);
    return text;
}

bool ParseHex(const std::string& text, std::array<uint8_t, 3>& rgb) {
    const std::string digits = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (digits.size() != 6 || !std::all_of(digits.begin(), digits.end(), ::isxdigit)) return false;
    for (size_t i = 0; i < 3; ++i)
        rgb[i] = uint8_t(std::stoi(digits.substr(2 * i, 2), nullptr, 16));
    return true;
}

PickerColour::PickerColour(filterhost::ColorServices& colours, ColorSpace space,
                           const std::array<uint8_t, 4>& components)
    : colours_(colours), space_(space), components_(components) {
    DeriveFromComponents();
    HsvFromRgb();
}

void PickerColour::SetComponent(int slot, uint8_t stored) {
    std::array<uint8_t, 4> c = components_;
    c[size_t(std::clamp(slot, 0, 3))] = stored;
    SetComponents(c);
}

void PickerColour::SetComponents(const std::array<uint8_t, 4>& components) {
    components_ = components;
    DeriveFromComponents();
    HsvFromRgb();
}

void PickerColour::SetRgb(const std::array<uint8_t, 3>& rgb) {
    rgb_ = rgb;
    DeriveFromRgb();
    HsvFromRgb();
}

void PickerColour::SetLabComponent(int slot, uint8_t stored) {
    lab_[size_t(std::clamp(slot, 1, 3))] = stored;
    DeriveFromLab();
    HsvFromRgb();
}

void PickerColour::SetHsv(double hue, double saturation, double value) {
    hue_ = std::clamp(hue, 0.0, 1.0);
    saturation_ = std::clamp(saturation, 0.0, 1.0);
    value_ = std::clamp(value, 0.0, 1.0);
    // Hue 1 is hue 0 again: QColor wants it below one turn.
    const QColor colour =
        QColor::fromHsvF(float(std::min(hue_, 0.9999)), float(saturation_), float(value_));
    rgb_ = {uint8_t(colour.red()), uint8_t(colour.green()), uint8_t(colour.blue())};
    DeriveFromRgb();
}

void PickerColour::DeriveFromRgb() {
    const std::array<uint8_t, 4> rgb{components_[0], rgb_[0], rgb_[1], rgb_[2]};
    lab_ = Converted(colours_, kRgb, kLab, rgb);
    // RGB and Lab records keep the pad they were handed.
    const std::array<uint8_t, 4> native = Converted(colours_, kRgb, space_, rgb);
    components_ = space_ == kCmyk
                      ? native
                      : std::array<uint8_t, 4>{components_[0], native[1], native[2], native[3]};
    CheckGamut();
}

void PickerColour::DeriveFromLab() {
    lab_[0] = components_[0];
    const std::array<uint8_t, 4> rgb = Converted(colours_, kLab, kRgb, lab_);
    rgb_ = {rgb[1], rgb[2], rgb[3]};
    const std::array<uint8_t, 4> native = Converted(colours_, kLab, space_, lab_);
    components_ = space_ == kCmyk
                      ? native
                      : std::array<uint8_t, 4>{components_[0], native[1], native[2], native[3]};
    CheckGamut();
}

void PickerColour::DeriveFromComponents() {
    const std::array<uint8_t, 4> rgb = Converted(colours_, space_, kRgb, components_);
    rgb_ = {rgb[1], rgb[2], rgb[3]};
    lab_ = Converted(colours_, space_, kLab, components_);
    CheckGamut();
}

void PickerColour::HsvFromRgb() {
    float h = 0, s = 0, v = 0;
    QColor::fromRgb(rgb_[0], rgb_[1], rgb_[2]).getHsvF(&h, &s, &v);
    value_ = v;
    if (v > 0) saturation_ = s;
    if (h >= 0 && s > 0) hue_ = h;
}

void PickerColour::CheckGamut() {
    inGamut_ = colours_.InDocumentGamut(lab_[1] * 100.0 / 255.0, lab_[2] - 128.0, lab_[3] - 128.0);
}

} // namespace quillon::ui
