#include "app/publish_dialog.h"

#include "app/dialog_controls.h"
#include "app/res/dialog_templates.h"
#include "publish/broker_address.h"
#include "publish/topics.h"
#include "text/substitute.h"
#include "text/texts.h"
#include "window/window_services.h"

namespace qv {

PublishDialog::PublishDialog(WindowServices& window) : window_(window) {}

void PublishDialog::OnInitDialog(DialogControls& controls) {
    const PublishSettings& s = values_.settings;
    controls.setText(ctl::kBroker, s.broker);
    controls.setText(ctl::kMqttUser, s.user);
    controls.setText(ctl::kMqttPassword, s.password);
    controls.setText(ctl::kTopicPrefix, s.topicPrefix);
    controls.setCueText(ctl::kTopicPrefix, values_.defaultTopicPrefix);
    controls.setCheckState(ctl::kDiscovery, s.discovery ? kChecked : kUnchecked);
    controls.setCheckState(ctl::kPublishOn, s.enabled ? kChecked : kUnchecked);
    controls.setText(ctl::kPublishStatus,
                     values_.status.empty() ? text::kNotPublishing : values_.status);
}

bool PublishDialog::OnOK(DialogControls& controls) {
    PublishSettings taken;
    taken.enabled = controls.checkState(ctl::kPublishOn) == kChecked;
    taken.broker = controls.text(ctl::kBroker);
    // An empty address is a choice while nothing is published: it keeps publishing off.
    if (taken.enabled || !taken.broker.empty()) {
        const publish::BrokerAddressParse parsed = publish::parseBrokerAddress(taken.broker);
        if (!parsed.ok) {
            refuse(controls, ctl::kBroker,
                   taken.broker.empty() ? std::string(text::kBrokerNeeded)
                                        : substitute(text::kBrokerRefused, {parsed.error}));
            return false;
        }
    }
    taken.topicPrefix = controls.text(ctl::kTopicPrefix);
    if (!taken.topicPrefix.empty()) {
        if (const std::string error = publish::topicPrefixError(taken.topicPrefix);
            !error.empty()) {
            refuse(controls, ctl::kTopicPrefix, substitute(text::kTopicPrefixRefused, {error}));
            return false;
        }
    }
    taken.user = controls.text(ctl::kMqttUser);
    taken.password = controls.text(ctl::kMqttPassword);
    taken.discovery = controls.checkState(ctl::kDiscovery) == kChecked;
    values_.settings = taken;
    return true;
}

void PublishDialog::refuse(DialogControls& controls, int id, const std::string& message) {
    window_.messageBox(message, BoxIcon::Exclamation);
    controls.focus(id, true);
}

} // namespace qv
