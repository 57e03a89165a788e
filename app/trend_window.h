#pragma once

// The trend window's behaviour (template 130), free of any toolkit: which readings it
// shows, the span and where the view stands, the buttons, panning, and the two stacked
// charts (humidity above temperature, one time axis) drawn through trend::drawChart.
//
// What it shows: the live readings (the history) - together with the earlier lines of
// the log file being written, when logging goes into one as the window opens, followed
// as lines are added - or a log file picked with "Open log...". A log file is never held
// in memory: a LogIndexer reads it on threads of its own into a summary of fixed size,
// handed over piece by piece (the charts appear at once and fill in; a progress bar and
// Cancel show meanwhile), and the lines of a span too narrow for the summary are read
// again by a LogReadWorker. Both hand their news back through a posted WM_TREND_LOG_READ,
// which the main window routes to OnLogRead.
//
// The front end builds the window and forwards its events here (FrontEnd::showTrendWindow);
// the object lives as long as the main window's logic and outlasts any number of openings
// of the window. User-interface thread only; it never waits for a reading thread.

#include "trend/chart_model.h"
#include "trend/chart_renderer.h"
#include "trend/log_indexer.h"
#include "trend/log_read_worker.h"
#include "trend/log_summary.h"
#include "trend/log_view.h"
#include "trend/reading_history.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace qv {

class DialogControls;
class FrontEnd;
class WindowServices;

namespace trend {
class Painter;
}

enum class TrendKey { Left, Right };

class TrendWindow {
public:
    // One notch of a mouse wheel, as the systems report it.
    static constexpr int kWheelNotch = 120;
    // A notch or an arrow key pans by this share of the span.
    static constexpr double kPanStep = 0.25;
    // The size of a saved image when the window has not been painted yet.
    static constexpr int kDefaultImageWidth = 800;
    static constexpr int kDefaultImageHeight = 500;

    // The log file being written now (UTF-8), or empty while logging is off.
    using LogFileQuery = std::function<std::string()>;

    // All must outlive the object; `history` is the live readings, fed by the main window.
    TrendWindow(const trend::ReadingHistory& history, WindowServices& window, FrontEnd& frontEnd,
                LogFileQuery loggingTo = {});

    // The front end built the window: `controls` stay valid until OnDestroy. The live view
    // takes in the log file being written, if any.
    void OnInitDialog(DialogControls& controls);
    // The window is gone; its state (span, source, position, a log picked) is kept for the
    // next opening. Reading stops; a log still read is kept as far as it was read.
    void OnDestroy();
    bool isOpen() const { return controls_ != nullptr; }

    // Buttons: a span (ctl::kSpanTenMinutes..kSpanAll), "Live" (back to the live readings,
    // following the newest), "Open log...", "Save image...", Cancel (ctl::kTrendCancel:
    // stops the reading); other ids are ignored. "Open log..." starts reading the chosen
    // file and returns; the log replaces the view at its first picture. "Live" and
    // another "Open log..." give up a read under way.
    void OnCommand(int id);
    // Escape: stops a reading under way and returns true; false when there is none (the
    // front end then closes the window).
    bool OnEscape();
    // WM_TREND_LOG_READ: takes what the readers have brought (a picture of the log, lines
    // appended to it, the lines of a span, the end of a read) and shows it, or says why a
    // log cannot be shown (the view then stays as it was). A message of a read given up
    // does nothing.
    void OnLogRead();
    // `delta` in the system's units (kWheelNotch a notch); positive (away from the user)
    // pans into the past.
    void OnMouseWheel(int delta);
    void OnKey(TrendKey key);

    // A reading was added to the history (at `pollInterval`): repaints when live readings
    // are shown in an open window, and looks for lines added to the log being written.
    void readingAdded(std::chrono::seconds pollInterval);

    // Draws both charts filling `width` x `height` pixels (the area below the buttons).
    // Asks for the lines of the span shown when the summary is too coarse for it.
    void paint(trend::Painter& painter, int width, int height);

    // For tests and the front ends.
    bool showingLog() const { return showingLog_; }
    // A log file is being read for the view (opened, or the one being written).
    bool readingLog() const { return live_.reading() || picked_.reading(); }
    // The lines of the span shown are being read.
    bool readingSpan() const { return detail_.reading(); }
    const trend::ChartModel& model() const { return model_; }
    // What is shown: the extent and the newest reading, and how many readings.
    trend::ChartData shown();
    std::uint64_t readingCount() const;
    // The file being written is part of the live view.
    bool followsLoggedFile() const { return following(); }
    // The summary of the log in view (empty when there is none).
    const trend::LogSummary& summary() const {
        return showingLog_ ? picked_.summary : live_.summary;
    }

private:
    // One log file in the charts: the one being written, or one picked.
    struct Source {
        Source(WindowServices& window);
        trend::LogIndexer indexer;
        trend::LogSummary summary;
        trend::LogView view;
        double share = 0.0; // of the file read by the indexer's first pass
        bool reading() const { return indexer.active() && !indexer.complete(); }
        // Stops the reading and forgets the file.
        void drop();
        // Takes the indexer's news in (a summary without readings only unless
        // `onlyWithReadings`); the update, for what else it says, and in `replaced`
        // whether its summary was taken.
        std::optional<trend::LogIndexer::Update> take(bool onlyWithReadings, bool* replaced);
    };

    void openLog();
    void stopPickedRead();
    void cancelReading();
    // Takes the file being written into the live view when it is not yet; true then.
    bool followLoggedFile();
    void takePicked();
    void takeDetail();
    void saveImage();
    // The log in the charts: the picked one shown, or the one being written; null: none.
    Source* logInView();
    void changed(); // the view changed: controls brought up to date, repaint

    const trend::ReadingHistory& history_;
    WindowServices& window_;
    FrontEnd& frontEnd_;
    const LogFileQuery loggingTo_;
    DialogControls* controls_ = nullptr;
    trend::ChartModel model_;
    std::chrono::seconds livePollInterval_{5};

    // The log file being written, with the live readings (while the window is open).
    Source live_;
    std::string followed_;       // its path (UTF-8); empty: none taken in
    bool followRefused_ = false; // it could not be read: the live readings show alone
    bool following() const { return !followed_.empty() && !followRefused_; }

    // A log picked with "Open log...".
    Source picked_;
    bool showingLog_ = false; // shown, rather than the live readings
    std::string logPath_;     // its path (UTF-8), once shown
    std::string logName_;     // its name without the folder
    bool partly_ = false;     // its read was stopped before the end
    std::string readingPath_; // UTF-8, while it is read and not shown yet

    // The lines of a narrow span, for the view they were asked for.
    trend::LogReadWorker detail_;
    std::optional<trend::LogRange> detailAsked_;
    Source* detailFor_ = nullptr;

    int lastWidth_ = kDefaultImageWidth;
    int lastHeight_ = kDefaultImageHeight;
    trend::ChartStyle style_;
    trend::ChartFrame humidityFrame_, temperatureFrame_; // scratch kept between paints
};

} // namespace qv
