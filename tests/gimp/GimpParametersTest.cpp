// The procedure's parameters on their way to the filter, and what GIMP keeps of the last use.
#include "gimp/GimpParameters.h"

#include "core/HostFailure.h"
#include "core/module/PluginModule.h"
#include "core/suites/DescriptorJson.h"
#include "pluginapi/PIActions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using namespace quillon::gimp;
using namespace quillon::filterhost;

TEST(GimpParametersTest, CallValuesOutOfRangeAreRefusedNamingTheParameter) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        CallValues values;
        const char* refusal; // the start of the message, empty for good values
    };
    const Case cases[] = {
        {{"", 1, true, 0}, ""},
        {{"Lab[1,2,3]:Lab[4,5,6] ", 10, false, 100}, ""},
        {{"", 0.99, true, 100}, "Fuzziness must lie from 1 to 10"},
        {{"", 10.01, true, 100}, "Fuzziness must lie from 1 to 10"},
        {{"", nan, true, 100}, "Fuzziness must lie from 1 to 10"},
        {{"", 3, true, -0.5}, "Amount must lie from 0 to 100"},
        {{"", 3, true, 100.5}, "Amount must lie from 0 to 100"},
        {{"", 3, true, nan}, "Amount must lie from 0 to 100"},
        {{"Lab[1,2", 3, true, 100}, "Colors: "},
        {{"Lab[1,2,3]:Lab[4,5,6] Lab[99999,0,0] ", 3, true, 100}, "Colors: "},
    };
    for (const Case& c : cases) {
        const std::string refusal = CheckCallValues(c.values);
        SCOPED_TRACE(c.values.colors + " " + std::to_string(c.values.fuzziness));
        if (*c.refusal == '\0')
            EXPECT_EQ(refusal, "");
        else
            EXPECT_EQ(refusal.rfind(c.refusal, 0), 0u) << refusal;
    }
}

TEST(GimpParametersTest, PlaybackTakesTheKeysTheModuleDeclares) {
    const PluginModule module(std::filesystem::path(QUILLON_MODULE_DIR) / "Quillon.8bf");
    const Descriptor d =
        PlaybackOf({"Lab[1,2,3]:Lab[4,5,6] ", 2.5, false, 40}, module.Parameters());
    ASSERT_EQ(d.items.size(), 3u);
    const DescriptorItem* colors = d.Find(FourCCFromText("smpl"));
    const DescriptorItem* fuzziness = d.Find(FourCCFromText("Fzns"));
    const DescriptorItem* luminosity = d.Find(FourCCFromText("PrsL"));
    ASSERT_TRUE(colors && fuzziness && luminosity);
    EXPECT_EQ(std::get<std::string>(colors->value), "Lab[1,2,3]:Lab[4,5,6] ");
    EXPECT_EQ(std::get<double>(fuzziness->value), 2.5);
    EXPECT_EQ(std::get<bool>(luminosity->value), false);
}

TEST(GimpParametersTest, ATerminologyWithoutAParameterOrOfAnotherTypeIsRefused) {
    const std::vector<TerminologyParameter> declared = {
        {"Colors", FourCCFromText("smpl"), typeChar, "", 0},
        {"Fuzziness", FourCCFromText("Fzns"), typeInteger, "", 0},
        {"Preserve Luminosity", FourCCFromText("PrsL"), typeBoolean, "", 0}};
    try {
        PlaybackOf({}, declared);
        ADD_FAILURE() << "a Fuzziness of type long was taken";
    } catch (const HostFailure& e) {
        EXPECT_STREQ(e.what(), "the filter declares \"Fuzziness\" as 'long', not 'doub'");
    }
    try {
        PlaybackOf({}, {declared[1], declared[2]});
        ADD_FAILURE() << "a terminology without Colors was taken";
    } catch (const HostFailure& e) {
        EXPECT_STREQ(e.what(), "the filter declares no parameter \"Colors\"");
    }
}

TEST(GimpParametersTest, TheLastUseReadsBackAndDamagedTextsAreIgnored) {
    LastUse use;
    use.amount = 37.5;
    use.parameters.Put({FourCCFromText("smpl"), typeChar, std::string("Lab[1,2,3] ")});
    use.parameters.Put({FourCCFromText("Fzns"), typeFloat, 4.0});
    use.parameters.Put({FourCCFromText("PrsL"), typeBoolean, true});
    const std::string text = LastUseText(use);
    const std::optional<LastUse> back = ReadLastUse(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->amount, 37.5);
    EXPECT_EQ(DescriptorToJson(back->parameters), DescriptorToJson(use.parameters));

    for (const std::string& damaged :
         {std::string(), text.substr(0, text.size() / 2), std::string("{\"amount\": 50}"),
          std::string("{\"amount\": 150, \"parameters\": []}"),
          std::string("{\"amount\": \"x\", \"parameters\": []}"),
          std::string("{\"amount\": 50, \"parameters\": [{\"key\": 5}]}"),
          std::string("\xff\xfe garbage")})
        EXPECT_FALSE(ReadLastUse(damaged)) << damaged;
}

} // namespace
