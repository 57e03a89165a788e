#pragma once

// The rule for cutting back a line of the log that failed part-way or was not synced,
// shared by every platform's file: the log is opened for appending, and other programs
// may append to it too ("echo NOTE >> log"), so only bytes that are certainly ours are
// ever cut off. The file is cut back to where our line began, and only while the line's
// bytes are one run that still ends the file; otherwise it is left as it is, and a torn
// line of ours may stay rather than anyone else's bytes go. (Another program that appends
// between the check and the cut can still lose its bytes: nothing that appends without
// locking can be kept out of that moment.)
//
// Platform-free. Thread contract: none; the log file's own thread uses it.

#include <cstdint>
#include <optional>

namespace qv {

class AppendedLine {
public:
    // A new line: nothing of it written yet.
    void begin() { *this = {}; }
    // `count` bytes of the line were appended and end at offset `end`.
    void wrote(std::int64_t end, std::int64_t count) {
        if (start_ < 0)
            start_ = end - count;
        else if (end - count != end_)
            whole_ = false; // someone else's bytes came between
        end_ = end;
    }
    // The size to cut the file back to, given its size now; nullopt when nothing of the
    // line is to be cut: nothing written, or the end is no longer ours.
    std::optional<std::int64_t> cutBackTo(std::int64_t sizeNow) const {
        if (start_ < 0 || !whole_ || sizeNow != end_)
            return std::nullopt;
        return start_;
    }

private:
    std::int64_t start_ = -1; // where the line's first bytes landed
    std::int64_t end_ = -1;   // where its last bytes ended
    bool whole_ = true;       // its bytes are one run
};

} // namespace qv
