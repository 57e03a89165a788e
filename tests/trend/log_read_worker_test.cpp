// The log reader's thread: a result handed over once, through the callback; a read given
// up (a new one, cancel) is stopped and joined, and never reported.

#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"
#include "trend/log_read_worker.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace qv::trend {
namespace {

TEST(LogReadWorker, HandsOverOneResultAndStopsAReadGivenUp) {
    test::TempFolder folder("qv-trend");
    std::ofstream(folder / "a.log") << "01/02/2020\t10:00:00\t45.3\t23.1\n";
    std::ofstream(folder / "zeros.log").flush();
    std::filesystem::resize_file(folder / "zeros.log", std::uintmax_t{1} << 40); // sparse
    std::atomic<int> readies{0};
    LogReadWorker worker([&readies] { ++readies; });

    worker.start(folder / "zeros.log");
    worker.start(folder / "a.log"); // gives up the terabyte
    ASSERT_TRUE(test::waitUntil([&] { return readies == 1; }, std::chrono::seconds{10},
                                test::sleepBriefly));
    const auto result = worker.take();
    ASSERT_TRUE(result);
    EXPECT_EQ(result->readings.size(), 1u);
    EXPECT_FALSE(worker.take());
    EXPECT_FALSE(worker.reading());

    worker.start(folder / "zeros.log");
    EXPECT_TRUE(worker.reading());
    worker.cancel();
    EXPECT_FALSE(worker.reading());
    EXPECT_FALSE(worker.take());
    EXPECT_EQ(readies, 1);
}

} // namespace
} // namespace qv::trend
