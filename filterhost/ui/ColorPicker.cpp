#include "ui/ColorPicker.h"

#include "core/suites/SessionServices.h"
#include "ui/AdmDialog.h"
#include "ui/DialogManager.h"
#include "ui/PickerWidgets.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

namespace quillon::ui {
namespace {

constexpr ColorSpace kLab = plugIncolorServicesLabSpace;
constexpr ColorSpace kCmyk = plugIncolorServicesCMYKSpace;

QColor QColorOf(const std::array<uint8_t, 3>& rgb) {
    return QColor(rgb[0], rgb[1], rgb[2]);
}

const char* GamutText(ColorSpace document) {
    return document == kCmyk ? "\u26a0 Out of gamut: the document's CMYK cannot show this colour"
                             : "\u26a0 Out of gamut: RGB cannot show this colour";
}

// Over the right half of the dialog that asked, where the sample is, so the preview on the left
// stays in sight while it follows the picker; inside the screen's work area.
void PlaceBeside(QDialog& picker) {
    const QWidget* owner = picker.parentWidget();
    if (!owner) return;
    picker.adjustSize();
    const QRect area = owner->screen()->availableGeometry();
    const QRect frame = owner->frameGeometry();
    QPoint at(frame.left() + frame.width() * 3 / 4 - picker.width() / 2,
              frame.top() + (frame.height() - picker.height()) / 2);
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - picker.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - picker.height())));
    picker.move(at);
}

} // namespace

ColorPickerDialog::ColorPickerDialog(filterhost::ColorServices& colours, ColorSpace space,
                                     const std::array<uint8_t, 4>& components, QWidget* parent)
    : QDialog(parent), colour_(colours, space, components), original_(components),
      reported_(components), documentSpace_(colours.DocumentSpace()) {
    setWindowTitle("Pick a Colour");
    auto* layout = new QHBoxLayout(this);
    square_ = new SaturationValueSquare(this);
    strip_ = new HueStrip(this);
    square_->setObjectName("square");
    strip_->setObjectName("hue");
    layout->addWidget(square_, 1);
    layout->addWidget(strip_);
    square_->changed = [this](double saturation, double value) {
        Edit([&] { colour_.SetHsv(colour_.Hue(), saturation, value); }, square_);
    };
    strip_->changed = [this](double hue) {
        Edit([&] { colour_.SetHsv(hue, colour_.Saturation(), colour_.Value()); }, strip_);
    };

    auto* panel = new QWidget(this);
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 0, 0, 0);
    comparison_ = new ColourComparison(QColorOf(colour_.Rgb()), panel);
    comparison_->setObjectName("comparison");
    comparison_->oldChosen = [this] { Edit([&] { colour_.SetComponents(original_); }, nullptr); };
    column->addWidget(comparison_);
    gamut_ = new QLabel(GamutText(documentSpace_), panel);
    gamut_->setObjectName("gamut");
    gamut_->setWordWrap(true);
    gamut_->setStyleSheet("color: #b00000; font-weight: bold");
    // The mark comes and goes without moving the fields below it.
    QSizePolicy keepSpace = gamut_->sizePolicy();
    keepSpace.setRetainSizeWhenHidden(true);
    gamut_->setSizePolicy(keepSpace);
    gamut_->setMinimumWidth(220);
    column->addWidget(gamut_);
    BuildFields(panel);
    column->addStretch(1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, panel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    layout->addWidget(panel);

    ShowColour(nullptr);
    // Typing goes to the first component of the space asked for at once.
    QLineEdit* first = space == kLab    ? static_cast<QLineEdit*>(labFields_[0])
                       : space == kCmyk ? static_cast<QLineEdit*>(cmykFields_[0])
                                        : static_cast<QLineEdit*>(rgbFields_[0]);
    first->setFocus();
    first->selectAll();
}

ColorPickerDialog::~ColorPickerDialog() = default;

void ColorPickerDialog::BuildFields(QWidget* panel) {
    auto* grid = new QGridLayout;
    static_cast<QVBoxLayout*>(panel->layout())->addLayout(grid);
    auto addField = [&](const char* label, NumberField* field, int row, int column) {
        auto* text = new QLabel(label, panel);
        text->setBuddy(field);
        field->setObjectName(label);
        grid->addWidget(text, row, column);
        grid->addWidget(field, row, column + 1);
    };
    for (int i = 0; i < 3; ++i) {
        const ComponentScale scale = ScaleOf(plugIncolorServicesRGBSpace, i + 1);
        auto* field = new NumberField(scale.minimum, scale.maximum, panel);
        field->changed = [this, i, field](int kept) {
            Edit(
                [&] {
                    std::array<uint8_t, 3> rgb = colour_.Rgb();
                    rgb[size_t(i)] = uint8_t(kept);
                    colour_.SetRgb(rgb);
                },
                field);
        };
        rgbFields_[size_t(i)] = field;
        addField(scale.label, field, i, 0);
    }
    hex_ = new QLineEdit(panel);
    hex_->setObjectName("#");
    hex_->setMaximumWidth(80);
    hex_->setValidator(
        new QRegularExpressionValidator(QRegularExpression("#?[0-9a-fA-F]{0,6}"), hex_));
    connect(hex_, &QLineEdit::textEdited, this, [this](const QString& text) {
        std::array<uint8_t, 3> rgb{};
        if (ParseHex(text.toStdString(), rgb)) Edit([&] { colour_.SetRgb(rgb); }, hex_);
    });
    auto* hexLabel = new QLabel("#", panel);
    hexLabel->setBuddy(hex_);
    grid->addWidget(hexLabel, 3, 0);
    grid->addWidget(hex_, 3, 1);

    for (int i = 0; i < 3; ++i) {
        const ComponentScale scale = ScaleOf(kLab, i + 1);
        auto* field = new NumberField(scale.minimum, scale.maximum, panel);
        field->changed = [this, i, field](int kept) {
            Edit([&] { colour_.SetLabComponent(i + 1, StoredComponent(kLab, i + 1, kept)); },
                 field);
        };
        labFields_[size_t(i)] = field;
        addField(scale.label, field, i, 2);
    }
    if (colour_.Space() != kCmyk) return;
    for (int i = 0; i < 4; ++i) {
        const ComponentScale scale = ScaleOf(kCmyk, i);
        auto* field = new NumberField(scale.minimum, scale.maximum, panel);
        field->changed = [this, i, field](int kept) {
            Edit([&] { colour_.SetComponent(i, StoredComponent(kCmyk, i, kept)); }, field);
        };
        cmykFields_[size_t(i)] = field;
        addField(scale.label, field, 4 + i, 0);
    }
}

void ColorPickerDialog::Edit(const std::function<void()>& edit, QWidget* source) {
    // Qt's event loop cannot carry an exception: a colour services failure (an unusable
    // profile) is shown where the gamut mark goes and the colour stays as it was.
    try {
        edit();
    } catch (const std::exception& failure) {
        gamut_->setText(failure.what());
        gamut_->show();
        return;
    }
    ShowColour(source);
    if (colour_.Components() == reported_) return;
    reported_ = colour_.Components();
    if (changed) changed(reported_);
}

void ColorPickerDialog::ShowColour(QWidget* except) {
    const std::array<uint8_t, 3>& rgb = colour_.Rgb();
    for (size_t i = 0; i < 3; ++i)
        if (rgbFields_[i] != except) rgbFields_[i]->Show(rgb[i]);
    if (hex_ != except) hex_->setText(QString::fromStdString(HexOf(rgb)));
    for (size_t i = 0; i < 3; ++i)
        if (labFields_[i] != except)
            labFields_[i]->Show(ShownComponent(kLab, int(i) + 1, colour_.Lab()[i + 1]));
    if (colour_.Space() == kCmyk)
        for (size_t i = 0; i < 4; ++i)
            if (cmykFields_[i] != except)
                cmykFields_[i]->Show(ShownComponent(kCmyk, int(i), colour_.Components()[i]));
    square_->Show(colour_.Hue(), colour_.Saturation(), colour_.Value());
    strip_->Show(colour_.Hue());
    comparison_->Show(QColorOf(rgb));
    gamut_->setText(GamutText(documentSpace_));
    gamut_->setVisible(!colour_.InGamut());
}

filterhost::ColorServices::PickColorHook MakeColorPicker() {
    return [](ColorSpace space, uint8_t components[4],
              const filterhost::ColorServices::PickChanged& changed) {
        filterhost::SessionServices* session = filterhost::SessionServices::Current();
        filterhost::ColorServices* colours = session ? session->Colors() : nullptr;
        if (!colours) return false;
        DialogManager* manager = DialogManager::Current();
        ColorPickerDialog picker(*colours, space,
                                 {components[0], components[1], components[2], components[3]},
                                 manager ? manager->TopDialog() : nullptr);
        if (changed)
            picker.changed = [&changed](const std::array<uint8_t, 4>& c) { changed(c.data()); };
        PlaceBeside(picker);
        if (picker.exec() != QDialog::Accepted) return false;
        std::copy(picker.Colour().Components().begin(), picker.Colour().Components().end(),
                  components);
        return true;
    };
}

} // namespace quillon::ui
