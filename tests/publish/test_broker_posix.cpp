#include "tests/publish/test_broker.h"

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wait_until.h"

#include <arpa/inet.h>
#include <csignal>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace qv::test {
namespace {

using namespace std::chrono_literals;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    return address;
}

// A port the system just gave out and took back: free unless someone is very quick.
int freePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(s);
    return port;
}

bool accepts(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const bool ok = ::connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(s);
    return ok;
}

} // namespace

struct TestBroker::Process {
    TempFolder folder{"qv-broker"};
    std::unique_ptr<ChildProcess> child;

    // Starts the broker on `port`; false when it ended (the port was taken) or never listened.
    bool start(int port) {
        child = std::make_unique<ChildProcess>(
            std::vector<std::string>{QV_TEST_BROKER_SCRIPT, "serve", folder.path().string(),
                                     std::to_string(port)},
            std::vector<std::pair<std::string, std::string>>{}, folder / "script");
        return waitUntil([&] { return child->ended() || accepts(port); }, 10s, sleepBriefly) &&
               !child->ended();
    }
};

TestBroker::TestBroker() : process_(std::make_unique<Process>()) {
    for (int attempt = 0; attempt < 5 && port_ == 0; ++attempt) {
        const int port = freePort();
        if (port > 0 && process_->start(port))
            port_ = port;
    }
    if (port_ == 0) {
        failure_ = "mosquitto did not start: " + process_->child->err() +
                   readFile(process_->folder / "mosquitto.log");
        return;
    }
    std::ifstream(process_->folder / "credentials") >> user_ >> password_;
}

TestBroker::~TestBroker() {
    resume();
}

bool TestBroker::stop() {
    process_->child->signal(SIGTERM);
    return process_->child->waitForExit(10s).has_value();
}

bool TestBroker::restart() {
    return process_->start(port_);
}

void TestBroker::pause() {
    process_->child->signal(SIGSTOP);
}

void TestBroker::resume() {
    process_->child->signal(SIGCONT);
}

} // namespace qv::test
