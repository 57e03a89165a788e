#pragma once

// What the owner side of a Publisher and its worker thread share (private to
// publisher.cpp and publisher_worker.cpp). `mutex` guards every field below it.

#include "publish/network_wait.h"
#include "publish/publisher.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace qv::publish {

struct Publisher::Shared {
    Shared(PublisherConfig c, StatusSink s) : config(std::move(c)), sink(std::move(s)) {}

    const PublisherConfig config; // read-only
    NetworkWait wake;             // signal() by the owner, wait() by the worker
    std::atomic<std::uint64_t> waiting{0};

    std::mutex mutex;
    const StatusSink sink; // called with mutex held, while !silenced
    std::condition_variable ended;
    std::deque<trend::TimedReading> queue; // submitted, not yet in the spool
    std::uint64_t queueDropped = 0;        // dropped from a full queue
    bool stopping = false;
    bool silenced = false; // stop() has returned
    bool finished = false; // the worker has ended
};

} // namespace qv::publish
