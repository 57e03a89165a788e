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

} // namespace qv::bench
