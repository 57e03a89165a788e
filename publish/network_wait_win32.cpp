#include "publish/network_wait.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>

namespace qv::publish {

struct NetworkWait::Impl {
    SOCKET wake = INVALID_SOCKET; // a UDP socket connected to itself
    bool started = false;         // WSAStartup succeeded
};

NetworkWait::NetworkWait() : impl_(std::make_unique<Impl>()) {
    WSADATA data;
    impl_->started = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!impl_->started)
        return;
    SOCKET s = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    u_long nonBlocking = 1;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
        ::closesocket(s);
        return;
    }
    impl_->wake = s;
}

NetworkWait::~NetworkWait() {
    if (impl_->wake != INVALID_SOCKET)
        ::closesocket(impl_->wake);
    if (impl_->started)
        WSACleanup();
}

bool NetworkWait::valid() const {
    return impl_->wake != INVALID_SOCKET;
}

void NetworkWait::signal() {
    const char byte = 1;
    if (impl_->wake != INVALID_SOCKET)
        ::send(impl_->wake, &byte, 1, 0);
}

NetworkWait::Ready NetworkWait::wait(int socket, bool wantWrite,
                                     std::chrono::milliseconds timeout) {
    fd_set reads, writes, errors;
    FD_ZERO(&reads);
    FD_ZERO(&writes);
    FD_ZERO(&errors);
    const auto s = static_cast<SOCKET>(socket);
    if (impl_->wake != INVALID_SOCKET)
        FD_SET(impl_->wake, &reads);
    if (socket >= 0) {
        FD_SET(s, &reads);
        // A failed connect shows here on Windows, not among the writable ones.
        FD_SET(s, &errors);
        if (wantWrite)
            FD_SET(s, &writes);
    }
    Ready ready;
    if (reads.fd_count == 0) {
        Sleep(static_cast<DWORD>(timeout.count()));
        return ready;
    }
    timeval limit{static_cast<long>(timeout.count() / 1000),
                  static_cast<long>(timeout.count() % 1000 * 1000)};
    if (::select(0, &reads, &writes, &errors, &limit) <= 0)
        return ready;
    if (impl_->wake != INVALID_SOCKET && FD_ISSET(impl_->wake, &reads)) {
        char drain[64];
        while (::recv(impl_->wake, drain, sizeof drain, 0) > 0) {
        }
    }
    if (socket >= 0) {
        ready.readable = FD_ISSET(s, &reads) || FD_ISSET(s, &errors);
        ready.writable = FD_ISSET(s, &writes) != 0;
    }
    return ready;
}

int pendingSocketError(int socket) {
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(static_cast<SOCKET>(socket), SOL_SOCKET, SO_ERROR,
                     reinterpret_cast<char*>(&error), &length) != 0)
        return WSAGetLastError();
    return error;
}

std::string socketErrorText(int code) {
    char text[512] = "";
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                       static_cast<DWORD>(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), text,
                       sizeof text, nullptr);
    std::string result(text, length);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' ||
                               result.back() == '.' || result.back() == ' '))
        result.pop_back();
    return result.empty() ? "socket error " + std::to_string(code) : result;
}

std::string lookupErrorText(int code) {
    return socketErrorText(code);
}

} // namespace qv::publish
