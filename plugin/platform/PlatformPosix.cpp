#include "platform/Platform.h"

#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIResources.h"
#include "pluginapi/SPBasic.h"

#include <spawn.h>
#include <sys/types.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

extern "C" const PIResourceDirectory PIResourceTable;

namespace quillon::platform {

void ShowMessageBox(const SPBasicSuite* basic, const char* title, const char* text) {
    const void* suite = nullptr;
    if (basic && basic->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion8, &suite) == 0 &&
        suite) {
        const auto* admBasic = static_cast<const ADMBasicSuite8*>(suite);
        // The dialog manager titles its error alerts "Error".
        if (std::strcmp(title, "Error") == 0)
            admBasic->ErrorAlert(text);
        else
            admBasic->MessageAlert(text);
        basic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion8);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", title, text);
}

namespace {

// Starts the program with the address as its one argument, without a shell.
bool Launch(const char* program, const char* address) {
    if (!program || !*program) return false;
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(address), nullptr};
    pid_t child = 0;
    return posix_spawnp(&child, program, nullptr, nullptr, argv, environ) == 0;
}

} // namespace

bool OpenWebPage(const SPBasicSuite* basic, const char* address) {
    if (Launch(std::getenv("BROWSER"), address) || Launch("xdg-open", address)) return true;
    static char message[2048];
    std::snprintf(message, sizeof message,
                  "Cannot open a web browser. Please try to access the web site manually. The "
                  "address is:\n%s",
                  address);
    ShowMessageBox(basic, "Error", message);
    return false;
}

FileChoice ChooseFile(const SPBasicSuite* basic, void* ownerDialog, const char* filters,
                      std::span<char> path) {
    if (path.empty()) return FileChoice::Cancelled;
    path[0] = 0;
    const void* suite = nullptr;
    if (!basic || basic->AcquireSuite(kADMBasicSuite, kADMBasicSuiteVersion9, &suite) != 0 ||
        !suite)
        return FileChoice::Unavailable;
    const auto* admBasic = static_cast<const ADMBasicSuite9*>(suite);
    const bool chosen =
        admBasic->GetFile(static_cast<ADMDialogRef>(ownerDialog), nullptr, filters, path.data(),
                          ADMInt32(std::min<size_t>(path.size(), INT32_MAX)));
    basic->ReleaseSuite(kADMBasicSuite, kADMBasicSuiteVersion9);
    if (!chosen) path[0] = 0;
    return chosen && path[0] ? FileChoice::Chosen : FileChoice::Cancelled;
}

std::span<const uint8_t> ModuleResource(uint32_t type, int32_t id) {
    for (int32 i = 0; i < PIResourceTable.count; ++i) {
        const PIResourceEntry& e = PIResourceTable.entries[i];
        if (e.type == type && e.id == id) return {e.data, e.size};
    }
    return {};
}

} // namespace quillon::platform
