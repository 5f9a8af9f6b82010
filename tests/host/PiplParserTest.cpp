// The registration parser on the real module's bytes and on hostile variants of them.
#include "core/module/PiplParser.h"
#include "core/HostFailure.h"
#include "pluginapi/PIResources.h"
#include "resources/PluginResources.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::filterhost;

TEST(PiplParser, ReadsTheModuleRegistration) {
    const auto bytes = quillon::resources::BuildPropertyList();
    const PiplInfo info = ParsePipl(bytes);
    EXPECT_EQ(info.kind, PIFilterKind);
    EXPECT_EQ(info.name, "Quillon...");
    EXPECT_EQ(info.category, "Nerrow");
    EXPECT_EQ(info.entryPoint, "PluginMain");
    EXPECT_EQ(info.interfaceVersion, 0x00040000u);
    EXPECT_EQ(info.modeMask, PIModeRGBColor | PIModeCMYKColor | PIModeLabColor);
    EXPECT_EQ(info.enabledModes,
              (std::vector<std::string>{"RGBMode", "CMYKMode", "LabMode", "RGB48Mode", "CMYK64Mode",
                                        "Lab48Mode"}));
    EXPECT_EQ(info.maxWidth, 2000000);
    EXPECT_EQ(info.maxHeight, 2000000);
    EXPECT_TRUE(info.hasTerminology);
    EXPECT_EQ(info.uniqueString, "d9347b0c-3c91-71d4-47bc-00b0d0f04936");
    ASSERT_EQ(info.filterCases.size(), 7u);
    EXPECT_EQ(info.filterCases[6].inputHandling, 1);
    EXPECT_EQ(info.filterCases[6].outputHandling, 1);
}

TEST(PiplParser, EveryTruncationFailsCleanly) {
    const auto bytes = quillon::resources::BuildPropertyList();
    for (size_t size = 0; size < bytes.size(); ++size) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(size));
        EXPECT_THROW(ParsePipl(cut), HostFailure) << "size " << size;
    }
}

TEST(PiplParser, LyingHeadersAndPropertiesAreRefused) {
    const auto good = quillon::resources::BuildPropertyList();
    struct Case {
        const char* what;
        size_t offset;
        std::vector<uint8_t> patch;
        const char* message;
    };
    const Case cases[] = {
        {"huge property count", 6, {0xff, 0xff, 0xff, 0x7f}, "more properties"},
        {"first length past the end", 22, {0xf0, 0xff, 0xff, 0xff}, "runs past the end"},
        {"unknown version", 0, {2, 0}, "unknown version"},
        {"kind not a filter", 26, {'X', 'X', 'X', 'X'}, "not a filter"},
        // the entry point's terminating zero and padding overwritten
        {"entry point unterminated", 128, {'x', 'x'}, "not terminated"},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        std::copy(c.patch.begin(), c.patch.end(), bytes.begin() + long(c.offset));
        try {
            ParsePipl(bytes);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const HostFailure& e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

} // namespace
