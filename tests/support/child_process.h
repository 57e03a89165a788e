#pragma once

// A child process for tests (the simulator, the program): an environment of its own
// layered over this process's, its output in files, and a bounded wait for its end. It is
// told to end when the test process dies, and killed and reaped when it goes out of
// scope, so that nothing a test started outlives it holding a port. No Qt.

#include "tests/support/files.h"
#include "tests/support/wait_until.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

extern char** environ;

namespace qv::test {

// A child process. `env` replaces or adds variables of this process's environment;
// stdout and stderr go to `outputBase`.out / .err. Killed and reaped on destruction
// if it is still running.
class ChildProcess {
public:
    ChildProcess(std::vector<std::string> argv,
                 const std::vector<std::pair<std::string, std::string>>& env,
                 const std::filesystem::path& outputBase)
        : outPath_(outputBase.string() + ".out"), errPath_(outputBase.string() + ".err") {
        std::vector<std::string> envText;
        for (char** e = environ; *e != nullptr; ++e) {
            const std::string_view entry = *e;
            bool replaced = false;
            for (const auto& [name, value] : env)
                replaced = replaced || entry.starts_with(name + "=");
            if (!replaced)
                envText.emplace_back(entry);
        }
        for (const auto& [name, value] : env)
            envText.push_back(name + "=" + value);

        std::vector<char*> args, envp;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        for (auto& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        const int out = ::open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const pid_t parent = ::getpid();
        pid_ = ::fork();
        if (pid_ == 0) {
            // Only async-signal-safe calls from here to the exec. The child is told to end
            // when this test process dies (a crash, or a kill at the test's time limit),
            // so that no simulator or program outlives its test holding a port.
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent || out < 0 || err < 0 || ::dup2(out, 1) < 0 ||
                ::dup2(err, 2) < 0)
                ::_exit(127);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
        for (const int fd : {out, err})
            if (fd >= 0)
                ::close(fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess() {
        if (pid_ > 0 && !status_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }
    void signal(int s) const {
        if (pid_ > 0 && !status_)
            ::kill(pid_, s);
    }

    // True once the process has ended (reaped here).
    bool ended() {
        int status = 0;
        if (!status_ && pid_ > 0 && ::waitpid(pid_, &status, WNOHANG) == pid_)
            status_ = status;
        return status_.has_value();
    }
    // The exit code, or nullopt when it did not exit normally within `timeout` (killed by
    // a signal, or still running).
    std::optional<int> waitForExit(std::chrono::milliseconds timeout = std::chrono::seconds{5}) {
        waitUntil([this] { return ended(); }, timeout, sleepBriefly);
        if (!status_ || !WIFEXITED(*status_))
            return std::nullopt;
        return WEXITSTATUS(*status_);
    }
    std::string describeEnd() const {
        if (!status_)
            return "still running";
        if (WIFSIGNALED(*status_))
            return "killed by signal " + std::to_string(WTERMSIG(*status_));
        return "exit code " + std::to_string(WEXITSTATUS(*status_));
    }

    std::string out() const { return readFile(outPath_); }
    std::string err() const { return readFile(errPath_); }

private:
    std::string outPath_;
    std::string errPath_;
    pid_t pid_ = -1;
    std::optional<int> status_;
};

} // namespace qv::test
