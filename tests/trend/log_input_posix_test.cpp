// Reading a log the user picked, on POSIX: whatever the name leads to, the read returns
// at once with a refusal, or reads a regular file only as far as it is asked to.

#include "tests/support/named_row.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"
#include "trend/log_reader.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace qv::trend {
namespace {

namespace fs = std::filesystem;

constexpr std::uintmax_t kTerabyte = std::uintmax_t{1} << 40;

// What a row's file is made in; the terminal lives as long as the read.
struct Place {
    test::TempFolder folder{"qv-trend"};
    test::PseudoTerminal terminal;
    fs::path picked() const { return folder / "picked.log"; }
};

struct HostileRow : test::NamedRow {
    fs::path (*make)(Place&);
    bool cancelled; // the read is asked to stop from its start
    LogReadStatus status;
    std::size_t readings;
};

class HostileFile : public testing::TestWithParam<HostileRow> {};

TEST_P(HostileFile, IsRefusedUnreadOrReadOnlyAsFarAsAsked) {
    const HostileRow& row = GetParam();
    Place place;
    const std::atomic<bool> cancelled{row.cancelled};
    const LogReadResult result = readLogFile(row.make(place), &cancelled);
    EXPECT_EQ(result.status, row.status);
    EXPECT_EQ(result.readings.size(), row.readings);
}

fs::path fifoWithoutWriter(Place& p) {
    return ::mkfifo(p.picked().c_str(), 0600) == 0 ? p.picked() : fs::path();
}
fs::path endlessDevice(Place&) {
    return "/dev/zero";
}
fs::path terminal(Place& p) {
    return p.terminal.slave();
}
// Holes read as zeros, a terabyte of them.
fs::path sparseTerabyte(Place& p) {
    std::ofstream(p.picked()).flush();
    fs::resize_file(p.picked(), kTerabyte);
    return p.picked();
}
fs::path linkToALog(Place& p) {
    std::ofstream(p.folder / "real.log") << "01/02/2020\t10:00:00\t45.3\t23.1\n";
    fs::create_symlink(p.folder / "real.log", p.picked());
    return p.picked();
}

const HostileRow kHostile[] = {
    {{"FifoWithoutWriter"}, fifoWithoutWriter, false, LogReadStatus::NotRegular, 0},
    {{"EndlessDevice"}, endlessDevice, false, LogReadStatus::NotRegular, 0},
    {{"Terminal"}, terminal, false, LogReadStatus::NotRegular, 0},
    {{"SparseTerabyteStopsAfterABlock"}, sparseTerabyte, true, LogReadStatus::Cancelled, 0},
    {{"LinkToALog"}, linkToALog, false, LogReadStatus::Ok, 1},
};
INSTANTIATE_TEST_SUITE_P(Files, HostileFile, testing::ValuesIn(kHostile), test::RowName{});

} // namespace
} // namespace qv::trend
