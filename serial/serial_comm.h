#pragma once

// CSerialComm: the program's one serial port channel. Opens a numbered port
// exclusively, drives RTS, DTR and break, and runs one reader thread that posts every
// received byte to the owner window as a message (WM_SERIAL_BYTE), in order.
//
// Thread contract: every operation runs on the user-interface thread. The reader
// thread (ReaderThreadProc) reads m_hPort, m_hOwner and m_nMsg, and takes the stop
// signal and the start promise once at its start, before it reports that it runs. The
// user-interface thread writes m_hPort and m_hStopEvent only while no reader thread exists (in Open
// before the start, in Close after the join), and SetOwner is called before the first Open. So no
// field needs a lock. Messages cross to the user-interface thread only through
// MessagePoster::postMessage.

#include "serial/serial_platform.h"
#include "serial/serial_types.h"
#include "window/message_poster.h"

#include <cstdint>
#include <future>
#include <string>
#include <thread>

namespace qv {

class CSerialComm {
public:
    // `platform` must outlive the channel.
    explicit CSerialComm(SerialPlatform& platform);
    // Closes an open channel (joins its reader), so no thread outlives the channel.
    virtual ~CSerialComm();

    CSerialComm(const CSerialComm&) = delete;
    CSerialComm& operator=(const CSerialComm&) = delete;

    // The window that receives each byte and the message number used. Always 0.
    Status SetOwner(MessagePoster* owner, std::uint32_t message);
    // Opens port (a positive number replaces m_nPort; zero or less keeps it) with the
    // given line settings and DTR raised; 0 means open with the reader thread running.
    // A failure at the device open leaves the channel closed; a later failure leaves the
    // port held without reader until the next Open or Close. A device without modem
    // lines (a pseudo-terminal) opens all the same.
    Status Open(int port, int baud, int parity, int stopBits, int byteSize);
    Status SetRtsControl(int mode);
    Status SetDtrControl(int mode);
    Status SetBreak(int flag);
    NativeHandle GetPortHandle() const { return m_hPort; }
    // Stops the reader thread and releases the port. Always 0.
    Status Close();
    // Writes the buffer. Always 0.
    Status Write(const void* buffer, std::uint32_t count);

    // Probes port (negative: m_nPort; zero is probed as it is) without touching the
    // channel's own open port.
    ProbeResult Probe(int port);
    // results[i] = Probe(i + 1) for i < count. Always 0.
    Status ProbeAll(ProbeResult* results, int count);

    int portNumber() const { return m_nPort; }
    // For the user: which port failed to open and why, given the status Open returned.
    std::string describeOpenFailure(Status error) const {
        return platform_.describeOpenFailure(m_nPort, error);
    }
    const Dcb& dcb() const { return m_dcb; }

private:
    static int ReaderThreadProc(CSerialComm* self);
    void readerLoop(NativeHandle stop);
    Status setLineControl(ModemLine line, int mode);

    SerialPlatform& platform_;

    MessagePoster* m_hOwner = nullptr;
    std::uint32_t m_nMsg = 0;
    int m_nPort = 1;
    Dcb m_dcb;
    NativeHandle m_hPort = kInvalidHandle;
    NativeHandle m_hStopEvent = kInvalidHandle;
    std::thread m_hThread;
    // Fulfilled by a new reader thread once it runs; exists only inside Open.
    std::promise<void>* m_hStartEvent = nullptr;
};

} // namespace qv
