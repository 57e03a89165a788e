#include "tools/sensor_model.h"

#include "acquisition/reading_parser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ostream>
#include <set>
#include <string>
#include <vector>

namespace qv::sim {
namespace {

struct FieldRow {
    int tenths;
    const char* text;
};

void PrintTo(const FieldRow& row, std::ostream* os) {
    *os << row.tenths;
}

class FieldFormat : public testing::TestWithParam<FieldRow> {};

TEST_P(FieldFormat, IsFiveCharactersWithOneDecimal) {
    EXPECT_EQ(formatField(GetParam().tenths), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(RangeEnds, FieldFormat,
                         testing::Values(FieldRow{0, "  0.0"}, FieldRow{1000, "100.0"},
                                         FieldRow{453, " 45.3"}, FieldRow{-400, "-40.0"},
                                         FieldRow{1250, "125.0"}, FieldRow{-5, " -0.5"},
                                         FieldRow{-123, "-12.3"}, FieldRow{7, "  0.7"}));

TEST(Record, IsWhatTheLoggerAccepts) {
    EXPECT_EQ(formatRecord({453, -125}), "H 45.3 T-12.5\r");
    EXPECT_EQ(formatLogLine({453, -125}), "45.3\t-12.5\n");
}

TEST(Drift, StaysInTheMeasuringRangesInSmallSteps) {
    for (std::uint64_t seed : {1u, 2u, 3u}) {
        SensorModel model(seed);
        Sample previous = model.next();
        for (int i = 0; i < 20000; ++i) {
            const Sample s = model.next();
            ASSERT_GE(s.humidityTenths, kMinHumidityTenths);
            ASSERT_LE(s.humidityTenths, kMaxHumidityTenths);
            ASSERT_GE(s.temperatureTenths, kMinTemperatureTenths);
            ASSERT_LE(s.temperatureTenths, kMaxTemperatureTenths);
            // Slow drift: no jump of more than 2 %RH or 1 degC from one record to the next.
            ASSERT_LE(std::abs(s.humidityTenths - previous.humidityTenths), 20) << i;
            ASSERT_LE(std::abs(s.temperatureTenths - previous.temperatureTenths), 10) << i;
            previous = s;
        }
    }
}

TEST(Drift, TheSameSeedRepeatsTheRun) {
    SensorModel a(42), b(42), c(43);
    std::vector<Sample> fromA, fromB, fromC;
    for (int i = 0; i < 50; ++i) {
        const bool junk = a.junkDue(0.5);
        EXPECT_EQ(junk, b.junkDue(0.5));
        if (junk) {
            EXPECT_EQ(a.junk(), b.junk());
        }
        fromA.push_back(a.next());
        fromB.push_back(b.next());
        fromC.push_back(c.next());
    }
    EXPECT_EQ(fromA, fromB);
    EXPECT_NE(fromA, fromC);
}

// Every good record reaches the logger's parser intact, whatever junk precedes it: junk
// never completes a record and never swallows the next one.
TEST(Junk, NeverCompletesARecordNorSpoilsTheNextOne) {
    ReadingParser parser;
    std::vector<Reading> readings;
    parser.setSink([&](const Reading& r) { readings.push_back(r); });
    auto feed = [&](const std::string& bytes) {
        parser.feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };

    SensorModel model(7);
    std::set<JunkKind> kindsSeen;
    std::vector<Sample> sent;
    for (int i = 0; i < 2000; ++i) {
        for (int j = 0, n = i % 3; j < n; ++j) { // zero to two bursts between records
            JunkKind kind{};
            feed(model.junk(&kind));
            kindsSeen.insert(kind);
            ASSERT_EQ(parser.state(), 0) << "after " << junkKindName(kind);
        }
        ASSERT_EQ(readings.size(), sent.size()) << "junk completed a record";
        sent.push_back(model.next());
        feed(formatRecord(sent.back()));
    }
    EXPECT_EQ(kindsSeen.size(), static_cast<std::size_t>(kJunkKinds));
    ASSERT_EQ(readings.size(), sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
        EXPECT_EQ(readings[i].humidityText, formatField(sent[i].humidityTenths));
        EXPECT_EQ(readings[i].temperatureText, formatField(sent[i].temperatureTenths));
    }
}

} // namespace
} // namespace qv::sim
