#include "acquisition/measurement_log.h"

#include "log_format/log_line_format.h"
#include "text/substitute.h"
#include "text/texts.h"

#include <ctime>
#include <string>

namespace qv {

MeasurementLog::MeasurementLog(WindowServices& window, const Clock& clock,
                               std::unique_ptr<LogFile> file)
    : window_(window), clock_(clock), file_(std::move(file)) {}

MeasurementLog::~MeasurementLog() {
    // The window may be half gone: the writer closes the file without a word.
    writer_.reset();
}

std::string MeasurementLog::formatLine(std::time_t when, float humidity, float temperature) {
    // An empty date-and-time text when local time cannot be had: the line then starts
    // with the humidity.
    char stamp[128] = "";
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, logline::kStampFormat, &local) == 0)
        stamp[0] = '\0';

    std::string result(stamp);
    logline::appendValue(result, humidity);
    result += logline::kFieldSeparator;
    logline::appendValue(result, temperature);
    result += logline::kLineEnd;
    return result;
}

void MeasurementLog::toggle() {
    logging_ = !logging_;
    if (logging_ && !fileOpen_) {
        const bool keepContents = append_ || startedOnce_;
        const bool opened = file_->open(fileName_, !keepContents);
        fullPath_ = file_->fullPath();
        if (opened) {
            if (file_->seekToEnd()) {
                writer_ = std::make_unique<LogWriter>(window_, file_);
                fileOpen_ = true;
                // A failure before this start is no reason to log outside a poll.
                retryPending_ = false;
                if (!startedOnce_) {
                    startedOnce_ = true;
                    window_.setControlText(ctl::kRecordCount, "0");
                }
            } else {
                // Writing from anywhere but the end would overwrite earlier lines.
                const std::string why = file_->lastErrorText();
                file_->close();
                reportFileError(text::kSeekFailed, why);
                logging_ = false;
            }
        } else {
            window_.messageBox(text::kLogOpenFailed, BoxIcon::Exclamation,
                               fullPath_ + ": " + file_->lastErrorText());
            logging_ = false;
        }
    } else if (!logging_ && fileOpen_) {
        closeFile();
    }
    window_.setControlText(ctl::kStartStopLog, logging_ ? text::kStopLog : text::kStartLog);
}

bool MeasurementLog::writeRecord(bool pollPending, float humidity, float temperature) {
    if (!(pollPending || retryPending_) || !fileOpen_ || !logging_)
        return false;
    retryPending_ = false;
    ++linesInFlight_;
    writer_->submit(formatLine(clock_.now(), humidity, temperature));
    return true;
}

void MeasurementLog::lineDone() {
    if (writer_)
        countOrReport(writer_->takeOutcomes());
}

void MeasurementLog::countOrReport(const std::vector<LogWriter::Outcome>& outcomes) {
    for (const LogWriter::Outcome& outcome : outcomes) {
        --linesInFlight_;
        if (outcome.written) {
            ++recordCount_;
            window_.setControlText(ctl::kRecordCount, std::to_string(recordCount_));
        } else {
            // Not counted; a further Reading of the same poll may try again, unless a
            // later poll's line is already on its way.
            retryPending_ = linesInFlight_ == 0;
            reportFileError(text::kDiskFull, outcome.detail);
        }
    }
}

void MeasurementLog::stopForNewFile() {
    if (fileOpen_)
        closeFile();
    fileOpen_ = false;
    logging_ = false;
    window_.setControlText(ctl::kStartStopLog, text::kStartLog);
}

void MeasurementLog::closeOnExit() {
    if (fileOpen_)
        closeFile();
}

void MeasurementLog::closeFile() {
    // fileOpen goes first: the error boxes below run a nested loop in which Readings are
    // handled, and none of them may reach the closed file.
    fileOpen_ = false;
    const LogWriter::Finish finish = writer_->finish(kLogCloseWait);
    writer_.reset();
    countOrReport(finish.outcomes);
    if (finish.abandoned) {
        // The file stays with its thread until the disk answers; the next start needs
        // a file of its own.
        file_ = makePlatformLogFile();
        linesInFlight_ = 0;
    }
    if (!finish.closed)
        reportFileError(text::kDiskFull, finish.detail);
}

void MeasurementLog::reportFileError(const char* format, const std::string& why) {
    if (reportingFileError_)
        return;
    reportingFileError_ = true;
    window_.messageBox(substitute(format, {fullPath_}), BoxIcon::Stop, fullPath_ + ": " + why);
    reportingFileError_ = false;
}

} // namespace qv
