// Things under the spool's names that are not its files: pipes, a huge sparse file.

#include "publish/spool.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

namespace qv::publish {
namespace {

// A pipe would stall a read or a write for ever; a sparse terabyte a scan. The test
// returning within the suite's time limit shows neither happened.
TEST(SpoolHostile, PipesAndASparseTerabyteUnderItsNamesDoNotStallIt) {
    test::TempFolder folder("qv-spool");
    ASSERT_EQ(::mkfifo((folder / "position").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "position.new").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((folder / "segment-00000000000000000000.qvs").c_str(), 0600), 0);
    std::filesystem::path sparse = folder / "segment-00000000000000000050.qvs";
    std::ofstream(sparse).put('\0');
    std::filesystem::resize_file(sparse, std::uintmax_t{1} << 40);

    std::string error;
    auto spool = Spool::open(folder.path(), {100, 10}, error);
    ASSERT_NE(spool, nullptr) << error;
    EXPECT_LE(spool->size(), 10u);
    ASSERT_TRUE(spool->append({7, 1.0f, 2.0f}));
    ASSERT_TRUE(spool->sync()) << spool->lastError();
    const auto batch = spool->read(0, 100);
    ASSERT_EQ(batch.readings.size(), 1u);
    EXPECT_EQ(batch.readings[0].reading.time, 7);
}

} // namespace
} // namespace qv::publish
