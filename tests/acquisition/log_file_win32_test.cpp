// The Windows log file on a real disk (under Wine in this project's CI): the no-sharing
// open, creation, the append and truncate rules, cut-back, lines another program appends,
// paths beyond ASCII; and the rules of its writes on pipes and slow disks.

#include "acquisition/log_file.h"
#include "acquisition/log_file_win32.h"

#include "tests/support/files.h"
#include "tests/support/wait_until.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <windows.h>

namespace qv {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(Win32LogWrites, OnlyAReaderThatStoppedIsGivenUpOn) {
    EXPECT_EQ(logWriteLimit(FILE_TYPE_DISK), std::nullopt);
    for (const DWORD type : {FILE_TYPE_PIPE, FILE_TYPE_CHAR, FILE_TYPE_UNKNOWN})
        EXPECT_EQ(logWriteLimit(type), kLogStallLimit) << type;
}

TEST(Win32LogWrites, WhatAWriteWroteCountsEvenWhenItWasCancelled) {
    const struct {
        bool completed;
        DWORD written;
        bool cancelled;
        LogWriteOutcome outcome;
    } rows[] = {
        {true, 30, false, LogWriteOutcome::Wrote},
        {true, 30, true, LogWriteOutcome::Wrote},   // completed just before the cancel
        {false, 12, true, LogWriteOutcome::Wrote},  // part of it went out first
        {false, 0, true, LogWriteOutcome::Stalled}, // the reader took nothing
        {false, 0, false, LogWriteOutcome::Failed},
        {true, 0, false, LogWriteOutcome::Failed}, // a full disk
    };
    for (const auto& row : rows)
        EXPECT_EQ(logWriteOutcome(row.completed, row.written, row.cancelled), row.outcome)
            << row.completed << " " << row.written << " " << row.cancelled;
}

// Appends `text` to `path` from a Unix process, which Wine's sharing rules do not hold back,
// as another program would on a system that let it; false where there is no such way (real
// Windows).
bool appendFromOutside(const std::string& path, const std::string& text) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    char* name = unixName ? unixName(win32::wide(path).c_str()) : nullptr;
    if (!name)
        return false;
    SetEnvironmentVariableA("QV_APPEND_FILE", name);
    SetEnvironmentVariableA("QV_APPEND_TEXT", text.c_str());
    HeapFree(GetProcessHeap(), 0, name);
    WIN32_FILE_ATTRIBUTE_DATA before{};
    GetFileAttributesExW(win32::wide(path).c_str(), GetFileExInfoStandard, &before);
    std::wstring command = LR"(/bin/sh -c "printf %s \"$QV_APPEND_TEXT\" >> \"$QV_APPEND_FILE\"")";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(L"Z:\\bin\\sh", command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // A Unix process gives Wine no handle to wait on: the file's size tells when it is done.
    return test::waitUntil(
        [&] {
            WIN32_FILE_ATTRIBUTE_DATA now{};
            return GetFileAttributesExW(win32::wide(path).c_str(), GetFileExInfoStandard, &now) &&
                   now.nFileSizeLow == before.nFileSizeLow + text.size();
        },
        10s, [] { Sleep(10); });
}

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
        return test::readFile(win32::wide(utf8Path));
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
    const HANDLE reader =
        CreateFileW(win32::wide(log).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
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

TEST_F(Win32LogFileTest, LinesAnotherProgramAppendsAreNeitherOverwrittenNorCut) {
    const std::string log = path("shared.log");
    auto file = makePlatformLogFile();
    ASSERT_TRUE(file->open(log, true) && file->seekToEnd());
    ASSERT_TRUE(file->write("one\r\n"));
    if (!appendFromOutside(log, "NOTE\r\n"))
        GTEST_SKIP() << "no way here for another program to append while the log holds the file";
    ASSERT_TRUE(file->write("two\r\n"));
    ASSERT_TRUE(appendFromOutside(log, "LATE\r\n"));
    file->cutBackLastWrite(); // the end is no longer our line's
    ASSERT_TRUE(file->close());
    EXPECT_EQ(contents(log), "one\r\nNOTE\r\ntwo\r\nLATE\r\n");
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
