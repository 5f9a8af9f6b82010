#include "core/documents/AtomicFile.h"

#include "core/HostFailure.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace quillon::filterhost {

void WriteThroughTemporary(const std::filesystem::path& file,
                           const std::function<void(const std::filesystem::path&)>& write) {
    const auto folder = file.has_parent_path() ? file.parent_path() : std::filesystem::path(".");
    std::string pattern = (folder / ("." + file.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw HostFailure("cannot write to " + folder.string() + ": " + std::strerror(errno));
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    const std::filesystem::path temporary = pattern;
    try {
        write(temporary);
        std::error_code error;
        std::filesystem::rename(temporary, file, error);
        if (error) throw HostFailure("cannot write " + file.string() + ": " + error.message());
    } catch (...) {
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text) {
    WriteThroughTemporary(file, [&](const std::filesystem::path& temporary) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw HostFailure("cannot write " + file.string());
    });
}

} // namespace quillon::filterhost
