// The main window publishing to a real Mosquitto (tests/publish/test_broker.sh): every
// reading reaches the broker, in order, while the log gets each as before, and a broker that
// refuses or cannot be reached shows in the caption while logging goes on.

#include "publish/topics.h"
#include "settings/publish_settings.h"
#include "tests/publish/test_broker.h"
#include "tests/support/files.h"
#include "tests/support/main_window_fixture.h"
#include "tests/support/named_row.h"
#include "tests/support/private_home.h"
#include "tests/support/ui_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace qv::test {
namespace {

using namespace std::chrono_literals;

[[maybe_unused]] testing::Environment* const kPrivateHome =
    testing::AddGlobalTestEnvironment(new PrivateHome);

constexpr char kPrefix[] = "qvtest/window";

class MainWindowPublishTest : public MainWindowFixture {
protected:
    MainWindowPublishTest() : MainWindowFixture(QStringLiteral("QV-5300-Publish-")) {}

    void store(const std::string& broker, const std::string& password) {
        ASSERT_TRUE(
            savePublishSettings(*store_, {true, broker, broker_.user(), password, kPrefix, false}));
    }
    std::string brokerText() const {
        return "mqtt://127.0.0.1:" + std::to_string(broker_.address().port);
    }
    std::string caption() const { return dlg_->windowTitle().toStdString(); }

    TestBroker broker_;
};

// "MM/DD/YYYY\thh:mm:ss\tH\tT" and {"time":"YYYY-MM-DDThh:mm:ss+hh:mm","humidity":H,...}
// as the same "YYYY-MM-DDThh:mm:ss H T".
std::string fromLogLine(const std::string& line) {
    if (line.size() < 20)
        return line;
    std::string values = line.substr(20);
    std::replace(values.begin(), values.end(), '\t', ' ');
    if (!values.empty() && values.back() == '\r')
        values.pop_back();
    return line.substr(6, 4) + "-" + line.substr(0, 2) + "-" + line.substr(3, 2) + "T" +
           line.substr(11, 8) + " " + values;
}
std::string fromPayload(const std::string& json) {
    const auto after = [&](const std::string& key, char end) {
        const auto from = json.find(key);
        if (from == std::string::npos)
            return std::string("?");
        const auto start = from + key.size();
        return json.substr(start, json.find(end, start) - start);
    };
    return after("\"time\":\"", '"').substr(0, 19) + " " + after("\"humidity\":", ',') + " " +
           after("\"temperature\":", '}');
}

TEST_F(MainWindowPublishTest, ReadingsReachTheBrokerAndTheLogAlike) {
    ASSERT_TRUE(broker_.started()) << broker_.failure();
    const std::string state = publish::stateTopic(kPrefix);
    TestSubscriber reader(broker_, "qvtest-window", {state});
    ASSERT_TRUE(waitUntil([&] { return reader.subscribed(); }));
    store(brokerText(), broker_.password());
    open(nullptr, true);
    EXPECT_TRUE(waitUntil([&] { return caption() == "QV-5300 - publishing"; }));

    std::vector<std::string> logged, published;
    const bool same = waitUntil([&] {
        logged.clear();
        published.clear();
        for (const std::string& line : readLines(logPath_.toStdString()))
            logged.push_back(fromLogLine(line));
        for (const std::string& payload : reader.payloads(state))
            published.push_back(fromPayload(payload));
        // Readings shown before the log took its first one are published too.
        return logged.size() >= 3 && published.size() >= logged.size() &&
               std::equal(logged.begin(), logged.end(), published.end() - logged.size());
    });
    EXPECT_TRUE(same) << testing::PrintToString(logged) << "\n"
                      << testing::PrintToString(published);
}

struct TroubleRow : NamedRow {
    bool wrongPort;
    const char* password; // null: the broker's
    const char* caption;  // how the caption starts
};

class MainWindowPublishTrouble : public MainWindowPublishTest,
                                 public testing::WithParamInterface<TroubleRow> {};

const TroubleRow kTroubleRows[] = {
    {{"WrongPassword"}, false, "not-the-password", "QV-5300 - broker refused: "},
    {{"UnreachableHost"}, true, nullptr, "QV-5300 - broker unreachable: "},
};

TEST_P(MainWindowPublishTrouble, CaptionStatesTheErrorWhileLoggingGoesOn) {
    ASSERT_TRUE(broker_.started()) << broker_.failure();
    const TroubleRow& row = GetParam();
    store(row.wrongPort ? "mqtt://127.0.0.1:1" : brokerText(),
          row.password ? row.password : broker_.password());
    open(nullptr, true);
    ASSERT_TRUE(waitUntil([&] { return caption().starts_with(row.caption); })) << caption();
    const int logged = dlg_->log().recordCount();
    EXPECT_TRUE(waitUntil([&] { return dlg_->log().recordCount() >= logged + 2; }));
    EXPECT_TRUE(caption().starts_with(row.caption)) << caption();
}

INSTANTIATE_TEST_SUITE_P(Rows, MainWindowPublishTrouble, testing::ValuesIn(kTroubleRows),
                         RowName{});

} // namespace
} // namespace qv::test
