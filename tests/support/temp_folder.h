#pragma once

// A folder of its own for one test under the system's temporary folder, removed with
// everything in it when the object goes. No Qt.

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qv::test {

class TempFolder {
public:
    // `prefix` starts the folder's name, so that a left-over folder says whose it is.
    explicit TempFolder(const std::string& prefix = "qv-test") {
        std::string pattern =
            (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

} // namespace qv::test
