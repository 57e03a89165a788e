#include "serial/serial_comm.h"

#include <array>
#include <system_error>

namespace qv {

namespace {

// The most bytes one wake-up of the reader thread delivers; the rest stay in the
// driver's input buffer for the next wake-up.
constexpr std::size_t kReadChunk = 40;

} // namespace

CSerialComm::CSerialComm(SerialPlatform& platform) : platform_(platform) {}

CSerialComm::~CSerialComm() {
    Close();
}

Status CSerialComm::SetOwner(MessagePoster* owner, std::uint32_t message) {
    m_hOwner = owner;
    m_nMsg = message;
    return kStatusOk;
}

Status CSerialComm::Open(int port, int baud, int parity, int stopBits, int byteSize) {
    if (port > 0)
        m_nPort = port;
    if (m_hPort != kInvalidHandle)
        Close();

    const OpenResult opened = platform_.openPort(m_nPort);
    m_hPort = opened.handle;
    if (m_hPort == kInvalidHandle)
        return opened.error != kStatusOk ? opened.error : kStatusNotOpen;

    // From here on a failure leaves the port held without a reader, until the next
    // Open or Close releases it.
    if (opened.error != kStatusOk)
        return opened.error;
    if (Status error = platform_.getState(m_hPort, m_dcb))
        return error;
    m_dcb.BaudRate = static_cast<std::uint32_t>(baud);
    m_dcb.ByteSize = static_cast<std::uint8_t>(byteSize);
    m_dcb.Parity = static_cast<std::uint8_t>(parity);
    m_dcb.StopBits = static_cast<std::uint8_t>(stopBits);
    m_dcb.flags &= ~Dcb::kDsrSensitivity;
    m_dcb.setDtrControl(kDtrEnable);
    m_dcb.flags &= ~Dcb::kOutxDsrFlow;
    // Another program may have left it set; one line error would then stop every read.
    m_dcb.flags &= ~Dcb::kAbortOnError;
    if (Status error = platform_.setState(m_hPort, m_dcb))
        return error;
    // DTR enabled means the line is high while the port is open. A device without
    // modem lines (a pseudo-terminal) refuses this and is still a usable port.
    platform_.setModemLine(m_hPort, ModemLine::Dtr, true);

    const OpenResult stop = platform_.createStopSignal();
    if (stop.handle == kInvalidHandle)
        return stop.error != kStatusOk ? stop.error : kStatusNotOpen;
    m_hStopEvent = stop.handle;

    std::promise<void> started;
    std::future<void> running = started.get_future();
    m_hStartEvent = &started;
    try {
        m_hThread = std::thread(&CSerialComm::ReaderThreadProc, this);
    } catch (const std::system_error& e) {
        m_hStartEvent = nullptr;
        platform_.closeStopSignal(m_hStopEvent);
        m_hStopEvent = kInvalidHandle;
        const int code = e.code().value();
        return code > 0 ? static_cast<Status>(code) : kStatusNotOpen;
    }
    // A started thread always reaches its handshake, so this wait ends.
    running.wait();
    m_hStartEvent = nullptr;
    return kStatusOk;
}

int CSerialComm::ReaderThreadProc(CSerialComm* self) {
    const NativeHandle stop = self->m_hStopEvent;
    self->m_hStartEvent->set_value();
    self->readerLoop(stop);
    self->platform_.endReading(self->m_hPort);
    return 1;
}

void CSerialComm::readerLoop(NativeHandle stop) {
    std::array<std::uint8_t, kReadChunk> buffer{};
    // A device that went away stays "readable" for ever; once it is gone the thread
    // waits for the stop signal alone, and the acquisition cycle's probe reports the
    // loss.
    bool watchPort = true;
    for (;;) {
        switch (platform_.waitForInput(m_hPort, stop, watchPort)) {
        case WaitResult::Stop:
            return;
        case WaitResult::PortGone:
            watchPort = false;
            break;
        case WaitResult::Readable: {
            const long n = platform_.read(m_hPort, buffer.data(), buffer.size());
            if (n < 0) {
                watchPort = false;
                break;
            }
            if (!m_hOwner)
                break;
            for (long i = 0; i < n; ++i) {
                // The receiver reads the low 8 bits; the byte travels sign-extended.
                const auto byte = static_cast<std::int8_t>(buffer[static_cast<std::size_t>(i)]);
                m_hOwner->postMessage(m_nMsg, static_cast<std::intptr_t>(byte), 0);
            }
            break;
        }
        }
    }
}

Status CSerialComm::setLineControl(ModemLine line, int mode) {
    if (m_hPort == kInvalidHandle)
        return kStatusNotOpen;
    if (Status error = platform_.getState(m_hPort, m_dcb))
        return error;
    if (line == ModemLine::Dtr)
        m_dcb.setDtrControl(mode);
    else
        m_dcb.setRtsControl(mode);
    if (Status error = platform_.setState(m_hPort, m_dcb))
        return error;
    // Disable and enable drive the line at once; handshake and toggle leave it to the
    // driver.
    const int control = mode & 3;
    if (control == 0 || control == 1)
        return platform_.setModemLine(m_hPort, line, control == 1);
    return kStatusOk;
}

Status CSerialComm::SetRtsControl(int mode) {
    return setLineControl(ModemLine::Rts, mode);
}

Status CSerialComm::SetDtrControl(int mode) {
    return setLineControl(ModemLine::Dtr, mode);
}

Status CSerialComm::SetBreak(int flag) {
    if (m_hPort == kInvalidHandle)
        return kStatusNotOpen;
    return platform_.setBreak(m_hPort, flag != 0);
}

Status CSerialComm::Close() {
    if (m_hThread.joinable()) {
        platform_.signalStop(m_hStopEvent);
        m_hThread.join();
    }
    if (m_hStopEvent != kInvalidHandle) {
        platform_.closeStopSignal(m_hStopEvent);
        m_hStopEvent = kInvalidHandle;
    }
    if (m_hPort != kInvalidHandle) {
        platform_.closePort(m_hPort);
        m_hPort = kInvalidHandle;
    }
    return kStatusOk;
}

Status CSerialComm::Write(const void* buffer, std::uint32_t count) {
    if (m_hPort != kInvalidHandle && count > 0)
        platform_.write(m_hPort, buffer, count);
    return kStatusOk;
}

ProbeResult CSerialComm::Probe(int port) {
    return platform_.probePort(port < 0 ? m_nPort : port);
}

Status CSerialComm::ProbeAll(ProbeResult* results, int count) {
    for (int i = 0; i < count; ++i)
        results[i] = Probe(i + 1);
    return kStatusOk;
}

} // namespace qv
