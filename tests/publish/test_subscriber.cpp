#include "tests/publish/test_broker.h"

#include "publish/mqtt_library.h"

#include <mosquitto.h>

namespace qv::test {

TestSubscriber::TestSubscriber(const TestBroker& broker, const std::string& id,
                               std::vector<std::string> filters, bool persistentSession)
    : filters_(std::move(filters)) {
    publish::ensureMqttLibrary();
    client_ = mosquitto_new(id.c_str(), !persistentSession, this);
    mosquitto_connect_callback_set(client_, onConnect);
    mosquitto_subscribe_callback_set(client_, onSubscribe);
    mosquitto_message_callback_set(client_, onMessage);
    mosquitto_username_pw_set(client_, broker.user().c_str(), broker.password().c_str());
    mosquitto_reconnect_delay_set(client_, 1, 1, false);
    mosquitto_connect_async(client_, "127.0.0.1", broker.address().port, 10);
    mosquitto_loop_start(client_);
}

TestSubscriber::~TestSubscriber() {
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

std::vector<Received> TestSubscriber::received() const {
    std::lock_guard lock(mutex_);
    return received_;
}

std::vector<std::string> TestSubscriber::payloads(const std::string& topic) const {
    std::vector<std::string> result;
    for (const Received& r : received())
        if (r.topic == topic)
            result.push_back(r.payload);
    return result;
}

void TestSubscriber::onConnect(mosquitto* client, void* self, int code) {
    if (code != 0)
        return;
    for (const std::string& filter : static_cast<TestSubscriber*>(self)->filters_)
        mosquitto_subscribe(client, nullptr, filter.c_str(), 1);
}

void TestSubscriber::onSubscribe(mosquitto*, void* self, int, int, const int*) {
    ++static_cast<TestSubscriber*>(self)->subscriptions_;
}

void TestSubscriber::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
    auto* subscriber = static_cast<TestSubscriber*>(self);
    std::lock_guard lock(subscriber->mutex_);
    subscriber->received_.push_back({message->topic,
                                     std::string(static_cast<const char*>(message->payload),
                                                 static_cast<std::size_t>(message->payloadlen)),
                                     message->retain});
}

} // namespace qv::test
