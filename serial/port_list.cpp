#include "serial/port_list.h"

#include "serial/port_name.h"

#include <array>

namespace qv {

void buildPortList(CSerialComm& channel, int currentPort, std::vector<std::string>& portNames,
                   std::string& selectedPort) {
    std::array<ProbeResult, kPortCount> results{};
    channel.ProbeAll(results.data(), kPortCount);
    fillPortList(results, currentPort, channel.GetPortHandle() != kInvalidHandle, portNames,
                 selectedPort);
}

void fillPortList(const std::array<ProbeResult, kPortCount>& results, int currentPort,
                  bool channelHoldsPort, std::vector<std::string>& portNames,
                  std::string& selectedPort) {
    portNames.clear();
    for (int i = 0; i < kPortCount; ++i) {
        const int port = i + 1;
        if (results[static_cast<std::size_t>(i)] == kProbeFree) {
            portNames.push_back(portName(port));
        } else if (results[static_cast<std::size_t>(i)] == kProbeBusy && port == currentPort &&
                   channelHoldsPort) {
            // Busy because the channel itself holds it: the user's own port.
            selectedPort = portName(currentPort);
            portNames.push_back(selectedPort);
        }
    }
}

} // namespace qv
