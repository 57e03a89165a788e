#pragma once

// Splits bytes [begin, end) of a log file into the lines that start there, each handed
// over whole however the read blocks cut it. Several scanners over neighbouring ranges of
// one file see every line exactly once: a range takes the lines that start inside it and
// follows the last of them past its end. A line longer than kMaxKeptLine is handed over
// cut to that length (no line of the format is that long, so it is never a reading) and
// costs no more memory however long it is. One thread per scanner; no exceptions of its
// own (the buffer's allocation may throw std::bad_alloc).

#include "trend/log_input.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace qv::trend {

// Longer than any line in the format.
inline constexpr std::size_t kMaxKeptLine = 256;

struct ScanRange {
    std::uint64_t begin = 0;
    std::uint64_t end = std::numeric_limits<std::uint64_t>::max();
    // A last line without its end-of-line is taken (a whole file), or left for later (a
    // file still being written: its end may be on its way).
    bool takeUnended = true;
};

enum class ScanEnd { Done, Cancelled, Unreadable };

struct ScanResult {
    ScanEnd how = ScanEnd::Done;
    // Where the lines not handed over start: the first line after the range, the end of the
    // file, or the start of an unended last line that was left. (The range's end when a
    // line too long to be a reading runs past it.)
    std::uint64_t resumeAt = 0;
    std::uint64_t bytesRead = 0; // read from the file: 0 for a range beyond its end
};

class LineScanner {
public:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;

    // `sink(line, lineBegin, lineEnd)`: the line without its LF (a CR before it stays),
    // where it starts and where the next one starts. `cancelled` is looked at after each
    // block.
    template <class Sink>
    ScanResult scan(LogInput& input, const ScanRange& range, const std::atomic<bool>* cancelled,
                    Sink&& sink);

private:
    std::vector<char> block_;
    std::string carry_; // the kept start of a line cut by a block's end
};

template <class Sink>
ScanResult LineScanner::scan(LogInput& input, const ScanRange& range,
                             const std::atomic<bool>* cancelled, Sink&& sink) {
    if (block_.empty())
        block_.resize(kBlockSize);
    carry_.clear();
    ScanResult result;
    // A range that does not start the file starts after the first LF at or after the byte
    // before it: the line under way there belongs to the range before.
    bool seekingStart = range.begin > 0;
    std::uint64_t pos = seekingStart ? range.begin - 1 : range.begin;
    bool inLine = false;
    std::uint64_t lineBegin = 0;
    std::uint64_t lineLength = 0; // bytes of the line under way seen so far
    for (;;) {
        if (!inLine && !seekingStart && pos >= range.end) {
            result.resumeAt = pos; // where the first line not in the range starts
            break;
        }
        std::size_t want = block_.size();
        if (inLine && pos >= range.end) {
            // Past the range only to end its last line, which is not kept beyond the bound.
            const std::uint64_t left =
                kMaxKeptLine + 1 - std::min<std::uint64_t>(lineLength, kMaxKeptLine);
            want = static_cast<std::size_t>(std::min<std::uint64_t>(want, left));
        }
        const auto got = input.readAt(pos, block_.data(), want);
        if (!got) {
            result.how = ScanEnd::Unreadable;
            return result;
        }
        if (*got == 0) {
            if (inLine) {
                if (range.takeUnended)
                    sink(std::string_view(carry_), lineBegin, pos);
                else
                    pos = lineBegin;
            }
            result.resumeAt = pos;
            break;
        }
        const char* data = block_.data();
        const std::size_t size = *got;
        result.bytesRead += size;
        std::size_t i = 0;
        if (seekingStart) {
            const void* lf = std::memchr(data, '\n', size);
            if (!lf) {
                pos += size;
                // No line starts before the range's end: nothing of it is ours.
                if (pos >= range.end) {
                    result.resumeAt = range.end;
                    break;
                }
                continue;
            }
            i = static_cast<std::size_t>(static_cast<const char*>(lf) - data) + 1;
            seekingStart = false;
        }
        while (i < size) {
            if (!inLine) {
                if (pos + i >= range.end)
                    break;
                inLine = true;
                lineBegin = pos + i;
                lineLength = 0;
                carry_.clear();
            }
            const void* lf = std::memchr(data + i, '\n', size - i);
            const std::size_t stop =
                lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : size;
            const std::string_view piece(data + i, stop - i);
            lineLength += piece.size();
            if (!lf) {
                if (carry_.size() < kMaxKeptLine + 1)
                    carry_.append(piece.substr(0, kMaxKeptLine + 1 - carry_.size()));
                i = size;
                break;
            }
            if (carry_.empty()) {
                sink(piece, lineBegin, pos + stop + 1);
            } else {
                if (carry_.size() < kMaxKeptLine + 1)
                    carry_.append(piece.substr(0, kMaxKeptLine + 1 - carry_.size()));
                sink(std::string_view(carry_), lineBegin, pos + stop + 1);
            }
            inLine = false;
            i = stop + 1;
        }
        pos += i;
        // A line that starts in the range and runs past the bound beyond its end: not a
        // reading, and no later line starts in the range.
        if (inLine && pos >= range.end && lineLength > kMaxKeptLine) {
            sink(std::string_view(carry_), lineBegin, pos);
            result.resumeAt = range.end;
            break;
        }
        if (cancelled && cancelled->load(std::memory_order_relaxed)) {
            result.how = ScanEnd::Cancelled;
            return result;
        }
    }
    return result;
}

} // namespace qv::trend
