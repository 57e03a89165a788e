// QV-5300: the program is its one main window.

#include "app/qt/cqv53_app.h"
#include "settings/settings_store.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program file's own name, whatever name it was started under: the caption of
    // every message box and the last element of the settings key.
    QCoreApplication::setApplicationName(QString::fromStdString(
        qv::applicationNameFromProgramPath(QCoreApplication::applicationFilePath().toStdString())));
    return CQV53App().run();
}
