#pragma once

// The real Mosquitto broker of the publish tests (tests/publish/test_broker.sh makes its
// configuration), and a subscriber that records what it receives. On Linux each test
// starts its own broker on a free port and may stop, restart and pause it; under Wine
// the runner's command started one for all tests (test_broker.sh around), found through
// QV_TEST_MQTT_PORT, and the tests that stop it are not built.

#include "publish/broker_address.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace qv::test {

class TestBroker {
public:
    TestBroker(); // started() tells whether it runs
    ~TestBroker();
    TestBroker(const TestBroker&) = delete;
    TestBroker& operator=(const TestBroker&) = delete;

    bool started() const { return port_ > 0; }
    const std::string& failure() const { return failure_; } // why not started
    publish::BrokerAddress address() const { return {"127.0.0.1", port_, false}; }
    const std::string& user() const { return user_; }
    const std::string& password() const { return password_; }

    // Linux only: ends the broker (it saves its sessions), starts it again on the same
    // port, holds it still (SIGSTOP) and lets it go on.
    bool stop();
    bool restart();
    void pause();
    void resume();

private:
    struct Process;
    std::unique_ptr<Process> process_;
    int port_ = 0;
    std::string user_;
    std::string password_;
    std::string failure_;
};

struct Received {
    std::string topic;
    std::string payload;
    bool retain;
    bool operator==(const Received&) const = default;
};

// A libmosquitto client with the library's own network thread, subscribed with QoS 1 to
// `filters` (again after each reconnection). With a persistent session (a fixed client
// id, no clean start) the broker keeps its messages while it is away.
class TestSubscriber {
public:
    TestSubscriber(const TestBroker& broker, const std::string& id,
                   std::vector<std::string> filters, bool persistentSession = false);
    ~TestSubscriber();
    TestSubscriber(const TestSubscriber&) = delete;
    TestSubscriber& operator=(const TestSubscriber&) = delete;

    // Every filter acknowledged by the broker.
    bool subscribed() const { return subscriptions_ >= filters_.size(); }
    std::vector<Received> received() const;
    std::vector<std::string> payloads(const std::string& topic) const;

private:
    static void onConnect(mosquitto*, void* self, int code);
    static void onSubscribe(mosquitto*, void* self, int, int, const int*);
    static void onMessage(mosquitto*, void* self, const mosquitto_message* message);

    const std::vector<std::string> filters_;
    mosquitto* client_ = nullptr;
    std::atomic<std::size_t> subscriptions_{0};
    mutable std::mutex mutex_;
    std::vector<Received> received_;
};

} // namespace qv::test
