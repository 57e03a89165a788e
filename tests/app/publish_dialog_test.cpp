// The publish dialog's logic over fake controls: what it shows, what OK takes or refuses.

#include "app/publish_dialog.h"
#include "app/res/dialog_templates.h"
#include "tests/support/fake_dialog_controls.h"
#include "tests/support/fake_window_services.h"
#include "tests/support/named_row.h"

#include <gtest/gtest.h>

namespace {

using namespace qv::ctl;
using Texts = std::map<int, std::string>;

const qv::PublishSettings kStored{true, "mqtt://old", "ann", "secret", "", false};

class PublishDialogLogic : public testing::Test {
protected:
    void open(const char* status) {
        dialog_.values() = {kStored, "qv5300/lab/com3", status};
        dialog_.OnInitDialog(controls_);
    }
    qv::test::FakeWindowServices window_;
    qv::PublishDialog dialog_{window_};
    qv::test::FakeDialogControls controls_;
};

TEST_F(PublishDialogLogic, ShowsTheValuesWithTheDefaultPrefixAsCue) {
    open("");
    EXPECT_EQ(controls_.texts, (Texts{{kBroker, "mqtt://old"},
                                      {kMqttUser, "ann"},
                                      {kMqttPassword, "secret"},
                                      {kTopicPrefix, ""},
                                      {kPublishStatus, "not publishing"}}));
    EXPECT_EQ(controls_.cues, (Texts{{kTopicPrefix, "qv5300/lab/com3"}}));
    EXPECT_EQ(controls_.checks,
              (std::map<int, int>{{kPublishOn, qv::kChecked}, {kDiscovery, qv::kUnchecked}}));
    open("publishing");
    EXPECT_EQ(controls_.text(kPublishStatus), "publishing");
}

struct OkRow : qv::test::NamedRow {
    bool on;
    const char *broker, *prefix;
    const char* box; // empty: taken
    int field;       // refused: the field with the focus, its text selected
};

class PublishOk : public PublishDialogLogic, public testing::WithParamInterface<OkRow> {};

TEST_P(PublishOk, TakesTheValuesOrRefusesWithABoxOnTheField) {
    const OkRow& row = GetParam();
    open("");
    controls_.checks[kPublishOn] = row.on ? qv::kChecked : qv::kUnchecked;
    controls_.texts[kBroker] = row.broker;
    controls_.texts[kTopicPrefix] = row.prefix;
    const bool refused = *row.box != '\0';
    EXPECT_EQ(dialog_.OnOK(controls_), !refused);
    const qv::PublishSettings typed{row.on, row.broker, "ann", "secret", row.prefix, false};
    EXPECT_EQ(dialog_.values().settings, refused ? kStored : typed);
    EXPECT_EQ(window_.boxes.empty() ? "" : window_.boxes[0].text, row.box);
    EXPECT_EQ(std::pair(controls_.focused, controls_.focusSelectedAll),
              std::pair(row.field, refused));
}

// clang-format off
const OkRow kOks[] = {
    {"OffWithoutBroker", false, "", "", "", 0},
    {"OnWithTlsBrokerAndOwnPrefix", true, "mqtts://broker.lan:8884", "lab/qv", "", 0},
    {"OnWithoutBroker", true, "", "", "Enter the broker's address to publish readings.", kBroker},
    {"BrokerWithoutSchemeEvenWhileOff", false, "broker.lan", "",
     "The broker address cannot be used: the address starts with mqtt:// or mqtts://.", kBroker},
    {"BrokerBeforePrefix", true, "mqtt://a/b", "lab/#",
     "The broker address cannot be used: the address has no path: mqtt://host[:port].", kBroker},
    {"PrefixWithWildcard", true, "mqtt://b", "lab/+",
     "The topic prefix cannot be used: a topic prefix cannot hold + or #.", kTopicPrefix},
    {"PrefixEndingInSlashEvenWhileOff", false, "", "lab/",
     "The topic prefix cannot be used: a topic prefix does not end with /.", kTopicPrefix},
};
// clang-format on
INSTANTIATE_TEST_SUITE_P(Rows, PublishOk, testing::ValuesIn(kOks), qv::test::RowName{});

} // namespace
