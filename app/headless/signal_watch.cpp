#include "app/headless/signal_watch.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace qv::headless {

SignalWatch::SignalWatch() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    if (pthread_sigmask(SIG_BLOCK, &set, &previousMask_) != 0)
        return;
    fd_ = ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
    if (fd_ < 0)
        pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

SignalWatch::~SignalWatch() {
    if (fd_ < 0)
        return;
    // A signal that came while the program was ending is spent: unblocked, it would kill
    // the process that has just ended cleanly.
    take();
    ::close(fd_);
    pthread_sigmask(SIG_SETMASK, &previousMask_, nullptr);
}

int SignalWatch::take() {
    int last = 0;
    signalfd_siginfo info{};
    while (fd_ >= 0 && ::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info))
        last = static_cast<int>(info.ssi_signo);
    return last;
}

} // namespace qv::headless
