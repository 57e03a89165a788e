#pragma once

// Reads a log file, or the lines of one span of it, on a thread of its own, so that
// neither a slow disk, a network share nor a file of any size holds the thread that asked
// (the user-interface thread, which also runs the logging). One read at a time; a new one,
// cancel() or the end of the object gives up the one under way.
//
// Thread contract: the owner's thread (one thread) calls every member. The worker thread
// runs the read and then `ready` once, unless the read was given up first; `ready` must
// only hand the news on (post a window message) and never wait for the owner's thread.
// The result passes between the two under a mutex of the read's own, held only to move
// it; the cancel flag is atomic and looked at after each block the reader reads. Giving a
// read up does not wait for it: its thread is joined once it has ended, at the latest by
// the destructor (which waits for at most the block being read). The thread keeps the
// program's priority: what it reads is what the user waits to see.

#include "trend/log_reader.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace qv::trend {

class LogReadWorker {
public:
    // `ready` is called on the worker thread when a result can be taken.
    explicit LogReadWorker(std::function<void()> ready);
    ~LogReadWorker();
    LogReadWorker(const LogReadWorker&) = delete;
    LogReadWorker& operator=(const LogReadWorker&) = delete;

    // Gives up the read under way, then reads the whole of `path` (readLogFile), or the
    // lines of `range` (readLogRange), on a new thread.
    void start(const std::filesystem::path& path);
    void start(const std::filesystem::path& path, const LogRange& range);
    // Gives up the read under way; its result, taken or not, is dropped.
    void cancel();
    // A read was started and its result is not taken yet.
    bool reading() const { return job_ != nullptr; }
    // The result of the read once it has ended (then `ready` has been called or is about
    // to be); nothing before, after cancel(), and once taken.
    std::optional<LogReadResult> take();

    struct Job;

private:
    void begin(const std::filesystem::path& path, std::optional<LogRange> range);
    void reap(bool wait);

    const std::function<void()> ready_;
    std::shared_ptr<Job> job_;
    std::thread thread_;
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> retired_;
};

} // namespace qv::trend
