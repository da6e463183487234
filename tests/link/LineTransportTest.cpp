#include <gtest/gtest.h>

#include "link/LineSettings.h"
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
    EXPECT_EQ(QueryCom(port, "SNR?1", clock), "0\r\n");
    EXPECT_EQ(ReadLineCom(port, clock), "?\r\n");
    EXPECT_EQ(port.written, "SNR?1\n");
}

TEST_F(LineReader, AFloodIsCappedAndNulBytesNeverReachTheText) {
    std::string flood(1 << 20, 'A');
    flood.push_back('\n');
    port.Arrive(flood);
    EXPECT_EQ(ReadLineCom(port, clock).size(), kLineCap);
    EXPECT_EQ(Elapsed(), 0.0);  // the line feed behind the flood ended the read

    port.Arrive(std::string("0\0\r\n", 4));
    EXPECT_EQ(ReadLineCom(port, clock), "0\r\n");
}

TEST_F(LineReader, AClosedPortReadsNothingAndWritesNothing) {
    port.SetPortOpen(false);
    EXPECT_EQ(QueryCom(port, "SNR?0", clock), "");
    EXPECT_EQ(Elapsed(), 0.0);
    EXPECT_TRUE(port.written.empty());
}

TEST(LineSettings, ParsesTheCalibratorAndDmmLines) {
    using P = LineSettings::Parity;
    using S = LineSettings::StopBits;
    EXPECT_EQ(ParseLineSettings("9600,E,8,1"), (LineSettings{9600, P::Even, 8, S::One}));
    EXPECT_EQ(ParseLineSettings("9600,N,8,1"), (LineSettings{9600, P::None, 8, S::One}));
    EXPECT_EQ(ParseLineSettings("19200,O,7,2"), (LineSettings{19200, P::Odd, 7, S::Two}));
}

TEST(LineSettings, MalformedTextsAreRefusedNotGuessed) {
    for (const char* text :
         {"", "9600", "9600,E,8", "9600,E,8,1,1", "0,E,8,1", "-9600,E,8,1", "9600,X,8,1",
          "9600,EE,8,1", "9600,E,9,1", "9600,E,4,1", "9600,E,8,3", "96OO,E,8,1", "9600,,8,1"}) {
        EXPECT_FALSE(ParseLineSettings(text).has_value()) << '"' << text << '"';
    }
}

}  // namespace
}  // namespace t720
