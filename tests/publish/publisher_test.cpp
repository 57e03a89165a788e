// The publisher against a real Mosquitto broker (Linux and, under Wine, Windows).

#include "publish/topics.h"
#include "tests/publish/publisher_fixture.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using publish::Publisher;
using State = PublisherStatus::State;

TEST(Publisher, EachReadingArrivesOnceInOrderAndTheDeviceConfigsAreRetained) {
    TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    const std::string prefix = "qvtest/once";
    TestSubscriber live(broker, "qvtest-once-live", {prefix + "/#"});
    ASSERT_TRUE(waitUntil([&] { return live.subscribed(); }, 10s, sleepBriefly));

    TempFolder spool("qv-spool");
    FixedClock clock;
    StatusLog log;
    auto publisher =
        std::make_unique<Publisher>(configFor(broker, prefix, spool.path()), clock, log.sink());
    const auto expected = submitReadings(*publisher, clock, prefix, 0, 40);
    const auto state = publish::stateTopic(prefix);
    ASSERT_TRUE(waitUntil([&] { return live.payloads(state).size() >= expected.size(); }, 20s,
                          sleepBriefly))
        << describe(log.last());
    EXPECT_EQ(live.payloads(state), expected);
    EXPECT_TRUE(log.seen(State::Publishing));
    EXPECT_TRUE(waitUntil([&] { return publisher->waiting() == 0; }, 10s, sleepBriefly));

    // Who subscribes later finds the two configs and "online", retained.
    const auto availability = publish::availabilityTopic(prefix);
    TestSubscriber late(broker, "qvtest-once-late",
                        {"homeassistant/sensor/" + publish::sensorId(prefix) + "/#", availability});
    std::vector<Received> retained{{availability, "online", true}};
    for (const auto& config : publish::discoveryMessages(prefix))
        retained.push_back({config.topic, config.payload, true});
    ASSERT_TRUE(
        waitUntil([&] { return late.received().size() >= retained.size(); }, 10s, sleepBriefly));
    EXPECT_THAT(late.received(), testing::UnorderedElementsAreArray(retained));

    publisher.reset();
    ASSERT_TRUE(
        waitUntil([&] { return live.payloads(availability).size() >= 2; }, 10s, sleepBriefly));
    EXPECT_EQ(live.payloads(availability), (std::vector<std::string>{"online", "offline"}));
}

struct TroubleRow : NamedRow {
    const char* password; // nullptr: the broker's own
    int port;             // 0: the broker's; 1: nobody listens there
    const char* prefix;
    bool spoolIsAFile;
    State state;
    const char* reason;
};

class Trouble : public testing::TestWithParam<TroubleRow> {};

TEST_P(Trouble, TheStatusSaysWhyNothingIsPublished) {
    const TroubleRow& row = GetParam();
    TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    TempFolder folder("qv-spool");
    auto config = configFor(broker, row.prefix, folder / "spool");
    if (row.password != nullptr)
        config.password = row.password;
    if (row.port != 0)
        config.broker.port = row.port;
    if (row.spoolIsAFile)
        std::ofstream(config.spoolFolder) << "x";
    FixedClock clock;
    StatusLog log;
    Publisher publisher(config, clock, log.sink());
    submitReadings(publisher, clock, row.prefix, 0, 1);
    ASSERT_TRUE(waitUntil([&] { return log.seen(row.state); }, 10s, sleepBriefly))
        << describe(log.last());
    EXPECT_THAT(describe(log.last()), testing::HasSubstr(row.reason));
    EXPECT_FALSE(log.last().reason.empty());
    EXPECT_FALSE(log.seen(State::Publishing));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Trouble,
    testing::Values(
        TroubleRow{
            {"WrongPassword"}, "wrong", 0, "qvtest/pw", false, State::Refused, "broker refused: "},
        TroubleRow{{"NobodyListens"},
                   nullptr,
                   1,
                   "qvtest/port",
                   false,
                   State::Unreachable,
                   "broker unreachable: "},
        TroubleRow{{"WildcardInPrefix"},
                   nullptr,
                   0,
                   "qvtest/+",
                   false,
                   State::Failed,
                   "cannot hold + or #"},
        TroubleRow{{"SpoolFolderIsAFile"},
                   nullptr,
                   0,
                   "qvtest/file",
                   true,
                   State::Failed,
                   "cannot use the folder"}),
    RowName{});

TEST(Publisher, ARestartSendsWhatTheSpoolKeptBeforeNewReadings) {
    TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    const std::string prefix = "qvtest/restart";
    const auto state = publish::stateTopic(prefix);
    TestSubscriber live(broker, "qvtest-restart-live", {state});
    ASSERT_TRUE(waitUntil([&] { return live.subscribed(); }, 10s, sleepBriefly));
    TempFolder spool("qv-spool");
    FixedClock clock;
    std::vector<std::string> expected;
    {
        auto away = configFor(broker, prefix, spool.path());
        away.broker.port = 1;
        StatusLog log;
        Publisher publisher(away, clock, log.sink());
        expected = submitReadings(publisher, clock, prefix, 0, 10);
        ASSERT_TRUE(waitUntil([&] { return log.seen(State::Unreachable); }, 10s, sleepBriefly));
        ASSERT_TRUE(publisher.stop(publish::kPublisherStopWait));
    }
    Publisher publisher(configFor(broker, prefix, spool.path()), clock, {});
    const auto later = submitReadings(publisher, clock, prefix, 10, 5);
    expected.insert(expected.end(), later.begin(), later.end());
    ASSERT_TRUE(waitUntil([&] { return live.payloads(state).size() >= expected.size(); }, 20s,
                          sleepBriefly));
    EXPECT_EQ(live.payloads(state), expected);
}

} // namespace
} // namespace qv::test
