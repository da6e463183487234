// The program: a QApplication, the program's parts wired together (Program), and
// the event loop. It ends through the main window's close, by the operator or by
// a signal.
#include <QApplication>
#include <QStringList>

#include "program/Program.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZORTorT720"));
    QApplication::setOrganizationName(QStringLiteral("ZORTorT720"));

    t720::Program program;
    // The switches are searched in the text that follows the program name.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    program.Start(args.join(u' ').toStdString());
    return app.exec();
}
