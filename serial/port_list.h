#pragma once

// The list of ports offered by the setup dialog: every free port of COM1 to COM256 in
// ascending order and, at its own place, the port the channel holds.

#include "serial/serial_comm.h"

#include <array>
#include <string>
#include <vector>

namespace qv {

// Probes COM1 to COM256 through `channel`, empties and fills portNames, and sets
// selectedPort to the held port's name when the channel holds currentPort.
void buildPortList(CSerialComm& channel, int currentPort, std::vector<std::string>& portNames,
                   std::string& selectedPort);

// The same list from the results of probes already made (entry i for port i + 1), such as
// a PortSurvey's; `channelHoldsPort`: the channel's port handle is valid now.
void fillPortList(const std::array<ProbeResult, kPortCount>& results, int currentPort,
                  bool channelHoldsPort, std::vector<std::string>& portNames,
                  std::string& selectedPort);

} // namespace qv
