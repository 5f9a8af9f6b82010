// A batch's report: one JSON object a line for every picture of the batch's share, written and
// flushed as the picture ends, so a run that is killed leaves a valid report of what it did.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace quillon::cli {

class BatchReport {
  public:
    // No report when file is empty. Throws HostFailure when the file cannot be created.
    explicit BatchReport(const std::filesystem::path& file);
    ~BatchReport();
    BatchReport(const BatchReport&) = delete;
    BatchReport& operator=(const BatchReport&) = delete;

    // status: "written", "failed" or "skipped"; an empty reason is written as null.
    void Add(const std::filesystem::path& in, const std::filesystem::path& out,
             const std::string& status, const std::string& reason, int64_t milliseconds);

  private:
    std::filesystem::path file_;
    int fd_ = -1;
};

} // namespace quillon::cli
