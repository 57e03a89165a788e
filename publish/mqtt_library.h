#pragma once

// libmosquitto's process-wide set-up (on Windows it starts Winsock), done once, by
// whoever asks first: the publisher's worker, or another client of the library in the
// same process. Any thread; never undone, so that no client outlives it.

namespace qv::publish {

void ensureMqttLibrary();

} // namespace qv::publish
