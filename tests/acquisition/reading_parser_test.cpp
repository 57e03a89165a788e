#include "acquisition/reading_parser.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

namespace qv {
namespace {

struct Collector {
    ReadingParser parser;
    std::vector<Reading> readings;
    Collector() {
        parser.setSink([this](const Reading& r) { readings.push_back(r); });
    }
    void feed(const std::string& bytes) {
        parser.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    void feedOneByOne(const std::string& bytes) {
        for (char c : bytes) {
            const auto b = static_cast<std::uint8_t>(c);
            parser.feed(&b, 1);
        }
    }
};

struct Row {
    const char* name;
    std::string bytes;
    bool accepted;
    std::string humidityText, temperatureText;
    float humidity, temperature;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class RecordFormat : public testing::TestWithParam<Row> {};

TEST_P(RecordFormat, AcceptsOrDropsAsTheRecordRulesSay) {
    const Row& row = GetParam();
    for (bool oneByOne : {false, true}) {
        Collector c;
        oneByOne ? c.feedOneByOne(row.bytes) : c.feed(row.bytes);
        ASSERT_EQ(c.readings.size(), row.accepted ? 1u : 0u)
            << (oneByOne ? "byte by byte" : "block");
        EXPECT_EQ(c.parser.state(), 0);
        if (!row.accepted)
            continue;
        EXPECT_EQ(c.readings[0].humidityText, row.humidityText);
        EXPECT_EQ(c.readings[0].temperatureText, row.temperatureText);
        EXPECT_FLOAT_EQ(c.readings[0].humidity, row.humidity);
        EXPECT_FLOAT_EQ(c.readings[0].temperature, row.temperature);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Records, RecordFormat,
    testing::Values(
        Row{"Plain", "H 45.3 T 23.1\r", true, " 45.3", " 23.1", 45.3f, 23.1f},
        Row{"NoGap", "H 45.3T-12.5\r", true, " 45.3", "-12.5", 45.3f, -12.5f},
        Row{"WideGaps", "H 45.3   T 23.1   \r", true, " 45.3", " 23.1", 45.3f, 23.1f},
        Row{"MinusInHumidity", "H-45.3 T 23.1\r", false, "", "", 0, 0},
        Row{"LineFeedBeforeCr", "H 45.3 T 23.1\n\r", false, "", "", 0, 0},
        Row{"InnerSpaceStopsConversion", "H4 5.3 T 23.1\r", true, "4 5.3", " 23.1", 4.0f, 23.1f},
        Row{"BlankHumidity", "H      T 23.1\r", false, "", "", 0, 0},
        Row{"BlankTemperature", "H 45.3 T     \r", false, "", "", 0, 0},
        Row{"LeadingNoiseSkipped", "xx\nH 45.3 T 23.1\r", true, " 45.3", " 23.1", 45.3f, 23.1f},
        Row{"SecondHInFieldStartsNothing", "H 4H 45.3 T 23.1\r", false, "", "", 0, 0},
        Row{"HundredPercent", "H100.0T 23.1\r", true, "100.0", " 23.1", 100.0f, 23.1f},
        Row{"HighByteResets",
            "H 45.3 T 23\xB0"
            "1\r",
            false, "", "", 0, 0},
        Row{"OtherByteBetweenFields", "H 45.3xT 23.1\r", false, "", "", 0, 0}),
    [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(ReadingParser, KeepsStateAcrossFeedsAndDeliversConsecutiveRecords) {
    Collector c;
    c.feed("H 45.");
    c.feed("3 T 2");
    c.feed("3.1\rH 50.0 T-01.0\r");
    ASSERT_EQ(c.readings.size(), 2u);
    EXPECT_FLOAT_EQ(c.readings[1].temperature, -1.0f);
}

TEST(ReadingParser, ADroppedRecordDoesNotSpoilTheNextOne) {
    Collector c;
    c.feed("H 45.3 T 23.1\nH 46.0 T 22.0\r");
    ASSERT_EQ(c.readings.size(), 1u);
    EXPECT_EQ(c.readings[0].humidityText, " 46.0");
}

TEST(ReadingParser, BytesFedFromInsideTheSinkStartAfreshAndNothingIsDeliveredTwice) {
    // The sink may show a message box whose nested loop feeds more bytes: a trailing
    // space and CR must not complete the same record again, and a new record fed from
    // inside must arrive intact, with the outer Reading unchanged.
    ReadingParser parser;
    std::vector<Reading> readings;
    int depth = 0;
    parser.setSink([&](const Reading& r) {
        readings.push_back(r);
        if (depth++ == 0) {
            const std::string nested = " \rH 11.1 T 22.2\r";
            parser.feed(reinterpret_cast<const std::uint8_t*>(nested.data()), nested.size());
            EXPECT_EQ(r.humidityText, " 45.3");
        }
    });
    const std::string first = "H 45.3 T 23.1\r";
    parser.feed(reinterpret_cast<const std::uint8_t*>(first.data()), first.size());
    ASSERT_EQ(readings.size(), 2u);
    EXPECT_EQ(readings[0].humidityText, " 45.3");
    EXPECT_EQ(readings[1].humidityText, " 11.1");
    EXPECT_EQ(parser.state(), 0);
}

// Every five-character field a record can carry, in each field's place, against what
// scanf's "%f" makes of it: the record is delivered exactly when scanf converts the field,
// with the very same float (bit for bit: -0 stays -0).
struct FieldPlace {
    const char* name;
    const char* alphabet;
    std::string before, after; // the record around the field
    bool temperature;
};

void PrintTo(const FieldPlace& place, std::ostream* os) {
    *os << place.name;
}

class EveryField : public testing::TestWithParam<FieldPlace> {};

TEST_P(EveryField, ConvertsAsScanfDoes) {
    const FieldPlace& place = GetParam();
    const std::string alphabet = place.alphabet;
    Collector c;
    std::string field(5, ' ');
    std::vector<std::size_t> digit(5, 0);
    int mismatches = 0;
    for (bool done = false; !done && mismatches < 10;) {
        for (std::size_t i = 0; i < 5; ++i)
            field[i] = alphabet[digit[i]];
        float expected = 0.0f;
        const bool converts = std::sscanf(field.c_str(), "%f", &expected) == 1;
        const std::size_t before = c.readings.size();
        c.feed(place.before + field + place.after);
        const bool delivered = c.readings.size() == before + 1;
        const float got = delivered ? (place.temperature ? c.readings.back().temperature
                                                         : c.readings.back().humidity)
                                    : 0.0f;
        if (delivered != converts || (converts && std::bit_cast<std::uint32_t>(got) !=
                                                      std::bit_cast<std::uint32_t>(expected))) {
            ++mismatches;
            ADD_FAILURE() << "field \"" << field << "\": scanf "
                          << (converts ? "converts" : "fails") << " (" << expected << "), parser "
                          << (delivered ? "delivers " : "drops") << got;
        }
        done = true;
        for (std::size_t i = 0; i < 5 && done; ++i) {
            done = ++digit[i] == alphabet.size();
            if (done)
                digit[i] = 0;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fields, EveryField,
    testing::Values(FieldPlace{"Humidity", " .0123456789", "H", "T 23.1\r", false},
                    FieldPlace{"Temperature", " -.0123456789", "H 45.3T", "\r", true}),
    [](const testing::TestParamInfo<FieldPlace>& info) { return std::string(info.param.name); });

TEST(ReadingParser, ProcessInstanceIsOneObject) {
    EXPECT_EQ(&ReadingParser::processInstance(), &ReadingParser::processInstance());
}

} // namespace
} // namespace qv
