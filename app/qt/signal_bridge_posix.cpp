#include "app/qt/signal_bridge.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace qv::qt {

namespace {

// The write end of the live bridge's pipe, or -1. Read by the signal handler.
volatile std::sig_atomic_t gWakeFd = -1;

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
constexpr int kSignalCount = sizeof(kSignals) / sizeof(kSignals[0]);

extern "C" void onTerminationSignal(int) {
    const int savedErrno = errno;
    const int fd = gWakeFd;
    if (fd >= 0) {
        const char byte = 1;
        // A full pipe already holds a wake-up: the lost byte changes nothing.
        [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

struct SignalBridge::Impl {
    int readFd = -1;
    int writeFd = -1;
    struct sigaction previous[kSignalCount] = {};
    bool installed = false;
    std::unique_ptr<QSocketNotifier> notifier;
};

SignalBridge::SignalBridge(QObject* parent) : QObject(parent), impl_(std::make_unique<Impl>()) {
    if (gWakeFd != -1)
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    impl_->readFd = fds[0];
    impl_->writeFd = fds[1];
    gWakeFd = impl_->writeFd;

    impl_->notifier = std::make_unique<QSocketNotifier>(impl_->readFd, QSocketNotifier::Read);
    connect(impl_->notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[64];
        while (::read(impl_->readFd, buffer, sizeof buffer) > 0) {
        }
        emit terminationRequested();
    });

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    // Interrupted system calls resume: the handler's only effect is the byte in the pipe.
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < kSignalCount; ++i) {
        sigaction(kSignals[i], nullptr, &impl_->previous[i]);
        // Started under nohup, or in the background by a shell that has no job control:
        // the hang-up and the interrupt were meant for others, and stay ignored.
        if (kSignals[i] != SIGTERM && impl_->previous[i].sa_handler == SIG_IGN)
            continue;
        sigaction(kSignals[i], &action, nullptr);
    }
    impl_->installed = true;
}

SignalBridge::~SignalBridge() {
    if (impl_->installed) {
        for (int i = 0; i < kSignalCount; ++i)
            sigaction(kSignals[i], &impl_->previous[i], nullptr);
        gWakeFd = -1;
    }
    impl_->notifier.reset();
    if (impl_->readFd >= 0)
        ::close(impl_->readFd);
    if (impl_->writeFd >= 0)
        ::close(impl_->writeFd);
}

bool SignalBridge::isActive() const {
    return impl_->installed;
}

} // namespace qv::qt
