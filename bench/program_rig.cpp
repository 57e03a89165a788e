#include "bench/program_rig.h"

#include "app/qt/dialog_builder.h"
#include "app/res/dialog_templates.h"

namespace qv::bench {

ProgramRig::ProgramRig(const std::filesystem::path& portsDir, RigTrials trials)
    : platform(makePlatformSerial(portsDir)), channel(*platform),
      qtServices(&window, *this, QStringLiteral("QV-5300")), services(qtServices),
      log(services, clock), controller(channel, services, log) {
    buildDialog(res::dialogTemplate(res::kMainDialogId), window);
    if (trials.noText)
        services.setTextDirect = [](int, const std::string&) {};
    parser.setSink([this](const Reading& reading) {
        controller.readingComplete(reading);
        if (afterReading)
            afterReading(reading);
    });
}

ProgramRig::~ProgramRig() {
    // The reader thread posts to qtServices: stop it before the services go.
    channel.Close();
}

void ProgramRig::onMessage(std::uint32_t message, std::intptr_t wParam, std::intptr_t) {
    if (message == WM_LOG_LINE_DONE)
        log.lineDone();
    if (message != WM_SERIAL_BYTE && message != WM_LOG_LINE_DONE && otherMessage)
        otherMessage(message);
    if (message != WM_SERIAL_BYTE)
        return;
    const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
    parser.feed(&byte, 1);
}

} // namespace qv::bench
