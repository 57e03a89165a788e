#pragma once

// Publishes each reading to an MQTT broker (see messages.h for what goes where) from a
// worker thread of its own, which owns the libmosquitto client and its network loop,
// reconnects with a growing pause, and keeps every reading in the spool on disk until
// the broker has acknowledged it, so that readings taken while the broker is away are
// sent, in order, when it returns.
//
// Thread contract:
// - One owner thread (the user-interface thread) constructs the Publisher and calls
//   submit(), waiting(), stop() and the destructor. submit() only stamps the reading with
//   the clock, queues it under a mutex held for a few instructions and wakes the worker:
//   it never waits for the network or the disk. The queue is bounded (kPublishQueue):
//   should the worker fall that far behind, the oldest queued reading is dropped and
//   counted.
// - The worker thread does everything else: libmosquitto, the spool, the status sink.
// - The sink runs on the worker thread, with the Publisher's mutex held, so it must only
//   hand the status on (post a window message) and never call the Publisher. It is never
//   called after stop() (or the destructor) has returned.
// - stop() ends the worker within its bound: readings still queued go to the spool, an
//   "offline" message goes out (waited for at most kOfflineWait), the client disconnects
//   and the spool is synced. When the bound passes first (a host name lookup or a disk
//   that does not answer) the worker is left to end by itself: it keeps the spool's
//   folder until then, and a Publisher made meanwhile on that folder waits for it.

#include "acquisition/clock.h"
#include "acquisition/reading_parser.h"
#include "publish/broker_address.h"
#include "publish/spool.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace qv::publish {

// How long stop() from the destructor may hold the owner thread.
inline constexpr auto kPublisherStopWait = std::chrono::seconds{3};
// How long the worker waits, when ending, for the broker to take the "offline" message.
inline constexpr auto kOfflineWait = std::chrono::seconds{1};
// Readings submitted and not yet taken by the worker, at most.
inline constexpr std::size_t kPublishQueue = 4096;

struct PublisherConfig {
    BrokerAddress broker;
    std::string user; // empty: no user name
    std::string password;
    std::string topicPrefix; // must pass topicPrefixError()
    bool discovery = true;
    std::filesystem::path spoolFolder;
    SpoolOptions spool;

    bool operator==(const PublisherConfig&) const = default;
};

struct PublisherStatus {
    enum class State {
        Starting,    // not connected yet
        Publishing,  // connected; readings go out as they come
        Unreachable, // no connection (reason: the system's or the library's words)
        Refused,     // the broker said no (reason: e.g. wrong user name or password)
        Failed,      // cannot publish at all (reason: spool folder, topic prefix)
    };
    State state = State::Starting;
    std::string reason;
    std::uint64_t dropped = 0; // readings dropped for lack of room, ever, in this spool

    bool operator==(const PublisherStatus&) const = default;
};

// The status in words for the caption or the dialog: "publishing",
// "broker unreachable: <reason>", "broker refused: <reason>", "not publishing: <reason>",
// "connecting"; with ", <n> readings dropped" when any were.
std::string describe(const PublisherStatus& status);

class Publisher {
public:
    using StatusSink = std::function<void(const PublisherStatus&)>;

    // Starts the worker. `clock` stamps each reading and must outlive the Publisher;
    // `sink` is called on the worker thread at each change of status.
    Publisher(PublisherConfig config, const Clock& clock, StatusSink sink);
    // stop(kPublisherStopWait) unless stopped.
    ~Publisher();
    Publisher(const Publisher&) = delete;
    Publisher& operator=(const Publisher&) = delete;

    // Hands one reading to the worker, stamped with the clock's now; after stop(),
    // nothing.
    void submit(const Reading& reading);
    // Readings the spool holds that the broker has not acknowledged (the worker's last
    // count; readings still queued are not in it).
    std::uint64_t waiting() const;
    // Ends the worker (see the contract above). True when it ended within `bound`.
    bool stop(std::chrono::milliseconds bound);

private:
    struct Shared;
    class Worker;

    const Clock& clock_;
    std::shared_ptr<Shared> shared_;
    std::thread thread_;
};

} // namespace qv::publish
