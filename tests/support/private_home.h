#pragma once

// A private HOME and XDG_CONFIG_HOME for a whole test program, set before anything
// reads them (Qt keeps some folders it derives from them for the life of the process), so
// no test ever reads or writes the user's own settings, ports or files. Register it once per
// program:
//   testing::AddGlobalTestEnvironment(new qv::test::PrivateHome);
// The folders stay until the program ends. POSIX; no Qt.

#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace qv::test {

class PrivateHome : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_FALSE(folder_.path().empty());
        home = folder_ / "home";
        config = folder_ / "config";
        runtime = folder_ / "runtime";
        std::filesystem::create_directories(home);
        std::filesystem::create_directories(runtime);
        std::filesystem::permissions(runtime,
                                     std::filesystem::perms::owner_all); // Qt wants it private
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", config.c_str(), 1);
    }

    std::filesystem::path home;    // $HOME
    std::filesystem::path config;  // $XDG_CONFIG_HOME, made by whoever writes there first
    std::filesystem::path runtime; // for a child's XDG_RUNTIME_DIR; not set here

private:
    TempFolder folder_{"qv-home"};
};

} // namespace qv::test
