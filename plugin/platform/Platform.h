// The few services the plug-in needs from the operating system.
#pragma once

#include <cstdint>
#include <span>

struct SPBasicSuite;

namespace quillon::platform {

// Shows a message with an OK button: through the host's dialog manager when the host offers one,
// else on standard error.
void ShowMessageBox(const SPBasicSuite* basic, const char* title, const char* text);

// Opens the address in the user's web browser; when none can be started, tells the user the
// address to type and returns false.
bool OpenWebPage(const SPBasicSuite* basic, const char* address);

// The bytes of one of the module's own resources, empty when there is none.
std::span<const uint8_t> ModuleResource(uint32_t type, int32_t id);

} // namespace quillon::platform
