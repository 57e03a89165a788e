#include "acquisition/measurement_log.h"

#include <cstdio>
#include <ctime>
#include <string>

namespace qv {
namespace {

constexpr char kStartCaption[] = "Start Log";
constexpr char kStopCaption[] = "Stop Log";
constexpr char kOpenFailed[] = "Error opening file";
constexpr char kDiskFull[] = "Disk full while accessing %1.";
constexpr char kSeekFailed[] = "Seek failed on %1";

} // namespace

MeasurementLog::MeasurementLog(WindowServices& window, const Clock& clock,
                               std::unique_ptr<LogFile> file)
    : window_(window), clock_(clock), file_(std::move(file)) {}

MeasurementLog::~MeasurementLog() {
    // Every line already reached the operating system when it was written, and the
    // window may be half gone: close quietly.
    if (file_->isOpen())
        file_->close();
}

std::string MeasurementLog::formatLine(std::time_t when, float humidity, float temperature) {
    // An empty date-and-time text when local time cannot be had: the line then starts
    // with the humidity.
    char stamp[128] = "";
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr ||
        std::strftime(stamp, sizeof stamp, "%m/%d/%Y\t%H:%M:%S\t", &local) == 0)
        stamp[0] = '\0';

    // A float widened to double has at most 39 integer digits, so the stamp and two
    // values always fit.
    char line[256];
    const int length =
        std::snprintf(line, sizeof line, "%s%4.1f\t%4.1f", stamp, static_cast<double>(humidity),
                      static_cast<double>(temperature));
    std::string result(line, length > 0 ? static_cast<std::size_t>(length) : 0);
    // CR LF wherever the file is written, so that logs are alike on every platform.
    result += "\r\n";
    return result;
}

void MeasurementLog::toggle() {
    logging_ = !logging_;
    if (logging_ && !fileOpen_) {
        const bool keepContents = append_ || startedOnce_;
        if (file_->open(fileName_, !keepContents)) {
            if (file_->seekToEnd()) {
                fileOpen_ = true;
                if (!startedOnce_) {
                    startedOnce_ = true;
                    window_.setControlText(ctl::kRecordCount, "0");
                }
            } else {
                // Writing from anywhere but the end would overwrite earlier lines.
                file_->close();
                reportFileError(kSeekFailed);
                logging_ = false;
            }
        } else {
            window_.messageBox(kOpenFailed, BoxIcon::Exclamation);
            logging_ = false;
        }
    } else if (!logging_ && fileOpen_) {
        closeFile();
    }
    window_.setControlText(ctl::kStartStopLog, logging_ ? kStopCaption : kStartCaption);
}

void MeasurementLog::writeRecord(bool& pollPending, float humidity, float temperature) {
    if (pollPending && fileOpen_ && logging_) {
        if (!file_->write(formatLine(clock_.now(), humidity, temperature))) {
            // Not counted, and pollPending stays set so that a further Reading of this
            // poll tries again.
            reportFileError(kDiskFull);
            return;
        }
        ++recordCount_;
        window_.setControlText(ctl::kRecordCount, std::to_string(recordCount_));
    }
    pollPending = false;
}

void MeasurementLog::stopForNewFile() {
    if (fileOpen_)
        closeFile();
    fileOpen_ = false;
    logging_ = false;
    window_.setControlText(ctl::kStartStopLog, kStartCaption);
}

void MeasurementLog::closeOnExit() {
    if (fileOpen_)
        closeFile();
}

void MeasurementLog::closeFile() {
    // fileOpen goes first: the error box below runs a nested loop in which Readings are
    // handled, and none of them may reach the closed file.
    fileOpen_ = false;
    if (!file_->close())
        reportFileError(kDiskFull);
}

void MeasurementLog::reportFileError(const char* format) {
    if (reportingFileError_)
        return;
    std::string text(format);
    if (const auto at = text.find("%1"); at != std::string::npos)
        text.replace(at, 2, file_->fullPath());
    reportingFileError_ = true;
    window_.messageBox(text, BoxIcon::Stop);
    reportingFileError_ = false;
}

} // namespace qv
