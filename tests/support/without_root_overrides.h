#pragma once

// Runs a piece of a test as if by an ordinary user where files and other users'
// processes are concerned, also when the suite runs as root. Linux only; no Qt.

#include <gtest/gtest.h>

#include <functional>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>

namespace qv::test {

// Runs `body` on a thread of its own without the capabilities that let root read, write
// and search any file and signal any process (capabilities belong to a thread), so file
// permissions and process ownership bind it as they bind any user. Returns what `body`
// returns.
template <typename Body> auto withoutRootOverrides(Body body) -> decltype(body()) {
    decltype(body()) result{};
    std::thread([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[2]{};
        ASSERT_EQ(::syscall(SYS_capget, &header, caps), 0);
        for (unsigned cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_KILL})
            caps[cap / 32].effective &= ~(1u << (cap % 32));
        ASSERT_EQ(::syscall(SYS_capset, &header, caps), 0);
        result = body();
    }).join();
    return result;
}

} // namespace qv::test
