#pragma once

// What the publisher tests share: a status log, configurations, readings submitted one
// clock second apart and the state messages they must become.

#include "publish/messages.h"
#include "publish/publisher.h"
#include "tests/publish/test_broker.h"
#include "tests/support/fixed_clock.h"

#include <mutex>
#include <vector>

namespace qv::test {

using publish::PublisherStatus;

class StatusLog {
public:
    publish::Publisher::StatusSink sink() {
        return [this](const PublisherStatus& status) {
            std::lock_guard lock(mutex_);
            statuses_.push_back(status);
        };
    }
    bool seen(PublisherStatus::State state) const {
        std::lock_guard lock(mutex_);
        for (const auto& status : statuses_)
            if (status.state == state)
                return true;
        return false;
    }
    PublisherStatus last() const {
        std::lock_guard lock(mutex_);
        return statuses_.empty() ? PublisherStatus{} : statuses_.back();
    }

private:
    mutable std::mutex mutex_;
    std::vector<PublisherStatus> statuses_;
};

inline publish::PublisherConfig configFor(const TestBroker& broker, const std::string& prefix,
                                          const std::filesystem::path& spool) {
    return {broker.address(), broker.user(), broker.password(), prefix, true, spool, {}};
}

// Submits `count` readings, numbered from `first`, one clock second apart; returns the
// payloads they must arrive as.
inline std::vector<std::string> submitReadings(publish::Publisher& publisher, FixedClock& clock,
                                               const std::string& prefix, int first, int count) {
    std::vector<std::string> payloads;
    for (int i = first; i < first + count; ++i) {
        Reading reading;
        reading.humidity = 30.0f + static_cast<float>(i) / 10;
        reading.temperature = -5.0f + static_cast<float>(i) / 10;
        publisher.submit(reading);
        payloads.push_back(
            publish::stateMessage(prefix, {clock.when, reading.humidity, reading.temperature})
                .payload);
        ++clock.when;
    }
    return payloads;
}

} // namespace qv::test
