#include "bench/pty_folder.h"

#include "serial/port_name.h"

#include <cstdlib>
#include <fcntl.h>
#include <stdexcept>
#include <unistd.h>

namespace qv::bench {

namespace fs = std::filesystem;

PtyFolder::PtyFolder() {
    std::string pattern = (fs::temp_directory_path() / "qv-bench-ports-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr)
        throw std::runtime_error("cannot create a temporary port folder");
    path_ = pattern;
}

PtyFolder::~PtyFolder() {
    for (int m : masters_)
        ::close(m);
    std::error_code ec;
    fs::remove_all(path_, ec);
}

int PtyFolder::addLivePort(int port) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0)
        return -1;
    const char* slave = nullptr;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 ||
        (slave = ::ptsname(master)) == nullptr) {
        ::close(master);
        return -1;
    }
    std::error_code ec;
    fs::create_symlink(slave, path_ / portEntryName(port), ec);
    if (ec) {
        ::close(master);
        return -1;
    }
    masters_.push_back(master);
    return master;
}

void PtyFolder::addDanglingPort(int port) {
    std::error_code ec;
    fs::create_symlink("/nonexistent/qv-bench/tty" + std::to_string(port),
                       path_ / portEntryName(port), ec);
}

} // namespace qv::bench
