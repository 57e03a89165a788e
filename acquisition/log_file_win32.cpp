// The log file on Windows: opened with the wide calls and no sharing, so that while the
// log is open no other program (a second copy of this one, an editor) can open the file,
// not even to read it. Created when missing; each line is written and then handed to the
// disk with FlushFileBuffers.
//
// Writes are overlapped and waited for with a bound: a pipe named as the log whose reader
// stops reading fails the line after kLogStallLimit instead of holding the writer thread for
// ever. An overlapped handle keeps no file position, so the file keeps its own.

#include "acquisition/log_file.h"

#include "app/services/win32_text.h"

#include <algorithm>
#include <chrono>
#include <string>

#include <windows.h>

namespace qv {
namespace {

// The absolute form of `path`, for messages.
std::string absolutePath(const std::string& path) {
    const std::wstring wpath = win32::wide(path);
    const DWORD n = GetFullPathNameW(wpath.c_str(), 0, nullptr, nullptr);
    if (n == 0)
        return path;
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(wpath.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n)
        return path;
    full.resize(written);
    return win32::utf8(full);
}

class Win32LogFile final : public LogFile {
public:
    Win32LogFile() : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32LogFile() override {
        close();
        if (event_)
            CloseHandle(event_);
    }

    bool open(const std::string& path, bool truncate) override {
        close();
        fullPath_ = absolutePath(path);
        if (!event_)
            return fail(ERROR_NOT_ENOUGH_MEMORY);
        // No sharing: the open fails while anyone else has the file open, and then the
        // file is left as it is, never emptied.
        const HANDLE file =
            CreateFileW(win32::wide(path).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION)
                error_ = kLogInUseText;
            else
                fail(error);
            return false;
        }
        // Only a file on a disk has a size to empty or sync; a device or pipe is used as it
        // is.
        disk_ = GetFileType(file) == FILE_TYPE_DISK;
        file_ = file;
        position_ = 0;
        if (truncate && disk_ && !setEnd(0)) {
            const DWORD error = GetLastError();
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
            return fail(error);
        }
        return true;
    }

    bool seekToEnd() override {
        if (file_ == INVALID_HANDLE_VALUE)
            return false;
        if (!disk_)
            return true;
        LARGE_INTEGER size{};
        if (!GetFileSizeEx(file_, &size))
            return fail(GetLastError());
        position_ = size.QuadPart;
        return true;
    }

    bool write(std::string_view line) override {
        if (file_ == INVALID_HANDLE_VALUE)
            return fail(ERROR_INVALID_HANDLE);
        lineStart_ = position_;
        std::size_t done = 0;
        while (done < line.size()) {
            DWORD written = 0;
            if (!writeSome(line.substr(done), written)) {
                if (done > 0)
                    cutBackLastWrite();
                return false;
            }
            done += written;
            position_ += written;
        }
        return true;
    }

    bool sync() override {
        if (file_ == INVALID_HANDLE_VALUE)
            return false;
        // A pipe's flush waits until its reader has read everything: not a disk to sync.
        if (disk_ && !FlushFileBuffers(file_))
            return fail(GetLastError());
        return true;
    }

    void cutBackLastWrite() override {
        if (file_ != INVALID_HANDLE_VALUE && disk_ && setEnd(lineStart_))
            position_ = lineStart_;
    }

    bool close() override {
        if (file_ == INVALID_HANDLE_VALUE)
            return true;
        const HANDLE file = file_;
        file_ = INVALID_HANDLE_VALUE;
        return CloseHandle(file) || fail(GetLastError());
    }

    bool isOpen() const override { return file_ != INVALID_HANDLE_VALUE; }
    std::string fullPath() const override { return fullPath_; }
    std::string lastErrorText() const override { return error_; }

private:
    bool fail(DWORD error) {
        error_ = win32::systemMessage(error);
        return false;
    }

    // Writes what the device takes of `data` at the file's position, waiting at most
    // kLogStallLimit; a write still pending then is cancelled and the line fails.
    bool writeSome(std::string_view data, DWORD& written) {
        OVERLAPPED overlapped{};
        overlapped.Offset = static_cast<DWORD>(position_ & 0xFFFFFFFF);
        overlapped.OffsetHigh = static_cast<DWORD>(position_ >> 32);
        overlapped.hEvent = event_;
        ResetEvent(event_);
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        if (!WriteFile(file_, data.data(), size, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return fail(GetLastError());
        const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(kLogStallLimit);
        if (WaitForSingleObject(event_, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) {
            CancelIoEx(file_, &overlapped);
            // The record must outlive the operation: wait for the cancellation to land.
            GetOverlappedResult(file_, &overlapped, &written, TRUE);
            error_ = logStalledText();
            return false;
        }
        if (!GetOverlappedResult(file_, &overlapped, &written, FALSE))
            return fail(GetLastError());
        if (written == 0)
            return fail(ERROR_DISK_FULL);
        return true;
    }

    // Makes `size` the file's length.
    bool setEnd(long long size) {
        LARGE_INTEGER at{};
        at.QuadPart = size;
        return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) && SetEndOfFile(file_);
    }

    HANDLE event_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool disk_ = false;
    long long position_ = 0;  // where the next write goes (disk files)
    long long lineStart_ = 0; // where the last write began
    std::string fullPath_;
    std::string error_;
};

} // namespace

std::unique_ptr<LogFile> makePlatformLogFile() {
    return std::make_unique<Win32LogFile>();
}

} // namespace qv
