// Files written whole or not at all: through a temporary file in the same folder and a rename.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quillon::filterhost {

// Calls write with the temporary path, then renames it into place; on any failure the temporary
// file is removed and the exception passes on (HostFailure for the rename).
void WriteThroughTemporary(const std::filesystem::path& file,
                           const std::function<void(const std::filesystem::path&)>& write);

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text);

} // namespace quillon::filterhost
