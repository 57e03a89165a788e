#include "acquisition/measurement_log.h"

#include "tests/support/fake_window_services.h"
#include "tests/support/files.h"
#include "tests/support/fixed_clock.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include "tests/support/named_row.h"

#include <gtest/gtest.h>

#include <chrono>
#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <future>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qv {
namespace {

using test::FakeWindowServices;
using namespace std::chrono_literals;

using test::FixedClock;
using test::kDecember6;
using test::readFile;
using test::writeFile;

void useUtc() {
    setenv("TZ", "UTC", 1);
    tzset();
}

// ---------------------------------------------------------------------------------
// Line format

struct LineRow {
    const char* name;
    std::time_t when;
    float humidity, temperature;
    std::string expected;
};

void PrintTo(const LineRow& row, std::ostream* os) {
    *os << row.name;
}

class LineFormat : public testing::TestWithParam<LineRow> {
protected:
    void SetUp() override { useUtc(); }
};

TEST_P(LineFormat, IsByteExact) {
    const LineRow& row = GetParam();
    EXPECT_EQ(MeasurementLog::formatLine(row.when, row.humidity, row.temperature), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, LineFormat,
                         testing::Values(LineRow{"Typical", kDecember6, 45.3f, 23.1f,
                                                 "12/06/2010\t17:50:50\t45.3\t23.1\r\n"},
                                         LineRow{"SingleDigitIsPaddedToFour", kDecember6, 5.0f,
                                                 7.0f, "12/06/2010\t17:50:50\t 5.0\t 7.0\r\n"},
                                         LineRow{"HundredIsWiderThanTheMinimum", kDecember6, 100.0f,
                                                 0.0f, "12/06/2010\t17:50:50\t100.0\t 0.0\r\n"},
                                         LineRow{"NegativeTemperature", kDecember6, 45.3f, -12.5f,
                                                 "12/06/2010\t17:50:50\t45.3\t-12.5\r\n"},
                                         LineRow{"DateAndTimeAreZeroPadded", 1293937445, 45.3f,
                                                 23.1f, "01/02/2011\t03:04:05\t45.3\t23.1\r\n"},
                                         LineRow{"UnconvertibleTimeLeavesTheStampEmpty",
                                                 std::numeric_limits<std::time_t>::max(), 45.3f,
                                                 23.1f, "45.3\t23.1\r\n"}),
                         [](const testing::TestParamInfo<LineRow>& info) {
                             return info.param.name;
                         });

TEST(LineFormatLocale, DecimalCommaLocaleStillWritesPoints) {
    useUtc();
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, "de_DE.UTF-8"), nullptr)
        << "locale de_DE.UTF-8 is missing; create it: localedef -i de_DE -f UTF-8 de_DE.UTF-8";
    const std::string line = MeasurementLog::formatLine(kDecember6, 5.0f, -12.5f);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(line, "12/06/2010\t17:50:50\t 5.0\t-12.5\r\n");
}

// Hands `log` the outcome of every line it has queued, as the window routes them.
void settle(FakeWindowServices& window, MeasurementLog& log) {
    while (log.linesInFlight() > 0 && window.waitForPosted(1, 5s)) {
        window.takePosted();
        log.lineDone();
    }
    EXPECT_EQ(log.linesInFlight(), 0);
}

// ---------------------------------------------------------------------------------
// The log over real files

class MeasurementLogTest : public testing::Test {
protected:
    void SetUp() override {
        useUtc();
        ASSERT_FALSE(folder_.path().empty());
        dir_ = folder_.path().string();
        path = dir_ + "/log.txt";
    }
    void TearDown() override {
        log.reset();
        second.reset();
    }

    std::unique_ptr<MeasurementLog> makeLog(FakeWindowServices& services, std::string file,
                                            bool append) {
        auto made = std::make_unique<MeasurementLog>(services, clock);
        made->setFileName(std::move(file));
        made->setAppend(append);
        return made;
    }
    void start(const std::string& file, bool append) {
        log = makeLog(window, file, append);
        log->toggle();
    }
    // One Reading of a pending poll, its outcome handed back; whether it was counted.
    bool record(float humidity, float temperature, bool pending = true) {
        const int before = log->recordCount();
        log->writeRecord(pending, humidity, temperature);
        settle(window, *log);
        return log->recordCount() > before;
    }
    std::string line(float humidity, float temperature) const {
        return MeasurementLog::formatLine(clock.when, humidity, temperature);
    }
    std::string caption() { return window.texts[ctl::kStartStopLog]; }
    std::vector<std::string> countTexts() const {
        std::vector<std::string> out;
        for (const auto& [id, text] : window.textLog)
            if (id == ctl::kRecordCount)
                out.push_back(text);
        return out;
    }

    test::TempFolder folder_{"qv-log-test"};
    std::string dir_;
    std::string path;
    FixedClock clock;
    FakeWindowServices window;
    std::unique_ptr<MeasurementLog> log;
    FakeWindowServices secondWindow;
    std::unique_ptr<MeasurementLog> second;
};

TEST_F(MeasurementLogTest, FirstStartEmptiesAnExistingFileUnlessAppendIsOn) {
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "append on" : "append off");
        writeFile(path, "old line\r\n");
        start(path, append);
        EXPECT_TRUE(log->logging());
        EXPECT_TRUE(log->fileOpen());
        EXPECT_EQ(caption(), "Stop Log");

        EXPECT_TRUE(record(45.3f, 23.1f));
        // On disk at once, while the log is still open.
        EXPECT_EQ(readFile(path), (append ? "old line\r\n" : "") + line(45.3f, 23.1f));
    }
}

TEST_F(MeasurementLogTest, RestartInTheSameRunAppendsAndCountsOn) {
    writeFile(path, "old line\r\n");
    start(path, false);
    record(45.3f, 23.1f);
    log->toggle();
    EXPECT_FALSE(log->logging());
    EXPECT_FALSE(log->fileOpen());
    EXPECT_EQ(caption(), "Start Log");

    clock.when += 5;
    log->toggle(); // append is off, yet nothing is emptied now
    record(46.0f, 22.9f);
    EXPECT_EQ(readFile(path),
              MeasurementLog::formatLine(kDecember6, 45.3f, 23.1f) + line(46.0f, 22.9f));
    // "0" only at the first start; the count is not reset by stopping.
    EXPECT_EQ(countTexts(), (std::vector<std::string>{"0", "1", "2"}));
}

TEST_F(MeasurementLogTest, WritesOnlyForAPendingPollWhileLogging) {
    struct Case {
        const char* name;
        bool pending;
        bool logging;
        bool written;
    };
    for (const Case& c : {Case{"pending, logging", true, true, true},
                          Case{"not pending, logging", false, true, false},
                          Case{"pending, stopped", true, false, false}}) {
        SCOPED_TRACE(c.name);
        std::remove(path.c_str());
        log = makeLog(window, path, false);
        if (c.logging)
            log->toggle();
        EXPECT_EQ(log->writeRecord(c.pending, 45.3f, 23.1f), c.written);
        settle(window, *log);
        EXPECT_EQ(readFile(path), c.written ? line(45.3f, 23.1f) : "");
        EXPECT_EQ(log->recordCount(), c.written ? 1 : 0);
    }
}

TEST_F(MeasurementLogTest, UnopenableFileIsShownAndLeavesLoggingOff) {
    const std::string fifo = dir_ + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        const char* name;
        std::string file;
    };
    for (const Case& c : {Case{"folder that does not exist", dir_ + "/missing/log.txt"},
                          Case{"a folder", dir_}, Case{"empty name", ""},
                          // Must fail at once rather than wait for a reader.
                          Case{"pipe nobody reads", fifo}}) {
        SCOPED_TRACE(c.name);
        FakeWindowServices boxWindow;
        log = makeLog(boxWindow, c.file, false);
        // A Reading handled while the box is open is not logged: the file is not open.
        bool queuedDuringBox = false;
        boxWindow.onMessageBox = [&](const FakeWindowServices::Box&) {
            queuedDuringBox = log->writeRecord(true, 45.3f, 23.1f);
        };
        log->toggle();

        ASSERT_EQ(boxWindow.boxes.size(), 1u);
        EXPECT_EQ(boxWindow.boxes[0].text, "Error opening file");
        EXPECT_EQ(boxWindow.boxes[0].icon, BoxIcon::Exclamation);
        EXPECT_FALSE(queuedDuringBox);
        EXPECT_FALSE(log->logging());
        EXPECT_FALSE(log->fileOpen());
        EXPECT_FALSE(log->startedOnce());
        EXPECT_EQ(boxWindow.texts[ctl::kStartStopLog], "Start Log");
        EXPECT_EQ(boxWindow.texts.count(ctl::kRecordCount), 0u);
        EXPECT_EQ(log->recordCount(), 0);
    }
}

TEST_F(MeasurementLogTest, AFailedFirstStartDoesNotCountAsTheFirst) {
    start(dir_ + "/missing/log.txt", false);
    writeFile(path, "old line\r\n");
    log->setFileName(path);
    log->toggle();
    EXPECT_TRUE(log->fileOpen());
    EXPECT_EQ(readFile(path), "");
    EXPECT_EQ(countTexts(), (std::vector<std::string>{"0"}));
}

TEST_F(MeasurementLogTest, FileHeldByAnotherLogIsNeitherOpenedNorEmptied) {
    start(path, false);
    record(45.3f, 23.1f);

    second = makeLog(secondWindow, path, false);
    second->toggle();
    ASSERT_EQ(secondWindow.boxes.size(), 1u);
    EXPECT_EQ(secondWindow.boxes[0].text, "Error opening file");
    EXPECT_FALSE(second->logging());
    EXPECT_EQ(readFile(path), line(45.3f, 23.1f));

    // Released by stopping, and by the end of the first log.
    log->toggle();
    second->toggle();
    EXPECT_TRUE(second->fileOpen());
    second->toggle();
    log->toggle();
    log.reset();
    second->toggle();
    EXPECT_TRUE(second->fileOpen());
}

TEST_F(MeasurementLogTest, StopForNewFileStopsAndTheNextStartAppends) {
    start(path, false);
    record(45.3f, 23.1f);
    log->stopForNewFile();
    EXPECT_FALSE(log->logging());
    EXPECT_FALSE(log->fileOpen());
    EXPECT_EQ(caption(), "Start Log");

    const std::string other = dir_ + "/other.txt";
    writeFile(other, "old line\r\n");
    log->setFileName(other);
    log->toggle();
    record(45.3f, 23.1f);
    EXPECT_EQ(readFile(other), "old line\r\n" + line(45.3f, 23.1f));
    EXPECT_EQ(log->recordCount(), 2);
}

TEST_F(MeasurementLogTest, CloseOnExitReleasesTheFileAndKeepsLogging) {
    start(path, false);
    log->closeOnExit();
    EXPECT_TRUE(log->logging());
    EXPECT_EQ(caption(), "Stop Log");
    // A Reading that still arrives is not written to the closed file.
    EXPECT_FALSE(record(45.3f, 23.1f));
    EXPECT_TRUE(window.boxes.empty());

    second = makeLog(secondWindow, path, true);
    second->toggle();
    EXPECT_TRUE(second->fileOpen());
}

// ---------------------------------------------------------------------------------
// Write failures

TEST_F(MeasurementLogTest, FailedWriteIsShownNotCountedAndRetried) {
    start("/dev/full", false);
    ASSERT_TRUE(log->fileOpen());
    // A further Reading of the poll, handled while the box is open, tries again and
    // fails again but adds no second box.
    window.onMessageBox = [&](const FakeWindowServices::Box&) {
        window.onMessageBox = nullptr;
        EXPECT_FALSE(record(45.3f, 23.1f, false));
    };

    EXPECT_FALSE(record(45.3f, 23.1f));
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Disk full while accessing /dev/full.");
    EXPECT_EQ(window.boxes[0].icon, BoxIcon::Stop);
    EXPECT_EQ(log->recordCount(), 0);
    EXPECT_EQ(countTexts(), (std::vector<std::string>{"0"}));
    EXPECT_TRUE(log->logging());
    EXPECT_TRUE(log->fileOpen());

    // Logging goes on: the next Reading tries again and is reported again.
    EXPECT_FALSE(record(45.3f, 23.1f, false));
    EXPECT_EQ(window.boxes.size(), 2u);
}

TEST_F(MeasurementLogTest, PipeWhoseReaderStopsReadingFailsTheWriteInsteadOfWaiting) {
    const std::string fifo = dir_ + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int reader =
        ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK); // reads only to let a late line go
    ASSERT_GE(reader, 0);
    auto file = makePlatformLogFile(100ms);
    ASSERT_TRUE(file->open(fifo, false));
    auto written = std::async(std::launch::async, [&] {
        return file->write(std::string(1 << 20, 'x')); // more than a pipe holds
    });
    EXPECT_EQ(written.wait_for(5s), std::future_status::ready) << "the line outlived its limit";
    // A write still waiting is let go by reading the pipe empty.
    char sink[1 << 16];
    test::waitUntil([&] { return written.wait_for(0s) == std::future_status::ready; }, 60s,
                    [&] {
                        [[maybe_unused]] const ssize_t taken = ::read(reader, sink, sizeof sink);
                        test::sleepBriefly();
                    });
    EXPECT_FALSE(written.get());
    EXPECT_EQ(file->lastErrorText(), "the reader took nothing for 100 ms");
    file->close();
    ::close(reader);
}

// Lets a test make writes beyond `limit` bytes fail part-way (EFBIG), then undoes it.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t limit) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

TEST_F(MeasurementLogTest, WriteFailingPartWayLeavesNoTornLine) {
    start(path, false);
    record(45.3f, 23.1f);
    const std::string first = line(45.3f, 23.1f);
    {
        FileSizeLimit limit(first.size() + 10);
        ASSERT_TRUE(limit.ok());
        EXPECT_FALSE(record(46.0f, 22.9f));
        EXPECT_EQ(readFile(path), first);
    }
    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Disk full while accessing " + path + ".");

    EXPECT_TRUE(record(46.0f, 22.9f, false)); // the failed poll's further Reading
    EXPECT_EQ(readFile(path), first + line(46.0f, 22.9f));
    EXPECT_EQ(log->recordCount(), 2);
}

// Another program appends while the log is open, as `echo NOTE >> log` does. Steps: 'L' a
// line of ours, 'N' their "NOTE\n", 'F' a line of ours that fails part-way (the disk
// fills), 'C' our last line cut back (its sync failed). Their bytes always stay.
struct AppendRow : test::NamedRow {
    const char *steps, *expected;
};

class AppendedByAnother : public MeasurementLogTest,
                          public testing::WithParamInterface<AppendRow> {};

TEST_P(AppendedByAnother, StaysWhole) {
    auto file = makePlatformLogFile();
    ASSERT_TRUE(file->open(path, false) && file->seekToEnd());
    int ours = 0;
    for (const char step : std::string(GetParam().steps)) {
        if (step == 'N') {
            std::ofstream(path, std::ios::app) << "NOTE\n";
        } else if (step == 'C') {
            file->cutBackLastWrite();
        } else {
            FileSizeLimit limit(step == 'F' ? readFile(path).size() + 3 : RLIM_INFINITY);
            EXPECT_EQ(file->write("ours " + std::to_string(++ours) + "\n"), step == 'L');
        }
    }
    EXPECT_EQ(readFile(path), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AppendedByAnother,
    testing::Values(AppendRow{{"BetweenTwoLinesOfOurs"}, "LNL", "ours 1\nNOTE\nours 2\n"},
                    AppendRow{{"BeforeALineThatFails"}, "LNF", "ours 1\nNOTE\n"},
                    AppendRow{{"AfterALineThenCutBack"}, "LLNC", "ours 1\nours 2\nNOTE\n"},
                    AppendRow{{"BeforeALineThenCutBack"}, "LNLC", "ours 1\nNOTE\n"}),
    test::RowName{});

// A file whose every operation can be made to fail; it notes the writer's calls.
class FailingFile final : public LogFile {
public:
    bool failSeek = false;
    bool failWrite = false;
    bool failSync = false;
    bool failClose = false;
    bool open_ = false;
    std::string calls; // the writer thread's, read after the writer ended
    bool open(const std::string&, bool) override { return open_ = true; }
    bool seekToEnd() override { return !failSeek; }
    bool write(std::string_view) override {
        calls += "write ";
        return !failWrite;
    }
    bool sync() override {
        calls += "sync ";
        return !failSync;
    }
    void cutBackLastWrite() override { calls += "cut "; }
    bool close() override {
        open_ = false;
        return !failClose;
    }
    bool isOpen() const override { return open_; }
    std::string fullPath() const override { return "/logs/qv.txt"; }
    std::string lastErrorText() const override { return "Input/output error"; }
};

struct SyncRow : test::NamedRow {
    bool failWrite, failSync;
    std::string calls;
    int counted;
};

class LineOnDisk : public testing::TestWithParam<SyncRow> {};

// Each line is synced once; a line whose write or sync fails is cut back (a failed
// write cuts back by itself), not counted, and shown with the file and the reason.
TEST_P(LineOnDisk, IsSyncedOnceAndCountedOnlyWhenSynced) {
    const SyncRow& row = GetParam();
    FakeWindowServices window;
    FixedClock clock;
    auto file = std::make_unique<FailingFile>();
    FailingFile& f = *file;
    f.failWrite = row.failWrite;
    f.failSync = row.failSync;
    MeasurementLog log(window, clock, std::move(file));
    log.toggle();
    bool pending = true;
    log.writeRecord(pending, 45.3f, 23.1f);
    settle(window, log);
    log.toggle();

    EXPECT_EQ(f.calls, row.calls);
    EXPECT_EQ(log.recordCount(), row.counted);
    EXPECT_EQ(window.boxes.size(), row.counted ? 0u : 1u);
    for (const FakeWindowServices::Box& box : window.boxes)
        EXPECT_EQ(box.detail, "/logs/qv.txt: Input/output error");
}

INSTANTIATE_TEST_SUITE_P(Rows, LineOnDisk,
                         testing::Values(SyncRow{"Synced", false, false, "write sync ", 1},
                                         SyncRow{"SyncFails", false, true, "write sync cut ", 0},
                                         SyncRow{"WriteFails", true, false, "write ", 0}),
                         [](const testing::TestParamInfo<SyncRow>& info) {
                             return info.param.name;
                         });

TEST(MeasurementLogFailures, FailedSeekClosesTheFileAndLeavesLoggingOff) {
    FakeWindowServices window;
    FixedClock clock;
    auto file = std::make_unique<FailingFile>();
    FailingFile& f = *file;
    f.failSeek = true;
    MeasurementLog log(window, clock, std::move(file));
    log.setFileName("qv.txt");
    log.toggle();

    ASSERT_EQ(window.boxes.size(), 1u);
    EXPECT_EQ(window.boxes[0].text, "Seek failed on /logs/qv.txt");
    EXPECT_EQ(window.boxes[0].icon, BoxIcon::Stop);
    EXPECT_FALSE(f.isOpen());
    EXPECT_FALSE(log.logging());
    EXPECT_FALSE(log.fileOpen());
    EXPECT_FALSE(log.startedOnce());
    EXPECT_EQ(window.texts[ctl::kStartStopLog], "Start Log");
}

TEST(MeasurementLogFailures, FailedCloseIsShownWhereverTheFileCloses) {
    struct Case {
        const char* name;
        void (*close)(MeasurementLog&);
    };
    for (const Case& c : {Case{"toggle", [](MeasurementLog& l) { l.toggle(); }},
                          Case{"stopForNewFile", [](MeasurementLog& l) { l.stopForNewFile(); }},
                          Case{"closeOnExit", [](MeasurementLog& l) { l.closeOnExit(); }}}) {
        SCOPED_TRACE(c.name);
        FakeWindowServices window;
        FixedClock clock;
        auto file = std::make_unique<FailingFile>();
        file->failClose = true;
        MeasurementLog log(window, clock, std::move(file));
        log.toggle();
        c.close(log);
        ASSERT_EQ(window.boxes.size(), 1u);
        EXPECT_EQ(window.boxes[0].text, "Disk full while accessing /logs/qv.txt.");
        EXPECT_EQ(window.boxes[0].icon, BoxIcon::Stop);
        EXPECT_FALSE(log.fileOpen());
    }
}

} // namespace
} // namespace qv
