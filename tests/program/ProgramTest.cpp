// The program itself, started like an operator starts it (on the offscreen
// platform): start-up, polling and the end by SIGTERM on the USB link (on a serial
// link, drilled with floods in tests/drills), and the port listing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSettings>

#include "tests/support/BenchRig.h"
#include "sim/ChildProcess.h"
#include "tests/support/Files.h"

namespace t720 {
namespace {

using sim::ChildProcess;

class ProgramTest : public ::testing::Test, protected test::BenchRig {
  protected:
    QString Ini() const { return dir.filePath("config/ZORTorT720/ZORTorT720.ini"); }
    std::vector<std::pair<std::string, std::string>> Env() const {
        return sim::ProgramEnv(dir.path().toStdString());
    }
};

TEST_F(ProgramTest, UsbLinkFromStartToSigterm) {
    // Any library with the two entry points will do; this one reports every call.
    int calls[2];
    ASSERT_EQ(pipe2(calls, O_CLOEXEC), 0);
    auto env = Env();
    env.push_back({"T720_USBCAL_LIBRARY", T720_RECORDER_LIBRARY});
    env.push_back({"T720_RECORDER_FD", std::to_string(calls[1])});
    ChildProcess program({sim::BuiltProgram("t720"), {"/DEV=2", "/ID=ABC"}, env, {calls[1]}});
    close(calls[1]);
    ASSERT_TRUE(program.Started());

    sim::LineSource log(calls[0]);
    std::vector<std::string> seen;
    int polls = 0;
    while (polls < 10) {
        const auto line = log.Next();
        ASSERT_TRUE(line) << "the program stopped calling the library\n" << program.Output();
        seen.push_back(*line);
        polls += line->find("[K1B") != std::string::npos;
    }
    program.Signal(SIGTERM);
    for (auto line = log.Next(); line; line = log.Next()) seen.push_back(*line);
    close(calls[0]);
    EXPECT_EQ(program.Wait(), 0) << program.Output();

    ASSERT_GE(seen.size(), 8u);
    EXPECT_EQ(seen[0], "CalCommand -1 [] [] 0");       // the link selection
    EXPECT_EQ(seen[1], "GetUSBDeviceInfo [2] [ABC]");  // searched with the switches
    EXPECT_EQ(seen[2], "CalCommand 0 [REC-0815] [K1A 128, 0, 6, 0] 0");  // range probe
    EXPECT_EQ(seen[3], "CalCommand 0 [REC-0815] [K1B 0,0,0, 0] 1");
    EXPECT_EQ(seen[4], "CalCommand 0 [REC-0815] [K1A 0, 0, 1, 0] 0");  // first poll
    EXPECT_EQ(seen[6], "CalCommand -1 [] [] 0");                       // end of start-up
    EXPECT_EQ(seen.back(), "CalCommand 0 [REC-0815] [DCL] 0");         // shutdown
    const QSettings ini(Ini(), QSettings::IniFormat);
    EXPECT_EQ(ini.value("Properties/Connection").toString(), "1");
    for (const char* key : {"T720Range", "T720Chann", "T720Signe", "T720Proze", "T720COMxincr"})
        EXPECT_TRUE(ini.contains(QString("Properties/") + key)) << key;
}

// --list-ports, --help and --version print and end before any window is made.
TEST_F(ProgramTest, ListPortsHelpAndVersionPrintAndEndWithoutADisplay) {
    StartBench({.calibratorLink = calibratorLink});
    const std::string gone = dir.filePath("ttyUSB-gone").toStdString();
    ASSERT_TRUE(test::WriteFile(Ini(), QByteArray::fromStdString("[Ports]\nCOM2=" + calibratorLink +
                                                                 "\nCOM4=" + gone + "\n")));
    auto env = Env();
    for (auto& [name, value] : env)
        if (name == "QT_QPA_PLATFORM") value = "none";  // no window could be made
    ChildProcess program({sim::BuiltProgram("t720"), {"--list-ports"}, env, {}});
    const std::string out = program.ReadAll();
    EXPECT_EQ(program.Wait(), 0) << out;
    const std::string pty =
        QFileInfo(QString::fromStdString(calibratorLink)).canonicalFilePath().toStdString();
    EXPECT_NE(
        out.find(calibratorLink + ": COM2 (not listed by the system; leads to " + pty + ")\n"),
        std::string::npos)
        << out;
    EXPECT_NE(out.find(gone + ": COM4 (missing)\n"), std::string::npos) << out;
    EXPECT_TRUE(CalibratorRecord().empty());  // nothing was written to the port

    for (const std::string arg : {"--help", "--version"}) {
        ChildProcess info({sim::BuiltProgram("t720"), {arg}, env, {}, {"DISPLAY"}});
        const std::string text = info.ReadAll();
        EXPECT_EQ(info.Wait(), 0) << text;
        EXPECT_EQ(text.rfind(arg == "--help" ? "usage: t720 " : "t720 1.", 0), 0u) << text;
    }
}

}  // namespace
}  // namespace t720
