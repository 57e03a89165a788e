#pragma once

// The parts of the main window that carry a measurement, as the program has them: the
// main window's widgets (template 102), the Qt window services, and the station (the real
// channel on the POSIX platform, the Reading parser's sink, the acquisition controller
// and the measurement log) that the window's messages and timers go to. What the
// benchmarks add sits in `services`, a forwarding layer that observes set texts, and in
// the station's reading listeners. User-interface thread only, after QApplication exists.

#include "acquisition/clock.h"
#include "acquisition/reading_parser.h"
#include "acquisition/station.h"
#include "app/qt/qt_window_services.h"
#include "serial/serial_platform.h"
#include "tests/support/forwarding_window_services.h"

#include <QDialog>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <memory>

namespace qv::bench {

// Variants of the rig. The default is the program's own behaviour.
struct RigTrials {
    // Not a change to make: no text reaches a widget at all. Shows what the window's
    // text updates cost, for comparison with loggers that have no window.
    bool noText = false;
};

class ProgramRig final : public WindowMessageTarget {
public:
    explicit ProgramRig(const std::filesystem::path& portsDir, RigTrials trials = {});
    ~ProgramRig() override;

    // Called for each timer tick after the station, and for posted messages other than
    // those the station takes (WM_TREND_LOG_READ, say). Each Reading reaches the station's
    // reading listeners.
    std::function<void(int timerId)> afterTimer;
    std::function<void(std::uint32_t message)> otherMessage;

    void onTimer(int timerId) override {
        station.onTimer(timerId);
        if (afterTimer)
            afterTimer(timerId);
    }
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    QDialog window;
    std::unique_ptr<SerialPlatform> platform;
    qt::QtWindowServices qtServices;
    test::ForwardingWindowServices services;
    SystemClock clock;
    ReadingParser parser;
    Station station;
    // The station's parts.
    CSerialComm& channel;
    MeasurementLog& log;
    AcquisitionController& controller;
};

} // namespace qv::bench
