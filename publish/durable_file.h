#pragma once

// Putting written data on the disk, which standard C++ cannot ask for. One
// implementation per platform (durable_file_posix.cpp, durable_file_win32.cpp).

#include <cstdio>
#include <filesystem>

namespace qv::publish {

// Flushes `file` and puts its data on the disk. False with errno set when that failed.
bool syncToDisk(std::FILE* file);

// Puts the folder's entries (files made or renamed in it) on the disk, where the system
// asks for that separately; best effort.
void syncFolder(const std::filesystem::path& folder);

} // namespace qv::publish
