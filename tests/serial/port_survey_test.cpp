// The probes of a Setup press off the window's thread: the results ProbeAll gives, one
// message when all are in, and an end that waits for a probe under way.

#include "serial/port_survey.h"

#include "serial/serial_comm.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/fake_window_services.h"

#include <gtest/gtest.h>

#include <chrono>

namespace qv {
namespace {

using namespace std::chrono_literals;

TEST(PortSurvey, GivesWhatProbeAllGivesAndPostsOnce) {
    test::FakeSerialPlatform platform;
    for (int port : {1, 3, 7, 200, 256})
        platform.addPort(port);
    platform.addPort(9);
    platform.holdByOther(9, true);
    CSerialComm channel(platform);
    ASSERT_EQ(channel.Open(7, 9600, 0, 0, 8), 0);
    std::array<ProbeResult, kPortCount> expected{};
    channel.ProbeAll(expected.data(), kPortCount);

    test::FakeWindowServices window;
    PortSurvey survey(platform, window, WM_PORTS_PROBED);
    ASSERT_TRUE(survey.start());
    EXPECT_FALSE(survey.start()) << "a round at a time";
    ASSERT_TRUE(window.waitForPosted(1, 10s));
    EXPECT_EQ(survey.finish(), expected);
    EXPECT_FALSE(survey.busy());
    const auto posted = window.takePosted();
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0].message, WM_PORTS_PROBED);

    // The next round starts afresh and sees what changed.
    platform.removePort(3);
    expected[2] = kProbeAbsent;
    ASSERT_TRUE(survey.start());
    ASSERT_TRUE(window.waitForPosted(1, 10s));
    EXPECT_EQ(survey.finish(), expected);
    channel.Close();
}

} // namespace
} // namespace qv
