// The parsers of dialog templates, bitmaps and scripts: what they accept, and a clear message for
// each kind of broken input.
#include "core/module/PluginModule.h"
#include "pluginapi/PIResources.h"
#include "resources/DialogResources.h"
#include "ui/DialogTemplate.h"
#include "ui/Script.h"

#include "pluginapi/ADMSuites.h"

#include <gtest/gtest.h>

#include <cctype>

namespace quillon::ui {
namespace {

TEST(DialogTemplate, ReadsWhatTheBuildWrites) {
    const auto bytes = resources::BuildAboutDialog();
    const DialogTemplate t = ParseDialogTemplate(bytes);
    EXPECT_EQ(t.width, 260);
    ASSERT_EQ(t.items.size(), 2u);
    EXPECT_EQ(t.items[0].id, 82);
    EXPECT_EQ(t.items[0].type, kADMPictureStaticType);
    EXPECT_EQ(t.items[0].top, -10);
    EXPECT_EQ(t.items[0].pictureID, 80);
    EXPECT_EQ(t.items[1].text, "Check for Update");
}

struct BrokenTemplate {
    const char* name;
    std::function<void(std::vector<uint8_t>&)> damage;
    const char* message;
};

class BrokenTemplateTest : public ::testing::TestWithParam<BrokenTemplate> {};

TEST_P(BrokenTemplateTest, FailsWithAClearMessage) {
    auto bytes = resources::BuildDialogTemplate(
        100, 80, "T", {{1, kADMTextPushButtonType, 1, 2, 30, 20, 0, "OK"}});
    GetParam().damage(bytes);
    try {
        ParseDialogTemplate(bytes);
        FAIL() << "accepted";
    } catch (const ResourceError& error) {
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Templates, BrokenTemplateTest,
    ::testing::Values(
        BrokenTemplate{"Empty", [](auto& b) { b.clear(); }, "truncated dialog template"},
        BrokenTemplate{"Magic", [](auto& b) { b[0] = 'X'; }, "not a dialog template"},
        BrokenTemplate{"Version", [](auto& b) { b[4] = 9; },
                       "unsupported dialog template version 9"},
        BrokenTemplate{"ZeroWidth", [](auto& b) { b[6] = b[7] = 0; },
                       "dialog width 0 out of range"},
        BrokenTemplate{"HugeCount", [](auto& b) { b[10] = b[11] = 0xff; }, "too many dialog items"},
        BrokenTemplate{"CountTooHigh", [](auto& b) { b[10] = 2; }, "truncated dialog item"},
        BrokenTemplate{"TitleOverrun", [](auto& b) { b[12] = 0xf0; }, "truncated dialog title"},
        BrokenTemplate{"EmptyType", [](auto& b) { b[15 + 16] = 0; }, "bad type name length"},
        BrokenTemplate{"Cut", [](auto& b) { b.pop_back(); }, "truncated item text"},
        BrokenTemplate{"Trailing", [](auto& b) { b.push_back(0); }, "unexpected bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Bitmap, ChecksSizeAgainstTheHeader) {
    std::vector<uint8_t> bytes = {'Q', 'B', 'M', 'P', 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6};
    const Bitmap bitmap = ParseBitmap(bytes);
    EXPECT_EQ(bitmap.width, 2);
    EXPECT_EQ(bitmap.bytesPerPixel, 3);
    EXPECT_EQ(bitmap.pixels[5], 6);
    bytes.pop_back();
    EXPECT_THROW(ParseBitmap(bytes), ResourceError);
    bytes = {'Q', 'B', 'M', 'P', 2, 0, 1, 0, 16, 0, 1, 2, 3, 4};
    EXPECT_THROW(ParseBitmap(bytes), ResourceError);
    bytes = {'Q', 'B', 'M', 'P', 0, 0x10, 1, 0, 24, 0};
    EXPECT_THROW(ParseBitmap(bytes), ResourceError);
}

TEST(Bitmap, TheModulesAboutPictureIsOurs) {
    filterhost::PluginModule module(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    const Bitmap picture = ParseBitmap(module.Resource(kPIBitmapType, resources::kAboutPictureID));
    EXPECT_EQ(picture.width, 260);
    EXPECT_EQ(picture.height, 175);
    EXPECT_EQ(picture.bytesPerPixel, 3);
    const DialogTemplate about =
        ParseDialogTemplate(module.Resource(kPIDialogType, resources::kAboutDialogID));
    EXPECT_EQ(about.items.size(), 2u);
}

TEST(Bitmap, TheModulesIconsHaveTheirSizes) {
    filterhost::PluginModule module(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    struct Expected {
        int32_t first, last, width, height;
    };
    for (const Expected& e : {Expected{31, 42, 19, 18}, Expected{43, 44, 16, 16},
                              Expected{46, 46, 14, 14}, Expected{50, 53, 24, 14}})
        for (int32_t id = e.first; id <= e.last; ++id) {
            const Bitmap icon = ParseBitmap(module.Resource(kPIIconType, id));
            EXPECT_EQ(icon.width, e.width) << id;
            EXPECT_EQ(icon.height, e.height) << id;
            EXPECT_EQ(icon.bytesPerPixel, 4) << id;
        }
}

TEST(Script, ParsesEveryCommand) {
    const auto commands = ParseScript("# about box\n"
                                      "click 10 20\n"
                                      "dblclick 1 2 shift ctrl\n"
                                      "press -5 7 ctrl+alt\n"
                                      "drag 3 4\r\n"
                                      "release 3 4\n"
                                      "move 0 0\n"
                                      "key a ctrl\n"
                                      "key enter\n"
                                      "hold alt\n"
                                      "letgo alt\n"
                                      "\n"
                                      "  wait 250\n"
                                      "resize 640 480\n"
                                      "screenshot out dir/shot one.png\n"
                                      "state state.json\n"
                                      "type  8.5 and more \r\n");
    ASSERT_EQ(commands.size(), 15u);
    EXPECT_EQ(commands[0].line, 2);
    EXPECT_EQ(commands[0].verb, ScriptVerb::Click);
    EXPECT_EQ(commands[0].y, 20);
    EXPECT_EQ(commands[1].modifiers, kScriptShift | kScriptCtrl);
    EXPECT_EQ(commands[2].x, -5);
    EXPECT_EQ(commands[2].modifiers, kScriptCtrl | kScriptAlt);
    EXPECT_EQ(commands[3].y, 4);
    EXPECT_EQ(commands[6].character, 'a');
    EXPECT_EQ(commands[7].key, ScriptKey::Enter);
    EXPECT_EQ(commands[8].modifiers, kScriptAlt);
    EXPECT_EQ(commands[10].line, 13);
    EXPECT_EQ(commands[10].milliseconds, 250);
    EXPECT_EQ(commands[12].file, "out dir/shot one.png");
    EXPECT_EQ(commands[13].verb, ScriptVerb::State);
    EXPECT_EQ(commands[14].verb, ScriptVerb::Type);
    EXPECT_EQ(commands[14].text, "8.5 and more");
}

struct BadLine {
    const char* text;
    int line;
    const char* message;
};

class BadScriptTest : public ::testing::TestWithParam<BadLine> {};

TEST_P(BadScriptTest, NamesTheLine) {
    try {
        ParseScript(GetParam().text);
        FAIL() << "accepted";
    } catch (const ScriptError& error) {
        EXPECT_EQ(error.Line(), GetParam().line);
        EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
            << error.what();
    }
}

INSTANTIATE_TEST_SUITE_P(Scripts, BadScriptTest,
                         ::testing::Values(BadLine{"click 1 2\nfly 3 4", 2,
                                                   "unknown command 'fly'"},
                                           BadLine{"click 1", 1, "takes 2 to 5 arguments, got 1"},
                                           BadLine{"click x 2", 1, "x 'x' is not a number"},
                                           BadLine{"click 1 2 meta", 1, "unknown modifier 'meta'"},
                                           BadLine{"move 1 999999999999", 1, "not a number"},
                                           BadLine{"move 1 200000", 1, "out of range"},
                                           BadLine{"wait -1", 1, "out of range"},
                                           BadLine{"resize 0 10", 1, "width 0 out of range"},
                                           BadLine{"key space", 1, "unknown key 'space'"},
                                           BadLine{"hold shift ctrl", 1, "takes 1 arguments"},
                                           BadLine{"\n\nscreenshot shot.jpg", 3, "ending in .png"},
                                           BadLine{"state", 1, "ending in .json"},
                                           BadLine{"type \t ", 1, "needs the text to type"}),
                         [](const auto& info) {
                             // The command's word and the case number, e.g. "click_1".
                             std::string name;
                             for (const char* c = info.param.text; *c && *c != ' '; ++c)
                                 if (std::isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name + "_" + std::to_string(info.index);
                         });

TEST(Script, RefusesOverlongLinesAndNulBytes) {
    EXPECT_THROW(ParseScript(std::string(kScriptMaxLine + 1, ' ')), ScriptError);
    EXPECT_THROW(ParseScript(std::string("click 1 2\0", 10)), ScriptError);
}

} // namespace
} // namespace quillon::ui
