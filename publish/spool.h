#pragma once

// Readings waiting for the broker, kept on disk in a folder of their own so that they
// outlive a broker that is away for days and a restart of the program; sent oldest
// first, removed once the broker acknowledged them.
//
// Layout: segment files "segment-<sequence of their first reading, 20 digits>.qvs" of
// fixed 20-byte records (time, humidity, temperature, checksum, in this machine's byte
// order), appended in order, at most `segmentReadings` each; and a file "position" that
// holds the sequence of the oldest reading not yet acknowledged and the count of readings
// dropped, replaced whole (written beside, then renamed). Sequences grow for the life of
// the folder; a segment is deleted once all its readings are acknowledged or dropped.
//
// Durability: each append reaches the operating system at once, so a crash of the
// program loses no appended reading; sync() puts the appends and the position on the
// disk, and its owner calls it in batches (the publisher every few seconds), so a crash
// of the machine loses at most the readings since the last sync. A record torn by a
// crash fails its checksum and is cut off at the next open; the others stay readable.
// A lost or stale position only sends some readings again, never loses one.
//
// Bounds: beyond `capacity` readings the oldest are dropped and counted. Memory holds a
// few numbers per segment file, whatever the spool holds; a segment never counts more
// than `segmentReadings` records, whatever size its file has.
//
// Thread contract: one thread at a time calls every member (the publisher's worker); no
// locks. A folder is open in at most one Spool of the process at a time.

#include "trend/timed_reading.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace qv::publish {

// A week of readings at one a second.
inline constexpr std::size_t kSpoolCapacity = 7 * 24 * 3600;
// An hour at one a second: 72 KB a file.
inline constexpr std::size_t kSegmentReadings = 3600;

struct SpoolOptions {
    std::size_t capacity = kSpoolCapacity;
    std::size_t segmentReadings = kSegmentReadings;

    bool operator==(const SpoolOptions&) const = default;
};

struct SpooledReading {
    std::uint64_t sequence;
    trend::TimedReading reading;
};

class Spool {
public:
    struct Batch {
        std::vector<SpooledReading> readings; // oldest first
        std::uint64_t next = 0;               // the sequence after the last one looked at
    };

    // Opens the spool in `folder`, making the folder when it is missing. Null, with
    // `error` in words for the user, when the folder cannot be used or is in use.
    static std::unique_ptr<Spool> open(const std::filesystem::path& folder, SpoolOptions options,
                                       std::string& error);
    // sync(), then the folder is free again.
    ~Spool();
    Spool(const Spool&) = delete;
    Spool& operator=(const Spool&) = delete;

    // Adds a reading after the newest; beyond the capacity drops the oldest. False when
    // the disk refused it: that reading is lost, lastError() says why.
    bool append(const trend::TimedReading& reading);
    // Up to `max` waiting readings from sequence `from` on. Records that fail their
    // checksum or cannot be read are skipped (`next` passes them).
    Batch read(std::uint64_t from, std::size_t max);
    // The readings before sequence `end` are delivered and leave the spool.
    void acknowledge(std::uint64_t end);
    // Appends and position on the disk. False when the disk refused (lastError()).
    bool sync();

    std::uint64_t begin() const { return begin_; } // the oldest waiting
    std::uint64_t end() const { return end_; }     // one past the newest
    std::uint64_t size() const { return end_ - begin_; }
    std::uint64_t dropped() const { return dropped_; }
    const std::string& lastError() const { return lastError_; }

private:
    struct Segment {
        std::uint64_t first;
        std::uint64_t count;
    };

    Spool(std::filesystem::path folder, SpoolOptions options);
    void load();
    std::filesystem::path segmentPath(std::uint64_t first) const;
    bool appendable() const; // the last segment takes the next reading
    bool openWriter();
    void closeWriter();
    void dropOverflow();
    void removeConsumed();
    bool writePosition();
    void fail(const std::string& what);

    const std::filesystem::path folder_;
    const SpoolOptions options_;
    std::deque<Segment> segments_; // by sequence; the last one is written
    std::FILE* writer_ = nullptr;  // the last segment, open for appending
    std::uint64_t begin_ = 0;
    std::uint64_t end_ = 0;
    std::uint64_t dropped_ = 0;
    bool dataDirty_ = false;     // appended since the last sync
    bool folderDirty_ = false;   // a segment made since the last sync
    bool positionDirty_ = false; // begin_ or dropped_ changed since the last sync
    std::string lastError_;
};

} // namespace qv::publish
