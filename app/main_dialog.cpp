#include "app/main_dialog.h"

#include "acquisition/reading_parser.h"
#include "app/front_end.h"
#include "app/publish_dialog.h"
#include "app/res/dialog_templates.h"
#include "app/setup_command.h"
#include "app/setup_dialog.h"
#include "app/window_placement.h"
#include "publish/topics.h"
#include "settings/publish_settings.h"
#include "settings/settings_store.h"
#include "text/substitute.h"
#include "text/texts.h"

namespace qv {
namespace {

// The bits of a system command id that the system keeps for itself.
constexpr unsigned kSysCommandMask = 0xFFF0u;

} // namespace

std::string mainCaption(bool waitingForPort, const std::string& publishStatus) {
    if (waitingForPort)
        return res::loadString(res::kPortLostCaptionStringId);
    if (!publishStatus.empty())
        return substitute(text::kPublishingCaption, {publishStatus});
    return res::dialogTemplate(res::kMainDialogId).caption;
}

CQV53Dlg::CQV53Dlg(WindowServices& window, FrontEnd& frontEnd, SettingsStore& settings,
                   SerialPlatform& platform, const Clock& clock)
    : window_(window), frontEnd_(frontEnd), settings_(settings),
      station_(platform, window, clock, ReadingParser::processInstance()),
      trend_(
          history_, window, frontEnd,
          [this] { return station_.log().fileOpen() ? station_.log().fileName() : std::string(); }),
      publish_(window, clock, [this] { updateCaption(); }),
      survey_(platform, window, WM_PORTS_PROBED) {
    station_.addReadingListener([this](const Reading& reading, std::time_t when) {
        history_.append({static_cast<std::int64_t>(when), reading.humidity, reading.temperature});
        trend_.readingAdded(std::chrono::seconds{station_.controller().interval()});
        publish_.submit(reading);
    });
    station_.setWaitingListener([this](bool waiting) {
        portLost_ = waiting;
        updateCaption();
    });
}

CQV53Dlg::~CQV53Dlg() {
    if (probing_)
        frontEnd_.setWaitCursor(false);
    // Closed here, while the history and the trend view its listener feeds still exist.
    station_.close();
}

void CQV53Dlg::OnInitDialog() {
    if (initialised_)
        return;
    initialised_ = true;

    const AppSettings loaded = loadAppSettings(settings_);
    AcquisitionController& controller = station_.controller();
    controller.setPort(loaded.port);
    controller.setInterval(loaded.interval);
    station_.log().setFileName(loaded.fileName);
    append_ = loaded.append;
    station_.log().setAppend(append_ != 0);
    controller.setAutoReconnect(loaded.autoReconnect != 0);
    // The run-time state (flags, values, record count) is in its reset state from the
    // construction of the controller and the log; nothing has run since.

    // Before the port opens: a box about the port must not hold publishing up.
    applyPublishSettings(loadPublishSettings(settings_));
    station_.start(startLogging_);
}

void CQV53Dlg::applyPublishSettings(const PublishSettings& settings) {
    // The link reports a change of its status text, which updates the caption.
    publish_.apply(settings, station_.controller().port());
}

void CQV53Dlg::updateCaption() {
    window_.setCaption(mainCaption(portLost_, publish_.statusText()));
}

ScreenPoint CQV53Dlg::openingPosition(int width, int height,
                                      std::span<const ScreenRect> workAreas) const {
    return mainWindowPosition(loadWindowPosition(settings_), width, height, workAreas);
}

void CQV53Dlg::storeWindowPosition(ScreenPoint topLeft) {
    const std::optional<ScreenPoint> stored = loadWindowPosition(settings_);
    if (!stored || stored->x != topLeft.x)
        settings_.WriteProfileInt(nullptr, kWindowLeftEntry, topLeft.x);
    if (!stored || stored->y != topLeft.y)
        settings_.WriteProfileInt(nullptr, kWindowTopEntry, topLeft.y);
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

std::string CQV53Dlg::publishMenuEntry() const {
    return res::loadString(res::kPublishMenuStringId);
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
        const bool on = !station_.controller().autoReconnect();
        settings_.WriteProfileInt(nullptr, kAutoReconnectEntry, on ? 1 : 0);
        station_.controller().setAutoReconnect(on);
        return true;
    }
    case res::kPublishCommandId:
        runPublish();
        return true;
    default:
        return false;
    }
}

void CQV53Dlg::runPublish() {
    PublishDialog dialog(window_);
    PublishDialog::Values& values = dialog.values();
    values.settings = loadPublishSettings(settings_);
    values.defaultTopicPrefix = publish::localTopicPrefix(station_.controller().port());
    values.status = publishStatusText();
    if (frontEnd_.runPublishDialog(dialog) != kIdOk)
        return;
    savePublishSettings(settings_, values.settings);
    applyPublishSettings(values.settings);
}

void CQV53Dlg::OnCommand(int id) {
    if (id == ctl::kSetup)
        runSetup();
    else if (id == ctl::kStartStopLog)
        station_.log().toggle();
}

void CQV53Dlg::runSetup() {
    if (probing_)
        return;
    probing_ = true;
    frontEnd_.setWaitCursor(true);
    survey_.start();
}

void CQV53Dlg::portsProbed() {
    if (!probing_)
        return;
    const PortSurvey::Results probed = survey_.finish();
    probing_ = false;
    frontEnd_.setWaitCursor(false);
    if (closing_)
        return;
    QV53SetupDlg dialog(window_, frontEnd_);
    SetupTargets targets{station_.channel(), station_.controller(), station_.log(), settings_,
                         append_};
    const int port = station_.controller().port();
    qv::runSetup(targets, frontEnd_, dialog, probed);
    if (station_.controller().port() != port)
        applyPublishSettings(loadPublishSettings(settings_));
}

void CQV53Dlg::OnClose() {
    closing_ = true;
    station_.log().closeOnExit();
}

void CQV53Dlg::onTimer(int timerId) {
    station_.onTimer(timerId);
}

void CQV53Dlg::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    if (message == WM_TREND_LOG_READ)
        trend_.OnLogRead();
    else if (message == WM_PORTS_PROBED)
        portsProbed();
    else if (message == WM_PUBLISH_STATUS)
        publish_.onStatusMessage();
    else
        station_.onMessage(message, wParam, lParam);
}

} // namespace qv
