// The host's colour picker: a saturation/value square and hue strip, RGB, hex and L*a*b* fields
// (and CMYK ones for a CMYK colour), the new colour beside the one handed in, and a mark when the
// colour has no equivalent in the document's colours.
#pragma once

#include "core/suites/ColorServices.h"
#include "ui/PickerColour.h"

#include <QDialog>

#include <array>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;

namespace quillon::ui {

class ColourComparison;
class HueStrip;
class NumberField;
class SaturationValueSquare;

class ColorPickerDialog : public QDialog {
  public:
    // Components of space as the colour-space suite holds them. The first field of that space
    // has the focus with its text selected, so typing replaces it.
    ColorPickerDialog(filterhost::ColorServices& colours, ColorSpace space,
                      const std::array<uint8_t, 4>& components, QWidget* parent);
    ~ColorPickerDialog() override;

    const PickerColour& Colour() const { return colour_; }
    // Told of each colour the user makes, in the space asked for, as the picker shows it.
    std::function<void(const std::array<uint8_t, 4>& components)> changed;

  private:
    void BuildFields(QWidget* panel);
    // Runs an edit of the colour, then shows it everywhere but in the field typed into (which
    // already shows what was kept) and reports it when it differs from the last one reported.
    void Edit(const std::function<void()>& edit, QWidget* source);
    void ShowColour(QWidget* except);

    PickerColour colour_;
    const std::array<uint8_t, 4> original_;
    std::array<uint8_t, 4> reported_;
    const ColorSpace documentSpace_;
    SaturationValueSquare* square_;
    HueStrip* strip_;
    ColourComparison* comparison_;
    QLabel* gamut_;
    QLineEdit* hex_ = nullptr;
    std::array<NumberField*, 3> rgbFields_{};
    std::array<NumberField*, 3> labFields_{};
    std::array<NumberField*, 4> cmykFields_{};
};

// The colour-space suite's PickColor: shows the picker over the top dialog, converting through the
// colour services of the session in use; false when the user cancels. Needs a running
// QApplication.
filterhost::ColorServices::PickColorHook MakeColorPicker();

} // namespace quillon::ui
