// The bench served on a real pseudo-terminal, driven the way a program drives a
// serial port: open the link path, write lines, wait for answers. Plain exchanges,
// answers in pieces, floods and a hang-up with its restore are met by the program's
// own serial code in the bench-backed tests and the line drills.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim/BenchServer.h"
#include "tests/sim/LinkClient.h"

namespace t720::sim {
namespace {

using namespace std::chrono_literals;
using test::LinkClient;
namespace fs = std::filesystem;

class BenchOverPty : public ::testing::Test {
  protected:
    void SetUp() override { server_.Start(); }

    test::TempDir dir_;
    // A link in a directory that does not exist yet: the bench creates it.
    const std::string link_ = dir_ / "dev/calibrator";
    BenchServer server_{BenchOptions{.calibratorLink = link_}};
};

TEST_F(BenchOverPty, AnswerNobodyReadIsGoneForTheNextOpener) {
    {
        // Like the program's device clear: write, then close without reading.
        LinkClient leaving(link_);
        ASSERT_TRUE(leaving.Send("DCL"));
        ASSERT_TRUE(server_.WaitForReceived(1, test::kPatience));
    }
    server_.SyncCalibratorOpeners();
    LinkClient next(link_);
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.Query("SNR?1"), "\"T720-40211\"\r\n");
}

TEST_F(BenchOverPty, LateAnswerMissesTheFirstWindowAndIsNotOvertaken) {
    server_.SetTransportFaults({.late = true, .lateSeconds = 1.0});
    LinkClient program(link_);
    ASSERT_TRUE(program.ok());
    ASSERT_TRUE(program.Send("K1A 0, 5, 2, 3"));
    EXPECT_EQ(program.Poll(300ms), 0) << "answered within the program's time-out";

    // Switched back to on time, the next answer still queues behind the late one.
    server_.SetTransportFaults({});
    ASSERT_TRUE(program.Send("SNR?1"));
    EXPECT_EQ(program.ReadLine(), "0\r\n");
    EXPECT_EQ(program.ReadLine(), "\"T720-40211\"\r\n");
}

TEST_F(BenchOverPty, GarbageArrivesUnchangedBeforeTheAnswer) {
    server_.SetTransportFaults({.garbage = TransportFaults::Garbage::BeforeAnswer});
    LinkClient program(link_);
    ASSERT_TRUE(program.ok());
    const std::string got = program.Query("DCL");
    // The raw line neither drops NUL bytes nor turns the CR into a line feed.
    ASSERT_EQ(got.size(), TransportFaults::kGarbageBytes + 3);
    EXPECT_TRUE(got.ends_with("0\r\n"));
    EXPECT_NE(got.find('\0'), std::string::npos);
}

// What a program sees when the cable is pulled.
void ExpectHungUp(LinkClient& program, BenchServer& server) {
    EXPECT_TRUE(program.Poll(test::kPatience) & POLLHUP);
    // The kernel reports the hang-up while it is still taking the pty down; once
    // the bench has finished closing, reads end and writes fail for good.
    EXPECT_EQ(server.CalibratorPtyName(), "");
    char byte = 0;
    EXPECT_EQ(read(program.fd(), &byte, 1), 0);
    EXPECT_EQ(write(program.fd(), "DCL\n", 4), -1);
    EXPECT_EQ(errno, EIO);
    LinkClient again(server.calibratorLink());
    EXPECT_FALSE(again.ok());
    EXPECT_EQ(again.openErrno(), ENOENT);
}

TEST_F(BenchOverPty, HangUpAfterLinesAnswersThemAndDropsTheNext) {
    server_.SetTransportFaults({.hangUpAfterLines = 2});
    LinkClient program(link_);
    ASSERT_TRUE(program.ok());
    EXPECT_EQ(program.Query("SNR?0"), "\"T720S09 V2.01\"\r\n");
    EXPECT_EQ(program.Query("SNR?1"), "\"T720-40211\"\r\n");
    ASSERT_TRUE(program.Send("K1A 0, 5, 2, 3"));
    ExpectHungUp(program, server_);
    EXPECT_EQ(server_.WithCalibrator([](const CalibratorModel& m) { return m.receivedTotal(); }),
              2u);
    EXPECT_EQ(server_.transportFaults().hangUpAfterLines, 0);  // one shot

    server_.RestoreCalibrator();
    LinkClient reopened(link_);
    ASSERT_TRUE(reopened.ok());
    EXPECT_EQ(reopened.Query("DCL"), "0\r\n");
}

// The DMM's answer delay is applied on its line.
TEST(BenchDmm, HoldsAnswersBackWhenAskedTo) {
    test::TempDir dir;
    BenchServer server(BenchOptions{.calibratorLink = dir / "cal", .dmmLink = dir / "dmm"});
    server.Start();
    LinkClient dmm(dir / "dmm");
    ASSERT_TRUE(dmm.ok());
    server.SetDmmFaults({.delaySeconds = 1.0});
    ASSERT_TRUE(dmm.Send("SYST:ERR?"));
    EXPECT_EQ(dmm.Poll(300ms), 0) << "answered before its delay";
    EXPECT_EQ(dmm.ReadLine(), "+0,\"No error\"\r\n");
    EXPECT_THROW(server.SetDmmFaults({.delaySeconds = -1}), std::invalid_argument);

    server.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir / "dmm")));
}

TEST(BenchLink, ReplacesAStaleLinkAndRemovesItsOwnOnStop) {
    test::TempDir dir;
    const std::string link = dir / "cal";
    fs::create_symlink("/dev/pts/stale-from-an-earlier-run", link);
    {
        BenchServer server(BenchOptions{.calibratorLink = link});
        server.Start();
        EXPECT_EQ(fs::read_symlink(link), server.CalibratorPtyName());
        server.Stop();
        EXPECT_FALSE(fs::exists(fs::symlink_status(link)));
    }

    // Anything that is not a symbolic link is somebody's file: refuse, keep it.
    std::ofstream(link) << "keep me";
    BenchServer server(BenchOptions{.calibratorLink = link});
    EXPECT_THROW(server.Start(), fs::filesystem_error);
    EXPECT_TRUE(fs::is_regular_file(link));
}

}  // namespace
}  // namespace t720::sim
