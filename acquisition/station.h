#pragma once

// The logger assembled: the serial channel, the measurement log, the acquisition cycle and
// the Reading parser's sink, wired once for every front end, the benchmarks and the tests.
// The station owns the channel, the log and the cycle and routes what the window delivers
// to them: timers 1 to 3 to the cycle, WM_SERIAL_BYTE's low 8 bits to the parser,
// WM_LOG_LINE_DONE to the log and WM_START_LOG to the log's Start/Stop; other messages are
// left to the owner. Each Reading goes to the cycle (shown, logged when a poll is pending)
// and then to every reading listener, with the clock's time.
//
// Thread contract: user-interface thread only. The channel's reader thread and the log's
// writer thread reach it only through messages posted to the window services.

#include "acquisition/acquisition_controller.h"
#include "acquisition/clock.h"
#include "acquisition/log_file.h"
#include "acquisition/measurement_log.h"
#include "acquisition/reading_parser.h"
#include "serial/serial_comm.h"
#include "window/window_services.h"

#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

namespace qv {

class SerialPlatform;

class Station final : public WindowMessageTarget {
public:
    // Called for each Reading after the cycle has handled it; `when` is the clock's now.
    using ReadingListener = std::function<void(const Reading& reading, std::time_t when)>;

    // All but `file` must outlive the station; `window` must deliver its timers and posted
    // messages here, directly or through its owner. The program passes the process's
    // parser (ReadingParser::processInstance), tests and benchmarks their own. `file`
    // defaults to the platform's.
    Station(SerialPlatform& platform, WindowServices& window, const Clock& clock,
            ReadingParser& parser, std::unique_ptr<LogFile> file = makePlatformLogFile());
    // close(), if not done before.
    ~Station() override;
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Starts the cycle (opens the port, starts the poll). With `startLogging`, Start Log
    // is pressed as soon as the window thread gets to it (WM_START_LOG, posted first, so
    // that a box about the port does not hold it up).
    void start(bool startLogging = false);

    // Readings stop reaching the cycle and the listeners, the log closes its file (a
    // failure shown in a box, while everything still exists) and the channel's reader is
    // joined. The owner calls it while what its listeners use still exists; a second call
    // does nothing more than the first.
    void close();

    void addReadingListener(ReadingListener listener) {
        readingListeners_.push_back(std::move(listener));
    }
    // See AcquisitionController::setWaitingListener.
    void setWaitingListener(std::function<void(bool waiting)> listener) {
        controller_.setWaitingListener(std::move(listener));
    }

    // WindowMessageTarget.
    void onTimer(int timerId) override;
    void onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) override;

    CSerialComm& channel() { return channel_; }
    MeasurementLog& log() { return log_; }
    AcquisitionController& controller() { return controller_; }
    const CSerialComm& channel() const { return channel_; }
    const MeasurementLog& log() const { return log_; }
    const AcquisitionController& controller() const { return controller_; }

private:
    void readingComplete(const Reading& reading);

    WindowServices& window_;
    const Clock& clock_;
    ReadingParser& parser_;
    // Declared in this order so that destruction runs: controller, log, channel.
    CSerialComm channel_;
    MeasurementLog log_;
    AcquisitionController controller_;
    std::vector<ReadingListener> readingListeners_;
};

} // namespace qv
