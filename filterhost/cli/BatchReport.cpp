#include "cli/BatchReport.h"

#include "core/HostFailure.h"

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace quillon::cli {

BatchReport::BatchReport(const std::filesystem::path& file) : file_(file) {
    if (file.empty()) return;
    std::error_code error;
    if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), error);
    fd_ = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
    if (fd_ < 0)
        throw filterhost::HostFailure("cannot write the report " + file.string() + ": " +
                                      std::strerror(errno));
}

BatchReport::~BatchReport() {
    if (fd_ >= 0) close(fd_);
}

void BatchReport::Add(const std::filesystem::path& in, const std::filesystem::path& out,
                      const std::string& status, const std::string& reason, int64_t milliseconds) {
    if (fd_ < 0) return;
    nlohmann::json line = {{"input", in.string()},
                           {"output", out.string()},
                           {"status", status},
                           {"reason", reason.empty() ? nlohmann::json() : nlohmann::json(reason)},
                           {"milliseconds", milliseconds}};
    // Invalid UTF-8 in a file name is replaced, so every line stays JSON.
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    // One write a line on an appending descriptor: a reader never sees half a line followed by
    // another, and the line is with the system as soon as the picture ends.
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd_, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw filterhost::HostFailure("cannot write the report " + file_.string() + ": " +
                                          std::strerror(errno));
        done += size_t(n);
    }
}

} // namespace quillon::cli
