// QV-5300.exe end to end, driven from outside as a user would: the simulator on COMn
// (scripts/wine-run --sensor N --display), settings in the registry, a logging session,
// the about box, the trend window, Setup, an unplug and a replug. Skipped without the simulator.

#include "tests/support/files.h"
#include "tests/support/wait_until.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

using namespace std::chrono_literals;
using qv::win32::utf8;
using qv::win32::wide;

const std::wstring kSettingsKey = L"Software\\Tavrin QV-5300\\QV-5300";

bool waitFor(const std::function<bool()>& done) {
    return qv::test::waitUntil(done, 20s, [] { Sleep(20); });
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string controlText(HWND window, int id) {
    wchar_t text[256] = {};
    GetDlgItemTextW(window, id, text, 256);
    return utf8(text);
}

// The program's message box (caption "QV-5300") showing `text`, or null.
HWND messageBoxShowing(const std::string& text) {
    for (HWND box = FindWindowW(L"#32770", L"QV-5300"); box;
         box = FindWindowExW(nullptr, box, L"#32770", L"QV-5300"))
        if (IsWindowVisible(box) && controlText(box, 0xFFFF) == text)
            return box;
    return nullptr;
}

// A dialog of the program once it is initialised and shown, or null.
HWND shownDialog(const wchar_t* caption) {
    HWND dialog = FindWindowW(L"#32770", caption);
    return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
}

void command(HWND window, int id) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

DWORD registryInt(const wchar_t* name) {
    DWORD value = 0, size = sizeof value;
    RegGetValueW(HKEY_CURRENT_USER, kSettingsKey.c_str(), name, RRF_RT_REG_DWORD, nullptr, &value,
                 &size);
    return value;
}

// Asks the runner to unplug or replug the simulator; true once it has.
bool request(const std::string& controlFile) {
    const std::string path = env("QV_WINE_CONTROL_WIN") + "\\" + controlFile;
    std::ofstream(path).put('\n');
    return waitFor(
        [&] { return GetFileAttributesW(wide(path).c_str()) == INVALID_FILE_ATTRIBUTES; });
}

TEST(ProgramE2eWin32, LogsReadingsKeepsSettingsInTheRegistryAndSurvivesAnUnplug) {
    const std::string port = env("QV_SENSOR_PORT");
    if (port.empty())
        GTEST_SKIP() << "needs scripts/wine-run --sensor N --display";
    const std::string logPath = env("QV_WINE_CONTROL_WIN") + "\\e2e.log";

    // The settings the program reads at start.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD comPort = std::stoul(port), interval = 1, append = 0;
    RegSetValueExW(key, L"ComPort", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&comPort), 4);
    RegSetValueExW(key, L"LogInterval", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&interval), 4);
    RegSetValueExW(key, L"Append", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&append), 4);
    const std::wstring logName = wide(logPath);
    RegSetValueExW(key, L"LogFileName", 0, REG_SZ, reinterpret_cast<const BYTE*>(logName.c_str()),
                   static_cast<DWORD>((logName.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);

    std::wstring commandLine = L"\"" + wide(QV_PROGRAM_PATH) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND main = nullptr;
    ASSERT_TRUE(waitFor([&] { return (main = shownDialog(L"Tavrin QV-5300")); }));

    // Readings arrive; a session of three logged lines, each CR LF ended.
    ASSERT_TRUE(waitFor([&] { return !controlText(main, 1000).empty(); }));
    command(main, 1003);
    ASSERT_TRUE(waitFor([&] { return controlText(main, 1004) == "3"; }));
    command(main, 1003);
    ASSERT_TRUE(waitFor([&] { return controlText(main, 1003) == "Start Log"; }));
    const std::string log = qv::test::readFile(logPath);
    const std::string line = R"(\d\d/\d\d/\d{4}\t\d\d:\d\d:\d\d\t *-?\d+\.\d\t *-?\d+\.\d\r\n)";
    EXPECT_TRUE(std::regex_match(log, std::regex("(" + line + "){3,4}"))) << log;

    // The about box through the system-menu command.
    PostMessageW(main, WM_SYSCOMMAND, 0x10, 0);
    HWND about = nullptr;
    ASSERT_TRUE(waitFor([&] { return (about = shownDialog(L"About QV-5300")); }));
    command(about, IDOK);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(about); }));

    // The trend window through its system-menu command: live readings charted on white, a
    // span button answered, a second command keeps the one window, and its keys reach the
    // dialog manager inside the main window's modal loop (Escape closes it).
    PostMessageW(main, WM_SYSCOMMAND, 0x20, 0);
    HWND trend = nullptr;
    ASSERT_TRUE(waitFor([&] { return (trend = shownDialog(L"QV-5300 Trend")); }));
    EXPECT_EQ(GetWindow(trend, GW_OWNER), main);
    EXPECT_EQ(controlText(trend, 1029), "Live readings");
    command(trend, 1020);
    EXPECT_TRUE(waitFor([&] { return !IsWindowEnabled(GetDlgItem(trend, 1020)); }));
    RECT client{};
    GetClientRect(trend, &client);
    HDC dc = GetDC(trend);
    EXPECT_TRUE(waitFor([&] { return GetPixel(dc, 2, client.bottom - 2) == RGB(255, 255, 255); }));
    ReleaseDC(trend, dc);
    PostMessageW(main, WM_SYSCOMMAND, 0x20, 0);
    EXPECT_TRUE(waitFor([&] { return GetForegroundWindow() == trend; }));
    EXPECT_EQ(FindWindowExW(nullptr, trend, L"#32770", L"QV-5300 Trend"), nullptr);
    PostMessageW(GetDlgItem(trend, 1021), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(trend); }));

    // Setup writes a changed interval to the registry.
    command(main, 1002);
    HWND setup = nullptr;
    ASSERT_TRUE(waitFor([&] { return (setup = shownDialog(L"Setup")); }));
    SetDlgItemTextW(setup, 1007, L"2");
    command(setup, IDOK);
    ASSERT_TRUE(waitFor([&] { return !IsWindow(setup); }));
    // The values are written once the dialog has gone, by the program's own thread.
    EXPECT_TRUE(waitFor([] { return registryInt(L"LogInterval") == 2u; }));

    // Unplugged: the program says so; replugged, Setup then OK resumes the readings.
    ASSERT_TRUE(request("unplug-sensor"));
    HWND lost = nullptr;
    ASSERT_TRUE(waitFor([&] { return (lost = messageBoxShowing("COM port disconnected")); }));
    command(lost, IDOK);
    ASSERT_TRUE(request("replug-sensor"));
    command(main, 1002);
    ASSERT_TRUE(waitFor([&] { return (setup = shownDialog(L"Setup")); }));
    command(setup, IDOK);
    ASSERT_TRUE(waitFor([&] { return !controlText(main, 1000).empty(); }));

    // The close box ends the program.
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(WaitForSingleObject(process.hProcess, 20000), WAIT_OBJECT_0);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
}

} // namespace
