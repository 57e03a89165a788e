// qv-sensor-sim: plays a QV-5300 sensor on a pseudo-terminal reached through a "comN"
// link in a port folder. See simUsage() for what it does and its options.

#include "serial/port_name.h"
#include "settings/user_folder.h"
#include "tools/pty_port.h"
#include "tools/sensor_model.h"
#include "tools/sim_options.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <random>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr const char* kProgram = "qv-sensor-sim";
constexpr auto kLinger = std::chrono::seconds{1};

volatile std::sig_atomic_t gStopSignal = 0;

void onStopSignal(int signal) {
    gStopSignal = signal;
}

// Ctrl+C, SIGTERM and a closed terminal end the simulator through its normal clean-up.
// They stay blocked except while the main loop waits in ppoll, so none is lost between
// a check of the flag and the wait.
sigset_t installStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: the wait returns at once
    sigset_t stopSet;
    sigemptyset(&stopSet);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) {
        sigaction(s, &action, nullptr);
        sigaddset(&stopSet, s);
    }
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask;
    sigprocmask(SIG_BLOCK, &stopSet, &waitMask);
    return waitMask; // the mask in force before: lets the signals in during the wait
}

std::string secondsText(std::chrono::milliseconds ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g s", static_cast<double>(ms.count()) / 1000.0);
    return text;
}

std::string counted(std::uint64_t n, const char* noun) {
    return std::to_string(n) + " " + noun + (n == 1 ? "" : "s");
}

class Simulator {
public:
    explicit Simulator(qv::sim::SimOptions options)
        : o_(std::move(options)), portName_(qv::portName(o_.port)) {}

    int run() {
        const bool userFolder = o_.portsDir.empty();
        portsDir_ = (userFolder ? qv::portsFolder() : o_.portsDir).lexically_normal();
        if (!portsDir_.has_filename()) // "dir/ports/"
            portsDir_ = portsDir_.parent_path();
        link_ = portsDir_ / qv::portEntryName(o_.port);
        const std::uint64_t seed = o_.seed ? *o_.seed : std::random_device{}();
        model_.emplace(seed);

        if (!o_.recordsLog.empty()) {
            recordsLog_.open(o_.recordsLog, std::ios::app);
            if (!recordsLog_)
                return fail("cannot open the records log " + o_.recordsLog.string());
        }
        const sigset_t waitMask = installStopSignals();
        if (!preparePortsDir(userFolder))
            return cleanUp(1);
        if (!plug())
            return cleanUp(1);
        say(portName_ + " is " + link_.string() + " -> " + pty_.slavePath() +
            (o_.silent ? "; silent: no record is sent"
                       : "; a record every " + std::to_string(o_.period.count()) + " ms") +
            " (seed " + std::to_string(seed) + "). Ctrl+C ends.");

        const auto start = Clock::now();
        auto nextRecord = start + o_.period;
        std::optional<Clock::time_point> unplugAt, replugAt;
        if (o_.unplugAfter)
            unplugAt = start + *o_.unplugAfter;

        while (!gStopSignal) {
            const auto now = Clock::now();
            if (unplugAt && now >= *unplugAt) {
                unplugAt.reset();
                unplug();
                if (o_.replugAfter)
                    replugAt = now + *o_.replugAfter;
            }
            if (replugAt && now >= *replugAt) {
                replugAt.reset();
                if (!plug())
                    return cleanUp(1);
                say("replugged " + portName_ + ": " + link_.string() + " -> " + pty_.slavePath());
            }
            if (now >= nextRecord) {
                tick();
                nextRecord += o_.period;
                if (nextRecord <= now) // fell behind (machine suspended): no burst of records
                    nextRecord = now + o_.period;
            }
            if (o_.count && sent_ >= *o_.count) {
                say("sent the " + counted(*o_.count, "record") + " asked for");
                lingerForReader(waitMask);
                break;
            }
            auto wake = nextRecord;
            for (const auto& at : {unplugAt, replugAt}) {
                if (at)
                    wake = std::min(wake, *at);
            }
            waitUntil(wake, waitMask);
        }
        if (gStopSignal)
            say(std::string("ending on ") + (gStopSignal == SIGINT    ? "Ctrl+C"
                                             : gStopSignal == SIGTERM ? "SIGTERM"
                                                                      : "SIGHUP"));
        return cleanUp(0);
    }

private:
    void say(const std::string& line) const {
        if (!o_.quiet)
            std::printf("%s: %s\n", kProgram, line.c_str());
    }

    int fail(const std::string& message) const {
        std::fprintf(stderr, "%s: %s\n", kProgram, message.c_str());
        return 1;
    }

    bool preparePortsDir(bool userFolder) {
        std::error_code ec;
        const auto status = fs::status(portsDir_, ec);
        if (fs::exists(status)) {
            if (!fs::is_directory(status)) {
                fail("the port folder " + portsDir_.string() + " is not a folder");
                return false;
            }
            return true;
        }
        // The folders this run creates, outermost first, to remove again at the end.
        for (fs::path p = portsDir_; !p.empty() && !fs::exists(fs::symlink_status(p, ec));
             p = p.parent_path()) {
            createdDirs_.insert(createdDirs_.begin(), p);
            if (p == p.parent_path())
                break;
        }
        fs::create_directories(portsDir_, ec);
        if (ec) {
            fail("cannot create the port folder " + portsDir_.string() + ": " + ec.message());
            return false;
        }
        if (userFolder)
            say("created your port folder " + portsDir_.string() +
                ". While it exists, the logger sees only the ports linked in it, not this "
                "machine's serial ports; it is removed again at the end if it is empty.");
        else
            say("created the port folder " + portsDir_.string());
        return true;
    }

    bool plug() {
        if (auto error = pty_.open()) {
            fail(*error);
            return false;
        }
        bool replacedStale = false;
        if (auto error = qv::sim::createPortLink(link_, pty_.slavePath(), replacedStale)) {
            pty_.close();
            fail(*error);
            return false;
        }
        if (replacedStale)
            say("replaced the stale link " + link_.string());
        linkTarget_ = pty_.slavePath();
        hadReader_ = false;
        return true;
    }

    void unplug() {
        pty_.close();
        if (!linkTarget_.empty())
            qv::sim::removePortLink(link_, linkTarget_);
        linkTarget_.clear();
        say("unplugged " + portName_ + ": closed the pseudo-terminal, removed " + link_.string() +
            (o_.replugAfter ? "; back in " + secondsText(*o_.replugAfter)
                            : "; stays unplugged until the simulator ends"));
    }

    // One period: whatever the reader wrote is discarded, then junk and/or a record go out.
    void tick() {
        if (!pty_.isOpen())
            return;
        pty_.drain();
        const bool reader = pty_.hasReader();
        if (reader != hadReader_) {
            say(reader ? "a program opened " + portName_ + ": sending"
                       : portName_ + " was closed by the program: not sending until it is "
                                     "opened again");
            hadReader_ = reader;
        }
        std::string bytes;
        qv::sim::JunkKind junkKind{};
        const bool junk = model_->junkDue(o_.noiseRate);
        if (junk)
            bytes = model_->junk(&junkKind);
        std::optional<qv::sim::Sample> sample;
        if (!o_.silent) {
            sample = model_->next();
            bytes += qv::sim::formatRecord(*sample);
        }
        if (bytes.empty())
            return;
        switch (pty_.send(bytes)) {
        case qv::sim::PtyPort::SendResult::NoReader:
            if (sample)
                ++notDelivered_;
            return;
        case qv::sim::PtyPort::SendResult::BufferFull:
            if (sample)
                ++dropped_;
            return;
        case qv::sim::PtyPort::SendResult::Sent:
            break;
        }
        if (junk)
            ++junkSent_;
        if (!sample) {
            if (o_.verbose)
                say("sent junk (" + std::string(junkKindName(junkKind)) + ")");
            return;
        }
        ++sent_;
        if (recordsLog_.is_open()) {
            recordsLog_ << qv::sim::formatLogLine(*sample);
            recordsLog_.flush();
        }
        if (o_.verbose) {
            std::string shown = qv::sim::formatRecord(*sample);
            shown.pop_back(); // the CR
            say("sent \"" + shown + "\\r\"" +
                (junk ? " after junk (" + std::string(junkKindName(junkKind)) + ")" : ""));
        }
    }

    void waitUntil(Clock::time_point wake, const sigset_t& waitMask) const {
        const auto left = std::max(Clock::duration::zero(), wake - Clock::now());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<std::time_t>(ns / 1'000'000'000),
                         static_cast<long>(ns % 1'000'000'000)};
        ::ppoll(nullptr, 0, &timeout, &waitMask); // EINTR on a stop signal: the loop checks
    }

    // Closing the pseudo-terminal discards what its reader has not read yet, so after
    // the last record the port stays until the reader closes it, for a bounded time.
    void lingerForReader(const sigset_t& waitMask) const {
        const auto until = Clock::now() + std::max<Clock::duration>(o_.period, kLinger);
        while (!gStopSignal && pty_.hasReader() && Clock::now() < until)
            pty_.waitForHangUp(until - Clock::now(), waitMask);
    }

    int cleanUp(int status) {
        pty_.close();
        if (!linkTarget_.empty() && qv::sim::removePortLink(link_, linkTarget_))
            say("removed " + link_.string());
        linkTarget_.clear();
        if (!createdDirs_.empty()) {
            std::error_code ec;
            if (fs::is_empty(portsDir_, ec) && !ec && fs::remove(portsDir_, ec)) {
                say("removed the port folder " + portsDir_.string() + " it had created");
                // Parents it created too, unless something (the settings) was put there.
                for (auto it = createdDirs_.rbegin() + 1; it != createdDirs_.rend(); ++it) {
                    if (!fs::is_empty(*it, ec) || ec || !fs::remove(*it, ec))
                        break;
                }
            } else {
                say("kept the port folder " + portsDir_.string() + ": it is not empty");
            }
        }
        std::string summary = "sent " + counted(sent_, "record");
        if (junkSent_ > 0)
            summary += ", junk " + counted(junkSent_, "time");
        if (notDelivered_ > 0)
            summary += "; " + std::to_string(notDelivered_) +
                       " not sent because no program had the port open";
        if (dropped_ > 0)
            summary += "; " + std::to_string(dropped_) +
                       " lost because the reader did not read (buffer full)";
        say(summary);
        return status;
    }

    qv::sim::SimOptions o_;
    std::string portName_;
    fs::path portsDir_;
    fs::path link_;
    std::string linkTarget_;            // the pty the link points to while plugged
    std::vector<fs::path> createdDirs_; // outermost first; the last is portsDir_
    bool hadReader_ = false;
    std::optional<qv::sim::SensorModel> model_;
    qv::sim::PtyPort pty_;
    std::ofstream recordsLog_;
    std::uint64_t sent_ = 0;
    std::uint64_t junkSent_ = 0;
    std::uint64_t notDelivered_ = 0;
    std::uint64_t dropped_ = 0;
};

} // namespace

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // lines reach a pipe or log as they happen
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const auto outcome = qv::sim::parseSimOptions(args);
    if (std::holds_alternative<qv::sim::ShowHelp>(outcome)) {
        std::fputs(qv::sim::simUsage().c_str(), stdout);
        return 0;
    }
    if (const auto* error = std::get_if<qv::sim::UsageError>(&outcome)) {
        std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", kProgram, error->message.c_str(),
                     kProgram);
        return 2;
    }
    return Simulator(std::get<qv::sim::SimOptions>(outcome)).run();
}
