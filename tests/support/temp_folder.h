#pragma once

// A folder of its own for one test under the system's temporary folder, removed with
// everything in it when the object goes. No Qt.

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <system_error>

namespace qv::test {

class TempFolder {
public:
    // `prefix` starts the folder's name, so that a left-over folder says whose it is.
    explicit TempFolder(const std::string& prefix = "qv-test") {
        const auto base = std::filesystem::temp_directory_path();
#ifdef _WIN32
        // No mkdtemp: a random name, taken only if the folder did not exist yet.
        std::random_device random;
        std::error_code error;
        for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
            auto candidate = base / (prefix + "-" + std::to_string(random()));
            if (std::filesystem::create_directory(candidate, error))
                path_ = candidate;
        }
#else
        std::string pattern = (base / (prefix + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
#endif
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // Empty when the folder could not be made.
    const std::filesystem::path& path() const {
        return path_;
    }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

} // namespace qv::test
