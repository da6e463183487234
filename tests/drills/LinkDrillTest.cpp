// Faults of the calibrator's link, played against the whole program running in
// this process: a serial device that vanishes, a USB bench that dies, a line that
// garbles, splits or delays its answers (floods: tests/drills/ProcessDrillTest.cpp).
#include <QTest>
#include <set>

#include "tests/drills/FaultDrill.h"

namespace t720::drill {
namespace {

using sim::TransportFaults;

TEST_F(FaultDrill, CalibratorSerialDeviceVanishesWhilePolling) {
    ASSERT_NO_FATAL_FAILURE(StartOnCom1());
    ASSERT_TRUE(RunUntilCalibratorLines(6));

    bench->HangUpCalibrator();
    // The pass under way may still have had its answer; every later one reports.
    ASSERT_TRUE(RunPasses(2));
    const CpuShare cpu(ThreadCpuSeconds);
    int reported = 0;
    ASSERT_TRUE(RunPasses(30, [&] {
        reported += Model().TextremoVisible && Model().Textremo == "No answer from T720";
    }));
    EXPECT_LT(cpu.Share(), kIdleCpuShare);
    EXPECT_EQ(reported, 30);
    EXPECT_TRUE(Connected());  // a serial link is searched again only when selected

    // The device is back; the operator selects the link again.
    bench->RestoreCalibrator();
    const uint64_t before = CalibratorLines();
    QTest::mouseClick(program->Window().CommandCOM1, Qt::LeftButton);
    ASSERT_TRUE(RunUntil([&] {
        return CalibratorLines() >= before + 6 && !Model().TextremoVisible;
    })) << Model().Textremo;
    EXPECT_TRUE(Connected());
}

TEST_F(FaultDrill, UsbBenchDiesWhilePolling) {
    StartBench({.usbSocket = usbSocket});
    StartProgram();  // no stored settings: the USB link
    ASSERT_TRUE(Connected()) << Model().txtMessages;

    bench->Stop();
    const std::string noDevice = "\r\n\r\nno USB device found";
    ASSERT_TRUE(RunUntil([&] { return Model().txtMessages == noDevice; }));
    const CpuShare cpu(ThreadCpuSeconds);
    int searching = 0;
    ASSERT_TRUE(RunPasses(30, [&] {
        searching += !Connected() && Model().txtMessages == noDevice &&
                     Model().txtMessagesColour == kRed && Model().CommandUSBb.back == kYellow;
    }));
    EXPECT_LT(cpu.Share(), kIdleCpuShare);
    EXPECT_EQ(searching, 30);

    // A bench on the same socket: found, connected and set up by the search alone.
    StartBench({.identity = {"T720-99", "T720S09 V2.01", 6, 0}, .usbSocket = usbSocket});
    ASSERT_TRUE(RunUntil([&] { return Connected(); }));
    EXPECT_EQ(Model().txtMessages,
              "Connected to ZOR USB device\r\nSNo: T720-99     ID: T720S09 V2.01");
    ASSERT_TRUE(RunUntilCalibratorLines(4));
    EXPECT_EQ(CalibratorRecord().front(), "K1A 128, 0, 6, 0");  // set up anew
    EXPECT_FALSE(Model().TextremoVisible) << Model().Textremo;
}

TEST_F(FaultDrill, CalibratorLineGarblesSplitsAndDelaysAnswers) {
    ASSERT_NO_FATAL_FAILURE(StartOnCom1());

    const std::string noAnswer = "No answer from T720";
    const std::string bell = "T720 bell !";  // garbage that happens to begin with 1..8
    using Garbage = TransportFaults::Garbage;
    struct Case {
        const char* what;
        TransportFaults faults;
        std::set<std::string> allowed;  // what a pass may leave shown; "" for nothing
        std::string mustSee;            // shown by at least one pass
    };
    const Case cases[] = {
        {"garbage before the answer", {.garbage = Garbage::BeforeAnswer}, {noAnswer, bell}, ""},
        {"garbage instead of the answer",
         {.garbage = Garbage::InsteadOfAnswer},
         {noAnswer, bell},
         ""},
        {"answers in pieces", {.pieces = true}, {""}, ""},
        {"late answers", {.late = true}, {"", noAnswer}, noAnswer},
    };
    const CpuShare cpu(ThreadCpuSeconds);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        bench->SetTransportFaults(c.faults);
        std::set<std::string> seen;
        const uint64_t before = CalibratorLines();
        ASSERT_TRUE(
            RunPasses(6, [&] { seen.insert(Model().TextremoVisible ? Model().Textremo : ""); }));
        EXPECT_GE(CalibratorLines(), before + 6);  // every pass sent its setting...
        for (const std::string& shown : seen)      // ...and judged what came back
            EXPECT_TRUE(c.allowed.count(shown)) << '"' << shown << '"';
        if (!c.mustSee.empty()) {
            EXPECT_TRUE(seen.count(c.mustSee));
        }

        // The fault goes away: the passes judge good answers again.
        bench->SetTransportFaults({});
        int quiet = 0;
        EXPECT_TRUE(RunPassesUntil([&] {
            quiet = Model().TextremoVisible ? 0 : quiet + 1;
            return quiet == 3;
        })) << Model().Textremo;
    }
    EXPECT_LT(cpu.Share(), kIdleCpuShare);
}

}  // namespace
}  // namespace t720::drill
