// The publisher while the broker is away or hangs (Linux: the test stops the broker).

#include "publish/topics.h"
#include "tests/publish/publisher_fixture.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

using namespace std::chrono_literals;
using publish::Publisher;
using State = PublisherStatus::State;

// The broker away for 30 s, a reading every 100 ms meanwhile. By then the reconnection
// pauses have grown close to their bound (30 s), so the readings may wait that long after
// the broker is back.
constexpr auto kOutage = 30s;
constexpr auto kReadingEvery = 100ms;
constexpr auto kBackWithin = 45s;

TEST(PublisherOutage, ReadingsTakenWhileTheBrokerIsAwayArriveInOrderWhenItReturns) {
    TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    const std::string prefix = "qvtest/outage";
    const auto state = publish::stateTopic(prefix);
    // A kept session: the broker holds what is published for it while it reconnects.
    TestSubscriber live(broker, "qvtest-outage-live", {state}, true);
    ASSERT_TRUE(waitUntil([&] { return live.subscribed(); }, 10s, sleepBriefly));
    TempFolder spool("qv-spool");
    FixedClock clock;
    StatusLog log;
    Publisher publisher(configFor(broker, prefix, spool.path()), clock, log.sink());
    // Nothing in flight to the reader when the broker stops: a message it had not yet
    // acknowledged would rightly come twice (at least once, from the broker's store).
    ASSERT_TRUE(waitUntil([&] { return log.seen(State::Publishing); }, 10s, sleepBriefly));
    std::vector<std::string> expected;

    ASSERT_TRUE(broker.stop());
    ASSERT_TRUE(
        waitUntil([&] { return log.last().state == State::Unreachable; }, 10s, sleepBriefly));
    // The outage's length is the scenario, not a wait for a result: readings keep coming
    // for all of it.
    const auto back = std::chrono::steady_clock::now() + kOutage;
    auto next = std::chrono::steady_clock::now();
    waitUntil([&] { return std::chrono::steady_clock::now() >= back; }, kOutage + 1s,
              [&] {
                  if (std::chrono::steady_clock::now() >= next) {
                      const auto one = submitReadings(publisher, clock, prefix,
                                                      static_cast<int>(expected.size()), 1);
                      expected.push_back(one.front());
                      next += kReadingEvery;
                  }
                  sleepBriefly();
              });
    ASSERT_TRUE(broker.restart());
    ASSERT_TRUE(waitUntil([&] { return live.payloads(state).size() >= expected.size(); },
                          kBackWithin, sleepBriefly))
        << live.payloads(state).size() << " of " << expected.size();
    EXPECT_EQ(live.payloads(state), expected);
    EXPECT_TRUE(waitUntil([&] { return publisher.waiting() == 0; }, 10s, sleepBriefly));
}

TEST(PublisherOutage, StopEndsCleanlyWhileTheBrokerHangsAndKeepsWhatItDidNotTake) {
    TestBroker broker;
    ASSERT_TRUE(broker.started()) << broker.failure();
    TempFolder spool("qv-spool");
    FixedClock clock;
    StatusLog log;
    Publisher publisher(configFor(broker, "qvtest/hang", spool.path()), clock, log.sink());
    ASSERT_TRUE(waitUntil([&] { return log.seen(State::Publishing); }, 10s, sleepBriefly));
    broker.pause();
    submitReadings(publisher, clock, "qvtest/hang", 0, 1);
    publisher.stop(publish::kPublisherStopWait);
    // Ended, not abandoned: the spool's folder is free, and holds the reading.
    std::string error;
    const auto kept = publish::Spool::open(spool.path(), {}, error);
    ASSERT_NE(kept, nullptr) << error;
    EXPECT_EQ(kept->size(), 1u);
}

} // namespace
} // namespace qv::test
