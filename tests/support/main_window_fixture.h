#pragma once

// A fixture for tests of the real main window: a settings store of its own per test
// (an application name of its own), a log file in a temporary folder, a 1-second
// interval, and an in-memory serial line whose COM1 answers each poll with one record.
// Pair it with PrivateHome so the store lives in a private XDG_CONFIG_HOME.

#include "acquisition/clock.h"
#include "app/qt/qt_main_dialog.h"
#include "settings/settings_store.h"
#include "settings/user_folder.h"
#include "tests/support/fake_serial_platform.h"
#include "tests/support/ui_driver.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace qv::test {

inline constexpr char kRecord[] = "H 45.3 T 23.1\r";

class MainWindowFixture : public testing::Test {
protected:
    // `storePrefix` starts each test's application name, so suites keep apart.
    explicit MainWindowFixture(QString storePrefix) : storePrefix_(std::move(storePrefix)) {}

    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QCoreApplication::setApplicationName(QStringLiteral("QV-5300"));
        appName_ = storePrefix_ + QString::fromLatin1(
                                      testing::UnitTest::GetInstance()->current_test_info()->name())
                                      .replace(QLatin1Char('/'), QLatin1Char('-'));
        store_ = makeStore();
        logPath_ = dir_.filePath(QStringLiteral("tavrin.log"));
        store_->WriteProfileString(nullptr, kLogFileNameEntry, logPath_.toStdString());
        store_->WriteProfileInt(nullptr, kLogIntervalEntry, 1);
        fake_.addPort(1);
        fake_.setSensorRecord(1, kRecord);
    }

    // A box answer that the test set and that no box took must not answer the next test's.
    void TearDown() override { clearBoxAnswer(); }

    // A second store of the same application: reads what the window wrote.
    std::unique_ptr<SettingsStore> makeStore() const {
        auto store = std::make_unique<SettingsStore>(appName_.toStdString());
        store->SetRegistryKey(kCompanyKey);
        return store;
    }
    // The settings file the window's store reads and writes.
    QString settingsFileName() const {
        return QString::fromStdString(
            settingsFilePath(store_->company(), store_->applicationName()).string());
    }
    int storedInt(const char* entry) const {
        return makeStore()->GetProfileInt(nullptr, entry, -99);
    }

    // The window initialised as its modal run would, without its loop; with
    // `startLogging`, as the command line's --start-log would.
    void open(SerialPlatform* platform = nullptr, bool startLogging = false) {
        dlg_ = std::make_unique<qt::QtMainDialog>(*store_, platform ? *platform : fake_, clock_);
        dlg_->logic().setStartLogging(startLogging);
        dlg_->show();
        dlg_->initDialog();
    }
    // The text of a line edit or button of the main window.
    QString text(int id) const {
        if (auto* edit = child<QLineEdit>(dlg_.get(), id))
            return edit->text();
        return child<QAbstractButton>(dlg_.get(), id)->text();
    }

    QString storePrefix_;
    QTemporaryDir dir_;
    QString appName_;
    QString logPath_;
    std::unique_ptr<SettingsStore> store_;
    FakeSerialPlatform fake_;
    SystemClock clock_;
    std::unique_ptr<qt::QtMainDialog> dlg_;
};

} // namespace qv::test
