// The publish link: nothing at all while off; values that cannot work give the Failed
// text without a publisher; each sensor's spool is its own folder; the same values keep
// the publisher running. No broker: port 1 of this machine refuses every connection.

#include "app/publish_link.h"

#include "publish/broker_address.h"
#include "publish/topics.h"
#include "settings/spool_root.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/named_row.h"
#include "tests/support/private_home.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv::test {
namespace {

using namespace std::chrono_literals;

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new PrivateHome);

constexpr char kRefusingBroker[] = "mqtt://127.0.0.1:1";

std::size_t threadCount() {
    const auto tasks = std::filesystem::directory_iterator("/proc/self/task");
    return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

class PublishLinkTest : public testing::Test, public WindowMessageTarget {
protected:
    void SetUp() override {
        std::filesystem::remove_all(spoolRoot());
        window_.target = this;
    }
    void onTimer(int) override {}
    void onMessage(std::uint32_t message, std::intptr_t, std::intptr_t) override {
        if (message == WM_PUBLISH_STATUS)
            link_.onStatusMessage();
    }
    bool statusBecomes(const std::string& start) {
        return waitUntil([&] { return link_.statusText().starts_with(start); }, 10s,
                         [&] {
                             window_.pump();
                             sleepBriefly();
                         });
    }

    FakeWindowServices window_;
    FixedClock clock_;
    int changes_ = 0;
    PublishLink link_{window_, clock_, [this] { ++changes_; }};
};

TEST_F(PublishLinkTest, OffMakesNoPublisherNoThreadAndNoFolder) {
    const std::size_t threads = threadCount();
    link_.apply({false, kRefusingBroker, "", "", "qvtest/off", true}, 3);
    link_.submit(Reading{});
    EXPECT_FALSE(link_.active());
    EXPECT_EQ(link_.statusText(), "");
    EXPECT_EQ(threadCount(), threads);
    EXPECT_FALSE(std::filesystem::exists(spoolRoot()));
    EXPECT_EQ(changes_, 0);
}

struct FailedRow : NamedRow {
    const char* broker;
    const char* prefix;
    std::string reason;
};

class PublishLinkFailed : public PublishLinkTest, public testing::WithParamInterface<FailedRow> {};

const FailedRow kFailedRows[] = {
    {{"NoBrokerAddress"}, "", "qvtest/a", publish::parseBrokerAddress("").error},
    {{"PrefixWithWildcard"}, kRefusingBroker, "qvtest/#", publish::topicPrefixError("qvtest/#")},
};

TEST_P(PublishLinkFailed, GivesTheFailedTextWithoutPublisherOrFolder) {
    ASSERT_FALSE(GetParam().reason.empty());
    link_.apply({true, GetParam().broker, "", "", GetParam().prefix, true}, 3);
    EXPECT_FALSE(link_.active());
    EXPECT_EQ(link_.statusText(), "not publishing: " + GetParam().reason);
    EXPECT_EQ(changes_, 1);
    EXPECT_FALSE(std::filesystem::exists(spoolRoot()));
}

INSTANTIATE_TEST_SUITE_P(Rows, PublishLinkFailed, testing::ValuesIn(kFailedRows), RowName{});

TEST_F(PublishLinkTest, EachSensorSpoolsInAFolderNamedAfterItsPrefix) {
    const std::string stored = "qvtest/lab one";
    link_.apply({true, kRefusingBroker, "", "unsent", stored, true}, 3);
    ASSERT_TRUE(link_.config());
    EXPECT_EQ(link_.config()->spoolFolder, spoolRoot() / publish::sensorId(stored));
    EXPECT_EQ(link_.config()->password, ""); // no user name: no password either
    EXPECT_TRUE(statusBecomes("broker unreachable: "));
    EXPECT_TRUE(std::filesystem::is_directory(link_.config()->spoolFolder));

    // No stored prefix: the port's default one.
    link_.apply({true, kRefusingBroker, "", "", "", true}, 12);
    const std::string prefix = publish::defaultTopicPrefix(publish::localHostName(), 12);
    ASSERT_TRUE(link_.config());
    EXPECT_EQ(link_.config()->topicPrefix, prefix);
    EXPECT_EQ(link_.config()->spoolFolder, spoolRoot() / publish::sensorId(prefix));
}

TEST_F(PublishLinkTest, TheSameValuesKeepThePublisherRunningAndOffStopsIt) {
    const PublishSettings settings{true, kRefusingBroker, "", "", "qvtest/same", true};
    link_.apply(settings, 3);
    ASSERT_TRUE(statusBecomes("broker unreachable: "));
    const int changes = changes_;
    link_.apply(settings, 3); // a new publisher would start "connecting" again
    EXPECT_TRUE(link_.statusText().starts_with("broker unreachable: "));
    EXPECT_EQ(changes_, changes);

    link_.apply({false, kRefusingBroker, "", "", "qvtest/same", true}, 3);
    EXPECT_FALSE(link_.active());
    EXPECT_EQ(link_.statusText(), "");
    EXPECT_EQ(changes_, changes + 1);
}

} // namespace
} // namespace qv::test
