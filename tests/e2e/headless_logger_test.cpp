// qv5300-logd as a service starts it: its own process, a private HOME and settings folder
// whose port folder holds the simulator's COM1, publishing to a real Mosquitto. It logs
// from the start, publishes every reading it receives, and ends cleanly on SIGTERM.

#include "publish/topics.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"
#include "tests/e2e/e2e_support.h"
#include "tests/publish/test_broker.h"
#include "tests/support/private_home.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <charconv>
#include <regex>

namespace qv::e2e {
namespace {

using qv::test::sleepBriefly;
using qv::test::waitUntil;

test::PrivateHome* const kPrivateHome = [] {
    auto* env = new test::PrivateHome;
    testing::AddGlobalTestEnvironment(env);
    return env;
}();

// A JSON number, whatever the process's locale (Qt sets the user's, which may use a
// decimal comma).
double jsonNumber(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The pairs of the state messages' JSON payloads.
std::vector<Pair> statePairs(const std::vector<std::string>& payloads) {
    static const std::regex kState(
        R"(^\{"time":"[^"]+","humidity":(-?[0-9.]+),"temperature":(-?[0-9.]+)\}$)");
    std::vector<Pair> pairs;
    for (const std::string& payload : payloads) {
        std::smatch match;
        if (!std::regex_match(payload, match, kState)) {
            ADD_FAILURE() << "malformed state message: " << payload;
            continue;
        }
        pairs.push_back({tenths(jsonNumber(match[1])), tenths(jsonNumber(match[2]))});
    }
    return pairs;
}

TEST(E2eHeadlessLogger, LogsAndPublishesEveryReadingAndEndsCleanlyOnSigterm) {
    constexpr int kRecords = 6; // half a second apart, logged once a second
    const std::string prefix = "qv-test/logd";
    test::TempFolder work{"qv-logd"};
    const fs::path ports = kPrivateHome->config / kCompanyKey / "ports";
    const fs::path logPath = work / "tavrin.log";
    ASSERT_EQ(qv::portsFolder(), ports);
    fs::create_directories(ports);

    test::TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    test::TestSubscriber subscriber(broker, "qv-test-reader", {publish::stateTopic(prefix)});
    ASSERT_TRUE(waitUntil([&] { return subscriber.subscribed(); }, 10s, sleepBriefly));

    SettingsStore store(kApplicationName);
    store.SetRegistryKey(kCompanyKey);
    ASSERT_TRUE(store.WriteProfileInt(nullptr, kComPortEntry, 1));
    ASSERT_TRUE(store.WriteProfileInt(nullptr, kLogIntervalEntry, 1));
    ASSERT_TRUE(store.WriteProfileString(nullptr, kLogFileNameEntry, logPath.string()));
    ASSERT_TRUE(savePublishSettings(
        store, {true, "mqtt://127.0.0.1:" + std::to_string(broker.address().port), broker.user(),
                broker.password(), prefix, true}));

    Simulator sim(ports, 1, 500, work / "records.log", work / "sim",
                  {"--count", std::to_string(kRecords)});
    ASSERT_TRUE(sim.plugged()) << sim.out();
    // Without its private port folder the program would open this machine's COM1.
    ASSERT_TRUE(fs::is_directory(kPrivateHome->config / "Tavrin QV-5300" / "ports"));
    ChildProcess program(
        {QV_HEADLESS_PATH},
        {{"HOME", kPrivateHome->home.string()}, {"XDG_CONFIG_HOME", kPrivateHome->config.string()}},
        work / "program");
    ASSERT_TRUE(program.started());

    EXPECT_TRUE(waitUntil(
        [&] {
            return subscriber.payloads(publish::stateTopic(prefix)).size() >= kRecords ||
                   program.ended();
        },
        30s, sleepBriefly))
        << sim.out() << program.err();
    program.signal(SIGTERM);
    EXPECT_EQ(program.waitForExit(10s), 0) << program.describeEnd() << "\n" << program.err();

    const std::vector<Pair> sent = recordsLogPairs(work / "records.log");
    EXPECT_EQ(sent.size(), std::size_t{kRecords}) << sim.out();
    // Every reading once, in order, on the broker; the log's one a second among them.
    EXPECT_EQ(statePairs(subscriber.payloads(publish::stateTopic(prefix))), sent);
    const std::vector<Pair> logged = programLogPairs(logPath);
    EXPECT_GE(logged.size(), std::size_t{2}) << program.err();
    EXPECT_TRUE(isSubsequence(logged, sent)) << testing::PrintToString(logged);
    EXPECT_NE(program.err().find("QV-5300 - publishing"), std::string::npos) << program.err();
}

} // namespace
} // namespace qv::e2e
