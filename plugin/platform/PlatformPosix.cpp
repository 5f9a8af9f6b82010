#include "platform/Platform.h"

#include "pluginapi/ADMSuites.h"
#include "pluginapi/PIResources.h"
#include "pluginapi/SPBasic.h"

#include <spawn.h>
#include <sys/types.h>

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
        if (std::strcmp(title, "Error") == 0) admBasic->ErrorAlert(text);
        else admBasic->MessageAlert(text);
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

std::span<const uint8_t> ModuleResource(uint32_t type, int32_t id) {
    for (int32 i = 0; i < PIResourceTable.count; ++i) {
        const PIResourceEntry& e = PIResourceTable.entries[i];
        if (e.type == type && e.id == id) return {e.data, e.size};
    }
    return {};
}

bool Utf8ToWide(std::string_view text, wchar_t* out, size_t capacity) {
    if (capacity == 0) return false;
    size_t written = 0;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const size_t length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3
                              : (lead >> 3) == 30                ? 4 : 0;
        if (length == 0 || i + length > text.size() || written + 1 >= capacity) {
            out[0] = 0;
            return false;
        }
        char32_t code = length == 1 ? lead : lead & (0x7f >> length);
        for (size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xc0) != 0x80) {
                out[0] = 0;
                return false;
            }
            code = code << 6 | (next & 0x3f);
        }
        out[written++] = static_cast<wchar_t>(code);
        i += length;
    }
    out[written] = 0;
    return true;
}

std::string WideToUtf8(const wchar_t* text) {
    std::string out;
    for (; *text; ++text) {
        const auto code = static_cast<char32_t>(*text);
        if (code < 0x80) {
            out += static_cast<char>(code);
        } else if (code < 0x800) {
            out += static_cast<char>(0xc0 | code >> 6);
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else if (code < 0x10000) {
            out += static_cast<char>(0xe0 | code >> 12);
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        } else {
            out += static_cast<char>(0xf0 | code >> 18);
            out += static_cast<char>(0x80 | (code >> 12 & 0x3f));
            out += static_cast<char>(0x80 | (code >> 6 & 0x3f));
            out += static_cast<char>(0x80 | (code & 0x3f));
        }
    }
    return out;
}

} // namespace quillon::platform
