// The control socket's server on its own, and t720-ctl against it: the places it
// refuses to serve, clients that crowd, idle or never read, and a program that
// has stopped taking connections.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "remote/ControlServer.h"
#include "sim/ChildProcess.h"

namespace t720::remote {
namespace {

bool RunUntil(const std::function<bool()>& done) {
    QTimer wake;  // turns the loop while a child process works
    wake.start(10);
    const QDeadlineTimer deadline(sim::kProgramPatience);
    while (!done()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

int Connect(const std::string& path) {
    sockaddr_un address{};
    SocketAddress(path, address);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    return connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 ? fd : -1;
}

// t720-ctl's exit status and output, the server serving meanwhile.
std::pair<int, std::string> Ctl(std::vector<std::string> args) {
    sim::ChildProcess ctl(
        {sim::BuiltProgram("t720-ctl"), std::move(args), {{"T720_CTL_PATIENCE", "1"}}});
    std::optional<int> status;
    RunUntil([&] { return (status = ctl.Wait(std::chrono::milliseconds(0))).has_value(); });
    return {status.value_or(-1), ctl.Output()};
}

class ControlServerTest : public ::testing::Test {
  protected:
    ~ControlServerTest() override {
        for (int fd : fds) close(fd);
    }
    int Client() { return fds.emplace_back(Connect(place.socket)); }

    // status is answered at once with a line of about 1 KiB; anything else is held.
    ControlServer server{[this](ClientId c, const Request& r) {
                             if (r.verb != Verb::Status) return held.push_back(c);
                             server.Reply(c, JsonLine().Add("pad", std::string(1000, 'x')).Line());
                         },
                         {}};
    std::vector<ClientId> held;
    const SocketPlace place = DefaultSocketPlace();
    std::vector<int> fds;
};

TEST_F(ControlServerTest, FoldersOthersCouldTakeAreRefused) {
    QTemporaryDir dir;
    const std::string base = dir.path().toStdString();
    auto refusal = [&](const std::string& name) {
        return ControlServer({}, {}).Listen({base + name, base + name + "/s", base + name + "/l"});
    };
    ASSERT_EQ(symlink((base + "/t").c_str(), (base + "/link").c_str()), 0);
    QDir().mkpath(dir.filePath("t"));
    chmod((base + "/t").c_str(), 0700);
    EXPECT_EQ(refusal("/link"), base + "/link is not a directory");
    QDir().mkpath(dir.filePath("open"));
    chmod((base + "/open").c_str(), 0755);
    EXPECT_EQ(refusal("/open"), base + "/open is open to other users (mode should be 0700)");
    close(creat((base + "/t/s").c_str(), 0600));
    EXPECT_EQ(refusal("/t"), base + "/t/s is in the way (not a socket)");
    if (getuid() != 0) return;  // a folder of another user can be made only as root
    chown((base + "/t").c_str(), 65534, 65534);
    EXPECT_EQ(refusal("/t"), base + "/t belongs to another user");
}

// Sixteen clients fill the server; the seventeenth is told so, and its connection
// stays open until its request has come, so that a client which sends first and
// reads then gets the refusal, not a broken connection; t720-ctl ends with status
// 1 and the reason. A client that never reads its replies is let go at 64 KiB.
TEST_F(ControlServerTest, CrowdsAreToldAndClientsThatNeverReadAreLetGo) {
    ASSERT_EQ(server.Listen(place), "");
    const int greedy = Client();
    std::string many;
    for (int i = 0; i < 1000; ++i) many += "status\n";
    ASSERT_EQ(send(greedy, many.data(), many.size(), MSG_NOSIGNAL), ssize_t(many.size()));
    ASSERT_TRUE(RunUntil([&] { return server.ClientCount() == 1; }));
    ASSERT_TRUE(RunUntil([&] { return server.ClientCount() == 0; }));

    for (size_t i = 0; i < ControlServer::kMaxClients; ++i) Client();
    ASSERT_TRUE(RunUntil([&] { return server.ClientCount() == ControlServer::kMaxClients; }));
    const int late = Client();
    pollfd answered{late, POLLIN, 0};
    ASSERT_TRUE(RunUntil([&] { return poll(&answered, 1, 0) == 1; }));
    EXPECT_EQ(send(late, "status\n", 7, MSG_NOSIGNAL), 7);
    std::string reply;
    EXPECT_TRUE(RunUntil([&] {
        char buffer[256];
        const ssize_t n = recv(late, buffer, sizeof buffer, 0);
        if (n > 0) reply.append(buffer, n);
        return n == 0;  // closed, and not reset: the request was taken
    }));
    EXPECT_EQ(reply, ErrorReply("too_many_clients", "too many clients connected"));
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Ctl({"status"}),
                  std::pair(1, std::string("t720-ctl: too many clients connected\n")));
}

// A connection with no request in hand is closed after the idle time-out; one
// waiting for its reply (wait-connected) is not, and idles from its reply on.
TEST_F(ControlServerTest, IdleConnectionsAreClosedThoseWaitingForAReplyAreNot) {
    ASSERT_EQ(server.Listen(place), "");
    const int waiting = Client();
    ASSERT_EQ(send(waiting, "wait-connected 5\n", 17, MSG_NOSIGNAL), 17);
    ASSERT_TRUE(RunUntil([&] { return held.size() == 1; }));
    server.SetIdleTimeout(std::chrono::milliseconds(50));
    Client();                    // says nothing
    const int asked = Client();  // answered, then says nothing more
    ASSERT_EQ(send(asked, "status\n", 7, MSG_NOSIGNAL), 7);
    ASSERT_TRUE(RunUntil([&] { return server.ClientCount() == 1; }));
    char c;
    EXPECT_EQ(recv(waiting, &c, 1, 0), -1);  // open, nothing to read yet
    server.Reply(held[0], "{}\n");
    EXPECT_TRUE(RunUntil([&] { return server.ClientCount() == 0; }));
}

// A program that stopped (SIGSTOP) takes no connections: its queue fills, and
// t720-ctl gives up after its patience instead of waiting for good; so it does
// when the connection is taken but never answered.
TEST(ControlClient, AStoppedProgramCostsAtMostThePatience) {
    const SocketPlace place = DefaultSocketPlace();
    ASSERT_EQ(CheckPrivateDir(place.dir, true), "");
    sockaddr_un address{};
    SocketAddress(place.socket, address);
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 0), 0);
    std::vector<int> queued;
    for (int fd; (fd = Connect(place.socket)) >= 0;) queued.push_back(fd);
    EXPECT_EQ(Ctl({"status"}),
              std::pair(3, std::string("t720-ctl: the program does not take the connection "
                                       "within 1 s (is it stopped?)\n")));
    for (size_t i = 0; i < queued.size(); ++i) close(accept(listener, nullptr, nullptr));
    EXPECT_EQ(Ctl({"status"}),
              std::pair(3, std::string("t720-ctl: no reply from the program within 1 s\n")));
    for (int fd : queued) close(fd);
    close(listener);
    unlink(place.socket.c_str());
}

}  // namespace
}  // namespace t720::remote
