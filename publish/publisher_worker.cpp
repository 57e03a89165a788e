#include "publish/publisher_worker.h"

#include "publish/messages.h"
#include "publish/mqtt_library.h"
#include "publish/topics.h"

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>

namespace qv::publish {
namespace {

using namespace std::chrono_literals;

// Readings published and not yet acknowledged, at most: enough to keep a link busy, few
// enough that a reconnection sends little twice.
constexpr std::size_t kWindow = 20;
constexpr int kKeepAliveSeconds = 30;
// From the start of a connection to the broker's answer.
constexpr auto kConnectTimeout = 10s;
constexpr std::chrono::seconds kReconnectFirst = 1s;
constexpr std::chrono::seconds kReconnectMax = 30s;
constexpr auto kSpoolRetry = 2s;
// How often appends and the position go to the disk.
constexpr auto kSpoolSync = 2s;
// The longest sleep, for the library's keep-alive bookkeeping.
constexpr auto kLongestSleep = 1000ms;

std::string errorText(int code, int savedErrno) {
    switch (code) {
    case MOSQ_ERR_ERRNO:
        return socketErrorText(savedErrno);
    case MOSQ_ERR_EAI:
        return lookupErrorText(savedErrno);
    case MOSQ_ERR_CONN_LOST:
        return "connection lost";
    case MOSQ_ERR_KEEPALIVE:
        return "no answer from the broker";
    case MOSQ_ERR_PROTOCOL:
        return "it does not answer as an MQTT broker";
    default:
        return mosquitto_strerror(code);
    }
}

// The MQTT 3.1.1 CONNACK return codes.
std::string refusalText(int code) {
    switch (code) {
    case 1:
        return "it does not speak MQTT 3.1.1";
    case 2:
        return "client id rejected";
    case 3:
        return "server unavailable";
    case 4:
        return "wrong user name or password";
    case 5:
        return "not authorised: check the user name and password";
    default:
        return "code " + std::to_string(code);
    }
}

} // namespace

Publisher::Worker::Worker(std::shared_ptr<Shared> shared)
    : shared_(std::move(shared)), config_(shared_->config), pause_(kReconnectFirst) {}

void Publisher::Worker::run() {
    ensureMqttLibrary();

    const std::string prefixError = topicPrefixError(config_.topicPrefix);
    if (!prefixError.empty())
        report(State::Failed, prefixError);
    else
        report(State::Starting, {});
    while (takeQueue()) {
        const Time now = std::chrono::steady_clock::now();
        if (prefixError.empty() && !spool_ && now >= nextSpoolTry_)
            openSpool(now);
        if (spool_) {
            if (link_ == Link::Idle && now >= nextAttempt_)
                connect(now);
            if (link_ == Link::Connecting && now >= connectDeadline_)
                lose(State::Unreachable, "no answer from the broker");
            if (link_ == Link::Connected)
                fill();
            if (now >= nextSync_) {
                spool_->sync();
                nextSync_ = now + kSpoolSync;
            }
        }
        serviceNetwork(sleepUntilNextDeadline(now));
    }
    finish();
}

bool Publisher::Worker::takeQueue() {
    std::deque<trend::TimedReading> taken;
    bool stopping = false;
    {
        std::lock_guard lock(shared_->mutex);
        stopping = shared_->stopping;
        // Without a spool they wait in the queue, which bounds them; with a bad topic
        // prefix they are of no use.
        if (spool_ || !topicPrefixError(config_.topicPrefix).empty())
            taken.swap(shared_->queue);
    }
    if (spool_) {
        for (const auto& reading : taken)
            if (!spool_->append(reading))
                ++lost_;
        shared_->waiting = spool_->size();
    }
    report(status_.state, status_.reason); // the dropped count may have moved
    return !stopping;
}

void Publisher::Worker::openSpool(Time now) {
    std::string error;
    spool_ = Spool::open(config_.spoolFolder, config_.spool, error);
    if (!spool_) {
        report(State::Failed, error);
        nextSpoolTry_ = now + kSpoolRetry;
        return;
    }
    shared_->waiting = spool_->size();
    if (status_.state == State::Failed)
        report(State::Starting, {});
}

void Publisher::Worker::connect(Time now) {
    const std::string id = sensorId(config_.topicPrefix);
    client_ = mosquitto_new(id.c_str(), true, this);
    if (client_ == nullptr) {
        lose(State::Unreachable, "cannot make a client: " + socketErrorText(errno));
        return;
    }
    connackSeen_ = disconnected_ = false;
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_publish_callback_set(client_, onPublish);
    mosquitto_disconnect_callback_set(client_, onDisconnect);
    mosquitto_max_inflight_messages_set(client_, kWindow);
    const Message will = availabilityMessage(config_.topicPrefix, false);
    int rc = mosquitto_will_set(client_, will.topic.c_str(), static_cast<int>(will.payload.size()),
                                will.payload.data(), kQos, will.retain);
    if (rc == MOSQ_ERR_SUCCESS && !config_.user.empty())
        rc = mosquitto_username_pw_set(client_, config_.user.c_str(), config_.password.c_str());
    if (rc == MOSQ_ERR_SUCCESS && config_.broker.tls) {
        // The system's certificate authorities vouch for the broker.
        rc = mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        if (rc == MOSQ_ERR_NOT_SUPPORTED) {
            lose(State::Failed, "this build has no TLS: use mqtt://");
            return;
        }
    }
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_connect_async(client_, config_.broker.host.c_str(), config_.broker.port,
                                     kKeepAliveSeconds);
    const int savedErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        lose(State::Unreachable, errorText(rc, savedErrno));
        return;
    }
    link_ = Link::Connecting;
    connectDeadline_ = now + kConnectTimeout;
}

void Publisher::Worker::onConnected() {
    link_ = Link::Connected;
    pause_ = kReconnectFirst;
    // A fresh client has nothing in flight: whatever the broker did not acknowledge
    // before goes again, from the oldest waiting reading.
    cursor_ = spool_->begin();
    bool sent = publish(availabilityMessage(config_.topicPrefix, true), nullptr);
    if (config_.discovery)
        for (const Message& config : discoveryMessages(config_.topicPrefix))
            sent = sent && publish(config, nullptr);
    if (!sent)
        return;
    report(State::Publishing, {});
    fill();
}

bool Publisher::Worker::publish(const Message& message, int* mid) {
    const int rc = mosquitto_publish(client_, mid, message.topic.c_str(),
                                     static_cast<int>(message.payload.size()),
                                     message.payload.data(), kQos, message.retain);
    const int savedErrno = errno;
    if (rc == MOSQ_ERR_SUCCESS)
        return true;
    lose(State::Unreachable, errorText(rc, savedErrno));
    return false;
}

void Publisher::Worker::fill() {
    while (link_ == Link::Connected && inFlight_.size() < kWindow && cursor_ < spool_->end()) {
        const Spool::Batch batch = spool_->read(cursor_, kWindow - inFlight_.size());
        for (const SpooledReading& spooled : batch.readings) {
            int mid = 0;
            if (!publish(stateMessage(config_.topicPrefix, spooled.reading), &mid))
                return;
            inFlight_.push_back({mid, spooled.sequence + 1, false});
        }
        if (batch.next <= cursor_)
            break;
        // Unreadable records passed after the last reading count as delivered in turn.
        if (batch.readings.empty() || batch.readings.back().sequence + 1 < batch.next)
            inFlight_.push_back({0, batch.next, true});
        cursor_ = batch.next;
    }
    settle();
}

void Publisher::Worker::settle() {
    std::uint64_t end = 0;
    while (!inFlight_.empty() && inFlight_.front().acked) {
        end = inFlight_.front().end;
        inFlight_.pop_front();
    }
    if (end != 0 && spool_) {
        spool_->acknowledge(end);
        shared_->waiting = spool_->size();
    }
}

void Publisher::Worker::serviceNetwork(std::chrono::milliseconds timeout) {
    const int socket = client_ != nullptr ? mosquitto_socket(client_) : -1;
    const bool wantWrite = client_ != nullptr && mosquitto_want_write(client_);
    const NetworkWait::Ready ready = shared_->wake.wait(socket, wantWrite, timeout);
    if (client_ == nullptr || socket < 0)
        return;
    if (link_ == Link::Connecting && (ready.readable || ready.writable)) {
        if (const int error = pendingSocketError(socket)) {
            lose(State::Unreachable, socketErrorText(error));
            return;
        }
    }
    int rc = MOSQ_ERR_SUCCESS;
    if (ready.readable)
        rc = mosquitto_loop_read(client_, 1);
    if (rc == MOSQ_ERR_SUCCESS && ready.writable)
        rc = mosquitto_loop_write(client_, 1);
    if (rc == MOSQ_ERR_SUCCESS)
        rc = mosquitto_loop_misc(client_);
    const int savedErrno = errno;
    if (connackSeen_) {
        connackSeen_ = false;
        if (connackCode_ != 0) {
            lose(State::Refused, refusalText(connackCode_));
            return;
        }
        onConnected();
    }
    if (client_ != nullptr && (rc != MOSQ_ERR_SUCCESS || disconnected_))
        lose(State::Unreachable,
             errorText(rc == MOSQ_ERR_SUCCESS ? MOSQ_ERR_CONN_LOST : rc, savedErrno));
}

void Publisher::Worker::lose(State state, const std::string& reason) {
    if (client_ != nullptr)
        mosquitto_destroy(client_);
    client_ = nullptr;
    inFlight_.clear();
    link_ = Link::Idle;
    nextAttempt_ = std::chrono::steady_clock::now() + pause_;
    pause_ = std::min(pause_ * 2, kReconnectMax);
    report(state, reason);
}

std::chrono::milliseconds Publisher::Worker::sleepUntilNextDeadline(Time now) const {
    Time until = now + kLongestSleep;
    if (!spool_)
        until = std::min(until, nextSpoolTry_);
    else if (link_ == Link::Idle)
        until = std::min(until, nextAttempt_);
    else if (link_ == Link::Connecting)
        until = std::min(until, connectDeadline_);
    return std::max(std::chrono::duration_cast<std::chrono::milliseconds>(until - now), 0ms);
}

void Publisher::Worker::finish() {
    takeQueue();
    if (link_ == Link::Connected) {
        // A clean disconnect keeps the broker from sending the will: say it ourselves.
        offlineAcked_ = false;
        if (publish(availabilityMessage(config_.topicPrefix, false), &offlineMid_)) {
            const Time deadline = std::chrono::steady_clock::now() + kOfflineWait;
            for (Time now = std::chrono::steady_clock::now();
                 client_ != nullptr && !offlineAcked_ && now < deadline;
                 now = std::chrono::steady_clock::now())
                serviceNetwork(
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now));
        }
        if (client_ != nullptr)
            mosquitto_disconnect(client_);
    }
    if (client_ != nullptr)
        mosquitto_destroy(client_);
    client_ = nullptr;
    spool_.reset(); // synced, and the folder free for the next publisher
    std::lock_guard lock(shared_->mutex);
    shared_->finished = true;
    shared_->ended.notify_all();
}

void Publisher::Worker::report(State state, const std::string& reason) {
    std::uint64_t queueDropped = 0;
    std::lock_guard lock(shared_->mutex);
    queueDropped = shared_->queueDropped;
    const PublisherStatus next{state, reason,
                               (spool_ ? spool_->dropped() : 0) + lost_ + queueDropped};
    if (reported_ && next == status_)
        return;
    status_ = next;
    reported_ = true;
    if (!shared_->silenced && shared_->sink)
        shared_->sink(status_);
}

void Publisher::Worker::onConnect(mosquitto*, void* self, int code) {
    auto* worker = static_cast<Worker*>(self);
    worker->connackSeen_ = true;
    worker->connackCode_ = code;
}

void Publisher::Worker::onPublish(mosquitto*, void* self, int mid) {
    auto* worker = static_cast<Worker*>(self);
    if (mid == worker->offlineMid_)
        worker->offlineAcked_ = true;
    for (InFlight& flight : worker->inFlight_)
        if (flight.mid == mid) {
            flight.acked = true;
            break;
        }
    worker->settle();
}

void Publisher::Worker::onDisconnect(mosquitto*, void* self, int) {
    static_cast<Worker*>(self)->disconnected_ = true;
}

} // namespace qv::publish
