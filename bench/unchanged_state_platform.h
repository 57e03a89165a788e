#pragma once

// A trial change to the POSIX serial platform, to measure what it would save: setState
// leaves the driver alone when its terminal settings already hold everything the block
// asks for. On Linux every tcsetattr on a terminal wakes each thread waiting to read it
// (n_tty_set_termios), so the full read-modify-write behind each RTS or DTR change wakes
// the channel's reader thread even when nothing arrived. Every other call is passed on.
//
// Thread contract: as SerialPlatform; no state of its own.

#include "serial/serial_platform.h"
#include "serial/termios_map.h"

#include <memory>
#include <termios.h>

namespace qv::bench {

class UnchangedStatePlatform final : public SerialPlatform {
public:
    explicit UnchangedStatePlatform(std::unique_ptr<SerialPlatform> inner)
        : inner_(std::move(inner)) {}

    Status setState(NativeHandle port, const Dcb& dcb) override {
        termios current{};
        if (tcgetattr(static_cast<int>(port), &current) == 0) {
            termios wanted = current;
            if (applyDcbToTermios(dcb, wanted) == 0 && termiosTaken(wanted, current))
                return kStatusOk;
        }
        return inner_->setState(port, dcb);
    }

    OpenResult openPort(int port) override { return inner_->openPort(port); }
    ProbeResult probePort(int port) override { return inner_->probePort(port); }
    void closePort(NativeHandle port) override { inner_->closePort(port); }
    Status getState(NativeHandle port, Dcb& dcb) override { return inner_->getState(port, dcb); }
    Status setModemLine(NativeHandle port, ModemLine line, bool on) override {
        return inner_->setModemLine(port, line, on);
    }
    Status setBreak(NativeHandle port, bool on) override { return inner_->setBreak(port, on); }
    Status write(NativeHandle port, const void* data, std::size_t count) override {
        return inner_->write(port, data, count);
    }
    OpenResult createStopSignal() override { return inner_->createStopSignal(); }
    void signalStop(NativeHandle stop) override { inner_->signalStop(stop); }
    void closeStopSignal(NativeHandle stop) override { inner_->closeStopSignal(stop); }
    WaitResult waitForInput(NativeHandle port, NativeHandle stop, bool watchPort) override {
        return inner_->waitForInput(port, stop, watchPort);
    }
    long read(NativeHandle port, std::uint8_t* buffer, std::size_t capacity) override {
        return inner_->read(port, buffer, capacity);
    }

private:
    std::unique_ptr<SerialPlatform> inner_;
};

} // namespace qv::bench
