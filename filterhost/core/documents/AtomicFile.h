// Files written whole or not at all: through a temporary file in the same folder and a rename.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quillon::filterhost {

// Where a file is written, resolved once before any work: the name as given (for messages), the
// file written (symbolic links followed, so a link stays and its target is replaced) and whether
// it is a device or pipe, which is written into, never replaced.
struct OutputTarget {
    std::filesystem::path named;
    std::filesystem::path file;
    bool stream = false;
};

// Fails with a HostFailure naming the file when it could not be written: a folder, a socket, a
// folder that does not exist or cannot be written.
OutputTarget ResolveOutput(const std::filesystem::path& file);

// Calls write with the temporary path, then renames it into place; on any failure the temporary
// file is removed and the exception passes on (HostFailure for the rename). A device or pipe gets
// the finished temporary file copied into it.
void WriteThroughTemporary(const OutputTarget& target,
                           const std::function<void(const std::filesystem::path&)>& write);
void WriteThroughTemporary(const std::filesystem::path& file,
                           const std::function<void(const std::filesystem::path&)>& write);

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text);

// Removes the temporary file being written, if any. Safe to call from a signal handler.
void RemoveTemporaryFileNow() noexcept;

} // namespace quillon::filterhost
