#include "core/actions/ConfigFolder.h"

#include <cstdlib>

namespace quillon::filterhost {

std::filesystem::path ConfigFolder() {
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
        return std::filesystem::path(xdg) / "quillon";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".config" / "quillon";
    return std::filesystem::current_path() / ".quillon";
}

} // namespace quillon::filterhost
