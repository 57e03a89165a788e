#include "bench/program_rig.h"

#include "app/qt/dialog_builder.h"
#include "app/res/dialog_templates.h"

namespace qv::bench {

ProgramRig::ProgramRig(const std::filesystem::path& portsDir, RigTrials trials)
    : platform(makePlatformSerial(portsDir)), qtServices(&window, *this, QStringLiteral("QV-5300")),
      services(qtServices), station(*platform, services, clock, parser), channel(station.channel()),
      log(station.log()), controller(station.controller()) {
    qt::buildDialog(res::dialogTemplate(res::kMainDialogId), window);
    if (trials.noText)
        services.setTextDirect = [](int, const std::string&) {};
}

ProgramRig::~ProgramRig() {
    // The reader thread posts to qtServices: stop it before the services go.
    station.close();
}

void ProgramRig::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t lParam) {
    station.onMessage(message, wParam, lParam);
    if (message != WM_SERIAL_BYTE && message != WM_LOG_LINE_DONE && message != WM_START_LOG &&
        otherMessage)
        otherMessage(message);
}

} // namespace qv::bench
