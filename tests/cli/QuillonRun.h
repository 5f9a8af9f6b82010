// Runs the real quillon binary in a folder of its own, with its own configuration folder.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillon::testing {

struct Outcome {
    int status;
    std::string error;
};

class QuillonTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("quillon-cli-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "config");
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }

    // Runs quillon with the arguments; `then` may add shell commands that run beside it, with
    // $pid naming it, before the shell waits for it.
    Outcome Quillon(const std::string& arguments, const std::string& then = "") {
        const std::filesystem::path err = folder_ / "stderr.txt";
        const std::string command = "cd '" + folder_.string() + "' && (XDG_CONFIG_HOME='" +
                                    (folder_ / "config").string() + "' '" QUILLON_BINARY "' " +
                                    arguments + " > /dev/null 2> '" + err.string() +
                                    "' & pid=$!; " + then + " wait $pid)";
        const int raw = std::system(command.c_str());
        std::ifstream in(err);
        std::stringstream text;
        text << in.rdbuf();
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, text.str()};
    }

    std::filesystem::path folder_;
};

// Shell commands for Quillon's `then`: once two workers of quillon run, `send` (with $pid the
// command) signals it; the status is the command's, and a worker that outlives it is named on
// standard error with "still running".
inline std::string SignalOnceTwoWorkersRun(const std::string& send) {
    return "until [ $(pgrep -P $pid | wc -l) -ge 2 ]; do kill -0 $pid || break; sleep 0.01; "
           "done; sleep 0.3; pgrep -P $pid > workers.txt; " +
           send +
           " wait $pid; status=$?; for w in $(cat workers.txt); do kill -0 $w 2>/dev/null && "
           "echo \"worker $w still running\" >&2; done; exit $status;";
}

} // namespace quillon::testing
