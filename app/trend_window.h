#pragma once

// The trend window's behaviour (template 130), free of any toolkit: which readings it
// shows (the live history or a loaded log file), the span and where the view stands, the
// buttons, panning, and the two stacked charts (humidity above temperature, one time axis)
// drawn through trend::drawChart. The front end builds the window and forwards its events
// here (FrontEnd::showTrendWindow); the object lives as long as the main window's logic
// and outlasts any number of openings of the window. User-interface thread only: a log
// file is read by its LogReadWorker, whose thread hands the result back as a posted
// WM_TREND_LOG_READ, which the main window routes to OnLogRead.

#include "trend/chart_model.h"
#include "trend/chart_renderer.h"
#include "trend/log_read_worker.h"
#include "trend/log_reader.h"
#include "trend/reading_history.h"

#include <chrono>
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

    // All must outlive the object; `history` is the live readings, fed by the main window.
    TrendWindow(const trend::ReadingHistory& history, WindowServices& window, FrontEnd& frontEnd);

    // The front end built the window: `controls` stay valid until OnDestroy.
    void OnInitDialog(DialogControls& controls);
    // The window is gone; its state (span, source, position) is kept for the next opening.
    // A log still being read is given up.
    void OnDestroy();
    bool isOpen() const { return controls_ != nullptr; }

    // Buttons: a span (ctl::kSpanTenMinutes..kSpanAll), "Live" (back to the live readings,
    // following the newest), "Open log...", "Save image..."; other ids are ignored. "Open
    // log..." starts reading the chosen file and returns; the view changes when the read
    // has ended (OnLogRead). "Live" and another "Open log..." give up a read under way.
    void OnCommand(int id);
    // WM_TREND_LOG_READ: shows the log just read, or says why it cannot be shown (the view
    // then stays as it was). A message of a read given up does nothing.
    void OnLogRead();
    // `delta` in the system's units (kWheelNotch a notch); positive (away from the user)
    // pans into the past.
    void OnMouseWheel(int delta);
    void OnKey(TrendKey key);

    // A reading was added to the history (at `pollInterval`): repaints when live readings
    // are shown in an open window.
    void readingAdded(std::chrono::seconds pollInterval);

    // Draws both charts filling `width` x `height` pixels (the area below the buttons).
    void paint(trend::Painter& painter, int width, int height);

    // For tests and the front ends.
    bool showingLog() const { return showingLog_; }
    bool readingLog() const { return reader_.reading(); }
    const trend::ChartModel& model() const { return model_; }
    trend::ReadingSpans readings() const;

private:
    void openLog();
    void stopReading();
    void saveImage();
    void changed(); // the view changed: controls brought up to date, repaint

    const trend::ReadingHistory& history_;
    WindowServices& window_;
    FrontEnd& frontEnd_;
    DialogControls* controls_ = nullptr;
    trend::ChartModel model_;
    std::chrono::seconds livePollInterval_{5};
    bool showingLog_ = false;
    trend::LogReadResult log_;
    std::string logName_; // the file's name without its folder
    trend::LogReadWorker reader_;
    std::string readingPath_; // UTF-8, while reader_ reads it
    int lastWidth_ = kDefaultImageWidth;
    int lastHeight_ = kDefaultImageHeight;
    trend::ChartStyle style_;
    trend::ChartFrame humidityFrame_, temperatureFrame_; // scratch kept between paints
};

} // namespace qv
