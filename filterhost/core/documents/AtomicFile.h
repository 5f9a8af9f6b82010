// Files written whole or not at all: through a temporary file in the same folder and a rename.
#pragma once

#include <filesystem>
#include <functional>
#include <string>

namespace quillon::filterhost {

// Calls write with the temporary path, then renames it into place; on any failure the temporary
// file is removed and the exception passes on (HostFailure for the rename). A symbolic link is
// followed, so its target is replaced in the target's folder and the link stays. A device or
// pipe is never replaced: the finished temporary file is copied into it.
void WriteThroughTemporary(const std::filesystem::path& file,
                           const std::function<void(const std::filesystem::path&)>& write);

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text);

// Fails with a HostFailure naming file when WriteThroughTemporary could not write it: a folder,
// a socket, a folder that does not exist or cannot be written.
void CheckWritable(const std::filesystem::path& file);

// The file a path names once symbolic links are followed (a dangling link names its target).
std::filesystem::path WriteTarget(const std::filesystem::path& file);

// True when file (after symbolic links) is a device or pipe, which is written into, not replaced.
bool IsDeviceOrPipe(const std::filesystem::path& file);

// Removes the temporary file being written, if any. Safe to call from a signal handler.
void RemoveTemporaryFileNow() noexcept;

} // namespace quillon::filterhost
