// The spool on disk: order, acknowledgement, the bound, restarts, torn and hostile files.

#include "publish/spool.h"
#include "tests/support/named_row.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>

namespace qv::publish {
namespace {

trend::TimedReading reading(int i) {
    return {1'000'000 + i, 40.0f + static_cast<float>(i) / 10, 20.5f};
}

std::unique_ptr<Spool> openSpool(const std::filesystem::path& folder, std::size_t capacity,
                                 std::size_t segment) {
    std::string error;
    auto spool = Spool::open(folder, {capacity, segment}, error);
    EXPECT_NE(spool, nullptr) << error;
    return spool;
}

// The times of the waiting readings, oldest first, less the base.
std::vector<int> waitingTimes(Spool& spool) {
    std::vector<int> times;
    for (const SpooledReading& r : spool.read(0, 1000).readings)
        times.push_back(static_cast<int>(r.reading.time - 1'000'000));
    return times;
}

std::size_t segmentFiles(const std::filesystem::path& folder) {
    std::size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        count += entry.path().extension() == ".qvs";
    return count;
}

TEST(Spool, KeepsOrderAcrossSegmentsAcknowledgementsAndRestarts) {
    test::TempFolder folder("qv-spool");
    {
        auto spool = openSpool(folder.path(), 100, 4);
        for (int i = 0; i < 10; ++i)
            ASSERT_TRUE(spool->append(reading(i)));
        const auto batch = spool->read(spool->begin(), 3);
        ASSERT_EQ(batch.readings.size(), 3u);
        EXPECT_EQ(batch.next, 3u);
        spool->acknowledge(batch.next);
    }
    auto spool = openSpool(folder.path(), 100, 4);
    EXPECT_EQ(spool->size(), 7u);
    EXPECT_EQ(waitingTimes(*spool), (std::vector<int>{3, 4, 5, 6, 7, 8, 9}));
    spool->acknowledge(8);
    EXPECT_EQ(segmentFiles(folder.path()), 1u); // the delivered segments are gone
    ASSERT_TRUE(spool->append(reading(10)));
    EXPECT_EQ(waitingTimes(*spool), (std::vector<int>{8, 9, 10}));
    EXPECT_EQ(spool->read(9, 10).readings.front().sequence, 9u);
}

TEST(Spool, DropsTheOldestBeyondItsBoundAndCountsThemForGood) {
    test::TempFolder folder("qv-spool");
    {
        auto spool = openSpool(folder.path(), 5, 2);
        for (int i = 0; i < 8; ++i)
            ASSERT_TRUE(spool->append(reading(i)));
        EXPECT_EQ(spool->size(), 5u);
        EXPECT_EQ(spool->dropped(), 3u);
        EXPECT_LE(segmentFiles(folder.path()), 4u);
    }
    auto spool = openSpool(folder.path(), 5, 2);
    EXPECT_EQ(spool->dropped(), 3u);
    EXPECT_EQ(waitingTimes(*spool), (std::vector<int>{3, 4, 5, 6, 7}));
}

TEST(Spool, AFolderIsOpenOnceAtATimeAndAFileIsNoFolder) {
    test::TempFolder folder("qv-spool");
    auto first = openSpool(folder.path(), 10, 10);
    std::string error;
    EXPECT_EQ(Spool::open(folder.path(), {}, error), nullptr);
    EXPECT_NE(error.find("in use"), std::string::npos) << error;
    std::ofstream(folder / "file") << "x";
    EXPECT_EQ(Spool::open(folder / "file", {}, error), nullptr);
    EXPECT_NE(error.find("file"), std::string::npos) << error;
}

struct DamageRow : test::NamedRow {
    std::size_t offset; // where in the segment file (5 records of 20 bytes)
    std::string bytes;  // written there
    std::vector<int> survivors;
};

class DamagedSegments : public testing::TestWithParam<DamageRow> {};

// A crash tears the record being written; a bad sector spoils one inside. The others
// stay, and the next reading follows the whole ones.
TEST_P(DamagedSegments, LoseOnlyTheDamagedRecords) {
    test::TempFolder folder("qv-spool");
    std::filesystem::path segment;
    {
        auto spool = openSpool(folder.path(), 100, 10);
        for (int i = 0; i < 5; ++i)
            spool->append(reading(i));
    }
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        if (entry.path().extension() == ".qvs")
            segment = entry.path();
    {
        std::fstream file(segment, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(static_cast<std::streamoff>(GetParam().offset));
        file.write(GetParam().bytes.data(), static_cast<std::streamsize>(GetParam().bytes.size()));
    }
    auto spool = openSpool(folder.path(), 100, 10);
    spool->append(reading(9));
    auto expected = GetParam().survivors;
    expected.push_back(9);
    EXPECT_EQ(waitingTimes(*spool), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DamagedSegments,
    testing::Values(DamageRow{{"TornTail"}, 100, std::string(7, 'x'), {0, 1, 2, 3, 4}},
                    DamageRow{{"ZerosOverTheLast"}, 80, std::string(20, '\0'), {0, 1, 2, 3}},
                    DamageRow{{"SpoiledInside"}, 45, "zz", {0, 1, 3, 4}}),
    test::RowName{});

} // namespace
} // namespace qv::publish
