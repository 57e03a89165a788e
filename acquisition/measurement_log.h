#pragma once

// The measurement log: one tab-separated line per logged Reading, switched on and off
// by the Start/Stop Log button. User-interface thread only.
//
// Each line goes to the file's writer thread (log_writer.h), which writes it and syncs it
// to the disk at once; only a line confirmed on the disk (WM_LOG_LINE_DONE, handed to
// lineDone()) is counted, so a crash or power cut loses nothing that was counted. While
// open, the file is held with an exclusive advisory lock: a second instance cannot open
// (or empty) it. Nothing here waits on the disk without bound.
//
// File errors are shown in a message box (stop icon) and the program goes on. Such a box
// runs a nested loop in which further Readings are handled; a failure met while one of
// these boxes is already open is not shown a second time, so boxes never pile up.

#include "acquisition/clock.h"
#include "acquisition/log_file.h"
#include "acquisition/log_writer.h"
#include "window/window_services.h"

#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace qv {

class MeasurementLog {
public:
    // `window` and `clock` must outlive the log. `file` defaults to the platform's.
    MeasurementLog(WindowServices& window, const Clock& clock,
                   std::unique_ptr<LogFile> file = makePlatformLogFile());
    ~MeasurementLog(); // lets queued lines end (bounded) and closes the file, quietly

    MeasurementLog(const MeasurementLog&) = delete;
    MeasurementLog& operator=(const MeasurementLog&) = delete;

    // The values loaded from the settings ("LogFileName", "Append").
    void setFileName(std::string fileName) { fileName_ = std::move(fileName); }
    void setAppend(bool append) { append_ = append; }

    // The Start/Stop Log button. The first successful start of the run empties an
    // existing file unless append is on; later starts always append. When the move to
    // the end of the opened file fails, the file is closed again and logging stays off,
    // so old lines are never overwritten.
    void toggle();
    // After each Reading: queues a line only if pollPending (or the last line failed and
    // none followed it), the file is open and logging is on. True when a line was queued.
    bool writeRecord(bool pollPending, float humidity, float temperature);
    // WM_LOG_LINE_DONE: counts the lines that reached the disk, reports the failed ones.
    void lineDone();
    // The setup dialog changed the file name: close, stop, caption "Start Log".
    void stopForNewFile();
    // The main window closes: close the file if open. Logging and the caption stay;
    // fileOpen follows the file, so nothing is written to a closed file afterwards.
    // Closing always lets the queued lines end first, for at most kLogCloseWait.
    void closeOnExit();

    bool logging() const { return logging_; }
    bool fileOpen() const { return fileOpen_; }
    bool startedOnce() const { return startedOnce_; }
    int recordCount() const { return recordCount_; }
    int linesInFlight() const { return linesInFlight_; }
    const std::string& fileName() const { return fileName_; }
    bool append() const { return append_; }

    // The line written for a Reading completed at `when` (local time), CR LF included;
    // the same bytes whatever the locale.
    static std::string formatLine(std::time_t when, float humidity, float temperature);

private:
    // Closes the file (fileOpen becomes false first); a failed close is reported.
    void closeFile();
    void countOrReport(const std::vector<LogWriter::Outcome>& outcomes);
    // Shows `format` with %1 replaced by the file's full path, stop icon, and the path
    // and `why` as its detail.
    void reportFileError(const char* format, const std::string& why);

    WindowServices& window_;
    const Clock& clock_;
    std::shared_ptr<LogFile> file_;
    std::unique_ptr<LogWriter> writer_; // while fileOpen
    std::string fullPath_;              // of the file last opened
    int linesInFlight_ = 0;             // queued, outcome not yet counted
    bool retryPending_ = false;         // the last line failed and none followed it
    bool logging_ = false;
    bool fileOpen_ = false;
    bool startedOnce_ = false;
    int recordCount_ = 0;
    std::string fileName_;
    bool append_ = true;
    bool reportingFileError_ = false; // a file-error box of this log is open
};

} // namespace qv
