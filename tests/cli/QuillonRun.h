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

} // namespace quillon::testing
