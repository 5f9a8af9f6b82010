#include "core/documents/AtomicFile.h"

#include "core/HostFailure.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace quillon::filterhost {
namespace {

// The temporary file being written, for a signal handler to remove: a fixed buffer, published
// through an atomic flag, because a handler may not allocate.
char gTemporary[4096];
std::atomic<bool> gHaveTemporary{false};

void Publish(const std::string& temporary) {
    if (temporary.size() >= sizeof gTemporary) return;
    gHaveTemporary = false;
    std::memcpy(gTemporary, temporary.c_str(), temporary.size() + 1);
    gHaveTemporary = true;
}

// The file a path names once symbolic links are followed; a dangling link names its target.
std::filesystem::path Target(const std::filesystem::path& file) {
    std::filesystem::path path = file;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code error;
        if (!std::filesystem::is_symlink(path, error)) return path;
        const std::filesystem::path link = std::filesystem::read_symlink(path, error);
        if (error) return path;
        path = link.is_absolute() ? link : path.parent_path() / link;
    }
    throw HostFailure("cannot write " + file.string() + ": too many levels of symbolic links");
}

// What the path holds now, links followed by the system (which also knows /dev/stdout's):
// nothing, a regular file, or something the host writes into.
enum class Kind { Missing, Regular, Stream, Refused };

Kind KindOf(const std::filesystem::path& file, std::string& why) {
    struct stat info {};
    if (stat(file.c_str(), &info) != 0) return Kind::Missing;
    if (S_ISREG(info.st_mode)) return Kind::Regular;
    if (S_ISCHR(info.st_mode) || S_ISFIFO(info.st_mode)) return Kind::Stream;
    why = S_ISDIR(info.st_mode) ? "it is a folder" : "it is not a file, device or pipe";
    return Kind::Refused;
}

void CopyInto(const std::filesystem::path& from, const std::filesystem::path& shown,
              const std::filesystem::path& device) {
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    const int out = open(device.c_str(), O_WRONLY | O_CLOEXEC);
    const int openError = errno;
    if (in < 0 || out < 0) {
        if (in >= 0) close(in);
        if (out >= 0) close(out);
        throw HostFailure("cannot write " + shown.string() + ": " + std::strerror(openError));
    }
    char buffer[65536];
    bool ok = true;
    for (ssize_t n; ok && (n = read(in, buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            ok = errno == EINTR;
            continue;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = write(out, buffer + done, size_t(n - done));
            if (w < 0 && errno != EINTR) ok = false;
            if (w > 0) done += w;
        }
    }
    const int writeError = errno;
    close(in);
    if (close(out) != 0) ok = false;
    if (!ok) throw HostFailure("cannot write " + shown.string() + ": " + std::strerror(writeError));
}

// A replacement keeps the permissions of the file it replaces, and its owner and group as far as
// the process may give them (an ordinary user keeps a group of its own, root keeps both).
void KeepOwnership(const std::filesystem::path& temporary, const std::filesystem::path& target) {
    struct stat info {};
    if (stat(target.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
    chmod(temporary.c_str(), info.st_mode & 07777);
    if (chown(temporary.c_str(), info.st_uid, info.st_gid) != 0 &&
        chown(temporary.c_str(), uid_t(-1), info.st_gid) != 0)
        return;
    // Changing the owner may clear set-id bits; give them back where allowed.
    chmod(temporary.c_str(), info.st_mode & 07777);
}

} // namespace

OutputTarget ResolveOutput(const std::filesystem::path& file) {
    std::string why;
    switch (KindOf(file, why)) {
    case Kind::Refused:
        throw HostFailure("cannot write " + file.string() + ": " + why);
    case Kind::Stream:
        if (access(file.c_str(), W_OK) != 0)
            throw HostFailure("cannot write " + file.string() + ": " + std::strerror(errno));
        return {file, file, true};
    default:
        break;
    }
    const std::filesystem::path target = Target(file);
    const auto folder = target.has_parent_path() ? target.parent_path() : ".";
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw HostFailure("cannot write " + file.string() + ": no folder " + folder.string());
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        throw HostFailure("cannot write " + file.string() + ": " + std::strerror(errno));
    return {file, target, false};
}

void WriteThroughTemporary(const OutputTarget& target,
                           const std::function<void(const std::filesystem::path&)>& write) {
    const std::filesystem::path& file = target.named;
    // A device or pipe gets the finished file; the temporary file then lives in the system's.
    const auto folder = target.stream                   ? std::filesystem::temp_directory_path()
                        : target.file.has_parent_path() ? target.file.parent_path()
                                                        : std::filesystem::path(".");
    std::string pattern = (folder / ("." + target.file.filename().string() + ".XXXXXX")).string();
    int fd = mkstemp(pattern.data());
    if (fd < 0)
        throw HostFailure("cannot write " + file.string() + ": " + std::strerror(errno) + " (in " +
                          folder.string() + ")");
    Publish(pattern);
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    const std::filesystem::path temporary = pattern;
    try {
        write(temporary);
        if (target.stream) {
            CopyInto(temporary, file, target.file);
            std::filesystem::remove(temporary);
        } else {
            KeepOwnership(temporary, target.file);
            std::error_code error;
            std::filesystem::rename(temporary, target.file, error);
            if (error) throw HostFailure("cannot write " + file.string() + ": " + error.message());
        }
        gHaveTemporary = false;
    } catch (...) {
        gHaveTemporary = false;
        std::error_code ignored;
        std::filesystem::remove(temporary, ignored);
        throw;
    }
}

void WriteThroughTemporary(const std::filesystem::path& file,
                           const std::function<void(const std::filesystem::path&)>& write) {
    WriteThroughTemporary(ResolveOutput(file), write);
}

void WriteFileAtomically(const std::filesystem::path& file, const std::string& text) {
    WriteThroughTemporary(file, [&](const std::filesystem::path& temporary) {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) throw HostFailure("cannot write " + file.string());
    });
}

void RemoveTemporaryFileNow() noexcept {
    if (gHaveTemporary.exchange(false)) unlink(gTemporary);
}

} // namespace quillon::filterhost
