#include "publish/publisher.h"

#include "publish/publisher_shared.h"
#include "publish/publisher_worker.h"

namespace qv::publish {

std::string describe(const PublisherStatus& status) {
    using State = PublisherStatus::State;
    std::string text;
    switch (status.state) {
    case State::Starting:
        text = "connecting";
        break;
    case State::Publishing:
        text = "publishing";
        break;
    case State::Unreachable:
        text = "broker unreachable: " + status.reason;
        break;
    case State::Refused:
        text = "broker refused: " + status.reason;
        break;
    case State::Failed:
        text = "not publishing: " + status.reason;
        break;
    }
    if (status.dropped > 0)
        text += ", " + std::to_string(status.dropped) + " readings dropped";
    return text;
}

Publisher::Publisher(PublisherConfig config, const Clock& clock, StatusSink sink)
    : clock_(clock), shared_(std::make_shared<Shared>(std::move(config), std::move(sink))),
      thread_([shared = shared_] { Worker(shared).run(); }) {}

Publisher::~Publisher() {
    stop(kPublisherStopWait);
}

void Publisher::submit(const Reading& reading) {
    const trend::TimedReading stamped{static_cast<std::int64_t>(clock_.now()), reading.humidity,
                                      reading.temperature};
    {
        std::lock_guard lock(shared_->mutex);
        if (shared_->stopping)
            return;
        if (shared_->queue.size() >= kPublishQueue) {
            shared_->queue.pop_front();
            ++shared_->queueDropped;
        }
        shared_->queue.push_back(stamped);
    }
    shared_->wake.signal();
}

std::uint64_t Publisher::waiting() const {
    return shared_->waiting.load();
}

bool Publisher::stop(std::chrono::milliseconds bound) {
    if (!thread_.joinable())
        return true;
    std::unique_lock lock(shared_->mutex);
    shared_->stopping = true;
    shared_->wake.signal();
    const bool ended = shared_->ended.wait_for(lock, bound, [&] { return shared_->finished; });
    shared_->silenced = true;
    lock.unlock();
    if (ended)
        thread_.join();
    else
        thread_.detach();
    return ended;
}

} // namespace qv::publish
