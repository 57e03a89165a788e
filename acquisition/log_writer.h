#pragma once

// The writer thread of one open log file: it writes each line handed to it, syncs it to
// the disk, and reports each line's outcome to the user-interface thread as a posted
// WM_LOG_LINE_DONE, so that neither a slow disk nor a reader that stops reading ever
// stalls the window. Platform-free; each platform only implements LogFile.
//
// Thread contract: the user-interface thread calls every member; the writer thread is
// private. From construction to finish() the file belongs to the writer thread alone.
// Lines, outcomes and the end flags are guarded by one mutex, held while posting, so
// after finish() returns nothing is posted any more. After an abandoning finish() the
// thread and the file live on detached, sharing nothing with this object but that state.

#include "acquisition/log_file.h"
#include "window/message_poster.h"

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qv {

// How long closing the file may hold the user-interface thread while queued lines finish.
inline constexpr auto kLogCloseWait = std::chrono::seconds{5};

class LogWriter {
public:
    struct Outcome {
        bool written;       // written whole and synced
        std::string detail; // why not, in the operating system's words
    };
    struct Finish {
        std::vector<Outcome> outcomes; // of lines not yet taken, in order
        bool closed = true;            // every line ended and the close succeeded
        bool abandoned = false;        // the thread outlived the wait; it closes the file
        std::string detail;            // why not closed
    };

    // Starts the thread. `file` is open and at its end; `window` must outlive the
    // writer or its finish().
    LogWriter(MessagePoster& window, std::shared_ptr<LogFile> file);
    // finish(kLogCloseWait) unless already finished; the outcome is dropped.
    ~LogWriter();

    LogWriter(const LogWriter&) = delete;
    LogWriter& operator=(const LogWriter&) = delete;

    // Queues `line`; never waits for the disk.
    void submit(std::string line);
    // The outcomes of lines ended since the last call, in the order submitted.
    std::vector<Outcome> takeOutcomes();
    // Lets the queued lines end, at most `bound`, then closes the file. When the bound
    // passes first the thread is left to end and close the file by itself; those lines
    // are already in the writer's hands, only their outcome is given up.
    Finish finish(std::chrono::milliseconds bound);

private:
    struct Shared;
    static void run(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace qv
