#pragma once

// A private port folder for benchmarks: "comN" links to the slaves of pseudo-terminals
// this process holds the masters of, and links that lead nowhere. Removed, masters
// closed, on destruction.

#include <filesystem>
#include <string>
#include <vector>

namespace qv::bench {

class PtyFolder {
public:
    PtyFolder();
    ~PtyFolder();
    PtyFolder(const PtyFolder&) = delete;
    PtyFolder& operator=(const PtyFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }

    // Links comN to the slave of a new pseudo-terminal; returns the master's descriptor
    // (owned by the folder), or -1 on failure.
    int addLivePort(int port);
    // Links comN to a device path that does not exist.
    void addDanglingPort(int port);

private:
    std::filesystem::path path_;
    std::vector<int> masters_;
};

} // namespace qv::bench
