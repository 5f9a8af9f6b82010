// Where the host keeps what outlives one run: $XDG_CONFIG_HOME/quillon, else ~/.config/quillon.
#pragma once

#include <filesystem>

namespace quillon::filterhost {

std::filesystem::path ConfigFolder();

} // namespace quillon::filterhost
