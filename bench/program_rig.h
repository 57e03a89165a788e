#pragma once

// The parts of the main window that carry a measurement, wired as the program wires
// them: the main window's widgets (template 102), the Qt window services, the real
// channel on the POSIX platform, the Reading parser, the acquisition controller and
// the measurement log. Byte messages go to the parser, timer ticks to the controller,
// Readings to the controller. What the benchmarks add sits in `services`, a forwarding
// layer that observes set texts. User-interface thread only, after QApplication exists.

#include "acquisition/acquisition_controller.h"
#include "acquisition/clock.h"
#include "acquisition/measurement_log.h"
#include "acquisition/reading_parser.h"
#include "app/qt/qt_window_services.h"
#include "bench/forwarding_window_services.h"
#include "serial/serial_comm.h"
#include "serial/serial_platform.h"

#include <QDialog>
#include <QWidget>

#include <filesystem>
#include <functional>
#include <map>
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

    // Called after the controller has handled each Reading.
    std::function<void(const Reading&)> afterReading;
    // Called for each timer tick after the controller, and for posted messages other than
    // the channel's and the log's (WM_TREND_LOG_READ, say).
    std::function<void(int timerId)> afterTimer;
    std::function<void(std::uint32_t message)> otherMessage;

    void onTimer(int timerId) override {
        controller.onTimer(timerId);
        if (afterTimer)
            afterTimer(timerId);
    }
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t) override;

    QDialog window;
    std::unique_ptr<SerialPlatform> platform;
    CSerialComm channel;
    QtWindowServices qtServices;
    ForwardingWindowServices services;
    SystemClock clock;
    MeasurementLog log;
    AcquisitionController controller;
    ReadingParser parser;
};

} // namespace qv::bench
