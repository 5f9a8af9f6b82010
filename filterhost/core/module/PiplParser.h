// Reads a filter module's registration resource: untrusted bytes from a module on disk.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace quillon::filterhost {

struct FilterCaseInfo {
    uint8_t inputHandling = 0;
    uint8_t outputHandling = 0;
    uint8_t flags1 = 0;
    uint8_t flags2 = 0;
};

struct PiplInfo {
    uint32_t kind = 0;
    std::string name;
    std::string category;
    uint32_t interfaceVersion = 0;
    std::string entryPoint;
    uint16_t modeMask = 0;
    // The image modes the enable expression lists; empty when there is no expression.
    std::vector<std::string> enabledModes;
    int32_t maxHeight = 0;
    int32_t maxWidth = 0;
    bool hasTerminology = false;
    // The event of the terminology resource whose parameters the filter takes.
    uint32_t terminologyClass = 0;
    uint32_t terminologyEvent = 0;
    int16_t terminologyId = 0;
    std::string uniqueString;
    std::vector<FilterCaseInfo> filterCases;
};

// Throws HostFailure naming what is wrong when the bytes are not a usable filter PIPL.
PiplInfo ParsePipl(std::span<const uint8_t> bytes);

} // namespace quillon::filterhost
