#include "publish/spool.h"

#include "publish/durable_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>
#include <system_error>

namespace qv::publish {
namespace {

constexpr std::size_t kRecordSize = 20;
constexpr char kSegmentStart[] = "segment-";
constexpr char kSegmentEnd[] = ".qvs";
constexpr std::size_t kSequenceDigits = 20;
constexpr char kPositionName[] = "position";
constexpr char kPositionNew[] = "position.new";
constexpr char kPositionTag[] = "qv5300-spool-1";

// The folders open in a Spool of this process.
std::mutex claimsMutex;
std::set<std::string> claims;

std::uint32_t checksum(const unsigned char* bytes, std::size_t count) {
    std::uint32_t hash = 2166136261u; // FNV-1a: all-zero records do not pass
    for (std::size_t i = 0; i < count; ++i)
        hash = (hash ^ bytes[i]) * 16777619u;
    return hash;
}

void encode(const trend::TimedReading& reading, unsigned char* record) {
    std::memcpy(record, &reading.time, 8);
    std::memcpy(record + 8, &reading.humidity, 4);
    std::memcpy(record + 12, &reading.temperature, 4);
    const std::uint32_t sum = checksum(record, 16);
    std::memcpy(record + 16, &sum, 4);
}

bool decode(const unsigned char* record, trend::TimedReading& reading) {
    std::uint32_t sum;
    std::memcpy(&sum, record + 16, 4);
    if (sum != checksum(record, 16))
        return false;
    std::memcpy(&reading.time, record, 8);
    std::memcpy(&reading.humidity, record + 8, 4);
    std::memcpy(&reading.temperature, record + 12, 4);
    return true;
}

// The first sequence of a segment file's name; false for any other name.
bool segmentFirst(const std::string& name, std::uint64_t& first) {
    const std::size_t start = sizeof kSegmentStart - 1, end = sizeof kSegmentEnd - 1;
    if (name.size() != start + kSequenceDigits + end || name.rfind(kSegmentStart, 0) != 0 ||
        name.compare(start + kSequenceDigits, end, kSegmentEnd) != 0)
        return false;
    first = 0;
    for (std::size_t i = start; i < start + kSequenceDigits; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        first = first * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    return true;
}

bool isRegularFile(const std::filesystem::path& path) {
    std::error_code error;
    return std::filesystem::symlink_status(path, error).type() ==
           std::filesystem::file_type::regular;
}

} // namespace

std::unique_ptr<Spool> Spool::open(const std::filesystem::path& folder, SpoolOptions options,
                                   std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder, ec)) {
        error = "cannot use the folder " + folder.string() + ": " +
                (ec ? ec.message() : std::string("not a folder"));
        return nullptr;
    }
    options.capacity = std::max<std::size_t>(options.capacity, 1);
    options.segmentReadings = std::max<std::size_t>(options.segmentReadings, 1);
    const auto key = std::filesystem::weakly_canonical(folder, ec).string();
    {
        std::lock_guard lock(claimsMutex);
        if (!claims.insert(key).second) {
            error = "the folder " + folder.string() + " is in use by another publisher";
            return nullptr;
        }
    }
    std::unique_ptr<Spool> spool(new Spool(key, options));
    spool->load();
    return spool;
}

Spool::Spool(std::filesystem::path folder, SpoolOptions options)
    : folder_(std::move(folder)), options_(options) {}

Spool::~Spool() {
    sync();
    closeWriter();
    std::lock_guard lock(claimsMutex);
    claims.erase(folder_.string());
}

std::filesystem::path Spool::segmentPath(std::uint64_t first) const {
    std::string digits = std::to_string(first);
    digits.insert(0, kSequenceDigits - digits.size(), '0');
    return folder_ / (kSegmentStart + digits + kSegmentEnd);
}

void Spool::load() {
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder_, ec)) {
        std::uint64_t first = 0;
        // Only regular files: anything else under our names (a pipe, a link) is not ours.
        if (!segmentFirst(entry.path().filename().string(), first) || !isRegularFile(entry.path()))
            continue;
        const auto bytes = std::filesystem::file_size(entry.path(), ec);
        const std::uint64_t count =
            ec ? 0 : std::min<std::uint64_t>(bytes / kRecordSize, options_.segmentReadings);
        segments_.push_back({first, count});
    }
    std::sort(segments_.begin(), segments_.end(),
              [](const Segment& a, const Segment& b) { return a.first < b.first; });

    // A crash may have torn the newest records of the last segment: cut them off, so
    // that appends follow whole records.
    if (!segments_.empty()) {
        Segment& last = segments_.back();
        if (std::FILE* file = std::fopen(segmentPath(last.first).string().c_str(), "rb")) {
            unsigned char record[kRecordSize];
            trend::TimedReading reading;
            while (last.count > 0 &&
                   !(std::fseek(file, static_cast<long>((last.count - 1) * kRecordSize),
                                SEEK_SET) == 0 &&
                     std::fread(record, 1, kRecordSize, file) == kRecordSize &&
                     decode(record, reading)))
                --last.count;
            std::fclose(file);
        }
        // An empty last segment holds no sequence: the next append makes its own.
        if (last.count == 0) {
            std::filesystem::remove(segmentPath(last.first), ec);
            segments_.pop_back();
        }
    }
    if (!segments_.empty())
        end_ = segments_.back().first + segments_.back().count;

    std::uint64_t next = segments_.empty() ? 0 : segments_.front().first;
    const auto positionPath = folder_ / kPositionName;
    if (isRegularFile(positionPath)) {
        if (std::FILE* file = std::fopen(positionPath.string().c_str(), "rb")) {
            char tag[32] = "";
            unsigned long long stored = 0, dropped = 0;
            if (std::fscanf(file, "%31s %llu %llu", tag, &stored, &dropped) == 3 &&
                std::strcmp(tag, kPositionTag) == 0) {
                next = std::max<std::uint64_t>(next, stored);
                dropped_ = dropped;
            }
            std::fclose(file);
        }
    }
    std::filesystem::remove(folder_ / kPositionNew, ec);
    // With nothing left, sequences go on from where they were.
    end_ = std::max(end_, next);
    begin_ = std::min(next, end_);
    removeConsumed();
    dropOverflow();
}

bool Spool::appendable() const {
    if (segments_.empty())
        return false;
    const Segment& last = segments_.back();
    return last.count < options_.segmentReadings && last.first + last.count == end_;
}

bool Spool::openWriter() {
    const Segment& last = segments_.back();
    const auto path = segmentPath(last.first);
    std::error_code ec;
    // Whatever follows the whole records (a torn or failed write) goes first.
    if (std::filesystem::exists(path, ec))
        std::filesystem::resize_file(path, last.count * kRecordSize, ec);
    if (ec) {
        fail("cannot cut back " + path.string() + ": " + ec.message());
        return false;
    }
    writer_ = std::fopen(path.string().c_str(), "ab");
    if (writer_ == nullptr) {
        fail("cannot open " + path.string() + ": " + std::strerror(errno));
        return false;
    }
    return true;
}

void Spool::closeWriter() {
    if (writer_ != nullptr)
        std::fclose(writer_);
    writer_ = nullptr;
}

bool Spool::append(const trend::TimedReading& reading) {
    if (!appendable()) {
        // The finished segment goes to the disk before the next one is started.
        if (writer_ != nullptr && dataDirty_ && !syncToDisk(writer_))
            fail(std::string("cannot write a segment to the disk: ") + std::strerror(errno));
        closeWriter();
        // Whatever has the new segment's name is not one of ours (a pipe, a link).
        std::error_code ec;
        std::filesystem::remove(segmentPath(end_), ec);
        segments_.push_back({end_, 0});
        folderDirty_ = true;
    }
    if (writer_ == nullptr && !openWriter())
        return false;
    unsigned char record[kRecordSize];
    encode(reading, record);
    if (std::fwrite(record, 1, kRecordSize, writer_) != kRecordSize || std::fflush(writer_) != 0) {
        fail(std::string("cannot write a reading: ") + std::strerror(errno));
        closeWriter();
        return false;
    }
    ++segments_.back().count;
    ++end_;
    dataDirty_ = true;
    dropOverflow();
    return true;
}

Spool::Batch Spool::read(std::uint64_t from, std::size_t max) {
    Batch batch;
    batch.next = std::max(from, begin_);
    for (const Segment& segment : segments_) {
        if (batch.readings.size() >= max)
            break;
        const std::uint64_t segmentEnd = segment.first + segment.count;
        if (segmentEnd <= batch.next)
            continue;
        batch.next = std::max(batch.next, segment.first);
        const auto path = segmentPath(segment.first);
        std::FILE* file = std::fopen(path.string().c_str(), "rb");
        if (file == nullptr ||
            std::fseek(file, static_cast<long>((batch.next - segment.first) * kRecordSize),
                       SEEK_SET) != 0) {
            fail("cannot read " + path.string() + ": " + std::strerror(errno));
            if (file != nullptr)
                std::fclose(file);
            batch.next = segmentEnd;
            continue;
        }
        unsigned char record[kRecordSize];
        while (batch.next < segmentEnd && batch.readings.size() < max) {
            if (std::fread(record, 1, kRecordSize, file) != kRecordSize) {
                batch.next = segmentEnd; // shorter than counted: the rest is gone
                break;
            }
            SpooledReading spooled{batch.next++, {}};
            if (decode(record, spooled.reading))
                batch.readings.push_back(spooled);
        }
        std::fclose(file);
    }
    return batch;
}

void Spool::acknowledge(std::uint64_t end) {
    end = std::min(end, end_);
    if (end <= begin_)
        return;
    begin_ = end;
    positionDirty_ = true;
    removeConsumed();
}

void Spool::dropOverflow() {
    if (end_ - begin_ <= options_.capacity)
        return;
    dropped_ += end_ - options_.capacity - begin_;
    begin_ = end_ - options_.capacity;
    positionDirty_ = true;
    removeConsumed();
}

void Spool::removeConsumed() {
    while (!segments_.empty()) {
        const Segment& oldest = segments_.front();
        // The segment still appended to stays, also when all it holds is delivered.
        if (oldest.first + oldest.count > begin_ || (segments_.size() == 1 && appendable()))
            break;
        if (segments_.size() == 1)
            closeWriter();
        std::error_code ec;
        std::filesystem::remove(segmentPath(oldest.first), ec);
        segments_.pop_front();
        folderDirty_ = true;
    }
}

bool Spool::writePosition() {
    const auto fresh = folder_ / kPositionNew;
    std::FILE* file = std::fopen(fresh.string().c_str(), "wb");
    if (file == nullptr) {
        fail("cannot write " + fresh.string() + ": " + std::strerror(errno));
        return false;
    }
    const bool written =
        std::fprintf(file, "%s %llu %llu\n", kPositionTag, static_cast<unsigned long long>(begin_),
                     static_cast<unsigned long long>(dropped_)) > 0 &&
        syncToDisk(file);
    const int writeError = errno;
    std::fclose(file);
    if (!written) {
        fail("cannot write " + fresh.string() + ": " + std::strerror(writeError));
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(fresh, folder_ / kPositionName, ec);
    if (ec) {
        fail("cannot replace the position: " + ec.message());
        return false;
    }
    return true;
}

bool Spool::sync() {
    bool ok = true;
    if (writer_ != nullptr && dataDirty_) {
        if (syncToDisk(writer_))
            dataDirty_ = false;
        else {
            fail(std::string("cannot write readings to the disk: ") + std::strerror(errno));
            ok = false;
        }
    }
    if (positionDirty_) {
        if (writePosition()) {
            positionDirty_ = false;
            folderDirty_ = true;
        } else {
            ok = false;
        }
    }
    if (folderDirty_) {
        syncFolder(folder_);
        folderDirty_ = false;
    }
    return ok;
}

void Spool::fail(const std::string& what) {
    lastError_ = what;
}

} // namespace qv::publish
