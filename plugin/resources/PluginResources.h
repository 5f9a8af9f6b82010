// The module's own resources: registration, scripting terminology and everything the dialogs load.
#pragma once

#include <cstdint>
#include <vector>

namespace quillon::resources {

// The plug-in's unique key for the host's scripting and descriptor registry.
inline constexpr const char* kUniqueString = "d9347b0c-3c91-71d4-47bc-00b0d0f04936";
inline constexpr int32_t kTerminologyID = 16000;

std::vector<uint8_t> BuildPropertyList();
std::vector<uint8_t> BuildTerminology();

} // namespace quillon::resources
