#pragma once

// Turns the requests to end the program that arrive as signals (SIGTERM at logout or
// shutdown, SIGINT from Ctrl+C in a terminal, SIGHUP when that terminal closes) into a
// Qt signal on the user-interface thread, so that the program ends through its normal
// close path, the log is closed properly and the port's lock file removed, instead of
// the process dying mid-write.
//
// One bridge at a time: it installs the process-wide handlers while it lives and puts
// back the previous ones when destroyed. A hang-up or interrupt ignored when the bridge
// is made (nohup, a background job) stays ignored. The handlers only write one byte to a pipe
// (async-signal-safe); the user-interface thread reads it through a socket notifier.

#include <QObject>

#include <memory>

namespace qv::qt {

class SignalBridge : public QObject {
    Q_OBJECT
public:
    explicit SignalBridge(QObject* parent = nullptr);
    ~SignalBridge() override;

    // False when the handlers could not be installed (another bridge lives, or the pipe
    // could not be made): the signals then keep their previous handling.
    bool isActive() const;

signals:
    // Emitted on the user-interface thread, once per batch of signals received.
    void terminationRequested();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace qv::qt
