#pragma once

// Builds the summary of a log file (log_summary.h) on threads of its own, so that no file
// of any size, on any disk, holds the thread that asked - the user-interface thread, which
// also runs the logging. The file is read once, in blocks, by as many threads as the
// machine has cores (up to kMaxThreads), from the platform's file seam (log_input.h):
// first small samples spread over the whole file, so that a first picture of all of it
// comes at once, then the rest. The summary so far is handed over every kPublishPeriod
// while the read runs, and whole at its end, with the share of the file read. Following a
// file (the log being written), the read then goes on with each line appended: from where
// it stopped, never reading a line twice, looking when poke()d (and every kFollowPeriod).
//
// Thread contract: one owner thread calls every member. The reading threads call `ready`
// (only to hand the news on: post a window message; never wait for the owner) whenever a
// new update can be taken, and never after the owner gave their read up (cancel(), start(),
// the destructor): a message already on its way then finds nothing to take. What passes
// between them is guarded by one mutex per read, held only to move a finished value; the
// owner never waits for a read except in the destructor, which joins the threads (each
// stops after the block it reads).

#include "trend/log_reader.h"
#include "trend/log_summary.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace qv::trend {

// A line the follower read: its reading and where it lies in the file.
struct IndexedLine {
    TimedReading reading;
    std::uint64_t begin, end;
};

// How an indexer's first pass cuts the file: items of `itemBytes`, each read whole by one
// thread; a file of more than `samples` items is sampled first, `sampleBytes` at the
// start of `samples` items spread evenly over it.
struct IndexPlan {
    std::uint64_t itemBytes = std::uint64_t{1} << 20;
    std::uint64_t samples = 256;
    std::uint64_t sampleBytes = std::uint64_t{64} << 10;
};

class LogIndexer {
public:
    static constexpr unsigned kMaxThreads = 8;
    static constexpr auto kPublishPeriod = std::chrono::milliseconds{200};
    static constexpr auto kFollowPeriod = std::chrono::seconds{2};

    struct Update {
        // A newer summary of the whole file: replaces any earlier one. Absent in updates
        // that only bring appended lines.
        std::optional<LogSummary> summary;
        // Lines appended to the file after that summary, in file order, to be added to it;
        // and lines appended that were not readings.
        std::vector<IndexedLine> appended;
        std::uint64_t appendedSkipped = 0;
        double share = 0.0;    // of the file read by the first pass, 0 to 1
        bool complete = false; // the first pass has ended; `status` says how
        LogReadStatus status = LogReadStatus::Ok;
    };

    // `ready` is called on a reading thread when an update can be taken. `threads` 0: one
    // per core.
    explicit LogIndexer(std::function<void()> ready, unsigned threads = 0, IndexPlan plan = {});
    ~LogIndexer();
    LogIndexer(const LogIndexer&) = delete;
    LogIndexer& operator=(const LogIndexer&) = delete;

    // Gives up the read under way and starts reading `path`; with `follow`, the reading
    // goes on with appended lines until cancel().
    void start(const std::filesystem::path& path, bool follow);
    // Gives the read up: it stops after the block it reads, and nothing more of it is
    // handed over. Does not wait for it.
    void cancel();
    // Following: look for appended lines now (after a line was logged).
    void poke();
    // A read was started and not given up; its first pass may have ended.
    bool active() const { return job_ != nullptr; }
    // The first pass has ended (as far as the updates taken tell).
    bool complete() const { return complete_; }
    // What the read has to say since the last take; nothing when there is no news.
    std::optional<Update> take();

    struct Job; // one read: its threads and what they hand over

private:
    void reap(bool wait);

    const std::function<void()> ready_;
    const unsigned threads_;
    const IndexPlan plan_;
    std::shared_ptr<Job> job_; // the read under way
    bool complete_ = false;
    // Reads given up whose threads have not ended yet; joined once they have.
    std::vector<std::pair<std::shared_ptr<Job>, std::thread>> retired_;
    std::thread thread_; // job_'s first thread
};

} // namespace qv::trend
