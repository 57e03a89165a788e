#include "publish/durable_file.h"

#include <cerrno>
#include <io.h>
#include <windows.h>

namespace qv::publish {

bool syncToDisk(std::FILE* file) {
    if (std::fflush(file) != 0)
        return false;
    const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    if (handle == INVALID_HANDLE_VALUE || !FlushFileBuffers(handle)) {
        errno = EIO;
        return false;
    }
    return true;
}

// NTFS makes a file's name durable with the file's own flush.
void syncFolder(const std::filesystem::path&) {}

} // namespace qv::publish
