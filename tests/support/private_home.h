#pragma once

// A private HOME and XDG_CONFIG_HOME for a whole Qt test program, set before anything
// reads them (Qt keeps some folders it derives from them for the life of the process), so
// no test ever reads or writes the user's own settings, ports or files. Register it once per program:
//   testing::AddGlobalTestEnvironment(new qv::test::PrivateHome);

#include <QTemporaryDir>
#include <QtGlobal>

#include <gtest/gtest.h>

namespace qv::test {

class PrivateHome : public testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        qputenv("HOME", dir_.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", dir_.filePath("config").toLocal8Bit());
    }

private:
    QTemporaryDir dir_;
};

} // namespace qv::test
