// Who owns the program's message boxes on Win32, in the real main window: the main window
// (or the modal dialog over it), even while the trend window is active, with the rest of
// the program disabled meanwhile; and a box at exit, when the main window has gone, is
// still shown. The publish dialog's wiring from the system menu.
// Also that the main window frees the small icon it loaded. Needs a display (scripts/wine-run
// --display, or Windows); skipped without.

// Before windows.h, which defines the name of one of its operations as a macro.
#include "settings/settings_store.h"

#include "app/res/dialog_templates.h"
#include "app/win32/dpi_win32.h"
#include "app/win32/win32_main_window.h"
#include "app/win32/win32_window_services.h"
#include "publish/topics.h"
#include "settings/publish_settings.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/fixed_clock.h"
#include "text/win32_text.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#undef GetProfileInt
#undef WriteProfileString

namespace qv::win32 {
namespace {

bool haveDisplay() {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                 nullptr);
    if (probe)
        DestroyWindow(probe);
    return probe != nullptr;
}

// A visible top-level window of this thread with `caption`, or null.
HWND threadWindow(const std::wstring& caption) {
    struct Search {
        const std::wstring& caption;
        HWND found = nullptr;
    } search{caption};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) {
            auto& s = *reinterpret_cast<Search*>(context);
            wchar_t text[128] = {};
            GetWindowTextW(window, text, 128);
            if (IsWindowVisible(window) && s.caption == text)
                s.found = window;
            return s.found ? FALSE : TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Steps taken one after another by a thread timer, inside whatever modal loop runs (the
// main window's, a box's): each waits for its condition, then acts. A step that never
// becomes ready leaves the test to its time limit.
class Script {
public:
    struct Step {
        std::function<bool()> ready;
        std::function<void()> act;
    };
    explicit Script(std::vector<Step> steps)
        : steps_(std::move(steps)), timer_(SetTimer(nullptr, 0, 20, tick)) {
        current_ = this;
    }
    ~Script() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool finished() const { return next_ == steps_.size(); }

private:
    static void CALLBACK tick(HWND, UINT, UINT_PTR, DWORD) {
        if (Script* s = current_; s && !s->finished() && s->steps_[s->next_].ready())
            s->steps_[s->next_++].act();
    }

    static inline Script* current_ = nullptr;
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    UINT_PTR timer_;
};

class ModalOwner : public testing::Test {
protected:
    void SetUp() override {
        if (!haveDisplay())
            GTEST_SKIP() << "needs a display (scripts/wine-run --display)";
    }
};

TEST_F(ModalOwner, ABoxRaisedWhileTheTrendWindowIsActiveBelongsToTheMainWindow) {
    const std::string app = "QV-5300 modal owner test";
    SettingsStore settings(app);
    settings.SetRegistryKey(kCompanyKey);
    // Start Log then fails with "Error opening file".
    settings.WriteProfileString(nullptr, kLogFileNameEntry, "C:\\no-such-folder\\x.log");
    test::FakeSerialPlatform platform;
    platform.addPort(1);
    const test::FixedClock clock;

    HWND main = nullptr, trend = nullptr, box = nullptr, owner = nullptr;
    HICON smallIcon = nullptr;
    bool mainEnabled = true, trendEnabled = true;
    {
        Win32MainWindow window(GetModuleHandleW(nullptr), app, settings, platform, clock);
        Script script({
            {[&] { return (main = threadWindow(L"Tavrin QV-5300")) != nullptr; },
             [&] {
                 smallIcon = reinterpret_cast<HICON>(SendMessageW(main, WM_GETICON, ICON_SMALL, 0));
                 PostMessageW(main, WM_SYSCOMMAND, res::kTrendCommandId, 0);
             }},
            {[&] {
                 trend = threadWindow(L"QV-5300 Trend");
                 return trend && GetActiveWindow() == trend;
             },
             [&] {
                 PostMessageW(main, WM_COMMAND, MAKEWPARAM(ctl::kStartStopLog, BN_CLICKED), 0);
             }},
            {[&] { return (box = threadWindow(wide(app))) != nullptr; },
             [&] {
                 owner = GetWindow(box, GW_OWNER);
                 mainEnabled = IsWindowEnabled(main);
                 trendEnabled = IsWindowEnabled(trend);
                 PostMessageW(box, WM_COMMAND, IDOK, 0);
             }},
            {[&] { return !IsWindow(box); }, [&] { PostMessageW(main, WM_CLOSE, 0, 0); }},
        });
        window.run();
        EXPECT_TRUE(script.finished());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Tavrin QV-5300\\" + wide(app)).c_str());
    EXPECT_EQ(owner, main);
    EXPECT_FALSE(mainEnabled);
    EXPECT_FALSE(trendEnabled);
    // The small icon went with the window.
    ICONINFO info{};
    ASSERT_NE(smallIcon, nullptr);
    EXPECT_FALSE(GetIconInfo(smallIcon, &info));
}

// Where the windows open: the main window centred on the primary monitor's work area at
// the first start, the setup dialog centred over it; at the next start where the user left
// it, brought back inside the desktop when that place is off it.
TEST_F(ModalOwner, MainWindowOpensCentredThenWhereLeftWithSetupCentredOverIt) {
    const std::string app = "QV-5300 placement test";
    const std::wstring key = L"Software\\Tavrin QV-5300\\" + wide(app);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    SettingsStore settings(app);
    settings.SetRegistryKey(kCompanyKey);
    test::FakeSerialPlatform platform;
    platform.addPort(1);
    const test::FixedClock clock;
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    HWND main = nullptr, setup = nullptr;
    // Runs the window: its frame as first shown, then `steps`.
    const auto run = [&](std::vector<Script::Step> steps) {
        RECT frame{};
        Win32MainWindow window(GetModuleHandleW(nullptr), app, settings, platform, clock);
        steps.insert(steps.begin(),
                     {[&] { return (main = threadWindow(L"Tavrin QV-5300")) != nullptr; },
                      [&] { GetWindowRect(main, &frame); }});
        Script script(std::move(steps));
        window.run();
        EXPECT_TRUE(script.finished());
        return frame;
    };
    const auto centre = [](const RECT& r) {
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    const auto exit = [&] { PostMessageW(main, WM_COMMAND, IDOK, 0); };

    RECT setupFrame{}, ownerFrame{};
    const RECT first = run({
        {[] { return true; },
         [&] { PostMessageW(main, WM_COMMAND, MAKEWPARAM(ctl::kSetup, BN_CLICKED), 0); }},
        {[&] { return (setup = threadWindow(L"Setup")) != nullptr; },
         [&] {
             GetWindowRect(setup, &setupFrame);
             GetWindowRect(main, &ownerFrame);
             PostMessageW(setup, WM_COMMAND, IDCANCEL, 0);
         }},
        {[&] { return !IsWindow(setup); },
         [&] {
             SetWindowPos(main, nullptr, work.left + 30, work.top + 20, 0, 0,
                          SWP_NOSIZE | SWP_NOZORDER);
             exit();
         }},
    });
    EXPECT_LE(std::abs(centre(first).x - centre(work).x), 1);
    EXPECT_LE(std::abs(centre(first).y - centre(work).y), 1);
    EXPECT_LE(std::abs(centre(setupFrame).x - centre(ownerFrame).x), 1);
    EXPECT_LE(std::abs(centre(setupFrame).y - centre(ownerFrame).y), 1);
    EXPECT_EQ(settings.GetProfileInt(nullptr, kWindowLeftEntry, -1), work.left + 30);
    EXPECT_EQ(settings.GetProfileInt(nullptr, kWindowTopEntry, -1), work.top + 20);

    settings.WriteProfileInt(nullptr, kWindowLeftEntry, 100000); // a monitor since gone
    const RECT second = run({{[] { return true; }, exit}});
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(second.top, work.top + 20);
    EXPECT_EQ(second.right, work.right);
}

// Setup... with a port whose probe hangs: the window's loop goes on (this script's steps,
// the poll timer), and the dialog shows once the probe has ended.
TEST_F(ModalOwner, SetupProbesOffTheWindowThread) {
    const std::string app = "QV-5300 survey test";
    SettingsStore settings(app);
    settings.SetRegistryKey(kCompanyKey);
    settings.WriteProfileInt(nullptr, kLogIntervalEntry, 1);
    test::FakeSerialPlatform platform;
    platform.addPort(1);
    platform.holdProbes(2);
    const test::FixedClock clock;
    HWND main = nullptr, setup = nullptr;
    bool probingWhilePolled = false;
    const auto polled = [&] {
        const auto calls = platform.calls();
        return std::find(calls.begin(), calls.end(), "rts 1") != calls.end();
    };
    {
        Win32MainWindow window(GetModuleHandleW(nullptr), app, settings, platform, clock);
        Script script({
            {[&] { return (main = threadWindow(L"Tavrin QV-5300")) != nullptr; },
             [&] { PostMessageW(main, WM_COMMAND, MAKEWPARAM(ctl::kSetup, BN_CLICKED), 0); }},
            // The others done (the reply timeout's own probes may add to the count).
            {[&] { return platform.probesDone() >= 255; }, [&] { platform.clearCalls(); }},
            {polled,
             [&] {
                 probingWhilePolled = threadWindow(L"Setup") == nullptr;
                 platform.releaseProbes();
             }},
            {[&] { return (setup = threadWindow(L"Setup")) != nullptr; },
             [&] { PostMessageW(setup, WM_COMMAND, IDCANCEL, 0); }},
            {[&] { return !IsWindow(setup); }, [&] { PostMessageW(main, WM_COMMAND, IDOK, 0); }},
        });
        window.run();
        EXPECT_TRUE(script.finished());
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Tavrin QV-5300\\" + wide(app)).c_str());
    EXPECT_TRUE(probingWhilePolled);
}

// The publish entry's wiring: below the reconnect entry in the system menu, it opens the
// dialog with the port's default prefix as the cue; OK stores the six values typed, Cancel
// nothing.
TEST_F(ModalOwner, PublishEntryOpensTheDialogAndOkStoresItsSixValues) {
    const std::string app = "QV-5300 publish test";
    const std::wstring key = L"Software\\Tavrin QV-5300\\" + wide(app);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    SettingsStore settings(app);
    settings.SetRegistryKey(kCompanyKey);
    test::FakeSerialPlatform platform;
    platform.addPort(1);
    const test::FixedClock clock;
    HWND main = nullptr, dialog = nullptr;
    wchar_t entry[64] = {}, cue[64] = {};
    std::vector<std::string> storedAfterCancel;
    const auto open = [&] { PostMessageW(main, WM_SYSCOMMAND, res::kPublishCommandId, 0); };
    const auto shown = [&] { return (dialog = threadWindow(L"Publish")) != nullptr; };
    const auto type = [&](int endWith) {
        SetDlgItemTextW(dialog, ctl::kBroker, L"mqtt://127.0.0.1:1884");
        SetDlgItemTextW(dialog, ctl::kMqttUser, L"ann");
        SetDlgItemTextW(dialog, ctl::kMqttPassword, L"pa ss");
        SetDlgItemTextW(dialog, ctl::kTopicPrefix, L"lab/qv");
        CheckDlgButton(dialog, ctl::kDiscovery, BST_UNCHECKED);
        CheckDlgButton(dialog, ctl::kPublishOn, BST_CHECKED);
        PostMessageW(dialog, WM_COMMAND, endWith, 0);
    };
    const auto closed = [&] { return !IsWindow(dialog); };
    {
        Win32MainWindow window(GetModuleHandleW(nullptr), app, settings, platform, clock);
        Script script({
            {[&] { return (main = threadWindow(L"Tavrin QV-5300")) != nullptr; },
             [&] {
                 HMENU menu = GetSystemMenu(main, FALSE);
                 for (int i = 0; i + 1 < GetMenuItemCount(menu); ++i)
                     if (GetMenuItemID(menu, i) == res::kReconnectCommandId)
                         GetMenuStringW(menu, i + 1, entry, 64, MF_BYPOSITION);
                 open();
             }},
            {shown,
             [&] {
                 SendDlgItemMessageW(dialog, ctl::kTopicPrefix, EM_GETCUEBANNER,
                                     reinterpret_cast<WPARAM>(cue), 64);
                 type(IDCANCEL);
             }},
            {closed,
             [&] {
                 for (const char* name : {kMqttEnabledEntry, kMqttBrokerEntry, kMqttUserEntry,
                                          kMqttPasswordEntry, kMqttTopicEntry, kMqttDiscoveryEntry})
                     if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), wide(name).c_str(),
                                      RRF_RT_ANY, nullptr, nullptr,
                                      nullptr) != ERROR_FILE_NOT_FOUND)
                         storedAfterCancel.push_back(name);
                 open();
             }},
            {shown, [&] { type(IDOK); }},
            {closed, [&] { PostMessageW(main, WM_COMMAND, IDOK, 0); }},
        });
        window.run();
        EXPECT_TRUE(script.finished());
    }
    const PublishSettings stored = loadPublishSettings(settings);
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
    EXPECT_EQ(utf8(entry), "&Publish...");
    EXPECT_EQ(utf8(cue), publish::defaultTopicPrefix(publish::localHostName(), 1));
    EXPECT_EQ(storedAfterCancel, std::vector<std::string>{});
    EXPECT_EQ(stored,
              (PublishSettings{true, "mqtt://127.0.0.1:1884", "ann", "pa ss", "lab/qv", false}));
}

// Exit and Escape end the main window before the log's last failure is reported.
TEST_F(ModalOwner, ABoxAfterTheMainWindowEndedIsStillShown) {
    Win32WindowServices services("QV-5300 exit test");
    HWND gone = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                                nullptr);
    services.attach(gone);
    DestroyWindow(gone);
    HWND box = nullptr;
    Script script({{[&] { return (box = threadWindow(L"QV-5300 exit test")) != nullptr; },
                    [&] { PostMessageW(box, WM_COMMAND, IDOK, 0); }}});
    services.messageBox("Disk full while accessing x.log.", BoxIcon::Stop);
    EXPECT_TRUE(script.finished());
}

} // namespace
} // namespace qv::win32
