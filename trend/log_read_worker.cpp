#include "trend/log_read_worker.h"

#include <exception>
#include <utility>

namespace qv::trend {

LogReadWorker::LogReadWorker(std::function<void()> ready) : ready_(std::move(ready)) {}

LogReadWorker::~LogReadWorker() {
    cancel();
}

void LogReadWorker::start(const std::filesystem::path& path) {
    cancel();
    reading_ = true;
    try {
        thread_ = std::thread(&LogReadWorker::run, this, path);
    } catch (const std::exception&) {
        // No thread (or no memory for its start) to be had: out of resources.
        {
            std::lock_guard lock(mutex_);
            result_ = LogReadResult{LogReadStatus::OutOfMemory, {}, 0};
        }
        ready_();
    }
}

void LogReadWorker::cancel() {
    cancelled_ = true;
    if (thread_.joinable())
        thread_.join();
    cancelled_ = false;
    reading_ = false;
    std::lock_guard lock(mutex_);
    result_.reset();
}

std::optional<LogReadResult> LogReadWorker::take() {
    std::optional<LogReadResult> taken;
    {
        std::lock_guard lock(mutex_);
        taken.swap(result_);
    }
    if (taken)
        reading_ = false;
    return taken;
}

void LogReadWorker::run(std::filesystem::path path) {
    LogReadResult result = readLogFile(path, &cancelled_);
    if (result.status == LogReadStatus::Cancelled)
        return;
    {
        std::lock_guard lock(mutex_);
        result_ = std::move(result);
    }
    ready_();
}

} // namespace qv::trend
