#include "acquisition/log_writer.h"

#include "text/substitute.h"
#include "text/texts.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace qv {

struct LogWriter::Shared {
    Shared(MessagePoster& w, std::shared_ptr<LogFile> f) : window(w), file(std::move(f)) {}

    MessagePoster& window;               // only while !abandoned
    const std::shared_ptr<LogFile> file; // writer thread only

    std::mutex mutex;
    std::condition_variable wake;  // lines queued or finishing asked
    std::condition_variable ended; // the thread closed the file
    std::deque<std::string> lines;
    std::vector<Outcome> outcomes;
    bool finishing = false;
    bool finished = false;
    bool abandoned = false;
    bool closed = false;
    std::string closeDetail;
};

LogWriter::LogWriter(MessagePoster& window, std::shared_ptr<LogFile> file)
    : shared_(std::make_shared<Shared>(window, std::move(file))), thread_(run, shared_) {}

LogWriter::~LogWriter() {
    if (thread_.joinable())
        finish(kLogCloseWait);
}

void LogWriter::submit(std::string line) {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->lines.push_back(std::move(line));
    }
    shared_->wake.notify_one();
}

std::vector<LogWriter::Outcome> LogWriter::takeOutcomes() {
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->outcomes, {});
}

LogWriter::Finish LogWriter::finish(std::chrono::milliseconds bound) {
    Finish result;
    if (!thread_.joinable())
        return result;
    std::unique_lock lock(shared_->mutex);
    shared_->finishing = true;
    shared_->wake.notify_one();
    const bool ended = shared_->ended.wait_for(lock, bound, [&] { return shared_->finished; });
    result.outcomes = std::exchange(shared_->outcomes, {});
    if (ended) {
        result.closed = shared_->closed;
        result.detail = shared_->closeDetail;
        lock.unlock();
        thread_.join();
    } else {
        shared_->abandoned = true;
        result.closed = false;
        result.abandoned = true;
        result.detail =
            substitute(text::kLogStillBusy,
                       {substitute(text::kMilliseconds, {std::to_string(bound.count())})});
        lock.unlock();
        thread_.detach();
    }
    return result;
}

void LogWriter::run(std::shared_ptr<Shared> shared) {
    LogFile& file = *shared->file;
    for (;;) {
        std::string line;
        {
            std::unique_lock lock(shared->mutex);
            shared->wake.wait(lock, [&] { return !shared->lines.empty() || shared->finishing; });
            if (shared->lines.empty())
                break;
            line = std::move(shared->lines.front());
            shared->lines.pop_front();
        }
        Outcome outcome{true, {}};
        if (!file.write(line)) {
            outcome = {false, file.lastErrorText()};
        } else if (!file.sync()) {
            // A line that is not on the disk is not counted, and may be written again:
            // it must not stay behind as well.
            outcome = {false, file.lastErrorText()};
            file.cutBackLastWrite();
        }
        std::lock_guard lock(shared->mutex);
        if (!shared->abandoned) {
            shared->outcomes.push_back(std::move(outcome));
            shared->window.postMessage(WM_LOG_LINE_DONE, 0, 0);
        }
    }
    const bool closed = file.close();
    std::lock_guard lock(shared->mutex);
    shared->finished = true;
    shared->closed = closed;
    if (!closed)
        shared->closeDetail = file.lastErrorText();
    shared->ended.notify_all();
}

} // namespace qv
