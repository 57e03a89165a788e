// QV-5300: the program is its one main window.

#include "app/command_line.h"
#include "app/qt/cqv53_app.h"
#include "settings/settings_store.h"

#include <QApplication>

#include <string>
#include <vector>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The program file's own name, whatever name it was started under: the caption of
    // every message box and the last element of the settings key.
    QCoreApplication::setApplicationName(QString::fromStdString(
        qv::applicationNameFromProgramPath(QCoreApplication::applicationFilePath().toStdString())));
    // Qt's own options (-platform, -style, ...) are read by QApplication; to the parser
    // they are unknown arguments, which it ignores.
    std::vector<std::string> arguments;
    for (const QString& argument : QCoreApplication::arguments().mid(1))
        arguments.push_back(argument.toStdString());
    return qv::qt::CQV53App(qv::parseCommandLine(arguments, qv::OptionStyle::Posix)).run();
}
