// The program: a QApplication, the program's parts wired together (Program), and
// the event loop. It ends through the main window's close, by the operator or by
// a signal.
//
// `t720 --list-ports` prints the serial ports and their COM numbers and ends,
// before any window is made (and without a display); so do `--help` and `--version`
// with the usage and the version.
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

constexpr const char* kUsage =
    "usage: t720 [/ZOREinmessen | /Load | /Relais(n)] [/DEV=word] [/ID=word]\n"
    "       t720 --list-ports | --help | --version\n"
    "Sets what a T720 calibrator outputs, over the maker's USB library or a serial port.\n"
    "  /ZOREinmessen  the Spez button: a linearity measurement with the DMM on COM1\n"
    "  /Load          the load toggle\n"
    "  /Relais(n)     the Clean Relais button, with the relay pattern n\n"
    "  /DEV=, /ID=    preset the USB library's device search\n"
    "  --list-ports   the serial ports and their COM numbers\n"
    "Remote control: t720-ctl. Manual: man t720.\n";

int Print(const char* text) {
    std::fputs(text, stdout);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}

int ListPorts(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string text =
        t720::PortListText(t720::ListPorts(t720::StoredPortMap(*t720::OpenSettingsStore())));
    std::fputs(text.c_str(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--list-ports") == 0) return ListPorts(argc, argv);
        if (std::strcmp(argv[i], "--help") == 0) return Print(kUsage);
        if (std::strcmp(argv[i], "--version") == 0) return Print("t720 " T720_VERSION_TEXT "\n");
    }

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
