#pragma once

// A private port folder for benchmarks: "comN" links to the slaves of pseudo-terminals
// this process holds the masters of, and links that lead nowhere. Removed, masters
// closed, on destruction.

#include "tests/support/pseudo_terminal.h"
#include "tests/support/temp_folder.h"

#include <filesystem>
#include <memory>
#include <vector>

namespace qv::bench {

class PtyFolder {
public:
    PtyFolder();
    PtyFolder(const PtyFolder&) = delete;
    PtyFolder& operator=(const PtyFolder&) = delete;

    const std::filesystem::path& path() const { return folder_.path(); }

    // Links comN to the slave of a new pseudo-terminal; returns the master's descriptor
    // (owned by the folder), or -1 on failure.
    int addLivePort(int port);
    // Links comN to a device path that does not exist.
    void addDanglingPort(int port);

private:
    test::TempFolder folder_{"qv-bench-ports"};
    std::vector<std::unique_ptr<test::PseudoTerminal>> terminals_;
};

} // namespace qv::bench
