#include "trend/log_read_worker.h"

#include <atomic>
#include <exception>
#include <mutex>

namespace qv::trend {

struct LogReadWorker::Job {
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false};
    std::mutex mutex;
    bool live = true; // guarded by mutex: the owner still wants the result
    std::optional<LogReadResult> result;
};

LogReadWorker::LogReadWorker(std::function<void()> ready) : ready_(std::move(ready)) {}

LogReadWorker::~LogReadWorker() {
    cancel();
    reap(true);
}

void LogReadWorker::start(const std::filesystem::path& path) {
    begin(path, std::nullopt);
}

void LogReadWorker::start(const std::filesystem::path& path, const LogRange& range) {
    begin(path, range);
}

void LogReadWorker::begin(const std::filesystem::path& path, std::optional<LogRange> range) {
    cancel();
    auto job = std::make_shared<Job>();
    // At the program's own priority: a span's lines are read while the user waits for them.
    const auto run = [job, path, range, ready = ready_] {
        LogReadResult result = range ? readLogRange(path, *range, &job->cancelled)
                                     : readLogFile(path, &job->cancelled);
        {
            std::lock_guard lock(job->mutex);
            if (job->live && result.status != LogReadStatus::Cancelled) {
                job->result = std::move(result);
                ready();
            }
        }
        job->finished = true;
    };
    try {
        thread_ = std::thread(run);
    } catch (const std::exception&) {
        // No thread (or no memory for its start) to be had: out of resources.
        job->result = LogReadResult{LogReadStatus::OutOfMemory, {}, 0};
        job->finished = true;
        job_ = std::move(job);
        ready_();
        return;
    }
    job_ = std::move(job);
}

void LogReadWorker::cancel() {
    if (job_) {
        job_->cancelled = true;
        {
            std::lock_guard lock(job_->mutex);
            job_->live = false;
        }
        if (thread_.joinable())
            retired_.emplace_back(std::move(job_), std::move(thread_));
        job_.reset();
    }
    reap(false);
}

void LogReadWorker::reap(bool wait) {
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (wait || it->first->finished) {
            it->second.join();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

std::optional<LogReadResult> LogReadWorker::take() {
    if (!job_)
        return std::nullopt;
    std::optional<LogReadResult> taken;
    {
        std::lock_guard lock(job_->mutex);
        taken.swap(job_->result);
    }
    if (taken) {
        if (thread_.joinable())
            retired_.emplace_back(std::move(job_), std::move(thread_));
        job_.reset();
        reap(false);
    }
    return taken;
}

} // namespace qv::trend
