#pragma once

// Publishing beside the logger, for every front end: the Publisher made from the stored
// publishing values for the port in use, fed each reading the station hands on, its status
// brought to the user-interface thread. While publishing is off there is no publisher, no
// thread and no file: the logger behaves as if publishing did not exist.
//
// The topic prefix is the stored one, or publish::localTopicPrefix(port); the spool is spoolRoot()
// / publish::sensorId(prefix), so each sensor keeps its own. Values that cannot work (a broker
// address that does not parse, a topic prefix refused, no folder for the spool) give a Failed
// status in words, never an exception or a box.
//
// Thread contract: user-interface thread only, except the publisher's status sink, which
// runs on the publisher's worker: it only stores the status under a mutex and posts
// WM_PUBLISH_STATUS through the poster. The owner routes that message to
// onStatusMessage().

#include "acquisition/clock.h"
#include "acquisition/reading_parser.h"
#include "publish/publisher.h"
#include "settings/publish_settings.h"
#include "window/message_poster.h"

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace qv {

// How long apply() lets a publisher it stops take to end.
inline constexpr auto kPublisherReplaceWait = std::chrono::milliseconds{250};

class PublishLink {
public:
    // `poster` and `clock` must outlive the link. `statusChanged` runs on the
    // user-interface thread (from onStatusMessage or apply) whenever statusText() changes.
    PublishLink(MessagePoster& poster, const Clock& clock, std::function<void()> statusChanged);
    // Stops the publisher (publish::kPublisherStopWait at most).
    ~PublishLink();
    PublishLink(const PublishLink&) = delete;
    PublishLink& operator=(const PublishLink&) = delete;

    // Publishes as `settings` say for port `port`: off stops the publisher; on with values
    // that differ from the running publisher's stops it and makes a new one; the same
    // values keep it running. A publisher stopped here holds the thread for
    // kPublisherReplaceWait at most; one that takes longer (a broker or a disk that hangs)
    // ends by itself, its successor on the same spool retrying the folder meanwhile.
    void apply(const PublishSettings& settings, int port);

    // A station's reading listener: hands the reading to the publisher; nothing while off.
    void submit(const Reading& reading);

    // WM_PUBLISH_STATUS.
    void onStatusMessage();

    // Publishing is on (the stored values say so), whether or not it can work.
    bool enabled() const { return enabled_; }
    // A publisher runs.
    bool active() const { return publisher_ != nullptr; }
    // The running publisher's configuration; none while no publisher runs.
    const std::optional<publish::PublisherConfig>& config() const { return config_; }
    // The status in words (publish::describe): "publishing", "broker unreachable:
    // <reason>", "not publishing: <reason>", ...; empty while off.
    std::string statusText() const;

private:
    // The configuration `settings` give for `port`, or why there is none (in words).
    struct Plan {
        std::optional<publish::PublisherConfig> config;
        std::string failure;
    };
    static Plan plan(const PublishSettings& settings, int port);
    void stopPublisher(std::chrono::milliseconds bound);
    void notifyIfChanged();

    MessagePoster& poster_;
    const Clock& clock_;
    std::function<void()> statusChanged_;
    std::optional<publish::PublisherConfig> config_; // the running publisher's
    std::unique_ptr<publish::Publisher> publisher_;
    bool enabled_ = false;
    std::string failure_;   // why no publisher runs although publishing is on
    std::string shownText_; // statusText() when statusChanged_ last ran

    // Written by the sink on the worker, read on the user-interface thread.
    struct Latest {
        std::mutex mutex;
        std::optional<publish::PublisherStatus> status;
    };
    std::shared_ptr<Latest> latest_;
};

} // namespace qv
