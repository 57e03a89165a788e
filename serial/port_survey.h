#pragma once

// The probes of one Setup press, off the user-interface thread: COM1 to COM256, each
// probed once through SerialPlatform::probePort as CSerialComm::ProbeAll does, by several
// threads at once (in ascending order of the port each takes), so that a port that takes
// seconds to open or fail holds up neither the window, nor its timers, nor the other
// ports. When every port has its result the survey posts `message` to the window; the
// user-interface thread then takes the results with finish() and builds the port list
// from them as it would from ProbeAll's.
//
// Thread contract: the constructor, start(), busy(), finish() and the destructor run on the
// user-interface thread. The worker threads call only probePort (which the platforms allow
// from any thread, for several ports at once) and write only the entries of the ports
// they took, each taken once from an atomic counter; the last worker to end posts the
// message. finish() joins the workers before it reads the entries, so no lock guards them.

#include "serial/serial_platform.h"
#include "serial/serial_types.h"
#include "window/message_poster.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

namespace qv {

// Probes under way at once: enough that a few slow ports (Bluetooth serial ports may take
// seconds each) cost the time of the slowest, few enough to stay a small burst of threads.
inline constexpr int kSurveyThreads = 16;

class PortSurvey {
public:
    using Results = std::array<ProbeResult, kPortCount>; // entry i for port i + 1

    // `platform` and `window` must outlive the survey.
    PortSurvey(SerialPlatform& platform, MessagePoster& window, std::uint32_t message);
    // No probe starts any more; waits for the probes under way (at most one per thread),
    // which the platform may not outlive. Posts nothing.
    ~PortSurvey();
    PortSurvey(const PortSurvey&) = delete;
    PortSurvey& operator=(const PortSurvey&) = delete;

    // Starts a round; false, and nothing started, while a round has not been finished.
    bool start();
    // From start() until finish().
    bool busy() const { return !workers_.empty(); }
    // After the round's message: the results, and the round is over. Waits only for
    // threads that have done their probes.
    Results finish();

private:
    void work();

    SerialPlatform& platform_;
    MessagePoster& window_;
    const std::uint32_t message_;
    Results results_{};
    std::atomic<int> next_{0};    // index of the next port to probe
    std::atomic<int> running_{0}; // workers that have not ended their round
    std::atomic<bool> stop_{false};
    std::vector<std::thread> workers_;
};

} // namespace qv
