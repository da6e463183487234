// The program: a QApplication, the program's parts wired together (Program), and
// the event loop. It ends through the main window's close, by the operator or by
// a signal.
//
// `t720 --list-ports` prints the serial ports and their COM numbers and ends,
// before any window is made (and without a display).
#include <QApplication>
#include <QStringList>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/DialogueTrace.h"
#include "app/SettingsStore.h"
#include "link/PortList.h"
#include "program/OtherCopy.h"
#include "program/Program.h"
#include "remote/SocketPlace.h"

namespace {

int ListPorts(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string text =
        t720::PortListText(t720::ListPorts(t720::StoredPortMap(*t720::OpenSettingsStore())));
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--list-ports") == 0) return ListPorts(argc, argv);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("ZORTorT720"));
    QApplication::setOrganizationName(QStringLiteral("ZORTorT720"));
    std::string traceProblem;
    if (t720::TraceWantedByEnvironment() &&
        !t720::DialogueTrace::Start(t720::DefaultTraceDirectory())) {
        traceProblem = "Dialogue trace cannot be written: " + t720::DialogueTrace::Problem();
        std::fprintf(stderr, "t720: %s\n", traceProblem.c_str());
    }

    const t720::InstanceLock instance(t720::remote::DefaultSocketPlace().dir);
    if (instance.OtherCopyRunning() && !t720::StartBesideOtherCopy()) return 0;
    if (!instance.Problem().empty()) std::fprintf(stderr, "t720: %s\n", instance.Problem().c_str());

    t720::Program program;
    // The switches are searched in the text that follows the program name.
    QStringList args = QApplication::arguments();
    args.removeFirst();
    program.Start(args.join(u' ').toStdString());
    for (const std::string& note : {traceProblem, instance.Problem()})
        if (!note.empty()) program.Tell(note);
    return app.exec();
}
