// Many sensors for the headless loggers, and the subscriber that sees what they publish:
// one process playing N QV-5300 sensors on N pseudo-terminals (each behind the link
// <root>/<i>/config/Tavrin QV-5300/ports/com1, in the port folder of logger i, whose
// XDG_CONFIG_HOME is <root>/<i>/config), each sending a record a
// second, the N spread evenly over the second, and a libmosquitto subscriber to
// <prefix base>+/state, the prefix base ending in "/" and logger i's prefix being
// <prefix base><i>. Each record's CLOCK_MONOTONIC time just before its CR is
// written is matched with the time its state message arrives (sensor from the topic,
// record number from the humidity), the latency of the whole path: logger, publisher,
// broker, subscriber.
//
// Usage: qv_bench_fleet --root DIR --sensors N --seconds S --warmup W --broker-port P
//                       --user U --password W --prefix-base TEXT
// Waits (60 s at most) until every pseudo-terminal has a reader, then sends for W + S
// seconds; the first W seconds' records are not counted (publishers still connecting).
// Prints one JSON object; ends on SIGTERM/SIGINT too (the figures so far).

#include "bench/stats.h"
#include "tools/pty_port.h"
#include "tools/sensor_model.h"

#include <mosquitto.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
// In nanoseconds: a sensor's offset, kPeriod * i / N, must not round down to whole seconds.
constexpr std::chrono::nanoseconds kPeriod = std::chrono::seconds{1};
// Record k of a sensor has humidity kBaseTenths + k (tenths): unique for 800 records.
constexpr int kBaseTenths = 100;
constexpr int kMaxRecords = 800;

std::atomic<bool> gStop{false};
void onSignal(int) {
    gStop = true;
}

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

struct Shared {
    std::string prefixBase;
    std::mutex mutex;
    // sent[sensor][record] = ns, 0 = not sent; arrivals as (sensor, record, ns).
    std::vector<std::vector<long long>> sent;
    std::vector<std::vector<int>> arrivals; // per sensor: record numbers in arrival order
    std::vector<long long> latencies;       // ns, counted records only
    int firstCounted = 0;
    long long unmatched = 0, duplicates = 0;
    std::vector<std::vector<bool>> seen;
    std::atomic<int> subscribed{0};
};

void onConnect(mosquitto* client, void* data, int code) {
    auto* shared = static_cast<Shared*>(data);
    if (code == 0)
        mosquitto_subscribe(client, nullptr, (shared->prefixBase + "+/state").c_str(), 1);
}

void onSubscribe(mosquitto*, void* data, int, int, const int*) {
    ++static_cast<Shared*>(data)->subscribed;
}

void onMessage(mosquitto*, void* data, const mosquitto_message* message) {
    const long long at = nowNs();
    auto* shared = static_cast<Shared*>(data);
    const std::string topic = message->topic;
    const std::string payload(static_cast<const char*>(message->payload),
                              static_cast<std::size_t>(message->payloadlen));
    const std::size_t humidityAt = payload.find("\"humidity\":");
    std::lock_guard lock(shared->mutex);
    if (topic.rfind(shared->prefixBase, 0) != 0 || humidityAt == std::string::npos) {
        ++shared->unmatched;
        return;
    }
    const int sensor = std::atoi(topic.c_str() + shared->prefixBase.size());
    const double humidity = std::atof(payload.c_str() + humidityAt + 11);
    const int record = static_cast<int>(humidity * 10 + 0.5) - kBaseTenths;
    if (sensor < 0 || sensor >= static_cast<int>(shared->sent.size()) || record < 0 ||
        record >= kMaxRecords || shared->sent[sensor][record] == 0) {
        ++shared->unmatched;
        return;
    }
    if (shared->seen[sensor][record]) {
        ++shared->duplicates;
        return;
    }
    shared->seen[sensor][record] = true;
    shared->arrivals[sensor].push_back(record);
    if (record >= shared->firstCounted)
        shared->latencies.push_back(at - shared->sent[sensor][record]);
}

} // namespace

int main(int argc, char** argv) {
    std::string root, user, password, prefixBase = "qv-bench/";
    int sensors = 0, brokerPort = 0;
    double seconds = 10, warmup = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--root")
            root = value;
        else if (name == "--sensors")
            sensors = std::atoi(value);
        else if (name == "--seconds")
            seconds = std::atof(value);
        else if (name == "--warmup")
            warmup = std::atof(value);
        else if (name == "--broker-port")
            brokerPort = std::atoi(value);
        else if (name == "--user")
            user = value;
        else if (name == "--password")
            password = value;
        else if (name == "--prefix-base")
            prefixBase = value;
    }
    const int records = static_cast<int>(warmup + seconds);
    if (root.empty() || sensors <= 0 || brokerPort <= 0 || records >= kMaxRecords) {
        std::fprintf(stderr, "usage: qv_bench_fleet --root DIR --sensors N --seconds S "
                             "--warmup W --broker-port P --user U --password W\n");
        return 2;
    }
    std::signal(SIGTERM, onSignal);
    std::signal(SIGINT, onSignal);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<std::unique_ptr<qv::sim::PtyPort>> ports;
    std::vector<fs::path> links;
    for (int i = 0; i < sensors; ++i) {
        auto port = std::make_unique<qv::sim::PtyPort>();
        if (auto error = port->open()) {
            std::fprintf(stderr, "qv_bench_fleet: %s\n", error->c_str());
            return 1;
        }
        const fs::path link =
            fs::path(root) / std::to_string(i) / "config" / "Tavrin QV-5300" / "ports" / "com1";
        bool stale = false;
        if (auto error = qv::sim::createPortLink(link, port->slavePath(), stale)) {
            std::fprintf(stderr, "qv_bench_fleet: %s\n", error->c_str());
            return 1;
        }
        links.push_back(link);
        ports.push_back(std::move(port));
    }
    std::printf("{\"links\": %d}\n", sensors);
    std::fflush(stdout);

    Shared shared;
    shared.prefixBase = prefixBase;
    shared.sent.assign(sensors, std::vector<long long>(kMaxRecords, 0));
    shared.seen.assign(sensors, std::vector<bool>(kMaxRecords, false));
    shared.arrivals.assign(sensors, {});
    shared.firstCounted = static_cast<int>(warmup);
    mosquitto_lib_init();
    mosquitto* client = mosquitto_new("qv-bench-fleet", true, &shared);
    mosquitto_connect_callback_set(client, onConnect);
    mosquitto_subscribe_callback_set(client, onSubscribe);
    mosquitto_message_callback_set(client, onMessage);
    mosquitto_username_pw_set(client, user.c_str(), password.c_str());
    // Its acknowledgements go out at once, not held back for the broker's (Nagle).
    mosquitto_int_option(client, MOSQ_OPT_TCP_NODELAY, 1);
    mosquitto_connect_async(client, "127.0.0.1", brokerPort, 30);
    mosquitto_loop_start(client);

    const auto readersBy = Clock::now() + std::chrono::seconds{60};
    auto everyReader = [&] {
        return std::all_of(ports.begin(), ports.end(), [](auto& p) { return p->hasReader(); });
    };
    while (!gStop && Clock::now() < readersBy && !(everyReader() && shared.subscribed > 0))
        std::this_thread::sleep_for(std::chrono::milliseconds{50});
    int readers = 0;
    for (auto& p : ports)
        readers += p->hasReader() ? 1 : 0;

    // Sensor i sends at start + k s + i/N s.
    const auto start = Clock::now();
    std::printf("{\"sending\": %d}\n", readers);
    std::fflush(stdout);
    long long sentCount = 0, countedSent = 0;
    std::vector<long long> sendTimes; // ns, in sending order: their gaps show the spread
    for (int k = 0; k < records && !gStop; ++k) {
        for (int i = 0; i < sensors && !gStop; ++i) {
            std::this_thread::sleep_until(start + k * kPeriod + kPeriod * i / sensors);
            const std::string bytes = qv::sim::formatRecord({kBaseTenths + k, 200 + i % 100});
            const long long at = nowNs();
            {
                std::lock_guard lock(shared.mutex);
                shared.sent[i][k] = at;
            }
            sendTimes.push_back(at);
            if (ports[i]->send(bytes) == qv::sim::PtyPort::SendResult::Sent) {
                ++sentCount;
                if (k >= shared.firstCounted)
                    ++countedSent;
            }
        }
    }
    const double sendingSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    // The last records' way through: a bounded wait for the stragglers.
    const auto drainBy = Clock::now() + std::chrono::seconds{5};
    while (!gStop && Clock::now() < drainBy) {
        {
            std::lock_guard lock(shared.mutex);
            if (static_cast<long long>(shared.latencies.size()) >= countedSent)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds{50});
    }
    mosquitto_disconnect(client);
    mosquitto_loop_stop(client, false);
    mosquitto_destroy(client);
    mosquitto_lib_cleanup();

    std::lock_guard lock(shared.mutex);
    long long outOfOrder = 0, delivered = 0;
    for (const auto& a : shared.arrivals) {
        delivered += static_cast<long long>(a.size());
        for (std::size_t j = 1; j < a.size(); ++j)
            outOfOrder += a[j] < a[j - 1] ? 1 : 0;
    }
    std::vector<double> gapsUs;
    for (std::size_t j = 1; j < sendTimes.size(); ++j)
        gapsUs.push_back(static_cast<double>(sendTimes[j] - sendTimes[j - 1]) / 1000.0);
    std::vector<double> us;
    for (long long ns : shared.latencies)
        us.push_back(static_cast<double>(ns) / 1000.0);
    using qv::bench::percentile;
    std::printf("{\"sensors\": %d, \"readers\": %d, \"seconds\": %.3f, \"sent\": %lld, "
                "\"counted_sent\": %lld, \"counted_received\": %zu, \"delivered\": %lld, "
                "\"per_second\": %.2f, \"duplicates\": %lld, \"out_of_order\": %lld, "
                "\"unmatched\": %lld, \"p50_us\": %.1f, \"p99_us\": %.1f, \"max_us\": %.1f, "
                "\"send_gap_median_us\": %.1f}\n",
                sensors, readers, sendingSeconds, sentCount, countedSent, us.size(), delivered,
                static_cast<double>(us.size()) / std::max(seconds, 1.0), shared.duplicates,
                outOfOrder, shared.unmatched, percentile(us, 50), percentile(us, 99),
                percentile(us, 100), percentile(gapsUs, 50));
    for (std::size_t i = 0; i < links.size(); ++i)
        qv::sim::removePortLink(links[i], ports[i]->slavePath());
    return 0;
}
