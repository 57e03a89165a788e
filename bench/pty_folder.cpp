#include "bench/pty_folder.h"

#include "serial/port_name.h"

#include <stdexcept>
#include <string>

namespace qv::bench {

namespace fs = std::filesystem;

PtyFolder::PtyFolder() {
    if (folder_.path().empty())
        throw std::runtime_error("cannot create a temporary port folder");
}

int PtyFolder::addLivePort(int port) {
    auto terminal = std::make_unique<test::PseudoTerminal>();
    std::error_code ec;
    if (!terminal->ok() ||
        (fs::create_symlink(terminal->slave(), path() / portEntryName(port), ec), ec))
        return -1;
    terminals_.push_back(std::move(terminal));
    return terminals_.back()->master();
}

void PtyFolder::addDanglingPort(int port) {
    std::error_code ec;
    fs::create_symlink("/nonexistent/qv-bench/tty" + std::to_string(port),
                       path() / portEntryName(port), ec);
}

} // namespace qv::bench
