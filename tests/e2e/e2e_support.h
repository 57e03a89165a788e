#pragma once

// What the end-to-end tests share: child processes with an environment of their own and
// their output in files, the sensor simulator on a private port folder, and the log
// lines of the program and of the simulator read back as numbers.

#include "serial/port_name.h"
#include "tests/support/child_process.h"
#include "tests/support/ui_driver.h"

#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace qv::e2e {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

inline bool isSymlink(const fs::path& path) {
    std::error_code ec;
    return fs::is_symlink(fs::symlink_status(path, ec));
}

using qv::test::ChildProcess;
using qv::test::readFile;

// The sensor simulator on port `port` of `portsDir`, sending a record every `periodMs`
// while a program holds the port, every record it sends listed in `recordsLog`.
class Simulator {
public:
    // `extraArgs` go to the simulator after the others.
    Simulator(const fs::path& portsDir, int port, int periodMs, const fs::path& recordsLog,
              const fs::path& outputBase, const std::vector<std::string>& extraArgs = {})
        : link_(portsDir / qv::portEntryName(port)),
          process_(arguments(portsDir, port, periodMs, recordsLog, extraArgs), {}, outputBase) {}

    // Ends it the clean way, so that its link goes with it; a kill would leave the link
    // behind for the next simulator on this port folder to refuse.
    ~Simulator() {
        process_.signal(SIGTERM);
        qv::test::waitUntil([this] { return process_.ended(); }, 5s, qv::test::sleepBriefly);
    }
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Started and its port link made.
    bool plugged() {
        return process_.started() &&
               qv::test::waitUntil([this] { return isSymlink(link_) || process_.ended(); }) &&
               isSymlink(link_);
    }
    // The pseudo-terminal slave its link leads to.
    std::string slavePath() const {
        std::error_code ec;
        return fs::read_symlink(link_, ec).string();
    }
    // The simulator ends the way a pulled plug looks to the program: the line hangs up
    // and the port's link is gone. True once it has ended cleanly.
    bool unplug() {
        process_.signal(SIGTERM);
        return process_.waitForExit() == 0 && !isSymlink(link_);
    }
    // Whether the simulator has reported `line` on its output.
    bool said(const std::string& line) const { return out().find(line) != std::string::npos; }
    std::string out() const { return process_.out() + process_.err(); }
    ChildProcess& process() { return process_; }

private:
    static std::vector<std::string> arguments(const fs::path& portsDir, int port, int periodMs,
                                              const fs::path& recordsLog,
                                              const std::vector<std::string>& extraArgs) {
        std::vector<std::string> args{
            QV_SENSOR_SIM_PATH,   "--ports-dir", portsDir.string(),        "--port",
            std::to_string(port), "--period-ms", std::to_string(periodMs), "--records-log",
            recordsLog.string()};
        args.insert(args.end(), extraArgs.begin(), extraArgs.end());
        return args;
    }

    fs::path link_;
    ChildProcess process_;
};

// One humidity/temperature pair in tenths, as a log line holds it.
struct Pair {
    int humidity;
    int temperature;
    bool operator==(const Pair&) const = default;
};

inline void PrintTo(const Pair& p, std::ostream* os) {
    *os << p.humidity / 10.0 << "/" << p.temperature / 10.0;
}

inline int tenths(double value) {
    return static_cast<int>(value * 10.0 + (value < 0 ? -0.5 : 0.5));
}

// The pairs of the simulator's records log: "%.1f\t%.1f\n" per record sent.
inline std::vector<Pair> recordsLogPairs(const fs::path& path) {
    std::vector<Pair> pairs;
    std::istringstream in(readFile(path));
    double h = 0, t = 0;
    while (in >> h >> t)
        pairs.push_back({tenths(h), tenths(t)});
    return pairs;
}

// Whether `part` appears in `whole` in the same order (not necessarily adjacent).
inline bool isSubsequence(const std::vector<Pair>& part, const std::vector<Pair>& whole) {
    std::size_t at = 0;
    for (const Pair& p : whole)
        if (at < part.size() && part[at] == p)
            ++at;
    return at == part.size();
}

// The program's log file: every line complete ("date\ttime\th\tt" and CR LF), read back
// as pairs. A line that does not match is reported and left out.
inline std::vector<Pair> programLogPairs(const fs::path& path, std::string* rawText = nullptr) {
    const std::string text = readFile(path);
    if (rawText != nullptr)
        *rawText = text;
    static const QRegularExpression kLine(
        QStringLiteral(R"(^\d\d/\d\d/\d{4}\t\d\d:\d\d:\d\d\t( *-?\d+\.\d)\t( *-?\d+\.\d)$)"));
    std::vector<Pair> pairs;
    const QStringList lines = QString::fromLatin1(text.data(), static_cast<int>(text.size()))
                                  .split(QStringLiteral("\r\n"));
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line is not complete: " << text;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        const auto match = kLine.match(lines[i]);
        if (!match.hasMatch()) {
            ADD_FAILURE() << "malformed log line: " << lines[i].toStdString();
            continue;
        }
        pairs.push_back(
            {tenths(match.captured(1).toDouble()), tenths(match.captured(2).toDouble())});
    }
    return pairs;
}

} // namespace qv::e2e
