#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

// A path under the temporary folder named for the test, with nothing there at the start and
// nothing left behind.
struct TempFolder {
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 ("asrun-" + std::to_string(::getpid()) + "-" +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
    TempFolder() { std::filesystem::remove_all(path); }
    ~TempFolder() { std::filesystem::remove_all(path); }
};
