#include "ui/ColorPicker.h"

#include "ui/AdmDialog.h"
#include "ui/DialogManager.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <vector>

namespace quillon::ui {
namespace {

// How one 8-bit component is shown: the scale people know for that space.
struct Component {
    const char* label;
    int minimum, maximum;
    int slot; // index into the four components
};

std::vector<Component> ComponentsOf(ColorSpace space) {
    switch (space) {
    case plugIncolorServicesCMYKSpace:
        return {{"C %", 0, 100, 0}, {"M %", 0, 100, 1}, {"Y %", 0, 100, 2}, {"K %", 0, 100, 3}};
    case plugIncolorServicesLabSpace:
        return {{"L", 0, 100, 1}, {"a", -128, 127, 2}, {"b", -128, 127, 3}};
    default:
        return {{"R", 0, 255, 1}, {"G", 0, 255, 2}, {"B", 0, 255, 3}};
    }
}

int Shown(ColorSpace space, int slot, uint8_t v) {
    if (space == plugIncolorServicesCMYKSpace ||
        (space == plugIncolorServicesLabSpace && slot == 1))
        return int(std::lround(v * 100.0 / 255.0));
    if (space == plugIncolorServicesLabSpace) return v - 128;
    return v;
}

uint8_t Stored(ColorSpace space, int slot, int shown) {
    if (space == plugIncolorServicesCMYKSpace ||
        (space == plugIncolorServicesLabSpace && slot == 1))
        return uint8_t(std::lround(shown * 255.0 / 100.0));
    if (space == plugIncolorServicesLabSpace) return uint8_t(shown + 128);
    return uint8_t(shown);
}

class ColorPickerDialog : public QDialog {
  public:
    ColorPickerDialog(ColorSpace space, const uint8_t components[4], SPBasicSuite* basic,
                      QWidget* parent)
        : QDialog(parent), space_(space), basic_(basic) {
        setWindowTitle("Pick a Colour");
        std::copy(components, components + 4, values_.begin());
        auto* layout = new QHBoxLayout(this);
        swatch_ = new QFrame(this);
        swatch_->setFrameShape(QFrame::Box);
        swatch_->setFixedSize(96, 96);
        swatch_->setAutoFillBackground(true);
        layout->addWidget(swatch_);
        auto* column = new QVBoxLayout;
        auto* form = new QFormLayout;
        QSpinBox* first = nullptr;
        for (const Component& c : ComponentsOf(space)) {
            auto* box = new QSpinBox(this);
            box->setRange(c.minimum, c.maximum);
            box->setValue(Shown(space, c.slot, values_[size_t(c.slot)]));
            const int slot = c.slot;
            connect(box, &QSpinBox::valueChanged, this, [this, slot](int v) {
                values_[size_t(slot)] = Stored(space_, slot, v);
                ShowSwatch();
            });
            form->addRow(c.label, box);
            // Typing goes to the first component at once.
            if (!first) first = box;
        }
        first->setFocus();
        first->selectAll();
        column->addLayout(form);
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
        column->addWidget(buttons);
        layout->addLayout(column);
        ShowSwatch();
    }

    const std::array<uint8_t, 4>& Values() const { return values_; }

  private:
    void ShowSwatch() {
        Color8 colour{values_[0], values_[1], values_[2], values_[3]};
        if (space_ != plugIncolorServicesRGBSpace) {
            const void* suite = nullptr;
            if (basic_->AcquireSuite(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1, &suite) != 0)
                return;
            static_cast<const PSColorSpaceSuite1*>(suite)->Convert8(
                space_, plugIncolorServicesRGBSpace, &colour, 1);
            basic_->ReleaseSuite(kPSColorSpaceSuite, kPSColorSpaceSuiteVersion1);
        }
        QPalette palette = swatch_->palette();
        palette.setColor(QPalette::Window, QColor(colour.c1, colour.c2, colour.c3));
        swatch_->setPalette(palette);
    }

    ColorSpace space_;
    std::array<uint8_t, 4> values_{};
    SPBasicSuite* basic_;
    QFrame* swatch_;
};

} // namespace

filterhost::ColorServices::PickColorHook MakeColorPicker(filterhost::SuiteRegistry& suites) {
    return [basic = suites.Basic()](ColorSpace space, uint8_t components[4]) {
        DialogManager* manager = DialogManager::Current();
        ColorPickerDialog picker(space, components, basic,
                                 manager ? manager->TopDialog() : nullptr);
        if (picker.exec() != QDialog::Accepted) return false;
        std::copy(picker.Values().begin(), picker.Values().end(), components);
        return true;
    };
}

} // namespace quillon::ui
