// Record-to-screen latency of the Windows program under Wine (or on Windows), by the
// method of latency_bench.cpp: a writer thread writes sensor records into COM2 of a
// null-modem pair (scripts/wine-run --null-modem 1); the program's parts - the core main
// window with the Win32 window services on a real dialog of template 102, the channel on
// the Win32 platform reading COM1 - carry each record to the humidity field. Measured:
// from right after the record's CR was written until right after the humidity text was
// set. Each record's body goes out first and its CR alone a millisecond later.
//
// --bare: a thread reading COM1 with ReadFile instead of the program, taking the time when
// it has the CR: what Wine's serial emulation and the pseudo-terminal relay cost.
//
// Usage: qv_bench_latency_win32.exe [--records N] [--bare]
// Prints one JSON object on stdout.

#include "app/front_end.h"
#include "app/main_dialog.h"
#include "app/res/dialog_templates.h"
#include "app/win32/dialog_template_win32.h"
#include "app/win32/win32_window_services.h"
#include "bench/stats.h"
#include "serial/serial_platform.h"
#include "settings/settings_store.h"
#include "tests/support/forwarding_window_services.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;
constexpr auto kBodyToCr = std::chrono::milliseconds{1};
constexpr auto kPace = std::chrono::milliseconds{5};

HANDLE openPort(const wchar_t* name) {
    HANDLE port =
        CreateFileW(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(port, &dcb);
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(port, &dcb);
    // A read returns as soon as a byte is there.
    COMMTIMEOUTS timeouts{MAXDWORD, MAXDWORD, 5000, 0, 0};
    SetCommTimeouts(port, &timeouts);
    return port;
}

std::string record(int i) {
    char text[32];
    std::snprintf(text, sizeof text, "H%5.1fT%5.1f", 40.0 + (i % 50) * 0.1, 20.0 + (i % 30) * 0.1);
    return text;
}

// Writes the records into `port`, each CR's moment into `sent`, waiting for `shown` to
// catch up before the next record.
void writeRecords(HANDLE port, int count, std::vector<SteadyClock::time_point>& sent,
                  const std::atomic<int>& shown) {
    DWORD written = 0;
    for (int i = 0; i < count; ++i) {
        const std::string body = record(i);
        WriteFile(port, body.data(), static_cast<DWORD>(body.size()), &written, nullptr);
        std::this_thread::sleep_for(kBodyToCr);
        WriteFile(port, "\r", 1, &written, nullptr);
        sent[static_cast<std::size_t>(i)] = SteadyClock::now();
        const auto until = SteadyClock::now() + std::chrono::seconds{5};
        while (shown.load() <= i && SteadyClock::now() < until)
            std::this_thread::sleep_for(std::chrono::microseconds{200});
        std::this_thread::sleep_for(kPace);
    }
}

// The front end's dialogs are not used here.
class NoFrontEnd : public qv::FrontEnd {
public:
    int runSetupDialog(qv::QV53SetupDlg&) override { return qv::kIdCancel; }
    int runPublishDialog(qv::PublishDialog&) override { return qv::kIdCancel; }
    int runAboutBox() override { return qv::kIdCancel; }
    void setWaitCursor(bool) override {}
    std::optional<std::string> browseForSave(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void showTrendWindow(qv::TrendWindow&) override {}
    void invalidateTrend() override {}
    std::optional<std::string> browseForOpen(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    bool saveImage(const std::string&, int, int,
                   const std::function<void(qv::trend::Painter&)>&) override {
        return false;
    }
};

qv::CQV53Dlg* core = nullptr;

INT_PTR CALLBACK mainProc(HWND, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_TIMER && core)
        core->onTimer(static_cast<int>(wParam));
    else if ((message == qv::WM_SERIAL_BYTE || message == qv::WM_LOG_LINE_DONE) && core)
        core->onMessage(message, static_cast<std::intptr_t>(wParam),
                        static_cast<std::intptr_t>(lParam));
    else
        return message == WM_INITDIALOG;
    return TRUE;
}

std::vector<double> runProgram(int count) {
    std::vector<SteadyClock::time_point> sent(static_cast<std::size_t>(count)), seen(sent.size());
    std::atomic<int> shown{0};
    const std::vector<std::uint8_t> bytes =
        qv::win32::buildDialogTemplate(qv::res::dialogTemplate(qv::res::kMainDialogId));
    HWND window = CreateDialogIndirectParamW(GetModuleHandleW(nullptr),
                                             reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()),
                                             nullptr, mainProc, 0);
    qv::win32::Win32WindowServices services("QV-5300");
    services.attach(window);
    qv::test::ForwardingWindowServices observed(services);
    observed.afterSetText = [&](int id, const std::string& text) {
        const int i = shown.load();
        if (id == qv::ctl::kHumidity && !text.empty() && i < count) {
            seen[static_cast<std::size_t>(i)] = SteadyClock::now();
            shown.store(i + 1);
        }
    };
    NoFrontEnd frontEnd;
    qv::SettingsStore settings("QV-5300-bench");
    settings.SetRegistryKey(qv::kCompanyKey);
    const auto platform = qv::makePlatformSerial({});
    const qv::SystemClock clock;
    auto dialog = std::make_unique<qv::CQV53Dlg>(observed, frontEnd, settings, *platform,
                                                 clock); // COM1, the default
    core = dialog.get();
    dialog->OnInitDialog();
    HANDLE peer = openPort(L"\\\\.\\COM2");
    std::thread writer(writeRecords, peer, count, std::ref(sent), std::cref(shown));
    MSG msg;
    while (shown.load() < count && GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    writer.join();
    // The parts are left as they are: under Wine (8.0, null-modem relay) closing the
    // channel here does not return, and the figures are taken; main ends the process.
    (void)dialog.release();
    (void)peer;
    std::vector<double> us;
    for (std::size_t i = 0; i < sent.size(); ++i)
        us.push_back(std::chrono::duration<double, std::micro>(seen[i] - sent[i]).count());
    return us;
}

std::vector<double> runBare(int count) {
    std::vector<SteadyClock::time_point> sent(static_cast<std::size_t>(count)), seen(sent.size());
    std::atomic<int> shown{0};
    HANDLE port = openPort(L"\\\\.\\COM1");
    HANDLE peer = openPort(L"\\\\.\\COM2");
    std::thread writer(writeRecords, peer, count, std::ref(sent), std::cref(shown));
    char byte = 0;
    DWORD read = 0;
    while (shown.load() < count && ReadFile(port, &byte, 1, &read, nullptr))
        if (read == 1 && byte == '\r') {
            seen[static_cast<std::size_t>(shown.load())] = SteadyClock::now();
            shown.store(shown.load() + 1);
        }
    writer.join();
    CloseHandle(peer);
    CloseHandle(port);
    std::vector<double> us;
    for (std::size_t i = 0; i < sent.size(); ++i)
        us.push_back(std::chrono::duration<double, std::micro>(seen[i] - sent[i]).count());
    return us;
}

} // namespace

int main(int argc, char** argv) {
    int records = 300;
    bool bare = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--bare")
            bare = true;
        else if (arg == "--records" && i + 1 < argc)
            records = std::stoi(argv[++i]);
    }
    const std::vector<double> us = bare ? runBare(records) : runProgram(records);
    std::printf("{\"variant\": \"%s\", \"records\": %d, \"p50_us\": %.0f, \"p99_us\": %.0f, "
                "\"max_us\": %.0f}\n",
                bare ? "bare" : "program", records, qv::bench::percentile(us, 50),
                qv::bench::percentile(us, 99), qv::bench::percentile(us, 100));
    std::fflush(stdout);
    ExitProcess(0);
}
