#pragma once

// The measuring rhythm: at every poll tick (timer 1) the sensor's lines go on; when a
// Reading arrives they go off, the values are shown and the log is asked to write
// them. Timer 2 notices a poll without answer at most kReplyTimeout after it, whatever
// the interval, blanks the display and probes whether the port is still there.
//
// With automatic reconnection on, a lost port is not reported in a box: the controller
// waits for it instead, trying every kReconnectRetry (timer 3) to get it back the way the
// setup dialog's reopen does, and polling resumes once it opens. A failed open the user
// is shown ("Failed to open COM port") is followed by the same wait. Off, nothing of this
// runs. User-interface thread only.

#include "acquisition/measurement_log.h"
#include "acquisition/reading_parser.h"
#include "serial/serial_comm.h"
#include "window/window_services.h"

#include <chrono>
#include <functional>

namespace qv {

inline constexpr auto kReplyTimeout = std::chrono::milliseconds{2000};
// Between two attempts to get a lost port back.
inline constexpr auto kReconnectRetry = std::chrono::milliseconds{2000};

// The poll timer's period for an interval in seconds, as loaded (unvalidated): computed
// without overflow, raised to kMinimumTimerPeriod, capped at the largest int.
std::chrono::milliseconds pollPeriod(int intervalSeconds);

class AcquisitionController {
public:
    // All three must outlive the controller.
    AcquisitionController(CSerialComm& channel, WindowServices& window, MeasurementLog& log);

    // Values loaded from the settings ("ComPort", "LogInterval").
    void setPort(int port) { port_ = port; }
    void setInterval(int seconds) { interval_ = seconds; }

    // "AutoReconnect". Before start: only remembered. Later: switched on while the port is
    // neither held nor polled for (after a loss or a failed open), the wait begins at
    // once; switched off, a wait in progress ends and the controller stays idle, as after
    // a loss reported in a box.
    void setAutoReconnect(bool on);
    // Called with true when a wait for the port begins (the values are blanked first),
    // with false when it ends; never twice in a row with the same value.
    void setWaitingListener(std::function<void(bool waiting)> listener) {
        waitingListener_ = std::move(listener);
    }

    void start();
    void pollTick();
    void timeoutTick();
    void readingComplete(const Reading& reading);
    void reopen(int newPort);
    void changeInterval(int seconds);
    // Timer 3, while waiting: reopens the port once it probes free; an open that still
    // fails is not shown, the next tick tries again.
    void reconnectTick();

    // Routes a timer message: 1 to pollTick, 2 to timeoutTick, 3 to reconnectTick, others
    // nowhere. A tick of a timer the controller has stopped is dropped.
    void onTimer(int timerId);

    int port() const { return port_; }
    int interval() const { return interval_; }
    bool dataReceived() const { return dataReceived_; }
    bool pollPending() const { return pollPending_; }
    float humidity() const { return humidity_; }
    float temperature() const { return temperature_; }
    bool autoReconnect() const { return autoReconnect_; }
    // Waiting for a lost port (timer 3 runs).
    bool waitingForPort() const { return reconnectTimerId_ != kNoTimer; }

private:
    enum class OnFailure { ShowBox, Quiet };

    void linesOn();
    void linesOff();
    // Opens port_ at 9600 8N1 and switches the lines on; returns false on failure, after
    // showing "Failed to open COM port" with which port and why as its detail, unless
    // Quiet. With automatic reconnection on, a failure begins the wait first, so that the
    // box's nested loop goes on trying.
    bool openChannel(OnFailure onFailure);
    // The reopen path: the channel closed, the poll stopped, port_ opened again and, on
    // success, the wait ended and the poll timer started.
    bool reopenPort(OnFailure onFailure);
    void startPollTimer();
    void stopTimers();
    void beginWaiting();
    void endWaiting();

    CSerialComm& channel_;
    WindowServices& window_;
    MeasurementLog& log_;
    int port_ = 1;
    int interval_ = 5;
    bool dataReceived_ = false;
    bool pollPending_ = false;
    float humidity_ = 0.0f;
    float temperature_ = 0.0f;
    TimerId pollTimerId_ = kNoTimer;
    TimerId timeoutTimerId_ = kNoTimer;
    TimerId reconnectTimerId_ = kNoTimer; // running only while waiting for the port
    bool autoReconnect_ = false;
    bool started_ = false;
    std::function<void(bool)> waitingListener_;
    // Whether the timeout timer has fired since it was last started by a poll tick.
    bool timeoutFiredSincePoll_ = false;
};

} // namespace qv
