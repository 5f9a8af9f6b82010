// The terminology resource as the host reads it: the module's own, the parts a filter does not
// use, and damaged bytes.
#include "core/module/Terminology.h"
#include "core/HostFailure.h"
#include "core/module/PluginModule.h"
#include "core/suites/DescriptorServices.h"
#include "resources/PluginResources.h"
#include "resources/ResourceWriter.h"

#include <gtest/gtest.h>

namespace {

using namespace quillon::filterhost;
using quillon::resources::ResourceWriter;

struct Declared {
    const char* name;
    const char* key;
    const char* type;
};

const Declared kQuillon[] = {{"Preserve Luminosity", "PrsL", "bool"},
                             {"Fuzziness", "Fzns", "doub"},
                             {"Sample File", "qlnF", "Pth "},
                             {"Colors", "smpl", "TEXT"}};

void ExpectQuillonParameters(const std::vector<TerminologyParameter>& parameters) {
    ASSERT_EQ(parameters.size(), std::size(kQuillon));
    for (size_t i = 0; i < parameters.size(); ++i) {
        EXPECT_EQ(parameters[i].name, kQuillon[i].name);
        EXPECT_EQ(FourCCText(parameters[i].key), kQuillon[i].key);
        EXPECT_EQ(FourCCText(parameters[i].type), kQuillon[i].type);
        EXPECT_FALSE(parameters[i].description.empty());
    }
}

TEST(Terminology, TheModulesOwnDeclaresItsParameters) {
    const Terminology terminology = ParseTerminology(quillon::resources::BuildTerminology());
    const TerminologyEvent* event =
        terminology.Event(FourCCFromText("sdk1"), FourCCFromText("sdk1"));
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(event->name, "Quillon");
    ExpectQuillonParameters(event->parameters);
    EXPECT_EQ(terminology.Event(FourCCFromText("sdk1"), FourCCFromText("othr")), nullptr);
}

TEST(Terminology, TheLoadedModuleFindsItsEventThroughTheRegistration) {
    PluginModule module(std::string(QUILLON_MODULE_DIR) + "/Quillon.8bf");
    ExpectQuillonParameters(module.Parameters());
    PluginModule noTerminology(std::string(TEST_MODULE_DIR) + "/Invert.8bf");
    EXPECT_TRUE(noTerminology.Parameters().empty());
}

void Parameter(ResourceWriter& out, const char* name, const char (&key)[5], const char (&type)[5]) {
    out.PascalString(name);
    out.FourCC(key);
    out.FourCC(type);
    out.PascalString("");
    out.U16(0);
}

// Two suites: the first with a class, a comparison operator and an enumeration before the
// second's event.
std::vector<uint8_t> TwoSuites() {
    ResourceWriter out;
    out.U16(1);
    out.U8(1);
    out.U8(0);
    out.U16(0);
    out.U16(0);
    out.U16(2);
    out.PascalString("First");
    out.PascalString("");
    out.FourCC("frst");
    out.U16(1);
    out.U16(1);
    out.U16(0); // events
    out.U16(1); // classes
    out.PascalString("picture");
    out.FourCC("Pict");
    out.PascalString("a picture");
    out.U16(2);
    Parameter(out, "width", "Wdth", "long");
    Parameter(out, "height", "Hght", "long");
    out.U16(1);
    out.FourCC("Lyr ");
    out.U16(2);
    out.FourCC("indx");
    out.FourCC("name");
    out.U16(1); // comparison operators
    out.PascalString("equals");
    out.FourCC("=   ");
    out.PascalString("");
    out.U16(1); // enumerations
    out.FourCC("Shp ");
    out.U16(2);
    out.PascalString("round");
    out.FourCC("Rnd ");
    out.PascalString("");
    out.PascalString("square");
    out.FourCC("Sqr ");
    out.PascalString("");

    out.PascalString("Second");
    out.PascalString("");
    out.FourCC("scnd");
    out.U16(1);
    out.U16(1);
    out.U16(1);
    out.PascalString("Stamp");
    out.PascalString("stamps a picture");
    out.FourCC("scnd");
    out.FourCC("Stmp");
    out.FourCC("null");
    out.PascalString("");
    out.U16(0);
    out.FourCC("#ImR");
    out.PascalString("");
    out.U16(0);
    out.U16(2);
    Parameter(out, "Count", "Cnt ", "long");
    Parameter(out, "Shape", "Shp ", "Shp ");
    out.U16(0);
    out.U16(0);
    out.U16(0);
    return out.Take();
}

TEST(Terminology, ClassesComparisonsAndEnumerationsAreReadPast) {
    const Terminology terminology = ParseTerminology(TwoSuites());
    ASSERT_EQ(terminology.events.size(), 1u);
    const TerminologyEvent* stamp =
        terminology.Event(FourCCFromText("scnd"), FourCCFromText("Stmp"));
    ASSERT_NE(stamp, nullptr);
    ASSERT_EQ(stamp->parameters.size(), 2u);
    EXPECT_EQ(stamp->parameters[1].name, "Shape");
    EXPECT_EQ(FourCCText(stamp->parameters[1].type), "Shp ");
}

TEST(Terminology, DamagedBytesFailWithAMessage) {
    for (const std::vector<uint8_t>& whole : {quillon::resources::BuildTerminology(), TwoSuites()})
        for (size_t length = 0; length < whole.size(); ++length) {
            const std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(length));
            try {
                ParseTerminology(cut);
                ADD_FAILURE() << "a terminology cut to " << length << " bytes parsed";
            } catch (const HostFailure& e) {
                const std::string what = e.what();
                EXPECT_TRUE(what.find("truncated terminology") != std::string::npos ||
                            what.find("claims more") != std::string::npos)
                    << length << ": " << what;
            }
        }
    // A count far beyond the bytes fails before anything is reserved for it.
    std::vector<uint8_t> bytes = quillon::resources::BuildTerminology();
    bytes[8] = 0xff;
    bytes[9] = 0xff;
    EXPECT_THROW(ParseTerminology(bytes), HostFailure);
    bytes = quillon::resources::BuildTerminology();
    bytes[0] = 2;
    EXPECT_THROW(ParseTerminology(bytes), HostFailure);
}

} // namespace
