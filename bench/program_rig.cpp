#include "bench/program_rig.h"

#include "app/dialog_builder.h"
#include "app/res/dialog_templates.h"
#include "bench/unchanged_state_platform.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace qv::bench {

namespace {

std::unique_ptr<SerialPlatform> makeRigPlatform(const std::filesystem::path& portsDir,
                                                const RigTrials& trials) {
    auto posix = makePlatformSerial(portsDir);
    if (!trials.unchangedState)
        return posix;
    return std::make_unique<UnchangedStatePlatform>(std::move(posix));
}

} // namespace

ProgramRig::ProgramRig(const std::filesystem::path& portsDir, RigTrials trials)
    : platform(makeRigPlatform(portsDir, trials)), channel(*platform),
      qtServices(&window, *this, QStringLiteral("QV-5300")), services(qtServices),
      log(services, clock), controller(channel, services, log) {
    buildDialog(res::dialogTemplate(res::kMainDialogId), window);
    services.coalescePosts = trials.coalescePosts;
    if (trials.noText) {
        services.setTextDirect = [](int, const std::string&) {};
    } else if (trials.cachedControls) {
        for (int id : {ctl::kHumidity, ctl::kTemperature, ctl::kStartStopLog, ctl::kRecordCount})
            controls_[id] = qtServices.control(id);
        // The same dispatch by widget kind as QtWindowServices::setControlText.
        services.setTextDirect = [this](int controlId, const std::string& text) {
            const auto found = controls_.find(controlId);
            if (found == controls_.end() || found->second == nullptr)
                return;
            const QString qtext = QString::fromStdString(text);
            if (auto* edit = qobject_cast<QLineEdit*>(found->second))
                edit->setText(qtext);
            else if (auto* button = qobject_cast<QAbstractButton*>(found->second))
                button->setText(qtext);
            else if (auto* label = qobject_cast<QLabel*>(found->second))
                label->setText(qtext);
        };
    }
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
    if (message == ForwardingWindowServices::kDeliverQueued) {
        services.deliverQueued(*this);
        return;
    }
    if (message != WM_SERIAL_BYTE)
        return;
    const auto byte = static_cast<std::uint8_t>(wParam & 0xFF);
    parser.feed(&byte, 1);
}

} // namespace qv::bench
