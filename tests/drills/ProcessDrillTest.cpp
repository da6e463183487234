// Faults met by the program as the operator starts it, as a process of its own on
// the offscreen platform: floods on the calibrator line, and a settings file that
// cannot be read, is damaged, or cannot be written.
#include <signal.h>

#include <QApplication>
#include <QMessageBox>
#include <QTest>

#include "program/OtherCopy.h"
#include "tests/drills/FaultDrill.h"
#include "tests/support/Files.h"

namespace t720::drill {
namespace {

using sim::TransportFaults;
using sim::ChildProcess;
using sim::ProgramEnv;
using test::ReadFile;
using test::WriteFile;

// Started on COM1 from stored values, polling through floods, ended by SIGTERM.
TEST_F(FaultDrill, CalibratorLineFloodsTheRunningProgram) {
    StartBench({.calibratorLink = calibratorLink});
    const QString ini = dir.filePath("config/ZORTorT720/ZORTorT720.ini");
    WriteFile(ini, QString("[Ports]\nCOM1=%1\n[Properties]\nConnection=2\nT720Proze=3\n")
                       .arg(QString::fromStdString(calibratorLink))
                       .toUtf8());
    ChildProcess program(
        {sim::BuiltProgram("t720"), {}, ProgramEnv(dir.path().toStdString()), {}});
    ASSERT_TRUE(program.Started());
    ASSERT_TRUE(bench->WaitForReceived(8, kProgramPatience)) << program.Output();
    // Identification, the range probe, then polls with the stored step.
    const std::vector<std::string> first = CalibratorRecord();
    EXPECT_EQ(std::vector(first.begin(), first.begin() + 3),
              (std::vector<std::string>{"SNR?0", "SNR?1", "K1A 128, 3, 6, 0"}));
    EXPECT_EQ(first[4], "K1A 0, 3, 1, 0");

    const std::optional<long> before = ProcessMemoryKiB(program.Pid(), "VmHWM");
    // Floods of the largest size the bench sends, one after another; the passes
    // go on through them.
    for (int i = 0; i < 5; ++i) {
        bench->SetTransportFaults({.flood = true, .floodBytes = TransportFaults::kMaxFloodBytes});
        ASSERT_TRUE(bench->WaitForReceived(CalibratorLines() + 6, kProgramPatience)) << i;
        EXPECT_FALSE(bench->transportFaults().flood) << i;  // it fired
    }
    // Read and dropped, never held: the peak grew by far less than one flood.
    const std::optional<long> peak = ProcessMemoryKiB(program.Pid(), "VmHWM");
    ASSERT_TRUE(before && peak);
    if (kMemoryFiguresTell) {
        EXPECT_LT(*peak, 200 * 1024) << "KiB";
        EXPECT_LT(*peak - *before, static_cast<long>(TransportFaults::kMaxFloodBytes / 1024))
            << "KiB";
    }

    // Polling as before: the program waits between and within its passes.
    const CpuShare cpu([&] { return ProcessCpuSeconds(program.Pid()); });
    ASSERT_TRUE(bench->WaitForReceived(CalibratorLines() + 40, kProgramPatience));
    EXPECT_LT(cpu.Share(), kIdleCpuShare);

    program.Signal(SIGTERM);
    EXPECT_EQ(program.Wait(), 0) << program.Output();
    EXPECT_EQ(CalibratorRecord().back(), "DCL");
    const QSettings kept(ini, QSettings::IniFormat);
    EXPECT_EQ(kept.value("Properties/Connection").toString(), "2");
    EXPECT_EQ(kept.value("Properties/T720Proze").toString(), "3");
    EXPECT_EQ(kept.value("Ports/COM1").toString().toStdString(), calibratorLink);
}

TEST_F(FaultDrill, SettingsFileUnreadableDamagedOrUnwritable) {
    struct Case {
        const char* what;
        std::function<void(const QString& ini)> prepare;
        std::string startNote;  // told at start-up
        bool saved;             // false: told again at the end
    };
    const QByteArray damaged = "[Propert\xff\xfe\x01\nConnection=\x01\x02\nT720Proze=seven\n";
    const Case cases[] = {
        {"a directory where the file should be", [](const QString& ini) { QDir().mkpath(ini); },
         "Settings file cannot be read; defaults are used and nothing will be saved", false},
        {"a damaged file", [&](const QString& ini) { WriteFile(ini, damaged); },
         "Settings file was damaged; a copy was kept as", true},
        // As root, permissions do not stop a write; a file in the way of the
        // settings directory does.
        {"a file where the settings directory should be",
         [](const QString& ini) { WriteFile(QFileInfo(ini).path(), "in the way"); },
         "Settings cannot be saved (no write access)", false},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString base = dir.filePath(QString::number(n++));
        const QString ini = base + "/config/ZORTorT720/ZORTorT720.ini";
        c.prepare(ini);
        StartBench({.usbSocket = usbSocket});

        ChildProcess program({sim::BuiltProgram("t720"), {}, ProgramEnv(base.toStdString()), {}});
        ASSERT_TRUE(program.Started());
        EXPECT_NE(program.ReadUntil("t720: ").find(c.startNote), std::string::npos)
            << program.Output();
        // Started with the defaults: the USB link, and range 1, step 0, channel 0
        // in the first poll after the probe.
        ASSERT_TRUE(bench->WaitForReceived(4, kProgramPatience)) << program.Output();
        EXPECT_EQ(CalibratorRecord()[2], "K1A 0, 0, 1, 0");

        program.Signal(SIGTERM);
        ASSERT_EQ(program.Wait(), 0) << program.Output();
        EXPECT_EQ(CalibratorRecord().back(), "DCL");
        const bool toldAtEnd = program.Output().find("the settings could not be saved to " +
                                                     ini.toStdString()) != std::string::npos;
        EXPECT_EQ(toldAtEnd, !c.saved) << program.Output();
        if (c.saved) {
            QSettings kept(ini, QSettings::IniFormat);
            EXPECT_EQ(kept.status(), QSettings::NoError);
            EXPECT_EQ(kept.value("Properties/Connection").toString(), "1");
            EXPECT_EQ(kept.value("Properties/T720Proze").toString(), "0");
            const QStringList copies =
                QDir(QFileInfo(ini).path()).entryList({"ZORTorT720.ini.damaged-*"});
            ASSERT_EQ(copies.size(), 1);
            EXPECT_EQ(ReadFile(QFileInfo(ini).path() + "/" + copies[0]), damaged);
        }
    }
    // What stood in the way is still there.
    EXPECT_TRUE(QFileInfo(dir.filePath("0/config/ZORTorT720/ZORTorT720.ini")).isDir());
    EXPECT_EQ(ReadFile(dir.filePath("2/config/ZORTorT720")), "in the way");

    // In the window, the start-up note stands in the status bar.
    QDir().mkpath(Ini());
    StartProgram();
    EXPECT_EQ(program->Window().statusPanel2->text().toStdString().rfind(cases[0].startNote, 0),
              0u);
    program.reset();
    QDir(Ini()).removeRecursively();
}

// A second copy finds the lock of the first and asks; Return takes the default,
// No. The lock goes with its holder.
TEST(OtherCopy, ASecondCopyAsksBeforeDrivingTheCalibratorToo) {
    QTemporaryDir dir;
    const std::string place = dir.filePath("t720").toStdString();
    auto first = std::make_unique<InstanceLock>(place);
    EXPECT_FALSE(first->OtherCopyRunning());
    EXPECT_TRUE(InstanceLock(place).OtherCopyRunning());
    for (const bool yes : {false, true}) {
        QTimer::singleShot(0, [yes] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            if (yes)
                QTest::mouseClick(box->button(QMessageBox::Yes), Qt::LeftButton);
            else
                QTest::keyClick(box, Qt::Key_Return);
        });
        EXPECT_EQ(StartBesideOtherCopy(), yes);
    }
    first.reset();
    EXPECT_FALSE(InstanceLock(place).OtherCopyRunning());
    // A socket folder another user could have made first does not hide the other copy.
    ASSERT_EQ(chmod(place.c_str(), 0777), 0);
    const InstanceLock running(place);
    EXPECT_TRUE(InstanceLock(place).OtherCopyRunning());
}

}  // namespace
}  // namespace t720::drill
