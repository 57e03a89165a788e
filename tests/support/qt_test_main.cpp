// Test main for Qt-based tests: one QApplication for the whole program. The offscreen
// platform is chosen here when nothing else is, because test discovery runs the binary
// at build time without the test's environment, and Qt aborts without a display.

#include <QApplication>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
