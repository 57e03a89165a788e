#include "acquisition/measurement_log.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"
#include "tests/support/time_zone.h"
#include "trend/log_reader.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <ctime>
#include <fstream>

namespace qv::trend {
namespace {

std::int64_t localEpoch(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day;
    t.tm_hour = hour, t.tm_min = minute, t.tm_sec = second, t.tm_isdst = -1;
    return std::mktime(&t);
}

// The values of accepted lines are checked by reading back what the log writes, below.
struct LineRow : test::NamedRow {
    const char* line;
    bool accepted;
};

class LogLine : public testing::TestWithParam<LineRow> {};

TEST_P(LogLine, IsAcceptedOnlyInTheLogsFormat) {
    const LineRow& row = GetParam();
    LocalTimeCache times;
    const auto reading = parseLogLine(row.line, times);
    ASSERT_EQ(reading.has_value(), row.accepted);
    if (row.accepted) {
        EXPECT_EQ(reading->time, localEpoch(2012, 2, 29, 17, 50, 50));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lines, LogLine,
    testing::Values(LineRow{{"LfOnly"}, "02/29/2012\t17:50:50\t45.3\t23.1", true},
                    LineRow{{"NoLeapDay"}, "02/29/2011\t17:50:50\t45.3\t23.1", false},
                    LineRow{{"MonthThirteen"}, "13/01/2012\t17:50:50\t45.3\t23.1", false},
                    LineRow{{"HourTwentyFour"}, "02/29/2012\t24:00:00\t45.3\t23.1", false},
                    LineRow{{"NoDateAndTime"}, "45.3\t23.1", false},
                    LineRow{{"TwoDecimals"}, "02/29/2012\t17:50:50\t45.30\t23.1", false},
                    LineRow{{"NoDecimal"}, "02/29/2012\t17:50:50\t45\t23.1", false},
                    LineRow{{"CommaDecimal"}, "02/29/2012\t17:50:50\t45,3\t23.1", false},
                    LineRow{{"ExtraPadding"}, "02/29/2012\t17:50:50\t  5.0\t23.1", false},
                    LineRow{{"BeyondTheLargestFloat"},
                            "02/29/2012\t17:50:50\t1000000000000000000000000000000000000000000000.0"
                            "\t23.1",
                            false},
                    LineRow{{"ThirdValue"}, "02/29/2012\t17:50:50\t45.3\t23.1\t1.0", false},
                    LineRow{{"SpaceForTab"}, "02/29/2012 17:50:50\t45.3\t23.1", false},
                    LineRow{{"Blank"}, "", false}),
    test::RowName{});

TEST(LogReader, ReadsBackEveryLineTheLogWrites) {
    LocalTimeCache times;
    const std::int64_t when = localEpoch(2010, 12, 6, 17, 50, 50);
    for (float value :
         {0.0f, 5.0f, -0.5f, -12.5f, 45.3f, 99.9f, 100.0f, 123456.7f, FLT_MAX, -FLT_MAX}) {
        std::string line = MeasurementLog::formatLine(when, value, -value);
        line.pop_back(); // the LF; the CR stays
        const auto reading = parseLogLine(line, times);
        ASSERT_TRUE(reading) << line;
        EXPECT_EQ(reading->time, when);
        EXPECT_EQ(reading->humidity, value) << line;
        EXPECT_EQ(reading->temperature, -value) << line;
    }
}

TEST(LogReader, LocalTimeHoldsAcrossTheChangeToSummerTime) {
    // US rules, which the Windows C library applies to any zone with a summer time.
    const test::ScopedTimeZone zone("EST5EDT,M3.2.0,M11.1.0");
    LocalTimeCache times;
    // The clock jumps from 02:00 to 03:00 on 03/14/2021: one second apart.
    const auto before = parseLogLine("03/14/2021\t01:59:59\t45.0\t20.0", times);
    const auto after = parseLogLine("03/14/2021\t03:00:00\t45.0\t20.0", times);
    ASSERT_TRUE(before && after);
    EXPECT_EQ(after->time - before->time, 1);
    EXPECT_EQ(after->time, localEpoch(2021, 3, 14, 3, 0, 0));
}

TEST(LogReader, LinesOfOneHourKeepTheirTimeAroundAnotherHoursBrokenLine) {
    LocalTimeCache times;
    ASSERT_TRUE(parseLogLine("03/14/2021\t10:00:00\t45.0\t20.0", times));
    EXPECT_FALSE(parseLogLine("03/14/2021\t11:00:00\t45.0\t20000", times)); // no point
    const auto reading = parseLogLine("03/14/2021\t10:00:05\t45.0\t20.0", times);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->time, localEpoch(2021, 3, 14, 10, 0, 5));
}

struct FileRow : test::NamedRow {
    std::string content; // or "<missing>": no file, "<folder>": a folder of that name
    LogReadStatus status;
    std::size_t readings, skipped;
    const char* message;
};

class LogFile : public testing::TestWithParam<FileRow> {};

TEST_P(LogFile, ReadsWhatItCanAndSaysWhatItSkipped) {
    const FileRow& row = GetParam();
    test::TempFolder folder("qv-trend");
    const auto path = folder / "log.txt";
    if (row.content == "<folder>")
        std::filesystem::create_directory(path);
    else if (row.content != "<missing>")
        std::ofstream(path, std::ios::binary) << row.content;
    const LogReadResult result = readLogFile(path);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.readings.size(), row.readings);
    EXPECT_EQ(result.skippedLines, row.skipped);
    EXPECT_EQ(describe(result), row.message);
}

const std::string kLine = "01/02/2020\t10:00:00\t45.3\t23.1\r\n";
const std::string kEarlier = "01/02/2020\t09:59:59\t40.0\t20.0\n";

INSTANTIATE_TEST_SUITE_P(
    Files, LogFile,
    testing::Values(
        FileRow{{"Missing"}, "<missing>", LogReadStatus::Missing, 0, 0, "The file does not exist."},
        FileRow{{"Folder"},
                "<folder>",
                LogReadStatus::NotRegular,
                0,
                0,
                "The file is not a regular file."},
        FileRow{{"Empty"}, "", LogReadStatus::Empty, 0, 0, "The file is empty."},
        FileRow{{"OnlyOtherLines"},
                "hello\r\n\r\n",
                LogReadStatus::NoReadings,
                0,
                2,
                "The file holds no readings of this program's log format."},
        FileRow{{"OneSkipped"},
                kLine + "x\n" + kEarlier,
                LogReadStatus::Ok,
                2,
                1,
                "1 line was not a reading"},
        FileRow{{"ThreeSkippedNoFinalEnd"},
                "a\nb\n" + kLine + "c",
                LogReadStatus::Ok,
                1,
                3,
                "3 lines were not readings"}),
    test::RowName{});

TEST(LogReader, LinesCutByTheReadBlocksAndOutOfOrderComeOutWholeAndSorted) {
    test::TempFolder folder("qv-trend");
    const auto path = folder / "big.log";
    constexpr std::size_t kLines = 80'000; // well over one read block
    {
        std::ofstream out(path, std::ios::binary);
        for (std::size_t i = 0; i < kLines; ++i)
            out << (i % 2 ? kLine : kEarlier);
    }
    const LogReadResult result = readLogFile(path);
    ASSERT_EQ(result.readings.size(), kLines);
    EXPECT_EQ(result.skippedLines, 0u);
    EXPECT_EQ(result.readings.front().humidity, 40.0f);
    EXPECT_EQ(result.readings.back().humidity, 45.3f);
}

} // namespace
} // namespace qv::trend
