// The few services the plug-in needs from the operating system.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

struct SPBasicSuite;

namespace quillon::platform {

// Shows a message with an OK button: through the host's dialog manager when the host offers one,
// else on standard error.
void ShowMessageBox(const SPBasicSuite* basic, const char* title, const char* text);

// Opens the address in the user's web browser; when none can be started, tells the user the
// address to type and returns false.
bool OpenWebPage(const SPBasicSuite* basic, const char* address);

// The open-file dialog of the host's dialog manager, owned by `ownerDialog` (a dialog-manager
// dialog reference). `filters` holds NUL-terminated description and pattern strings in pairs,
// ended by an empty string. A chosen path is written into `path` as NUL-terminated UTF-8.
enum class FileChoice { Chosen, Cancelled, Unavailable };
FileChoice ChooseFile(const SPBasicSuite* basic, void* ownerDialog, const char* filters,
                      std::span<char> path);

// The bytes of one of the module's own resources, empty when there is none.
std::span<const uint8_t> ModuleResource(uint32_t type, int32_t id);

// UTF-8 and the sample path's wide characters. Utf8ToWide writes at most capacity - 1 characters
// and a NUL, and returns false (leaving an empty string) for text that is not UTF-8 or does not
// fit.
bool Utf8ToWide(std::string_view text, wchar_t* out, size_t capacity);
std::string WideToUtf8(const wchar_t* text);

} // namespace quillon::platform
