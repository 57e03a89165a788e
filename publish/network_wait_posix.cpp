#include "publish/network_wait.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv::publish {

struct NetworkWait::Impl {
    int read = -1;
    int write = -1;
};

NetworkWait::NetworkWait() : impl_(std::make_unique<Impl>()) {
    int fds[2];
    if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) == 0) {
        impl_->read = fds[0];
        impl_->write = fds[1];
    }
}

NetworkWait::~NetworkWait() {
    for (const int fd : {impl_->read, impl_->write})
        if (fd >= 0)
            ::close(fd);
}

bool NetworkWait::valid() const {
    return impl_->read >= 0;
}

void NetworkWait::signal() {
    const char byte = 1;
    // A full pipe already holds a signal.
    if (impl_->write >= 0 && ::write(impl_->write, &byte, 1) < 0) {
    }
}

NetworkWait::Ready NetworkWait::wait(int socket, bool wantWrite,
                                     std::chrono::milliseconds timeout) {
    pollfd fds[2] = {{impl_->read, POLLIN, 0}, {socket, 0, 0}};
    if (socket >= 0)
        fds[1].events = static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0));
    const int count = socket >= 0 ? 2 : 1;
    Ready ready;
    if (::poll(fds, static_cast<nfds_t>(count), static_cast<int>(timeout.count())) <= 0)
        return ready;
    if (fds[0].revents != 0) {
        char drain[64];
        while (::read(impl_->read, drain, sizeof drain) > 0) {
        }
    }
    if (socket >= 0) {
        ready.readable = (fds[1].revents & (POLLIN | POLLERR | POLLHUP)) != 0;
        ready.writable = (fds[1].revents & POLLOUT) != 0;
    }
    return ready;
}

int pendingSocketError(int socket) {
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

std::string socketErrorText(int code) {
    return std::strerror(code);
}

std::string lookupErrorText(int code) {
    return ::gai_strerror(code);
}

} // namespace qv::publish
