// The log file on Windows: opened with the wide calls and no sharing, so that while the
// log is open no other program (a second copy of this one, an editor) can open the file,
// not even to read it. Created when missing; each line is written and then handed to the
// disk with FlushFileBuffers.
//
// Every write goes to the end of the file as it is at that moment (the overlapped offset
// that means "append"), and a cut-back only removes our own line while nothing follows
// it: what another program appends is never overwritten or cut, should one get at the file.
// Writes are overlapped; a pipe or device named as the log whose reader stops reading fails
// the line after the stall limit instead of holding the writer thread for ever (see
// logWriteLimit); a disk file is waited for.

#include "acquisition/log_file_win32.h"

#include "acquisition/appended_line.h"
#include "acquisition/log_file.h"

#include "text/win32_text.h"

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

} // namespace

std::optional<std::chrono::milliseconds> logWriteLimit(DWORD fileType,
                                                       std::chrono::milliseconds stallLimit) {
    if (fileType == FILE_TYPE_DISK)
        return std::nullopt;
    return stallLimit;
}

LogWriteOutcome logWriteOutcome(bool completed, DWORD written, bool cancelled) {
    if (written > 0)
        return LogWriteOutcome::Wrote;
    return !completed && cancelled ? LogWriteOutcome::Stalled : LogWriteOutcome::Failed;
}

namespace {

class Win32LogFile final : public LogFile {
public:
    explicit Win32LogFile(std::chrono::milliseconds stallLimit)
        : event_(CreateEventW(nullptr, TRUE, FALSE, nullptr)), stallLimit_(stallLimit) {}
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
                error_ = text::kLogInUse;
            else
                fail(error);
            return false;
        }
        // Only a file on a disk has a size to empty or sync; a device or pipe is used as it
        // is.
        const DWORD type = GetFileType(file);
        disk_ = type == FILE_TYPE_DISK;
        limit_ = logWriteLimit(type, stallLimit_);
        file_ = file;
        line_.begin();
        if (truncate && disk_ && !setEnd(0)) {
            const DWORD error = GetLastError();
            CloseHandle(file_);
            file_ = INVALID_HANDLE_VALUE;
            return fail(error);
        }
        return true;
    }

    bool seekToEnd() override {
        // Every write goes to the end anyway; what is checked here is that the file has one.
        if (file_ == INVALID_HANDLE_VALUE)
            return false;
        long long size = 0;
        return !disk_ || sizeNow(size) || fail(GetLastError());
    }

    bool write(std::string_view line) override {
        if (file_ == INVALID_HANDLE_VALUE)
            return fail(ERROR_INVALID_HANDLE);
        line_.begin();
        std::size_t done = 0;
        while (done < line.size()) {
            DWORD written = 0;
            if (!writeSome(line.substr(done), written)) {
                if (done > 0)
                    cutBackLastWrite();
                return false;
            }
            done += written;
            // Each write lands at the end of the file: the size after it is where it ended.
            if (long long size = 0; disk_ && sizeNow(size))
                line_.wrote(size, written);
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
        long long size = 0;
        if (file_ == INVALID_HANDLE_VALUE || !disk_ || !sizeNow(size))
            return;
        if (const auto start = line_.cutBackTo(size))
            setEnd(*start);
        line_.begin();
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

    // Appends what the device takes of `data`, waiting at most `limit_` (if any); a write
    // still pending then is cancelled, and fails unless it wrote something all the same.
    bool writeSome(std::string_view data, DWORD& written) {
        OVERLAPPED overlapped{};
        // Both halves all ones: at the end of the file, as FILE_APPEND_DATA would write.
        overlapped.Offset = overlapped.OffsetHigh = 0xFFFFFFFF;
        overlapped.hEvent = event_;
        ResetEvent(event_);
        const DWORD size = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        if (!WriteFile(file_, data.data(), size, nullptr, &overlapped) &&
            GetLastError() != ERROR_IO_PENDING)
            return fail(GetLastError());
        const bool cancelled =
            limit_ &&
            WaitForSingleObject(event_, static_cast<DWORD>(limit_->count())) != WAIT_OBJECT_0;
        if (cancelled)
            CancelIoEx(file_, &overlapped);
        // The record must outlive the operation: wait for its end, cancelled or not.
        written = 0;
        const bool completed = GetOverlappedResult(file_, &overlapped, &written, TRUE);
        const DWORD error = completed ? DWORD{ERROR_DISK_FULL} : GetLastError();
        switch (logWriteOutcome(completed, written, cancelled)) {
        case LogWriteOutcome::Wrote:
            return true;
        case LogWriteOutcome::Stalled:
            error_ = logStalledText(stallLimit_);
            return false;
        case LogWriteOutcome::Failed:
            break;
        }
        return fail(error);
    }

    bool sizeNow(long long& size) const {
        LARGE_INTEGER at{};
        if (!GetFileSizeEx(file_, &at))
            return false;
        size = at.QuadPart;
        return true;
    }

    // Makes `size` the file's length.
    bool setEnd(long long size) {
        LARGE_INTEGER at{};
        at.QuadPart = size;
        return SetFilePointerEx(file_, at, nullptr, FILE_BEGIN) && SetEndOfFile(file_);
    }

    HANDLE event_;
    const std::chrono::milliseconds stallLimit_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool disk_ = false;
    std::optional<std::chrono::milliseconds> limit_;
    AppendedLine line_; // what the last write put in the file (disk files)
    std::string fullPath_;
    std::string error_;
};

} // namespace

std::unique_ptr<LogFile> makePlatformLogFile() {
    return makePlatformLogFile(kLogStallLimit);
}

std::unique_ptr<LogFile> makePlatformLogFile(std::chrono::milliseconds stallLimit) {
    return std::make_unique<Win32LogFile>(stallLimit);
}

} // namespace qv
