#include "app/qt/cqv53_app.h"

#include "acquisition/clock.h"
#include "app/qt/qt_main_dialog.h"
#include "app/qt/signal_bridge.h"
#include "serial/serial_platform.h"
#include "settings/user_folder.h"

#include <QCoreApplication>

namespace qv::qt {

CQV53App::CQV53App(qv::StartOptions options)
    : settings_(QCoreApplication::applicationName().toStdString()), options_(options) {}

int CQV53App::run() {
    registryKey_ = qv::kCompanyKey;
    settings_.SetRegistryKey(registryKey_);

    // A logout or Ctrl+C ends the program the way the close box does. The bridge outlives
    // the window, so a second signal while the window is taken down (log closing) cannot
    // kill the process half-way.
    SignalBridge bridge;
    const auto platform = qv::makePlatformSerial(qv::portsFolder());
    const qv::SystemClock clock;
    QtMainDialog dialog(settings_, *platform, clock);
    dialog.logic().setStartLogging(options_.startLogging);
    QObject::connect(&bridge, &SignalBridge::terminationRequested, &dialog,
                     &QtMainDialog::closeOnRequest);

    dialog.execModal();
    return 0;
}

} // namespace qv::qt
