// The bench served on a real pseudo-terminal, driven the way a program drives a
// serial port. Late answers, floods and hang-ups are met by the program's own
// serial code in the line drills; here, what those would not notice.
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "sim/BenchServer.h"
#include "tests/sim/LinkClient.h"

namespace t720::sim {
namespace {

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

// Else a program that wrote a device clear and closed would read its answer as
// the answer to its next command after reopening.
TEST_F(BenchOverPty, AnswerNobodyReadIsGoneForTheNextOpener) {
    {
        LinkClient leaving(link_);
        ASSERT_TRUE(leaving.Send("DCL"));
        ASSERT_TRUE(server_.WaitForReceived(1, test::kPatience));
    }
    server_.SyncCalibratorOpeners();
    LinkClient next(link_);
    ASSERT_TRUE(next.ok());
    EXPECT_EQ(next.Query("SNR?1"), "\"T720-40211\"\r\n");
}

// The pty is raw, and the garbage is what a line reader must survive: NUL bytes,
// bytes above 0x7F, no line feed; then the answer with its CR as sent.
TEST_F(BenchOverPty, GarbageArrivesUnchangedBeforeTheAnswer) {
    server_.SetTransportFaults({.garbage = TransportFaults::Garbage::BeforeAnswer});
    LinkClient program(link_);
    ASSERT_TRUE(program.ok());
    const std::string got = program.Query("DCL");
    ASSERT_EQ(got.size(), TransportFaults::kGarbageBytes + 3);
    EXPECT_TRUE(got.ends_with("0\r\n"));
    const std::string garbage = got.substr(0, TransportFaults::kGarbageBytes);
    EXPECT_EQ(garbage.find('\n'), std::string::npos);
    EXPECT_NE(garbage.find('\0'), std::string::npos);
    EXPECT_TRUE(std::any_of(garbage.begin(), garbage.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
}

// Links and sockets left by a killed bench are replaced; a live socket or anybody's
// file is left alone.
TEST(BenchPaths, StaleOnesAreReplacedOwnOnesRemovedForeignOnesKept) {
    test::TempDir dir;
    const std::string link = dir / "cal", socket = dir / "usb.sock";
    fs::create_symlink("/dev/pts/stale-from-an-earlier-run", link);
    {
        UniqueFd stale(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_un address{.sun_family = AF_UNIX};
        std::strcpy(address.sun_path, socket.c_str());
        ASSERT_EQ(bind(stale.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    BenchServer first(BenchOptions{.calibratorLink = link, .usbSocket = socket});
    ASSERT_NO_THROW(first.Start());
    EXPECT_EQ(fs::read_symlink(link), first.CalibratorPtyName());
    EXPECT_THROW(BenchServer(BenchOptions{.usbSocket = socket}).Open(), std::system_error);
    {
        // A bench started since on the same link took it over; the first one, ending,
        // leaves that link alone.
        BenchServer second(BenchOptions{.calibratorLink = link});
        second.Open();
        first.Stop();
        EXPECT_EQ(fs::read_symlink(link), second.CalibratorPtyName());
    }
    for (const std::string& path : {link, socket}) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << path;
        std::ofstream(path) << "keep me";
    }
    EXPECT_THROW(BenchServer(BenchOptions{.calibratorLink = link}).Open(), fs::filesystem_error);
    EXPECT_THROW(BenchServer(BenchOptions{.usbSocket = socket}).Open(), fs::filesystem_error);
    EXPECT_TRUE(fs::is_regular_file(link) && fs::is_regular_file(socket));
}

}  // namespace
}  // namespace t720::sim
