// The DMM's own dialogue; its line is read by the calibrator's line reader
// (LineTransportTest), with a time-out of its own.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/DialogueTrace.h"
#include "linearity/DmmLink.h"
#include "tests/support/FakeSerialPort.h"
#include "tests/support/Files.h"

namespace t720 {
namespace {

using test::FakeClock;
using test::FakeSerialPort;

class DmmLinkTest : public ::testing::Test {
  protected:
    DmmLinkTest() : port(clock), dmm(port, clock) {
        port.SetResponder([this](const std::string& line) {
            std::vector<FakeSerialPort::Reply> r;
            if (line == "SYST:ERR?") r.push_back({"+0,\"No error\"\r\n", 0.01});
            if (line == "MEAS:VOLT:DC? 1,1E-6") r.push_back({reading, delay});
            return r;
        });
    }
    FakeClock clock;
    FakeSerialPort port;
    DmmLink dmm;
    std::string reading = "+1.00012345E-01\r\n";
    double delay = 0.05;
};

TEST_F(DmmLinkTest, RemoteModeOnPortOneWithTheErrorQueueEmptied) {
    const double start = clock.Now();
    ASSERT_TRUE(dmm.InitHP());
    EXPECT_EQ(port.commPort, 1);
    EXPECT_EQ(port.settings, "9600,N,8,1");
    EXPECT_EQ(port.written, "SYST:REM\nSYST:ERR?\nSYST:ERR?\n");
    // 0.3 s settle, 0.1 s before each query, both answers taken off the line.
    EXPECT_NEAR(clock.Now() - start, 0.5 + 0.02, 1e-6);
    EXPECT_EQ(port.InBufferCount(), 0);
}

TEST_F(DmmLinkTest, SilenceGivesWhatArrivedWithinOneAndAHalfSeconds) {
    ASSERT_TRUE(dmm.InitHP());
    reading = "+1.0";  // no line feed
    const double start = clock.Now();
    EXPECT_EQ(dmm.ReadHP(kMeasureCommand), "+1,0");
    EXPECT_GT(clock.Now() - start, 1.5);
    EXPECT_LT(clock.Now() - start, 1.501);
}

TEST_F(DmmLinkTest, TheTraceHoldsTheQueryAndTheAnswerAsTheyWentOverTheLine) {
    ASSERT_TRUE(dmm.InitHP());
    QTemporaryDir dir;
    ASSERT_TRUE(DialogueTrace::Start(dir.path().toStdString()));
    dmm.ReadHP(kMeasureCommand);
    reading = "+1.2";
    dmm.ReadHP(kMeasureCommand);
    reading = std::string(4100, 'F');  // a flood cut at the line cap
    dmm.ReadHP(kMeasureCommand);
    DialogueTrace::Stop();
    const QList<QByteArray> lines =
        test::ReadFile(dir.filePath(DialogueTrace::kFileName)).split('\n');
    ASSERT_EQ(lines.size(), 8);  // the header, six records, and the end of the last
    EXPECT_TRUE(lines[1].endsWith(" dmm-com > \"MEAS:VOLT:DC? 1,1E-6\\n\"")) << lines[1].data();
    EXPECT_TRUE(lines[2].endsWith(" dmm-com < \"+1.00012345E-01\\r\\n\"")) << lines[2].data();
    EXPECT_TRUE(lines[4].endsWith(" dmm-com < \"+1.2\" time-out")) << lines[4].data();
    EXPECT_TRUE(lines[6].endsWith("FF\" 4 bytes beyond 4096 dropped, time-out")) << lines[6].data();
    // Monotonic seconds in front.
    EXPECT_LE(lines[1].split(' ')[0].toDouble(), lines[4].split(' ')[0].toDouble());
}

}  // namespace
}  // namespace t720
