#pragma once

// The rules of the Windows log file's writes, kept apart from the calls that use them.

#include "acquisition/log_file.h"

#include <chrono>
#include <optional>

#include <windows.h>

namespace qv {

// How long a write to a file of GetFileType `fileType` may take nothing before the line
// fails: a pipe, a character device or anything unknown (a reader that stopped reading)
// `stallLimit`; a disk file is waited for however slow it is (a sleeping USB disk, a
// network share), since its write ends sooner or later and a cancelled one may well have
// been written.
std::optional<std::chrono::milliseconds>
logWriteLimit(DWORD fileType, std::chrono::milliseconds stallLimit = kLogStallLimit);

enum class LogWriteOutcome {
    Wrote,   // some bytes went out: they count
    Stalled, // cancelled after the limit with nothing written
    Failed,  // the write reported an error, or wrote nothing (a full disk)
};

// One write's outcome from what GetOverlappedResult said (`completed`, the bytes written)
// and whether the write was cancelled for taking too long. Bytes written count whatever
// else is said: a write cancelled after it completed has written them, and a line thrown
// away then would be written twice.
LogWriteOutcome logWriteOutcome(bool completed, DWORD written, bool cancelled);

} // namespace qv
