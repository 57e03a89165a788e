// The setup dialog's port list: free ports in ascending order, and the program's own
// port at its place while the channel holds it.

#include "serial/port_list.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace qv {
namespace {

using test::FakeSerialPlatform;
using Names = std::vector<std::string>;

struct ListCase : test::NamedRow {
    std::vector<int> free;
    std::vector<int> heldByOther;
    int current;
    // How the channel stands on the current port.
    enum { Closed, Open, HeldWithoutReader } channel;
    Names expectedNames;
    std::string expectedSelected;
};

class PortListTest : public ::testing::TestWithParam<ListCase> {};

TEST_P(PortListTest, ListsFreePortsAndTheHeldOne) {
    const ListCase& c = GetParam();
    FakeSerialPlatform platform;
    for (int port : c.free)
        platform.addPort(port);
    for (int port : c.heldByOther) {
        platform.addPort(port);
        platform.holdByOther(port, true);
    }
    CSerialComm channel(platform);
    if (c.channel != ListCase::Closed) {
        if (c.channel == ListCase::HeldWithoutReader)
            platform.failNext("setState", EINVAL);
        platform.addPort(c.current);
        channel.Open(c.current, 9600, 0, 0, 8);
        ASSERT_NE(channel.GetPortHandle(), kInvalidHandle);
    }

    Names names{"stale"};
    std::string selected;
    buildPortList(channel, c.current, names, selected);
    EXPECT_EQ(names, c.expectedNames);
    EXPECT_EQ(selected, c.expectedSelected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortListTest,
    ::testing::Values(ListCase{"HeldPortJoinsFreePortsInOrder",
                               {1, 3},
                               {2, 9},
                               7,
                               ListCase::Open,
                               Names{"COM1", "COM3", "COM7"},
                               "COM7"},
                      ListCase{"PortHeldWithoutReaderIsListed",
                               {12},
                               {},
                               4,
                               ListCase::HeldWithoutReader,
                               Names{"COM4", "COM12"},
                               "COM4"},
                      ListCase{"CurrentPortHeldByAnotherProgramIsNotListed",
                               {5},
                               {6},
                               6,
                               ListCase::Closed,
                               Names{"COM5"},
                               ""},
                      ListCase{"FreeCurrentPortIsListedButNotSelected",
                               {2, 8},
                               {},
                               8,
                               ListCase::Closed,
                               Names{"COM2", "COM8"},
                               ""},
                      ListCase{
                          "NothingFreeNothingHeld", {}, {1, 2}, 3, ListCase::Closed, Names{}, ""},
                      ListCase{"LastPortCountsAndLaterOnesAreNeverProbed",
                               {256, 257},
                               {},
                               1,
                               ListCase::Closed,
                               Names{"COM256"},
                               ""}),
    test::RowName{});

} // namespace
} // namespace qv
