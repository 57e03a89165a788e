#include "app/publish_link.h"

#include "publish/broker_address.h"
#include "publish/topics.h"
#include "settings/spool_root.h"
#include "text/texts.h"

namespace qv {

using publish::PublisherStatus;

PublishLink::PublishLink(MessagePoster& poster, const Clock& clock,
                         std::function<void()> statusChanged)
    : poster_(poster), clock_(clock), statusChanged_(std::move(statusChanged)),
      latest_(std::make_shared<Latest>()) {}

PublishLink::~PublishLink() {
    stopPublisher(publish::kPublisherStopWait);
}

PublishLink::Plan PublishLink::plan(const PublishSettings& settings, int port) {
    const publish::BrokerAddressParse broker = publish::parseBrokerAddress(settings.broker);
    if (!broker.ok)
        return {std::nullopt, broker.error};
    const std::string prefix =
        settings.topicPrefix.empty() ? publish::localTopicPrefix(port) : settings.topicPrefix;
    if (std::string error = publish::topicPrefixError(prefix); !error.empty())
        return {std::nullopt, std::move(error)};
    const std::filesystem::path root = spoolRoot();
    if (root.empty())
        return {std::nullopt, text::kNoSpoolFolder};
    publish::PublisherConfig config{broker.address,
                                    settings.user,
                                    // A password without a user name is never sent.
                                    settings.user.empty() ? std::string() : settings.password,
                                    prefix,
                                    settings.discovery,
                                    root / publish::sensorId(prefix),
                                    {}};
    return {std::move(config), {}};
}

void PublishLink::apply(const PublishSettings& settings, int port) {
    enabled_ = settings.enabled;
    if (!enabled_) {
        stopPublisher(kPublisherReplaceWait);
        failure_.clear();
        notifyIfChanged();
        return;
    }
    Plan next = plan(settings, port);
    if (!next.config) {
        stopPublisher(kPublisherReplaceWait);
        failure_ = std::move(next.failure);
        notifyIfChanged();
        return;
    }
    failure_.clear();
    if (publisher_ && config_ == next.config)
        return;
    stopPublisher(kPublisherReplaceWait);
    {
        std::lock_guard lock(latest_->mutex);
        latest_->status.reset();
    }
    config_ = std::move(next.config);
    publisher_ = std::make_unique<publish::Publisher>(
        *config_, clock_, [latest = latest_, &poster = poster_](const PublisherStatus& status) {
            {
                std::lock_guard lock(latest->mutex);
                latest->status = status;
            }
            poster.postMessage(WM_PUBLISH_STATUS, 0, 0);
        });
    notifyIfChanged();
}

void PublishLink::stopPublisher(std::chrono::milliseconds bound) {
    // After stop() the old publisher's sink is silent: a status message it posted before
    // only makes onStatusMessage read the newer publisher's status.
    if (publisher_)
        publisher_->stop(bound);
    publisher_.reset();
    config_.reset();
}

void PublishLink::submit(const Reading& reading) {
    if (publisher_)
        publisher_->submit(reading);
}

void PublishLink::onStatusMessage() {
    notifyIfChanged();
}

std::string PublishLink::statusText() const {
    if (!enabled_)
        return {};
    if (!publisher_)
        return publish::describe({PublisherStatus::State::Failed, failure_, 0});
    std::lock_guard lock(latest_->mutex);
    return publish::describe(latest_->status.value_or(PublisherStatus{}));
}

void PublishLink::notifyIfChanged() {
    std::string text = statusText();
    if (text == shownText_)
        return;
    shownText_ = std::move(text);
    if (statusChanged_)
        statusChanged_();
}

} // namespace qv
