// The scripting terminology: the names under which recorded actions store the parameters.
#include "resources/PluginResources.h"
#include "resources/ResourceWriter.h"

namespace quillon::resources {
namespace {

constexpr const char* kDescription = "Pick colors from one picture to adjust another.";

struct Parameter {
    const char* name;
    char key[5];
    char type[5];
    const char* description;
};

constexpr Parameter kParameters[] = {
    {"Preserve Luminosity", "PrsL", "bool", "Adjust or preserve luminosity"},
    {"Fuzziness", "Fzns", "doub", "Range of adjusted colors"},
    {"Sample File", "qlnF", "Pth ", "Sample File"},
    {"Colors", "smpl", "TEXT", "Adjust colors"},
};

} // namespace

std::vector<uint8_t> BuildTerminology() {
    ResourceWriter out;
    out.U16(1);
    out.U8(1);  // major version
    out.U8(0);  // minor version
    out.U16(0); // language
    out.U16(0); // script
    out.U16(1); // suites

    out.PascalString("Nerrow");
    out.PascalString(kDescription);
    out.FourCC("sdk1");
    out.U16(1); // level
    out.U16(1); // version
    out.U16(1); // events

    out.PascalString("Quillon");
    out.PascalString(kDescription);
    out.FourCC("sdk1");
    out.FourCC("sdk1");
    out.FourCC("null");
    out.PascalString("");
    out.U16(0);
    out.FourCC("#ImR");
    out.PascalString("");
    out.U16(0xB000); // optional, enumerated, changes state
    out.U16(static_cast<uint16_t>(std::size(kParameters)));
    for (const Parameter& p : kParameters) {
        out.PascalString(p.name);
        out.FourCC(p.key);
        out.FourCC(p.type);
        out.PascalString(p.description);
        out.U16(0);
    }

    out.U16(0); // classes
    out.U16(0); // comparison operators
    out.U16(0); // enumerations
    return out.Take();
}

} // namespace quillon::resources
