#include "app/qt/qt_window_services.h"

#include "app/error_report.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QWidget>

#include <algorithm>
#include <utility>

namespace qv::qt {
namespace {

// The event that has the user-interface thread hand over the posted messages.
QEvent::Type wakeEventType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

// The answer that stands in for the next message box; empty: the box is shown.
std::function<void(const ShownBox&)>& nextAnswer() {
    static std::function<void(const ShownBox&)> answer;
    return answer;
}

} // namespace

void QtWindowServices::setNextAnswer(std::function<void(const ShownBox&)> answer) {
    nextAnswer() = std::move(answer);
}

QtWindowServices::QtWindowServices(QWidget* window, WindowMessageTarget& target, QString caption)
    : window_(window), target_(target), caption_(std::move(caption)) {
    // Registered here, on the user-interface thread, so that the first post from the
    // reader thread does not race with the registration.
    wakeEventType();
}

QtWindowServices::~QtWindowServices() {
    // The timers are children of this object; stop them before the target can be gone.
    for (auto& [id, timer] : timers_)
        timer->stop();
}

void QtWindowServices::setControlText(int controlId, const std::string& text) {
    QWidget* widget = control(controlId);
    if (widget == nullptr)
        return;
    const QString qtext = QString::fromStdString(text);
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        edit->setText(qtext);
    else if (auto* button = qobject_cast<QAbstractButton*>(widget))
        button->setText(qtext);
    else if (auto* label = qobject_cast<QLabel*>(widget))
        label->setText(qtext);
}

void QtWindowServices::setCaption(const std::string& text) {
    window_->setWindowTitle(QString::fromStdString(text));
}

void QtWindowServices::messageBox(const std::string& text, BoxIcon icon,
                                  const std::string& detail) {
    reportToStandardError(caption_.toStdString(), text, detail);
    // Owned by the dialog open over the main window, if any, so that the box comes up
    // on top of it; else by the window whose command shows it.
    QWidget* owner = QApplication::activeModalWidget();
    if ((owner == nullptr || owner == window_) && boxOwner_)
        owner = boxOwner_;
    if (owner == nullptr)
        owner = window_;
    if (auto answer = std::exchange(nextAnswer(), {})) {
        answer(ShownBox{text, icon, detail, owner});
        return;
    }
    QMessageBox box(icon == BoxIcon::Stop ? QMessageBox::Critical : QMessageBox::Warning, caption_,
                    QString::fromStdString(text), QMessageBox::Ok, owner);
    if (!detail.empty())
        box.setInformativeText(QString::fromStdString(detail));
    box.exec();
}

TimerId QtWindowServices::startTimer(int timerId, std::chrono::milliseconds period) {
    if (timerId <= 0)
        return kNoTimer;
    QTimer*& timer = timers_[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        // Window timers keep their period to within a few milliseconds; a coarse timer
        // could drift by 5% of a long poll interval.
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, timerId] { target_.onTimer(timerId); });
    }
    timer->start(std::max(period, kMinimumTimerPeriod));
    return static_cast<TimerId>(timerId);
}

void QtWindowServices::stopTimer(TimerId id) {
    const auto found = timers_.find(static_cast<int>(id));
    if (id == kNoTimer || found == timers_.end())
        return;
    found->second->stop();
}

void QtWindowServices::postMessage(std::uint32_t message, std::intptr_t wParam,
                                   std::intptr_t lParam) {
    bool wake = false;
    {
        const std::lock_guard lock(postedMutex_);
        posted_.push_back({message, wParam, lParam});
        wake = !std::exchange(wakeQueued_, true);
    }
    if (wake)
        QCoreApplication::postEvent(this, new QEvent(wakeEventType()));
}

int QtWindowServices::runModal(ModalDialog& dialog) {
    return dialog.execModal();
}

QWidget* QtWindowServices::control(int controlId) const {
    // A text is set several times per record: searching the children each time would cost
    // more than the text itself.
    if (const auto known = controls_.find(controlId); known != controls_.end()) {
        QWidget* widget = known->second;
        if (widget != nullptr && widget->parentWidget() == window_)
            return widget;
        controls_.erase(known);
    }
    // Direct children only: the setup and about dialogs are children of the window too,
    // and their OK and Cancel buttons carry ids 1 and 2 like the main window's Exit.
    for (QWidget* child : window_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const QVariant id = child->property(kControlIdProperty);
        if (id.isValid() && id.toInt() == controlId) {
            controls_[controlId] = child;
            return child;
        }
    }
    return nullptr;
}

void QtWindowServices::customEvent(QEvent* event) {
    if (event->type() != wakeEventType()) {
        QObject::customEvent(event);
        return;
    }
    {
        const std::lock_guard lock(postedMutex_);
        wakeQueued_ = false;
    }
    for (;;) {
        PostedMessage next{};
        bool wake = false;
        {
            const std::lock_guard lock(postedMutex_);
            if (posted_.empty())
                return;
            next = posted_.front();
            posted_.pop_front();
            // The handler may run a nested loop (a message box) and not come back here
            // for a long time: that loop must find an event for the rest.
            wake = !posted_.empty() && !std::exchange(wakeQueued_, true);
        }
        if (wake)
            QCoreApplication::postEvent(this, new QEvent(wakeEventType()));
        target_.onMessage(next.message, next.wParam, next.lParam);
    }
}

} // namespace qv::qt
