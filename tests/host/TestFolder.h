// A fresh folder for each test, named after its suite and test, removed when the test ends.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>

namespace quillon::testing {

class TestFolderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const ::testing::TestInfo& test = *::testing::UnitTest::GetInstance()->current_test_info();
        folder_ = std::filesystem::temp_directory_path() /
                  ("quillon-" + std::string(test.test_suite_name()) + "-" +
                   std::to_string(::getpid()) + "-" + test.name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::filesystem::path folder_;
};

} // namespace quillon::testing
