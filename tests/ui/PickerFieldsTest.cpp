// The colour picker's fields against the host's colour services: whichever field is typed into,
// every other one shows the services' conversion of the colour; out-of-range numbers are clamped
// where they were typed; the gamut mark follows the document's colours.
#include "core/session/FilterSession.h"
#include "core/suites/ColorServices.h"
#include "ui/ColorPicker.h"
#include "ui/PickerColour.h"
#include "ui/PickerWidgets.h"

#include <QLabel>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

using filterhost::ColorServices;
constexpr ColorSpace kRgb = plugIncolorServicesRGBSpace;
constexpr ColorSpace kLab = plugIncolorServicesLabSpace;
constexpr ColorSpace kCmyk = plugIncolorServicesCMYKSpace;

std::vector<uint8_t> CmykProfile() {
    std::ifstream in(filterhost::kDefaultCmykProfile, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A document's colour services: sRGB, or CMYK with its profile embedded.
struct Document {
    const char* name;
    ColorSpace space;
};
constexpr Document kDocuments[] = {{"sRGB", kRgb}, {"CMYK", kCmyk}};

class PickerFieldsTest : public ::testing::Test {
  protected:
    ColorServices& Open(const Document& document) {
        if (document.space == kCmyk) {
            cmykProfile_ = CmykProfile();
            EXPECT_FALSE(cmykProfile_.empty()) << filterhost::kDefaultCmykProfile;
        }
        ColorServices& colours = session_.OpenColors({}, cmykProfile_);
        colours.SetDocumentSpace(document.space);
        return colours;
    }

    std::unique_ptr<ui::ColorPickerDialog> Picker(ColorServices& colours, ColorSpace space,
                                                  std::array<uint8_t, 4> start) {
        auto picker = std::make_unique<ui::ColorPickerDialog>(colours, space, start, nullptr);
        picker->changed = [this](const std::array<uint8_t, 4>& c) { reports_.push_back(c); };
        picker->show();
        return picker;
    }

    static QLineEdit* Field(ui::ColorPickerDialog& picker, const char* name) {
        auto* field = picker.findChild<QLineEdit*>(name);
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    static void Type(ui::ColorPickerDialog& picker, const char* name, const std::string& text) {
        QLineEdit* field = Field(picker, name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, QString::fromStdString(text));
    }
    static std::string Text(ui::ColorPickerDialog& picker, const char* name) {
        return Field(picker, name)->text().toStdString();
    }
    static bool GamutMarked(ui::ColorPickerDialog& picker) {
        return !picker.findChild<QLabel*>("gamut")->isHidden();
    }

    static std::array<uint8_t, 4> Convert(ColorServices& colours, ColorSpace from, ColorSpace to,
                                          std::array<uint8_t, 4> c) {
        Color8 record{c[0], c[1], c[2], c[3]};
        colours.Convert8(from, to, &record, 1);
        return {record.c0, record.c1, record.c2, record.c3};
    }

    // The RGB, hex and Lab fields (and CMYK ones for a CMYK pick) show rgb and its conversions.
    void ExpectShows(ColorServices& colours, ui::ColorPickerDialog& picker,
                     const std::array<uint8_t, 3>& rgb, const std::string& what) {
        const std::array<uint8_t, 4> rgbRecord{0, rgb[0], rgb[1], rgb[2]};
        EXPECT_EQ(Text(picker, "R"), std::to_string(rgb[0])) << what;
        EXPECT_EQ(Text(picker, "G"), std::to_string(rgb[1])) << what;
        EXPECT_EQ(Text(picker, "B"), std::to_string(rgb[2])) << what;
        EXPECT_EQ(Text(picker, "#"), ui::HexOf(rgb)) << what;
        const auto lab = Convert(colours, kRgb, kLab, rgbRecord);
        EXPECT_EQ(Text(picker, "L"), std::to_string(ui::ShownComponent(kLab, 1, lab[1]))) << what;
        EXPECT_EQ(Text(picker, "a"), std::to_string(lab[2] - 128)) << what;
        EXPECT_EQ(Text(picker, "b"), std::to_string(lab[3] - 128)) << what;
        const ColorSpace space = picker.Colour().Space();
        const auto native = Convert(colours, kRgb, space, rgbRecord);
        for (int i = space == kCmyk ? 0 : 1; i < 4; ++i)
            EXPECT_EQ(picker.Colour().Components()[size_t(i)], native[size_t(i)]) << what << i;
        if (space != kCmyk) return;
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(Text(picker, ui::ScaleOf(kCmyk, i).label),
                      std::to_string(ui::ShownComponent(kCmyk, i, native[size_t(i)])))
                << what << i;
    }

    filterhost::FilterSession session_;
    std::vector<uint8_t> cmykProfile_;
    std::vector<std::array<uint8_t, 4>> reports_;
};

const char* const kColours[] = {"#000000", "#ffffff", "#808080", "#ff0000", "#00ff00",
                                "#0000ff", "#ffff00", "#00ffff", "#ff00ff", "#c68642",
                                "#f1c27d", "#2e8b57", "#4682b4", "#8b0000", "#ffa500",
                                "#800080", "#20a0a0", "#101820", "#fafad2", "#5a8a32"};

// Typed as hex: the RGB fields show it, the Lab fields and the colour handed back are the
// services' conversions of it.
TEST_F(PickerFieldsTest, HexTypedAgreesWithTheColourServices) {
    for (const Document& document : kDocuments) {
        ColorServices& colours = Open(document);
        for (const ColorSpace space : {kLab, document.space}) {
            auto picker = Picker(colours, space, {0, 128, 128, 128});
            for (const char* hex : kColours) {
                std::array<uint8_t, 3> rgb{};
                ASSERT_TRUE(ui::ParseHex(hex, rgb));
                Type(*picker, "#", hex);
                ExpectShows(colours, *picker, rgb,
                            std::string(document.name) + " " + hex + " space " +
                                std::to_string(space));
            }
        }
    }
}

// Typed as L, a and b (the table's colours as Lab), and as R, G and B one after the other.
TEST_F(PickerFieldsTest, LabAndRgbTypedAgreeWithTheColourServices) {
    for (const Document& document : kDocuments) {
        ColorServices& colours = Open(document);
        auto picker = Picker(colours, kLab, {0, 128, 128, 128});
        for (const char* hex : kColours) {
            std::array<uint8_t, 3> rgb{};
            ASSERT_TRUE(ui::ParseHex(hex, rgb));
            const auto lab = Convert(colours, kRgb, kLab, {0, rgb[0], rgb[1], rgb[2]});
            const int l = ui::ShownComponent(kLab, 1, lab[1]), a = lab[2] - 128, b = lab[3] - 128;
            Type(*picker, "L", std::to_string(l));
            Type(*picker, "a", std::to_string(a));
            Type(*picker, "b", std::to_string(b));
            const std::array<uint8_t, 4> typedLab{0, ui::StoredComponent(kLab, 1, l),
                                                  uint8_t(a + 128), uint8_t(b + 128)};
            EXPECT_EQ(picker->Colour().Components(), typedLab) << hex;
            const auto back = Convert(colours, kLab, kRgb, typedLab);
            const std::string what = std::string(document.name) + " Lab of " + hex;
            EXPECT_EQ(Text(*picker, "R"), std::to_string(back[1])) << what;
            EXPECT_EQ(Text(*picker, "G"), std::to_string(back[2])) << what;
            EXPECT_EQ(Text(*picker, "B"), std::to_string(back[3])) << what;
            EXPECT_EQ(Text(*picker, "#"), ui::HexOf({back[1], back[2], back[3]})) << what;
            // The field typed last keeps what was typed.
            EXPECT_EQ(Text(*picker, "b"), std::to_string(b)) << what;

            Type(*picker, "R", std::to_string(rgb[0]));
            Type(*picker, "G", std::to_string(rgb[1]));
            Type(*picker, "B", std::to_string(rgb[2]));
            ExpectShows(colours, *picker, rgb, std::string(document.name) + " RGB of " + hex);
        }
    }
}

TEST_F(PickerFieldsTest, OutOfGamutIsMarked) {
    struct Case {
        ColorSpace document;
        int l, a, b;
        bool marked;
    };
    const Case cases[] = {{kRgb, 50, 100, 100, true}, {kCmyk, 50, 100, 100, true},
                          {kRgb, 50, 0, 0, false},    {kCmyk, 50, 0, 0, false},
                          {kRgb, 60, 20, 30, false},  {kCmyk, 60, 20, 30, false},
                          {kRgb, 90, -100, 20, true}, // far past sRGB's greens
                          {kRgb, 50, 60, -70, false}, // a violet on screen...
                          {kCmyk, 50, 60, -70, true}, // ...which printing inks do not reach
                          {kCmyk, 5, 0, 0, true}};    // nor a black deeper than theirs
    for (const Case& c : cases) {
        ColorServices& colours = Open(c.document == kCmyk ? kDocuments[1] : kDocuments[0]);
        auto picker = Picker(colours, kLab, {0, 128, 128, 128});
        EXPECT_FALSE(GamutMarked(*picker));
        Type(*picker, "L", std::to_string(c.l));
        Type(*picker, "a", std::to_string(c.a));
        Type(*picker, "b", std::to_string(c.b));
        EXPECT_EQ(GamutMarked(*picker), c.marked)
            << c.document << " lab(" << c.l << "," << c.a << "," << c.b << ")";
        EXPECT_EQ(picker->Colour().InGamut(), !c.marked);
    }
}

// A number outside a field's range is replaced at once by the nearest one kept, and the other
// fields show the kept one.
TEST_F(PickerFieldsTest, NumbersOutsideTheRangeAreClampedVisibly) {
    struct Case {
        ColorSpace space;
        const char* field;
        std::string typed, shown;
        const char* other; // another field and what it shows then
        std::string otherShown;
    };
    const Case cases[] = {
        {kLab, "R", "999", "255", "#", "#ff0000"}, {kRgb, "G", "256", "255", "#", "#00ff00"},
        {kLab, "L", "150", "100", "#", "#ffffff"}, {kLab, "a", "-999", "-128", "L", "0"},
        {kLab, "b", "300", "127", "L", "0"},       {kRgb, "B", "1000", "255", "#", "#0000ff"},
        {kCmyk, "K %", "250", "100", "C %", "0"}};
    ColorServices& colours = Open(kDocuments[1]);
    for (const Case& c : cases) {
        // Black, or no ink at all in CMYK.
        const std::array<uint8_t, 4> black =
            c.space == kLab ? std::array<uint8_t, 4>{0, 0, 128, 128} : std::array<uint8_t, 4>{};
        auto picker = Picker(colours, c.space, black);
        Type(*picker, c.field, c.typed);
        EXPECT_EQ(Text(*picker, c.field), c.shown) << c.field << " " << c.typed;
        EXPECT_EQ(Text(*picker, c.other), c.otherShown) << c.field << " " << c.typed;
    }
    // Letters are not taken; a lone minus sign waits for its digits.
    reports_.clear();
    auto picker = Picker(colours, kLab, {0, 128, 128, 128});
    const std::string red = Text(*picker, "R");
    Type(*picker, "R", "x");
    EXPECT_EQ(Text(*picker, "R"), red);
    Type(*picker, "a", "-");
    EXPECT_EQ(Text(*picker, "a"), "-");
    EXPECT_EQ(picker->Colour().Components(), (std::array<uint8_t, 4>{0, 128, 128, 128}));
    EXPECT_TRUE(reports_.empty());
}

// Each change the user makes is reported once, with its value; the old swatch brings back the
// colour handed in exactly.
TEST_F(PickerFieldsTest, EachChangeIsReportedAndTheCurrentColourComesBack) {
    ColorServices& colours = Open(kDocuments[0]);
    const std::array<uint8_t, 4> start{0, 201, 100, 150};
    auto picker = Picker(colours, kLab, start);
    Type(*picker, "L", "40");
    ASSERT_EQ(reports_.size(), 2u);
    EXPECT_EQ(reports_[0], (std::array<uint8_t, 4>{0, 10, 100, 150}));
    EXPECT_EQ(reports_[1], (std::array<uint8_t, 4>{0, 102, 100, 150}));
    Type(*picker, "#", "#336699");
    Type(*picker, "#", "#336699"); // the same again: nothing new
    ASSERT_EQ(reports_.size(), 3u);
    EXPECT_EQ(reports_[2], Convert(colours, kRgb, kLab, {0, 0x33, 0x66, 0x99}));

    // The square and the strip with the keyboard: each step a new colour.
    auto* square = dynamic_cast<ui::SaturationValueSquare*>(picker->findChild<QWidget*>("square"));
    auto* strip = dynamic_cast<ui::HueStrip*>(picker->findChild<QWidget*>("hue"));
    ASSERT_NE(square, nullptr);
    ASSERT_NE(strip, nullptr);
    const double hue = picker->Colour().Hue();
    QTest::keyClick(strip, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_NEAR(picker->Colour().Hue(), hue + 0.1, 1e-9);
    const double value = picker->Colour().Value();
    QTest::keyClick(square, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_NEAR(picker->Colour().Value(), value - 0.1, 1e-9);
    ASSERT_EQ(reports_.size(), 5u);
    EXPECT_EQ(reports_[4], picker->Colour().Components());
    const auto rgb = picker->Colour().Rgb();
    EXPECT_EQ(Text(*picker, "#"), ui::HexOf(rgb));

    // A click in the square picks saturation and value where it lands.
    QTest::mouseClick(square, Qt::LeftButton, {}, QPoint(square->width() - 1, 0));
    EXPECT_NEAR(picker->Colour().Saturation(), 1.0, 1e-9);
    EXPECT_NEAR(picker->Colour().Value(), 1.0, 1e-9);

    auto* comparison =
        dynamic_cast<ui::ColourComparison*>(picker->findChild<QWidget*>("comparison"));
    ASSERT_NE(comparison, nullptr);
    QTest::mouseClick(comparison, Qt::LeftButton, {},
                      QPoint(comparison->width() * 3 / 4, comparison->height() / 3));
    EXPECT_EQ(picker->Colour().Components(), start);
    EXPECT_EQ(reports_.back(), start);
}

} // namespace
} // namespace quillon::test
