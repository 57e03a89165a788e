#pragma once

// The worker thread of a Publisher (private to publish/): the spool, the libmosquitto
// client and its network loop, the connection's states and the acknowledgements. All of
// it runs on the worker thread; libmosquitto's callbacks too, from inside the loop calls.

#include "publish/messages.h"
#include "publish/publisher_shared.h"

#include <chrono>
#include <deque>
#include <memory>

struct mosquitto;

namespace qv::publish {

class Publisher::Worker {
public:
    explicit Worker(std::shared_ptr<Shared> shared);
    void run();

private:
    using Time = std::chrono::steady_clock::time_point;
    using State = PublisherStatus::State;
    enum class Link { Idle, Connecting, Connected };
    struct InFlight {
        int mid;           // 0: no message, readings skipped as unreadable
        std::uint64_t end; // the sequence after the reading
        bool acked;
    };

    bool takeQueue(); // false once stopping is asked
    void openSpool(Time now);
    void connect(Time now);
    void onConnected();
    void fill();
    bool publish(const Message& message, int* mid); // false: the link was lost
    void serviceNetwork(std::chrono::milliseconds timeout);
    void lose(State state, const std::string& reason);
    void settle();
    void finish();
    void report(State state, const std::string& reason);
    std::chrono::milliseconds sleepUntilNextDeadline(Time now) const;

    static void onConnect(mosquitto*, void* self, int code);
    static void onPublish(mosquitto*, void* self, int mid);
    static void onDisconnect(mosquitto*, void* self, int code);

    const std::shared_ptr<Shared> shared_;
    const PublisherConfig& config_;
    std::unique_ptr<Spool> spool_;
    std::uint64_t lost_ = 0; // readings dropped from the queue or refused by the disk
    mosquitto* client_ = nullptr;
    Link link_ = Link::Idle;
    Time nextAttempt_{};
    Time connectDeadline_{};
    Time nextSync_{};
    Time nextSpoolTry_{};
    std::chrono::seconds pause_;
    std::deque<InFlight> inFlight_; // in the order published
    std::uint64_t cursor_ = 0;      // the next spool sequence to publish
    // Set by the callbacks, acted on after the loop call that ran them.
    bool connackSeen_ = false;
    int connackCode_ = 0;
    bool disconnected_ = false;
    int offlineMid_ = -1;
    bool offlineAcked_ = false;
    PublisherStatus status_;
    bool reported_ = false;
};

} // namespace qv::publish
