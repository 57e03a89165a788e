// Reading a log the user picked, on Windows: a device or a pipe is refused, unread.

#include "trend/log_reader.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace qv::trend {
namespace {

TEST(LogInputWin32, RefusesADeviceAndAPipeUnread) {
    const std::wstring pipe = L"\\\\.\\pipe\\qv-trend-" + std::to_wstring(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE, 1, 4096,
                                     4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    for (const std::wstring& name : {std::wstring(L"NUL"), pipe})
        EXPECT_EQ(readLogFile(name).status, LogReadStatus::NotRegular);
    CloseHandle(server);
}

} // namespace
} // namespace qv::trend
