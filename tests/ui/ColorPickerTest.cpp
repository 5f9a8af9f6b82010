// The colour-space suite's PickColor with the host's picker: the colour comes back in the space
// the plug-in asked for, and cancelling leaves it as it was.
#include "ui/ColorPicker.h"
#include "core/session/FilterSession.h"
#include "ui/Script.h"
#include "ui/ScriptRunner.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace quillon::test {
namespace {

class ColorPickerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        colors_.SetPickColorHook(ui::MakeColorPicker());
        suite_ = colors_.Suite();
    }

    // Picks with the script driving the picker; returns the four components afterwards.
    std::array<uint8_t, 4> Pick(ColorSpace space, std::array<uint8_t, 4> start,
                                const std::string& script) {
        ColorID id = nullptr;
        EXPECT_EQ(suite_->Make(&id), 0);
        suite_->StuffComponents(id, space, start[0], start[1], start[2], start[3]);
        ui::ScriptRunner runner(ui::ParseScript(script));
        EXPECT_EQ(suite_->PickColor(&id, nullptr), 0);
        EXPECT_EQ(runner.Failure(), "");
        std::array<uint8_t, 4> out{};
        suite_->ExtractComponents(id, space, &out[0], &out[1], &out[2], &out[3], nullptr);
        suite_->Delete(&id);
        return out;
    }

    std::string Read(const std::string& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    filterhost::FilterSession session_;
    filterhost::ColorServices& colors_ = session_.OpenColors();
    const PSColorSpaceSuite1* suite_ = nullptr;
};

TEST_F(ColorPickerTest, LabColourTypedAndAccepted) {
    const std::string state = ::testing::TempDir() + "picker_lab.json";
    const auto picked = Pick(plugIncolorServicesLabSpace, {0, 200, 128, 128},
                             "key 5\nkey 0\nstate " + state + "\nkey enter");
    // L 50 of 100 is 127.5 of 255.
    EXPECT_EQ(picked[1], 128);
    EXPECT_EQ(picked[2], 128);
    EXPECT_EQ(picked[3], 128);
    const std::string json = Read(state);
    for (const char* label : {"\"L\"", "\"a\"", "\"b\"", "\"50\""})
        EXPECT_NE(json.find(label), std::string::npos) << label << " in " << json;
}

TEST_F(ColorPickerTest, CancellingKeepsTheColour) {
    const auto picked =
        Pick(plugIncolorServicesRGBSpace, {0, 10, 20, 30}, "key a ctrl\nkey 9\nkey escape");
    EXPECT_EQ(picked, (std::array<uint8_t, 4>{0, 10, 20, 30}));
}

// The boxes show whole percents, which cannot hold every stored value: OK on a colour nobody
// changed gives back exactly the colour handed in.
TEST_F(ColorPickerTest, AcceptingAnUntouchedColourKeepsEveryComponent) {
    struct Case {
        ColorSpace space;
        std::array<uint8_t, 4> start;
    };
    for (const Case& c : {Case{plugIncolorServicesLabSpace, {0, 201, 100, 150}},
                          Case{plugIncolorServicesCMYKSpace, {13, 77, 200, 5}},
                          Case{plugIncolorServicesRGBSpace, {0, 10, 20, 30}}})
        EXPECT_EQ(Pick(c.space, c.start, "key enter"), c.start) << c.space;
}

// The follow suite: the plug-in hears of each change as it is made, reading the colour from its
// record; OK leaves the last one there, a cancel the colour handed in.
TEST_F(ColorPickerTest, TheFollowSuiteReportsEachChange) {
    const SPBasicSuite* basic = filterhost::SuiteRegistry::Basic();
    const void* found = nullptr;
    ASSERT_EQ(
        basic->AcquireSuite(kQuillonPickerFollowSuite, kQuillonPickerFollowSuiteVersion1, &found),
        0);
    const auto* follow = static_cast<const QuillonPickerFollowSuite1*>(found);
    struct Heard {
        const PSColorSpaceSuite1* suite;
        std::vector<std::array<uint8_t, 4>> colours;
    };
    const auto changed = [](void* data, ColorID id) {
        auto& heard = *static_cast<Heard*>(data);
        std::array<uint8_t, 4> c{};
        EXPECT_EQ(heard.suite->ExtractComponents(id, plugIncolorServicesLabSpace, &c[0], &c[1],
                                                 &c[2], &c[3], nullptr),
                  0);
        heard.colours.push_back(c);
    };
    // L typed as 4 and 40 percent, then a as 2 and 20.
    const std::vector<std::array<uint8_t, 4>> expected = {
        {0, 10, 100, 150}, {0, 102, 100, 150}, {0, 102, 130, 150}, {0, 102, 148, 150}};
    const std::array<uint8_t, 4> start{0, 201, 100, 150};
    struct Case {
        const char* answer;
        std::array<uint8_t, 4> result;
    };
    for (const Case& c : {Case{"key enter", expected.back()}, Case{"key escape", start}}) {
        Heard heard{suite_, {}};
        ColorID id = nullptr;
        ASSERT_EQ(suite_->Make(&id), 0);
        suite_->StuffComponents(id, plugIncolorServicesLabSpace, start[0], start[1], start[2],
                                start[3]);
        ui::ScriptRunner runner(
            ui::ParseScript(std::string("type 40\nkey tab\ntype 20\n") + c.answer));
        EXPECT_EQ(follow->PickColorFollowing(&id, nullptr, changed, &heard), 0);
        EXPECT_EQ(runner.Failure(), "");
        EXPECT_EQ(heard.colours, expected) << c.answer;
        std::array<uint8_t, 4> out{};
        suite_->ExtractComponents(id, plugIncolorServicesLabSpace, &out[0], &out[1], &out[2],
                                  &out[3], nullptr);
        EXPECT_EQ(out, c.result) << c.answer;
        suite_->Delete(&id);
    }
    // Without a callback it is PickColor.
    ColorID id = nullptr;
    ASSERT_EQ(suite_->Make(&id), 0);
    suite_->StuffComponents(id, plugIncolorServicesRGBSpace, 0, 10, 20, 30);
    ui::ScriptRunner runner(ui::ParseScript("type 99\nkey enter"));
    EXPECT_EQ(follow->PickColorFollowing(&id, nullptr, nullptr, nullptr), 0);
    std::array<uint8_t, 4> out{};
    suite_->ExtractComponents(id, plugIncolorServicesRGBSpace, &out[0], &out[1], &out[2], &out[3],
                              nullptr);
    EXPECT_EQ(out, (std::array<uint8_t, 4>{0, 99, 20, 30}));
    suite_->Delete(&id);
    basic->ReleaseSuite(kQuillonPickerFollowSuite, kQuillonPickerFollowSuiteVersion1);
}

TEST_F(ColorPickerTest, CmykInPercent) {
    const std::string state = ::testing::TempDir() + "picker_cmyk.json";
    Pick(plugIncolorServicesCMYKSpace, {255, 0, 0, 0}, "state " + state + "\nkey escape");
    const std::string json = Read(state);
    for (const char* label : {"\"C %\"", "\"K %\"", "\"100\""})
        EXPECT_NE(json.find(label), std::string::npos) << label << " in " << json;
}

} // namespace
} // namespace quillon::test
