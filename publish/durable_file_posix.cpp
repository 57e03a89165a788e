#include "publish/durable_file.h"

#include <fcntl.h>
#include <unistd.h>

namespace qv::publish {

bool syncToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && ::fdatasync(::fileno(file)) == 0;
}

void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace qv::publish
