// What the broker gets: topics and messages, in the local time of the process.

#include "publish/messages.h"
#include "publish/topics.h"
#include "tests/support/named_row.h"
#include "tests/support/time_zone.h"

#include <gtest/gtest.h>

namespace qv::publish {
namespace {

TEST(Topics, DefaultPrefixAndIdsAreFitForTopicsAndHomeAssistant) {
    EXPECT_EQ(defaultTopicPrefix("lab-pc", 3), "qv5300/lab-pc/com3");
    EXPECT_EQ(defaultTopicPrefix("a/b+c#d", 12), "qv5300/a_b_c_d/com12");
    EXPECT_EQ(defaultTopicPrefix("", 1), "qv5300/unknown/com1");
    EXPECT_EQ(sensorId("qv5300/Lab.1 (east)/com3"), "qv5300_Lab_1__east__com3");
    EXPECT_EQ(discoveryTopic("qv5300/lab/com3", "humidity"),
              "homeassistant/sensor/qv5300_lab_com3/humidity/config");
    EXPECT_EQ(topicPrefixError("qv5300/lab/com3"), "");
    for (const char* bad : {"", "a/+/b", "a/#", "a/b/"})
        EXPECT_NE(topicPrefixError(bad), "") << bad;
    EXPECT_NE(topicPrefixError(std::string_view("a\0b", 3)), "");
    EXPECT_FALSE(localHostName().empty());
}

struct TimeRow : test::NamedRow {
    const char* zone;
    std::int64_t when;
    const char* text;
};

class StateTimes : public testing::TestWithParam<TimeRow> {};

// 2026-12-09 09:15:02 UTC; 2026-07-01 12:00:00 UTC; 2026-01-01 02:00:00 UTC.
constexpr std::int64_t kDecember9 = 1796807702, kJuly1 = 1782907200, kNewYear = 1767232800;

TEST_P(StateTimes, AreLocalWithTheirOffset) {
    const test::ScopedTimeZone zone(GetParam().zone);
    const Message message = stateMessage("p", {GetParam().when, 45.3f, -12.5f});
    EXPECT_EQ(message.topic, "p/state");
    EXPECT_FALSE(message.retain);
    EXPECT_EQ(message.payload, std::string("{\"time\":\"") + GetParam().text +
                                   "\",\"humidity\":45.3,\"temperature\":-12.5}");
}

INSTANTIATE_TEST_SUITE_P(
    Zones, StateTimes,
    testing::Values(
        TimeRow{{"Utc"}, "UTC0", kDecember9, "2026-12-09T09:15:02+00:00"},
        TimeRow{
            {"CetWinter"}, "CET-1CEST,M3.5.0,M10.5.0/3", kDecember9, "2026-12-09T10:15:02+01:00"},
        TimeRow{{"CestSummer"}, "CET-1CEST,M3.5.0,M10.5.0/3", kJuly1, "2026-07-01T14:00:00+02:00"},
        TimeRow{{"WestOfUtcDayBefore"},
                "EST5EDT,M3.2.0,M11.1.0",
                kNewYear,
                "2025-12-31T21:00:00-05:00"},
        TimeRow{{"HalfHourEast"}, "IST-5:30", kDecember9, "2026-12-09T14:45:02+05:30"}),
    test::RowName{});

TEST(Messages, AvailabilityAndDiscoveryAreRetainedAndNameOneDevice) {
    EXPECT_EQ(availabilityMessage("p/q", true).payload, "online");
    EXPECT_EQ(availabilityMessage("p/q", false).topic, "p/q/availability");
    EXPECT_TRUE(availabilityMessage("p/q", false).retain);
    EXPECT_EQ(jsonString("a\"b\\c\n"), "\"a\\\"b\\\\c\\u000a\"");

    const auto configs = discoveryMessages("qv5300/lab/com3");
    ASSERT_EQ(configs.size(), 2u);
    const char* quantities[] = {"humidity", "temperature"};
    const char* units[] = {"%", "\xC2\xB0"
                                "C"};
    for (int i = 0; i < 2; ++i) {
        const std::string q = quantities[i];
        EXPECT_EQ(configs[i].topic, "homeassistant/sensor/qv5300_lab_com3/" + q + "/config");
        EXPECT_TRUE(configs[i].retain);
        for (const std::string& part :
             {"\"device_class\":\"" + q + "\"",
              "\"unit_of_measurement\":\"" + std::string(units[i]),
              std::string("\"state_class\":\"measurement\""),
              "\"unique_id\":\"qv5300_lab_com3_" + q + "\"",
              "\"value_template\":\"{{ value_json." + q + " }}\"",
              std::string("\"state_topic\":\"qv5300/lab/com3/state\""),
              std::string("\"availability_topic\":\"qv5300/lab/com3/availability\""),
              std::string(
                  "\"device\":{\"identifiers\":[\"qv5300_lab_com3\"],\"name\":\"Tavrin QV-5300\"")})
            EXPECT_NE(configs[i].payload.find(part), std::string::npos) << part;
    }
}

} // namespace
} // namespace qv::publish
