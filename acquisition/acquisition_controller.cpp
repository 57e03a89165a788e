#include "acquisition/acquisition_controller.h"

#include "text/texts.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace qv {
namespace {

constexpr int kBaud = 9600;
constexpr int kParityNone = 0;
constexpr int kOneStopBit = 0;
constexpr int kByteSize = 8;

} // namespace

std::chrono::milliseconds pollPeriod(int intervalSeconds) {
    // 64 bits hold any int times 1000, so the product itself cannot overflow; the window
    // timers take an int of milliseconds, hence the cap.
    const std::int64_t ms = std::int64_t{intervalSeconds} * 1000;
    const std::int64_t clamped =
        std::clamp<std::int64_t>(ms, kMinimumTimerPeriod.count(), std::numeric_limits<int>::max());
    return std::chrono::milliseconds{clamped};
}

AcquisitionController::AcquisitionController(CSerialComm& channel, WindowServices& window,
                                             MeasurementLog& log)
    : channel_(channel), window_(window), log_(log) {}

void AcquisitionController::start() {
    started_ = true;
    channel_.SetOwner(&window_, WM_SERIAL_BYTE);
    if (openChannel(OnFailure::ShowBox))
        startPollTimer();
    // Without a timer nothing more happens until the setup dialog reopens the port or
    // changes the interval. pollPending stays false, so a record answering this first
    // switch-on is shown but not logged.
}

void AcquisitionController::pollTick() {
    linesOn();
    // A poll still unanswered whose timeout has not yet fired keeps that timeout: at an
    // interval of 2 s or less a restart at every tick would put it off for ever, and a
    // lost sensor would go unnoticed. Otherwise the timeout runs from this tick.
    const bool unansweredPollWaiting =
        timeoutTimerId_ != kNoTimer && !dataReceived_ && !timeoutFiredSincePoll_;
    if (!unansweredPollWaiting) {
        if (timeoutTimerId_ != kNoTimer)
            window_.stopTimer(timeoutTimerId_);
        timeoutTimerId_ = window_.startTimer(kTimeoutTimer, kReplyTimeout);
        timeoutFiredSincePoll_ = false;
    }
    dataReceived_ = false;
    pollPending_ = true;
}

void AcquisitionController::timeoutTick() {
    timeoutFiredSincePoll_ = true;
    if (dataReceived_)
        return;
    window_.setControlText(ctl::kHumidity, "");
    window_.setControlText(ctl::kTemperature, "");

    const ProbeResult probe = channel_.Probe(-1);
    // Busy means the channel still holds its port: the sensor is merely silent.
    if (probe != kProbeAbsent && probe != kProbeFree)
        return;
    // The box below runs a nested message loop: the channel is closed and both timers
    // are stopped before it opens, so nothing dispatched meanwhile polls, probes or
    // reports the loss a second time. The log is left alone: its file stays open, so
    // logging goes on into the same file once the port is back.
    channel_.Close();
    stopTimers();
    if (autoReconnect_)
        beginWaiting();
    else
        window_.messageBox(text::kPortDisconnected);
}

void AcquisitionController::readingComplete(const Reading& reading) {
    linesOff();
    window_.setControlText(ctl::kHumidity, reading.humidityText);
    window_.setControlText(ctl::kTemperature, reading.temperatureText);
    humidity_ = reading.humidity;
    temperature_ = reading.temperature;
    dataReceived_ = true;
    // One poll yields at most one line however many records answer it.
    log_.writeRecord(pollPending_, humidity_, temperature_);
    pollPending_ = false;
}

void AcquisitionController::reopen(int newPort) {
    port_ = newPort;
    reopenPort(OnFailure::ShowBox);
}

void AcquisitionController::reconnectTick() {
    // Absent or held by another program: nothing to open yet. Free is what the setup
    // dialog also requires before it reopens the same port.
    if (channel_.Probe(port_) == kProbeFree)
        reopenPort(OnFailure::Quiet);
}

bool AcquisitionController::reopenPort(OnFailure onFailure) {
    channel_.Close();
    stopTimers();
    if (!openChannel(onFailure))
        return false;
    endWaiting();
    startPollTimer();
    return true;
}

void AcquisitionController::setAutoReconnect(bool on) {
    autoReconnect_ = on;
    if (!started_)
        return;
    if (!on)
        endWaiting();
    else if (channel_.GetPortHandle() == kInvalidHandle && pollTimerId_ == kNoTimer)
        beginWaiting();
}

void AcquisitionController::beginWaiting() {
    if (waitingForPort())
        return;
    window_.setControlText(ctl::kHumidity, "");
    window_.setControlText(ctl::kTemperature, "");
    reconnectTimerId_ = window_.startTimer(kReconnectTimer, kReconnectRetry);
    if (waitingListener_)
        waitingListener_(true);
}

void AcquisitionController::endWaiting() {
    if (!waitingForPort())
        return;
    window_.stopTimer(reconnectTimerId_);
    reconnectTimerId_ = kNoTimer;
    if (waitingListener_)
        waitingListener_(false);
}

void AcquisitionController::changeInterval(int seconds) {
    interval_ = seconds;
    stopTimers();
    // Also with the channel closed: the first timeout tick then finds out whether the
    // port can be had again and says so.
    startPollTimer();
}

void AcquisitionController::onTimer(int timerId) {
    // A tick of a timer this controller has stopped (one the window had already queued,
    // or one dispatched inside the "COM port disconnected" box) is stale and dropped.
    if (timerId == kPollTimer && pollTimerId_ != kNoTimer)
        pollTick();
    else if (timerId == kTimeoutTimer && timeoutTimerId_ != kNoTimer)
        timeoutTick();
    else if (timerId == kReconnectTimer && reconnectTimerId_ != kNoTimer)
        reconnectTick();
}

// The sensor sends one record while RTS and DTR are on and break is clear. Status
// codes are ignored: on a closed channel each call returns "not open" and does nothing.
void AcquisitionController::linesOn() {
    channel_.SetRtsControl(kRtsEnable);
    channel_.SetDtrControl(kDtrEnable);
    channel_.SetBreak(0);
}

void AcquisitionController::linesOff() {
    channel_.SetRtsControl(kRtsDisable);
    channel_.SetDtrControl(kDtrDisable);
    channel_.SetBreak(1);
}

bool AcquisitionController::openChannel(OnFailure onFailure) {
    const Status opened = channel_.Open(port_, kBaud, kParityNone, kOneStopBit, kByteSize);
    if (opened == kStatusOk) {
        linesOn();
        return true;
    }
    if (autoReconnect_)
        beginWaiting();
    if (onFailure == OnFailure::ShowBox)
        window_.messageBox(text::kPortOpenFailed, BoxIcon::Exclamation,
                           channel_.describeOpenFailure(opened));
    return false;
}

void AcquisitionController::startPollTimer() {
    pollTimerId_ = window_.startTimer(kPollTimer, pollPeriod(interval_));
}

void AcquisitionController::stopTimers() {
    if (pollTimerId_ != kNoTimer)
        window_.stopTimer(pollTimerId_);
    if (timeoutTimerId_ != kNoTimer)
        window_.stopTimer(timeoutTimerId_);
    pollTimerId_ = kNoTimer;
    timeoutTimerId_ = kNoTimer;
}

} // namespace qv
