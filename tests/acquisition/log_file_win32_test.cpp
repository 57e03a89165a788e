// The Windows log file on a real disk (under Wine in this project's CI): the no-sharing
// open, creation, the append and truncate rules, cut-back, and paths beyond ASCII.

#include "acquisition/log_file.h"

#include "app/services/win32_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <windows.h>

namespace qv {
namespace {

namespace fs = std::filesystem;

class Win32LogFileTest : public testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("qv-log-" + std::to_string(GetCurrentProcessId()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    std::string path(const std::string& utf8Name) const {
        return win32::utf8((folder_ / win32::wide(utf8Name)).wstring());
    }
    static std::string contents(const std::string& utf8Path) {
        std::ifstream in(fs::path(win32::wide(utf8Path)), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    fs::path folder_;
};

TEST_F(Win32LogFileTest, HeldAloneWhileOpenCreatedWhenMissingAndAppendedOrEmptied) {
    const std::string log = path("x.log");
    auto file = makePlatformLogFile();
    ASSERT_TRUE(file->open(log, true)) << file->lastErrorText();
    ASSERT_TRUE(file->seekToEnd());
    ASSERT_TRUE(file->write("one\r\n") && file->sync());

    // Nobody else opens it meanwhile, not even to read, and a second log is told why.
    const HANDLE reader = CreateFileW(win32::wide(log).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      0, nullptr);
    EXPECT_EQ(reader, INVALID_HANDLE_VALUE);
    if (reader != INVALID_HANDLE_VALUE)
        CloseHandle(reader);
    auto second = makePlatformLogFile();
    EXPECT_FALSE(second->open(log, true));
    EXPECT_EQ(second->lastErrorText(), "in use by another program");
    ASSERT_TRUE(file->close());
    EXPECT_EQ(contents(log), "one\r\n"); // the refused open emptied nothing

    ASSERT_TRUE(file->open(log, false) && file->seekToEnd());
    ASSERT_TRUE(file->write("two\r\n") && file->write("three\r\n"));
    file->cutBackLastWrite();
    ASSERT_TRUE(file->close());
    EXPECT_EQ(contents(log), "one\r\ntwo\r\n");

    ASSERT_TRUE(file->open(log, true) && file->seekToEnd() && file->close());
    EXPECT_EQ(contents(log), "");
}

TEST_F(Win32LogFileTest, NamesBeyondAsciiAndFailuresInTheSystemsWords) {
    const std::string log = path("Messwerte-\xC3\xBC\xE2\x82\xAC.log"); // ü and €
    auto file = makePlatformLogFile();
    ASSERT_TRUE(file->open(log, false) && file->seekToEnd() && file->write("x\r\n"));
    EXPECT_EQ(file->fullPath(), log);
    ASSERT_TRUE(file->close());
    EXPECT_TRUE(fs::exists(fs::path(win32::wide(log))));

    const std::string missing = path("no-such-folder\\x.log");
    EXPECT_FALSE(file->open(missing, false));
    EXPECT_FALSE(file->lastErrorText().empty());
    EXPECT_EQ(file->fullPath(), missing);
}

} // namespace
} // namespace qv
