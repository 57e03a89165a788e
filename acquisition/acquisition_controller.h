#pragma once

// The measuring rhythm: at every poll tick (timer 1) the sensor's lines go on; when a
// Reading arrives they go off, the values are shown and the log is asked to write
// them. Timer 2 notices a poll without answer at most kReplyTimeout after it, whatever
// the interval, blanks the display and probes whether the port is still there.
// User-interface thread only.

#include "acquisition/measurement_log.h"
#include "acquisition/reading_parser.h"
#include "app/services/window_services.h"
#include "serial/serial_comm.h"

#include <chrono>

namespace qv {

inline constexpr auto kReplyTimeout = std::chrono::milliseconds{2000};

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

    void start();
    void pollTick();
    void timeoutTick();
    void readingComplete(const Reading& reading);
    void reopen(int newPort);
    void changeInterval(int seconds);

    // Routes a timer message: 1 to pollTick, 2 to timeoutTick, others nowhere. A tick of
    // a timer the controller has stopped is dropped.
    void onTimer(int timerId);

    int port() const { return port_; }
    int interval() const { return interval_; }
    bool dataReceived() const { return dataReceived_; }
    bool pollPending() const { return pollPending_; }
    float humidity() const { return humidity_; }
    float temperature() const { return temperature_; }

private:
    void linesOn();
    void linesOff();
    // Opens port_ at 9600 8N1 and switches the lines on; shows "Failed to open COM port",
    // with which port and why as its detail, and returns false on failure.
    bool openChannel();
    void startPollTimer();
    void stopTimers();

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
    // Whether the timeout timer has fired since it was last started by a poll tick.
    bool timeoutFiredSincePoll_ = false;
};

} // namespace qv
