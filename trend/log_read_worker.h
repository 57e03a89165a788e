#pragma once

// Reads a log file the user picked on a thread of its own, so that neither a slow disk, a
// network share nor a file of any size holds the thread that asked (the user-interface
// thread, which also runs the logging). One read at a time; a new one, cancel() or the
// end of the object stops the one under way.
//
// Thread contract: the owner's thread (one thread) calls every member. The worker thread
// runs readLogFile and then `ready` once, unless cancelled first; `ready` must only hand
// the news on (post a window message) and never wait for the owner's thread. The result
// passes between the two under `mutex_`; the cancel flag is atomic and looked at after
// each block the reader reads, so stopping waits for at most the block being read.

#include "trend/log_reader.h"

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

namespace qv::trend {

class LogReadWorker {
public:
    // `ready` is called on the worker thread when a result can be taken.
    explicit LogReadWorker(std::function<void()> ready);
    // cancel().
    ~LogReadWorker();
    LogReadWorker(const LogReadWorker&) = delete;
    LogReadWorker& operator=(const LogReadWorker&) = delete;

    // Stops a read under way (cancel()), then reads `path` on a new thread.
    void start(const std::filesystem::path& path);
    // Stops the read under way and joins its thread; its result, taken or not, is dropped.
    void cancel();
    // A read was started and its result is not taken yet.
    bool reading() const { return reading_; }
    // The result of the last read once it has ended (then `ready` has been called or is
    // about to be); nothing before, after cancel(), and once taken.
    std::optional<LogReadResult> take();

private:
    void run(std::filesystem::path path);

    const std::function<void()> ready_;
    std::thread thread_;
    std::atomic<bool> cancelled_{false};
    bool reading_ = false; // owner's thread only
    std::mutex mutex_;
    std::optional<LogReadResult> result_; // guarded by mutex_
};

} // namespace qv::trend
