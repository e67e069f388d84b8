#include "support/ScratchDirectory.h"

#include <gtest/gtest.h>

#include <system_error>

ScratchDirectory::ScratchDirectory(const std::string& prefix) {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = test ? std::string(test->test_suite_name()) + "-" + test->name() : "no-test";
    path_ = std::filesystem::temp_directory_path() / (prefix + "-" + name);
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

ScratchDirectory::~ScratchDirectory() {
    // A destructor must not throw; a directory left behind is cleared by the next run.
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}
