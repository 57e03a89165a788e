#include "serial/port_survey.h"

#include <system_error>

namespace qv {

PortSurvey::PortSurvey(SerialPlatform& platform, MessagePoster& window, std::uint32_t message)
    : platform_(platform), window_(window), message_(message) {}

PortSurvey::~PortSurvey() {
    stop_ = true;
    for (std::thread& worker : workers_)
        worker.join();
}

bool PortSurvey::start() {
    if (busy())
        return false;
    results_.fill(kProbeAbsent);
    next_ = 0;
    running_ = kSurveyThreads;
    int made = 0;
    try {
        for (; made < kSurveyThreads; ++made)
            workers_.emplace_back(&PortSurvey::work, this);
    } catch (const std::system_error&) {
        // Out of threads: those made do the round. With none, every port stays absent.
    }
    const int missing = kSurveyThreads - made;
    if (missing > 0 && running_.fetch_sub(missing) == missing)
        window_.postMessage(message_, 0, 0);
    return true;
}

PortSurvey::Results PortSurvey::finish() {
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    return results_;
}

void PortSurvey::work() {
    for (int i = next_++; i < kPortCount && !stop_; i = next_++)
        results_[static_cast<std::size_t>(i)] = platform_.probePort(i + 1);
    if (--running_ == 0 && !stop_)
        window_.postMessage(message_, 0, 0);
}

} // namespace qv
