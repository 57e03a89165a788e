#pragma once

// Posting a message to the window thread: the one service the program's other threads
// (the serial reader, the log writer, the trend's log reader, the port survey) use, and the numbers
// of the messages they post. One list, so that no two messages share a number.
//
// Thread contract: postMessage() may be called from any thread.

#include <cstdint>

namespace qv {

// Window message numbers as the system uses them.
inline constexpr std::uint32_t kWmUser = 0x0400;
// One received serial byte: wParam carries it in its low 8 bits, lParam is 0.
inline constexpr std::uint32_t WM_SERIAL_BYTE = kWmUser + 5; // 1029
// The log's writer thread ended a line (written and synced, or failed); wParam and lParam
// are 0. The log takes the outcomes from its writer.
inline constexpr std::uint32_t WM_LOG_LINE_DONE = kWmUser + 6; // 1030
// Start Log, pressed by the program itself once the window is up (the command line asked
// for it); wParam and lParam are 0.
inline constexpr std::uint32_t WM_START_LOG = kWmUser + 7; // 1031
// The trend window's log reader ended a read ("Open log..."); wParam and lParam are 0. The
// trend window takes the result from its reader.
inline constexpr std::uint32_t WM_TREND_LOG_READ = kWmUser + 8; // 1032
// The setup command's port survey has a result for every port; wParam and lParam are 0.
// The setup command takes the results from its survey.
inline constexpr std::uint32_t WM_PORTS_PROBED = kWmUser + 9; // 1033
// The publisher's status changed; wParam and lParam are 0. The publish link takes the
// status from where its publisher left it.
inline constexpr std::uint32_t WM_PUBLISH_STATUS = kWmUser + 10; // 1034

class MessagePoster {
public:
    virtual ~MessagePoster() = default;

    // Any thread. Queued and handled later on the window thread, in the order posted by
    // one thread; never handled during the poster's call.
    virtual void postMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) = 0;
};

} // namespace qv
