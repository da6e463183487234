#include <gtest/gtest.h>

#include "link/LineTransport.h"
#include "tests/support/FakeSerialPort.h"

namespace t720 {
namespace {

using test::FakeClock;
using test::FakeSerialPort;

class LineReader : public ::testing::Test {
  protected:
    LineReader() : port(clock) {
        port.SetPortOpen(true);
        start = clock.Now();
    }
    double Elapsed() { return clock.Now() - start; }

    FakeClock clock;
    FakeSerialPort port;
    double start = 0;
};

TEST_F(LineReader, ReturnsTheLineWithItsEndingTheMomentTheLineFeedArrives) {
    port.Arrive("0\r\n", 0.01);
    EXPECT_EQ(ReadLineCom(port, clock), "0\r\n");
    EXPECT_NEAR(Elapsed(), 0.01, 1e-9);
}

TEST_F(LineReader, ReplacesOnlyTheFirstPoint) {
    port.Arrive("1.5\n");
    EXPECT_EQ(ReadLineCom(port, clock), "1,5\n");
    port.Arrive("+1.2E-01 1.3\r\n");
    EXPECT_EQ(ReadLineCom(port, clock), "+1,2E-01 1.3\r\n");
}

TEST_F(LineReader, JoinsPiecesAndKeepsWhatCameBehindTheLineFeed) {
    port.Arrive("0", 0.01);
    port.Arrive("\r", 0.05);
    port.Arrive("\n1", 0.08);
    EXPECT_EQ(ReadLineCom(port, clock), "0\r\n1");
    EXPECT_NEAR(Elapsed(), 0.08, 1e-9);
}

TEST_F(LineReader, TimeOutReturnsThePartialOrEmptyTextAfterItsLength) {
    EXPECT_EQ(ReadLineCom(port, clock), "");
    EXPECT_GT(Elapsed(), static_cast<double>(kCalibratorTimeout));
    EXPECT_LT(Elapsed(), 0.301);

    start = clock.Now();
    port.Arrive("12", 0.1);
    EXPECT_EQ(ReadLineCom(port, clock), "12");
    EXPECT_GT(Elapsed(), static_cast<double>(kCalibratorTimeout));

    start = clock.Now();
    EXPECT_EQ(ReadLine(port, clock, 1.5f, TraceLink::Dmm), "");
    EXPECT_GT(Elapsed(), 1.5);
}

TEST_F(LineReader, StaleTextFromAnEarlierExchangeComesFirst) {
    // A late answer to the previous command is still waiting when the next is sent.
    port.Arrive("0\r\n");
    port.SetResponder([](const std::string&) {
        return std::vector<FakeSerialPort::Reply>{{"?\r\n", 0.01}};
    });
    EXPECT_EQ(QueryCom(port, "K1B 0,0,0, 0", clock), "0\r\n");
    EXPECT_EQ(ReadLineCom(port, clock), "?\r\n");
    EXPECT_EQ(port.written, "K1B 0,0,0, 0\n");
}

TEST_F(LineReader, AFloodIsCappedAndNulBytesNeverReachTheText) {
    port.Arrive(std::string(1 << 20, 'A') + "\n");
    const std::string flood = ReadLineCom(port, clock);
    EXPECT_EQ(flood.size(), kLineCap);
    EXPECT_EQ(Elapsed(), 0.0);  // the line feed behind the flood ended the read

    port.Arrive(std::string("0\0\r\n", 4));
    EXPECT_EQ(ReadLineCom(port, clock), "0\r\n");
}

TEST_F(LineReader, AClosedPortReadsNothingAndWritesNothing) {
    port.SetPortOpen(false);
    EXPECT_EQ(QueryCom(port, "K1A 0, 5, 2, 3", clock), "");
    EXPECT_EQ(Elapsed(), 0.0);
    EXPECT_TRUE(port.written.empty());
}

}  // namespace
}  // namespace t720
