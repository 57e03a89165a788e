#pragma once

// The publisher worker's sleep: until the broker's socket is ready, another thread
// signals, or a timeout passes; and the system's words for socket errors. One
// implementation per platform: a pipe and poll() on POSIX (network_wait_posix.cpp), a
// loopback UDP socket and select() on Windows, whose select takes only sockets
// (network_wait_win32.cpp).
//
// Thread contract: signal() from any thread; every other member from one thread, the
// worker's. signal() only writes a byte that the next wait() consumes; no lock.

#include <chrono>
#include <memory>
#include <string>

namespace qv::publish {

class NetworkWait {
public:
    struct Ready {
        bool readable = false; // also set for a socket error or a hang-up
        bool writable = false;
    };

    NetworkWait();
    ~NetworkWait();
    NetworkWait(const NetworkWait&) = delete;
    NetworkWait& operator=(const NetworkWait&) = delete;

    // False when the system gave no means to wake the worker: then wait() only sleeps.
    bool valid() const;
    // Ends the current or the next wait() early. Never blocks.
    void signal();
    // Waits for `socket` (negative: none) to be readable, or writable when `wantWrite`,
    // for a signal, or for `timeout`, whichever comes first; consumes the signals.
    Ready wait(int socket, bool wantWrite, std::chrono::milliseconds timeout);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// The error of a connection being made on `socket` (SO_ERROR); 0 while there is none.
int pendingSocketError(int socket);
// The system's words for a socket error (errno on POSIX, a WSA code on Windows).
std::string socketErrorText(int code);
// The system's words for a failed host name lookup (a getaddrinfo result).
std::string lookupErrorText(int code);

} // namespace qv::publish
