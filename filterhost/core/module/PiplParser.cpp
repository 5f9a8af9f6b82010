#include "core/module/PiplParser.h"

#include "core/HostFailure.h"
#include "core/module/ResourceReader.h"
#include "pluginapi/PIResources.h"

#include <algorithm>
#include <cctype>

namespace quillon::filterhost {
namespace {

class PiplReader : public ResourceReader {
  public:
    explicit PiplReader(std::span<const uint8_t> bytes) : ResourceReader(bytes, "PIPL") {}
};

std::string FourCCName(uint32_t code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = static_cast<char>(code >> shift);
        s += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    }
    return s;
}

std::string PascalString(std::span<const uint8_t> data, const char* what) {
    return PiplReader(data).PascalString(what);
}

std::string CString(std::span<const uint8_t> data, const char* what) {
    auto end = std::find(data.begin(), data.end(), uint8_t{0});
    if (end == data.end()) throw HostFailure(std::string("PIPL ") + what + " is not terminated");
    return {data.begin(), end};
}

// "in (PSHOP_ImageMode, RGBMode, ...)": the only form of enable expression this host evaluates.
std::vector<std::string> ParseEnableExpression(const std::string& text) {
    std::string compact;
    for (char c : text)
        if (!std::isspace(static_cast<unsigned char>(c))) compact += c;
    const std::string prefix = "in(PSHOP_ImageMode,";
    if (compact.rfind(prefix, 0) != 0 || compact.back() != ')')
        throw HostFailure("PIPL enable expression not understood: " + text);
    std::vector<std::string> modes;
    std::string list = compact.substr(prefix.size(), compact.size() - prefix.size() - 1);
    size_t start = 0;
    while (start <= list.size()) {
        size_t comma = list.find(',', start);
        if (comma == std::string::npos) comma = list.size();
        std::string mode = list.substr(start, comma - start);
        if (mode.empty()) throw HostFailure("PIPL enable expression has an empty mode: " + text);
        modes.push_back(mode);
        start = comma + 1;
    }
    return modes;
}

void ReadProperty(PiplInfo& info, uint32_t key, std::span<const uint8_t> data) {
    PiplReader r(data);
    switch (key) {
    case PIKindProperty:
        info.kind = r.U32("kind");
        break;
    case PINameProperty:
        info.name = PascalString(data, "name");
        break;
    case PICategoryProperty:
        info.category = PascalString(data, "category");
        break;
    case PIVersionProperty:
        info.interfaceVersion = r.U32("version");
        break;
    case PIWin32X86CodeProperty:
        info.entryPoint = CString(data, "entry point");
        break;
    case PIImageModesProperty: {
        uint8_t high = r.U8("mode");
        uint8_t low = r.U8("mode");
        info.modeMask = uint16_t(high << 8 | low);
        break;
    }
    case PIEnableInfoProperty:
        info.enabledModes = ParseEnableExpression(CString(data, "enable expression"));
        break;
    case PIRequiredImageSize32Property:
        info.maxHeight = static_cast<int32_t>(r.U32("size limit"));
        info.maxWidth = static_cast<int32_t>(r.U32("size limit"));
        break;
    case PIHasTerminologyProperty:
        r.U32("terminology version");
        info.terminologyClass = r.U32("terminology class");
        info.terminologyEvent = r.U32("terminology event");
        info.terminologyId = int16_t(r.U16("terminology id"));
        info.hasTerminology = true;
        info.uniqueString = CString(data.subspan(14), "unique string");
        break;
    case PIFilterCaseInfoProperty:
        for (int i = 0; i < 7 && r.Left() >= 4; ++i) {
            FilterCaseInfo c;
            c.inputHandling = r.U8("filter case");
            c.outputHandling = r.U8("filter case");
            c.flags1 = r.U8("filter case");
            c.flags2 = r.U8("filter case");
            info.filterCases.push_back(c);
        }
        break;
    default:
        break; // properties this host does not use
    }
}

} // namespace

PiplInfo ParsePipl(std::span<const uint8_t> bytes) {
    PiplReader r(bytes);
    if (r.U16("header") != 1) throw HostFailure("PIPL has an unknown version");
    r.U32("header");
    uint32_t count = r.U32("property count");
    // Each property takes at least 16 bytes, so the count cannot exceed what the bytes hold.
    if (count > r.Left() / 16) throw HostFailure("PIPL claims more properties than it holds");

    PiplInfo info;
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t vendor = r.U32("property");
        uint32_t key = r.U32("property");
        r.U32("property");
        uint32_t length = r.U32("property length");
        if (length > r.Left())
            throw HostFailure("truncated PIPL: property " + FourCCName(key) + " runs past the end");
        auto data = r.Bytes(length, "property");
        if (vendor == PIPropertyVendor) ReadProperty(info, key, data);
    }

    if (info.kind != PIFilterKind) throw HostFailure("module is not a filter (PIPL kind)");
    if (info.name.empty()) throw HostFailure("PIPL has no menu name");
    if (info.entryPoint.empty()) throw HostFailure("PIPL names no entry point");
    return info;
}

} // namespace quillon::filterhost
