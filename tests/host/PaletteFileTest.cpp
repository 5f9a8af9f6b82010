// Palette files: GIMP palettes and CSV lists of named colours, and the names made fit for files.
#include "core/looks/PaletteFile.h"
#include "core/HostFailure.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace quillon::filterhost;

TEST(PaletteFileTest, GimpPalettesGiveTheirColoursAndNames) {
    const auto colors = ParsePaletteFile("GIMP Palette\r\nName: Shirts\nColumns: 2\n# comment\n"
                                         "255   0   0\tFire red\n  0 128 255\n\n 1 2 3  Ünïcode ",
                                         "p.gpl");
    ASSERT_EQ(colors.size(), 3u);
    EXPECT_EQ(colors[0].name, "Fire red");
    EXPECT_EQ(colors[0].color.kind, WrittenColor::Kind::Rgb);
    EXPECT_EQ(colors[0].color.v[0], 255);
    EXPECT_EQ(colors[1].name, "line-6");
    EXPECT_EQ(colors[1].color.v[2], 255);
    EXPECT_EQ(colors[2].name, "Ünïcode");
}

TEST(PaletteFileTest, CsvNamesAnyColourNotation) {
    const auto colors = ParsePaletteFile("Name,Color\n\"a, \"\"quoted\"\" name\",#102030\nplain , "
                                         "rgb(1, 2, 3)\nlab,lab(50,-20,30)\n",
                                         "p.csv");
    ASSERT_EQ(colors.size(), 3u);
    EXPECT_EQ(colors[0].name, "a, \"quoted\" name");
    EXPECT_EQ(colors[0].color.v[1], 0x20);
    EXPECT_EQ(colors[1].name, "plain");
    EXPECT_EQ(colors[1].color.v[2], 3);
    EXPECT_EQ(colors[2].color.kind, WrittenColor::Kind::Lab);
    EXPECT_EQ(colors[2].color.v[1], -20);
}

TEST(PaletteFileTest, BrokenPalettesNameTheirLine) {
    struct Case {
        std::string text;
        const char* message;
    };
    const Case cases[] = {
        {"", "p: no colours"},
        {"GIMP Palette\nName: x\n", "p: no colours"},
        {"GIMP Palette\n1 2\n", "line 2: expected R G B"},
        {"GIMP Palette\n1 2 256 x\n", "line 2: expected R G B"},
        {"GIMP Palette\n1 2 -3 x\n", "line 2: expected R G B"},
        {"GIMP Palette\n1 2 3x\n", "line 2: expected R G B"},
        {"GIMP Palette\n1 2 99999999999999999999 x\n", "line 2: expected R G B"},
        {"red #ff0000\n", "line 1: expected name,colour"},
        {",#ff0000\n", "line 1: a colour without a name"},
        {"\"open,#ff0000\n", "line 1: a quoted name without its closing quote"},
        {"\"q\" x,#ff0000\n", "line 1: expected ',' after the quoted name"},
        {"a,@1,2\n", "line 1: the colour at character 1: @X,Y names a colour of the picture"},
        {"a,#ff00\n", "line 1: the colour"},
        {"ok,#000000\nbad\x01name,#ffffff\n", "line 2: a name must be UTF-8 text"},
        {"bad\xc3(,#ffffff\n", "line 1: a name must be UTF-8 text"},
        {"bad\xed\xa0\x80,#ffffff\n", "line 1: a name must be UTF-8 text"},
        {std::string("a\0b,#ffffff\n", 12), "line 1: holds a NUL byte"},
        {std::string(kMaxColorName + 1, 'n') + ",#ffffff\n", "line 1: a name of more than 128"},
        {"a," + std::string(kMaxPaletteLine, ' ') + "#ffffff\n", "line 1: longer than 1024"},
    };
    for (const Case& c : cases) {
        try {
            ParsePaletteFile(c.text, "p");
            ADD_FAILURE() << c.message;
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
        }
    }
    std::string many;
    for (size_t i = 0; i <= kMaxPaletteEntries; ++i)
        many += "c" + std::to_string(i) + ",#000000\n";
    EXPECT_THROW(ParsePaletteFile(many, "p"), HostFailure);
    many.erase(many.rfind("c1024"));
    EXPECT_EQ(ParsePaletteFile(many, "p").size(), kMaxPaletteEntries);
}

TEST(PaletteFileTest, NamesFitForFiles) {
    const std::pair<const char*, const char*> cases[] = {
        {"Fire red", "Fire-red"},
        {"../../etc/passwd", "etc-passwd"},
        {"a/b", "a-b"},
        {"#1f8a8a", "1f8a8a"},
        {"lab(70,-40,50)", "lab-70-40-50"},
        {"..", "colour"},
        {".hidden", "hidden"},
        {"Ünï code", "Ünï-code"},
        {"", "colour"},
        {"under_score.v2", "under_score.v2"},
    };
    for (const auto& [name, safe] : cases)
        EXPECT_EQ(FileSafeName(name), safe) << name;
}

} // namespace
