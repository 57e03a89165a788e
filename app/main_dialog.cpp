#include "app/main_dialog.h"

#include "acquisition/reading_parser.h"
#include "app/front_end.h"
#include "app/res/dialog_templates.h"
#include "app/setup_command.h"
#include "app/setup_dialog.h"
#include "settings/settings_store.h"

namespace qv {
namespace {

// The bits of a system command id that the system keeps for itself.
constexpr unsigned kSysCommandMask = 0xFFF0u;

} // namespace

CQV53Dlg::CQV53Dlg(WindowServices& window, FrontEnd& frontEnd, SettingsStore& settings,
                   SerialPlatform& platform, const Clock& clock)
    : window_(window), frontEnd_(frontEnd), settings_(settings), clock_(clock), channel_(platform),
      log_(window, clock), controller_(channel_, window, log_),
      trend_(history_, window, frontEnd,
             [this] { return log_.fileOpen() ? log_.fileName() : std::string(); }) {
    ReadingParser::processInstance().setSink([this](const Reading& reading) {
        controller_.readingComplete(reading);
        history_.append(
            {static_cast<std::int64_t>(clock_.now()), reading.humidity, reading.temperature});
        trend_.readingAdded(std::chrono::seconds{controller_.interval()});
    });
    controller_.setWaitingListener([this](bool waiting) {
        window_.setCaption(waiting ? res::loadString(res::kPortLostCaptionStringId)
                                   : res::dialogTemplate(res::kMainDialogId).caption);
    });
}

CQV53Dlg::~CQV53Dlg() {
    ReadingParser::processInstance().setSink(nullptr);
    // Closed here, while every member still exists: closing the log may report a file
    // error in a message box, whose nested loop could otherwise deliver a tick to a
    // controller already gone. The reader is joined before the window services go.
    log_.closeOnExit();
    channel_.Close();
}

void CQV53Dlg::OnInitDialog() {
    if (initialised_)
        return;
    initialised_ = true;

    const AppSettings loaded = loadAppSettings(settings_);
    controller_.setPort(loaded.port);
    controller_.setInterval(loaded.interval);
    log_.setFileName(loaded.fileName);
    append_ = loaded.append;
    log_.setAppend(append_ != 0);
    controller_.setAutoReconnect(loaded.autoReconnect != 0);
    // The run-time state (flags, values, record count) is in its reset state from the
    // construction of the controller and the log; nothing has run since.

    if (startLogging_)
        window_.postMessage(WM_START_LOG, 0, 0);
    controller_.start();
}

std::string CQV53Dlg::aboutMenuEntry() const {
    return res::loadString(res::kAboutMenuStringId);
}

std::string CQV53Dlg::trendMenuEntry() const {
    return res::loadString(res::kTrendMenuStringId);
}

std::string CQV53Dlg::reconnectMenuEntry() const {
    return res::loadString(res::kReconnectMenuStringId);
}

bool CQV53Dlg::OnSysCommand(unsigned id, std::intptr_t /*lParam*/) {
    switch (id & kSysCommandMask) {
    case res::kAboutCommandId:
        frontEnd_.runAboutBox();
        return true;
    case res::kTrendCommandId:
        frontEnd_.showTrendWindow(trend_);
        return true;
    case res::kReconnectCommandId: {
        const bool on = !controller_.autoReconnect();
        settings_.WriteProfileInt(nullptr, kAutoReconnectEntry, on ? 1 : 0);
        controller_.setAutoReconnect(on);
        return true;
    }
    default:
        return false;
    }
}

void CQV53Dlg::OnCommand(int id) {
    if (id == ctl::kSetup)
        runSetup();
    else if (id == ctl::kStartStopLog)
        log_.toggle();
}

void CQV53Dlg::runSetup() {
    QV53SetupDlg dialog(window_, frontEnd_);
    SetupTargets targets{channel_, controller_, log_, settings_, append_};
    qv::runSetup(targets, frontEnd_, dialog);
}

void CQV53Dlg::OnClose() {
    log_.closeOnExit();
}

void CQV53Dlg::onTimer(int timerId) {
    controller_.onTimer(timerId);
}

void CQV53Dlg::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t /*lParam*/) {
    if (message == WM_LOG_LINE_DONE)
        log_.lineDone();
    if (message == WM_START_LOG)
        OnCommand(ctl::kStartStopLog);
    if (message == WM_TREND_LOG_READ)
        trend_.OnLogRead();
    if (message != WM_SERIAL_BYTE)
        return;
    const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
    ReadingParser::processInstance().feed(&byte, 1);
}

} // namespace qv
