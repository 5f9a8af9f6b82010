#include "platform/Platform.h"

#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIResources.h"
#include "pluginapi/SPBasic.h"

#include <cstdio>

extern "C" const PIResourceDirectory PIResourceTable;

namespace quillon::platform {

void ShowMessageBox(const SPBasicSuite* basic, const char* title, const char* text) {
    const void* suite = nullptr;
    if (basic && basic->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion8, &suite) == 0 &&
        suite) {
        static_cast<const ADMBasicSuite8*>(suite)->MessageAlert(text);
        basic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion8);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title, text);
}

std::span<const uint8_t> ModuleResource(uint32_t type, int32_t id) {
    for (int32 i = 0; i < PIResourceTable.count; ++i) {
        const PIResourceEntry& e = PIResourceTable.entries[i];
        if (e.type == type && e.id == id) return {e.data, e.size};
    }
    return {};
}

} // namespace quillon::platform
