#include "trend/log_indexer.h"

#include "trend/background_thread.h"
#include "trend/line_scanner.h"
#include "trend/log_input.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>
#include <stdexcept>

namespace qv::trend {
namespace {

using Clock = std::chrono::steady_clock;

// Cells a thread gathers before it adds them to the shared summary.
constexpr std::size_t kCellsPerFlush = 4096;
// Steps between neighbouring readings sampled per item, and in all, for the typical step.
constexpr std::size_t kStepsPerItem = 16;
constexpr std::size_t kMostSteps = 16384;
// The start and the end of the file, read first for the span the buckets are made for.
constexpr std::uint64_t kEdgeBytes = std::uint64_t{64} << 10;
// Following: appended bytes read per round, and lines handed over before the owner has
// taken them (then the follower waits: memory stays bounded).
constexpr std::uint64_t kFollowBytes = std::uint64_t{4} << 20;
constexpr std::size_t kMostPendingLines = 1 << 18;

std::int64_t median(std::vector<std::int64_t> steps) {
    if (steps.empty())
        return 0;
    const auto middle = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), middle, steps.end());
    return *middle;
}

} // namespace

struct LogIndexer::Job {
    Job(std::filesystem::path p, bool f, unsigned t, IndexPlan pl, std::function<void()> r)
        : path(std::move(p)), following(f), threads(t), plan(pl), ready(std::move(r)) {}

    const std::filesystem::path path;
    const bool following;
    const unsigned threads;
    const IndexPlan plan; // each thread reads items from a handle of its own
    const std::function<void()> ready;
    std::atomic<bool> cancelled{false};
    std::atomic<bool> finished{false}; // the first thread has returned

    // What is handed over, and the follower's wake-ups: guarded by handMutex.
    std::mutex handMutex;
    std::condition_variable wake; // poked, cancelled, or pending lines taken
    bool live = true;             // the owner still listens; `ready` only while set
    bool poked = false;
    bool signalled = false; // `ready` called and the update not taken yet
    Update pending;
    bool news = false;

    // The first pass: the shared summary and the sampled steps, guarded by summaryMutex.
    std::mutex summaryMutex;
    LogSummary summary;
    std::vector<std::int64_t> steps;
    std::atomic<int> shift{0}; // summary.widthShift(), read without the lock

    // The first pass's plan and progress.
    std::uint64_t size = 0;
    std::uint64_t items = 0;   // of plan.itemBytes
    std::uint64_t samples = 0; // sampled items, 0 or plan.samples
    std::atomic<std::uint64_t> next{0};
    std::atomic<std::uint64_t> bytesDone{0};
    std::atomic<std::uint64_t> samplesDone{0};
    std::atomic<std::uint64_t> tail{0}; // where the lines after the first pass start
    std::atomic<bool> failed{false};
    std::atomic<LogReadStatus> failure{LogReadStatus::Ok};
    std::mutex publishMutex;
    Clock::time_point nextPublish{};

    void run();
    bool firstPass(LogInput& input);
    void scanItems();
    void follow(LogInput& input);
    bool isSampled(std::uint64_t item) const;
    ScanRange itemRange(std::uint64_t index) const;
    void fail(LogReadStatus status);
    void publish(bool force);
    // Hands `update`'s parts over, merged into what is pending; calls `ready` for news.
    void hand(std::optional<LogSummary> summary, std::vector<IndexedLine>* appended,
              std::uint64_t skipped, bool complete, LogReadStatus status);
    double share() const {
        return size == 0 ? 1.0
                         : std::min(1.0, static_cast<double>(bytesDone.load()) /
                                             static_cast<double>(size));
    }
};

bool LogIndexer::Job::isSampled(std::uint64_t item) const {
    if (samples == 0)
        return false;
    const std::uint64_t k = (item * samples + items - 1) / items;
    return k < samples && k * items / samples == item;
}

ScanRange LogIndexer::Job::itemRange(std::uint64_t index) const {
    const bool unendedTaken = !following;
    if (index < samples) {
        const std::uint64_t begin = index * items / samples * plan.itemBytes;
        return {begin, std::min(begin + plan.sampleBytes, size), unendedTaken};
    }
    const std::uint64_t item = index - samples;
    std::uint64_t begin = item * plan.itemBytes;
    if (isSampled(item))
        begin = std::min(begin + plan.sampleBytes, size);
    return {begin, std::min((item + 1) * plan.itemBytes, size), unendedTaken};
}

void LogIndexer::Job::fail(LogReadStatus status) {
    LogReadStatus expected = LogReadStatus::Ok;
    failure.compare_exchange_strong(expected, status);
    failed = true;
}

void LogIndexer::Job::hand(std::optional<LogSummary> summary, std::vector<IndexedLine>* appended,
                           std::uint64_t skipped, bool complete, LogReadStatus status) {
    std::lock_guard lock(handMutex);
    if (!live)
        return;
    if (summary) {
        // A whole summary makes earlier lines not yet taken part of it.
        pending.summary = std::move(summary);
        pending.appended.clear();
        pending.appendedSkipped = 0;
    }
    if (appended) {
        pending.appended.insert(pending.appended.end(), appended->begin(), appended->end());
        pending.appendedSkipped += skipped;
    }
    pending.share = share();
    if (complete) {
        pending.complete = true;
        pending.status = status;
    }
    news = true;
    if (!signalled) {
        signalled = true;
        ready();
    }
}

void LogIndexer::Job::publish(bool force) {
    std::unique_lock gate(publishMutex, std::defer_lock);
    if (force)
        gate.lock();
    else if (!gate.try_lock())
        return;
    if (!force && Clock::now() < nextPublish)
        return;
    std::optional<LogSummary> copy;
    try {
        std::vector<std::int64_t> sampled;
        {
            std::lock_guard lock(summaryMutex);
            copy = summary;
            sampled = steps;
        }
        copy->typicalStep = median(std::move(sampled));
    } catch (const std::bad_alloc&) {
        // No picture this time; the next one, or the end, brings it.
        return;
    }
    hand(std::move(copy), nullptr, 0, false, LogReadStatus::Ok);
    nextPublish = Clock::now() + kPublishPeriod;
}

void LogIndexer::Job::scanItems() {
    runInBackground();
    LogInput input;
    if (const LogReadStatus opened = input.open(path); opened != LogReadStatus::Ok) {
        fail(opened);
        return;
    }
    LineScanner scanner;
    LocalTimeCache times;
    std::vector<SummaryCell> cells;
    std::vector<std::int64_t> itemSteps;
    try {
        cells.reserve(kCellsPerFlush);
        itemSteps.reserve(kStepsPerItem);
        const std::uint64_t total = samples + items;
        for (std::uint64_t index; !cancelled && !failed && (index = next++) < total;) {
            const ScanRange range = itemRange(index);
            const int shift = this->shift.load();
            SummaryCell run{};
            std::int64_t runKey = 0;
            std::int64_t previous = 0;
            bool any = false;
            std::uint64_t skipped = 0;
            itemSteps.clear();
            const auto flush = [&] {
                std::lock_guard lock(summaryMutex);
                for (const SummaryCell& cell : cells)
                    summary.add(cell);
                summary.skippedLines += skipped;
                for (std::size_t i = 0; i < itemSteps.size() && steps.size() < kMostSteps; ++i)
                    steps.push_back(itemSteps[i]);
                this->shift = summary.widthShift();
                cells.clear();
                itemSteps.clear();
                skipped = 0;
            };
            const ScanResult scanned = scanner.scan(
                input, range, &cancelled,
                [&](std::string_view line, std::uint64_t begin, std::uint64_t end) {
                    const auto reading = parseLogLine(line, times);
                    if (!reading) {
                        ++skipped;
                        return;
                    }
                    const std::int64_t key = cellKey(reading->time, shift);
                    if (any && reading->time >= previous && itemSteps.size() < kStepsPerItem)
                        itemSteps.push_back(reading->time - previous);
                    if (any && key == runKey) {
                        run.add(*reading, begin, end);
                    } else {
                        if (any)
                            cells.push_back(run);
                        if (cells.size() >= kCellsPerFlush)
                            flush();
                        run = SummaryCell::of(*reading, begin, end);
                        runKey = key;
                    }
                    any = true;
                    previous = reading->time;
                });
            if (scanned.how == ScanEnd::Unreadable) {
                fail(LogReadStatus::Unreadable);
                return;
            }
            if (scanned.how == ScanEnd::Cancelled)
                return;
            if (any)
                cells.push_back(run);
            flush();
            if (range.end >= size)
                tail = std::max(tail.load(), scanned.resumeAt);
            bytesDone += range.end - std::min(range.begin, range.end);
            if (index < samples && ++samplesDone == samples)
                publish(true); // the first picture of the whole file
            else
                publish(false);
        }
    } catch (const std::bad_alloc&) {
        fail(LogReadStatus::OutOfMemory);
    } catch (const std::length_error&) {
        fail(LogReadStatus::OutOfMemory);
    }
}

bool LogIndexer::Job::firstPass(LogInput& input) {
    {
        std::lock_guard lock(summaryMutex);
        summary = LogSummary();
        steps.clear();
    }
    shift = 0;
    next = 0;
    bytesDone = 0;
    samplesDone = 0;
    tail = 0;
    const auto fileSize = input.size();
    if (!fileSize) {
        hand(std::nullopt, nullptr, 0, true, LogReadStatus::Unreadable);
        return false;
    }
    size = *fileSize;
    items = (size + plan.itemBytes - 1) / plan.itemBytes;
    samples = items > plan.samples ? plan.samples : 0;

    // The buckets are made for the span between the first and the last reading.
    try {
        LineScanner scanner;
        LocalTimeCache times;
        std::optional<std::int64_t> first, last;
        const auto firstOf = [&](std::string_view line, std::uint64_t, std::uint64_t) {
            if (const auto r = parseLogLine(line, times); r && !first)
                first = r->time;
        };
        const auto lastOf = [&](std::string_view line, std::uint64_t, std::uint64_t) {
            if (const auto r = parseLogLine(line, times))
                last = r->time;
        };
        scanner.scan(input, {0, std::min(size, kEdgeBytes), true}, &cancelled, firstOf);
        scanner.scan(input, {size - std::min(size, kEdgeBytes), size, true}, &cancelled, lastOf);
        // The buckets' memory is taken here, so that the owner, adding lines later,
        // never has to.
        std::lock_guard lock(summaryMutex);
        if (first && last)
            summary.expect(*first, *last);
        summary.reserve();
        shift = summary.widthShift();
    } catch (const std::bad_alloc&) {
        hand(std::nullopt, nullptr, 0, true, LogReadStatus::OutOfMemory);
        return false;
    }

    // A read that ends within the period hands over its end only.
    {
        std::lock_guard lock(publishMutex);
        nextPublish = Clock::now() + kPublishPeriod;
    }
    std::vector<std::thread> helpers;
    for (unsigned i = 1; i < threads; ++i) {
        try {
            helpers.emplace_back(&Job::scanItems, this);
        } catch (const std::exception&) {
            break; // fewer threads: the items are shared by those there are
        }
    }
    scanItems();
    for (std::thread& helper : helpers)
        helper.join();
    if (cancelled)
        return false;

    std::lock_guard lock(summaryMutex);
    if (failed) {
        // What was read stays with the owner; the rest of the file cannot be had.
        hand(std::nullopt, nullptr, 0, true, failure.load());
        return false;
    }
    const LogReadStatus status = size == 0         ? LogReadStatus::Empty
                                 : summary.empty() ? LogReadStatus::NoReadings
                                                   : LogReadStatus::Ok;
    summary.typicalStep = median(std::move(steps));
    steps = {};
    hand(std::move(summary), nullptr, 0, true, status);
    summary = LogSummary();
    return true;
}

void LogIndexer::Job::follow(LogInput& input) {
    LineScanner scanner;
    LocalTimeCache times;
    std::vector<IndexedLine> lines;
    std::uint64_t at = tail;
    for (;;) {
        {
            std::unique_lock lock(handMutex);
            wake.wait_for(lock, kFollowPeriod, [&] {
                return cancelled || (poked && pending.appended.size() < kMostPendingLines);
            });
            poked = false;
            if (cancelled)
                return;
            if (pending.appended.size() >= kMostPendingLines)
                continue;
        }
        const auto now = input.size();
        if (now && *now < at)
            return; // emptied or cut: read again from the start
        for (;;) {
            lines.clear();
            std::uint64_t skipped = 0;
            ScanResult scanned;
            try {
                scanned = scanner.scan(
                    input, {at, at + kFollowBytes, false}, &cancelled,
                    [&](std::string_view line, std::uint64_t begin, std::uint64_t end) {
                        if (const auto r = parseLogLine(line, times))
                            lines.push_back({*r, begin, end});
                        else
                            ++skipped;
                    });
            } catch (const std::bad_alloc&) {
                break; // tried again at the next look
            }
            if (scanned.how != ScanEnd::Done || scanned.resumeAt <= at)
                break;
            at = scanned.resumeAt;
            hand(std::nullopt, &lines, skipped, false, LogReadStatus::Ok);
            std::lock_guard lock(handMutex);
            if (pending.appended.size() >= kMostPendingLines)
                break;
        }
        if (cancelled)
            return;
    }
}

void LogIndexer::Job::run() {
    runInBackground();
    LogInput input;
    if (const LogReadStatus opened = input.open(path); opened != LogReadStatus::Ok) {
        hand(std::nullopt, nullptr, 0, true, opened);
    } else {
        while (!cancelled && firstPass(input) && following && !cancelled)
            follow(input);
    }
    finished = true;
}

LogIndexer::LogIndexer(std::function<void()> ready, unsigned threads, IndexPlan plan)
    : ready_(std::move(ready)),
      threads_(threads > 0 ? threads
                           : std::clamp(std::thread::hardware_concurrency(), 1u, kMaxThreads)),
      plan_(plan) {}

LogIndexer::~LogIndexer() {
    cancel();
    reap(true);
}

void LogIndexer::start(const std::filesystem::path& path, bool follow) {
    cancel();
    auto job = std::make_shared<Job>(path, follow, threads_, plan_, ready_);
    try {
        thread_ = std::thread(&Job::run, job.get());
    } catch (const std::exception&) {
        // No thread to be had: out of resources, said as an ended read.
        job->pending.complete = true;
        job->pending.status = LogReadStatus::OutOfMemory;
        job->news = true;
        job_ = std::move(job);
        ready_();
        return;
    }
    job_ = std::move(job);
    complete_ = false;
}

void LogIndexer::cancel() {
    if (job_) {
        job_->cancelled = true;
        {
            std::lock_guard lock(job_->handMutex);
            job_->live = false;
        }
        job_->wake.notify_all();
        if (thread_.joinable())
            retired_.emplace_back(std::move(job_), std::move(thread_));
        job_.reset();
    }
    complete_ = false;
    reap(false);
}

void LogIndexer::reap(bool wait) {
    for (auto it = retired_.begin(); it != retired_.end();) {
        if (wait || it->first->finished) {
            it->second.join();
            it = retired_.erase(it);
        } else {
            ++it;
        }
    }
}

void LogIndexer::poke() {
    if (!job_)
        return;
    {
        std::lock_guard lock(job_->handMutex);
        job_->poked = true;
    }
    job_->wake.notify_all();
}

std::optional<LogIndexer::Update> LogIndexer::take() {
    reap(false);
    if (!job_)
        return std::nullopt;
    Update update;
    {
        std::lock_guard lock(job_->handMutex);
        job_->signalled = false;
        if (!job_->news)
            return std::nullopt;
        update = std::move(job_->pending);
        job_->pending = Update();
        job_->news = false;
    }
    // Room for more appended lines.
    job_->wake.notify_all();
    if (update.complete)
        complete_ = true;
    return update;
}

} // namespace qv::trend
