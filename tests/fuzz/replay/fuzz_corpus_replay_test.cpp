#include "tests/fuzz/fuzz_checks.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace qv::fuzz {
namespace {

namespace fs = std::filesystem;

using Check = std::string (*)(const std::uint8_t*, std::size_t);

// Runs every file of one target's corpus folder through its check.
void replay(const char* target, Check check) {
    const fs::path folder = fs::path(QV_FUZZ_CORPUS_DIR) / target;
    std::size_t replayed = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> input{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        EXPECT_EQ(check(input.data(), input.size()), "") << entry.path().filename();
        ++replayed;
    }
    EXPECT_GT(replayed, 0u) << "no seeds in " << folder;
}

TEST(FuzzCorpusReplay, ReadingParserChunkedMatchesByteByByteAndTheRecordRules) {
    replay("reading_parser_fuzz", checkReadingParser);
}

#ifdef QV_FUZZ_HAS_INTERVAL_SCAN
TEST(FuzzCorpusReplay, IntervalScanMatchesTheCLibrary) {
    replay("interval_scan_fuzz", checkIntervalScan);
}
#endif

} // namespace
} // namespace qv::fuzz
