// The control socket against the whole program in this process and the bench:
// sets that reach the calibrator and come back with the verdict of their pass,
// refusals that change nothing, clients that dawdle, crowd or are someone else,
// and t720-ctl itself.
#include <gmock/gmock.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <tuple>

#include "app/DialogueTrace.h"
#include "remote/SocketPlace.h"
#include "tests/drills/FaultDrill.h"

namespace t720::drill {
namespace {

using ::testing::HasSubstr;

class RemoteDrill : public FaultDrill {
  protected:
    ~RemoteDrill() override {
        for (int fd : fds_) close(fd);
    }
    void StartOnUsb() {
        StartBench({.usbSocket = usbSocket});
        StartProgram();
        ASSERT_TRUE(Connected()) << Model().txtMessages;
    }
    int Connect() {
        sockaddr_un address{};
        remote::SocketAddress(remote::DefaultSocketPlace().socket, address);
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        fds_.push_back(fd);
        return fd;
    }
    void Send(int fd, const std::string& bytes) {
        ASSERT_EQ(send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL), ssize_t(bytes.size()));
    }
    // The next reply line, the program running until it has come ("" if it does not).
    std::string Reply(int fd) {
        std::string& in = received_[fd];
        RunUntil([&] {
            char buffer[4096];
            for (ssize_t n; (n = recv(fd, buffer, sizeof buffer, 0)) > 0;) in.append(buffer, n);
            return in.find('\n') != std::string::npos;
        });
        const size_t lf = in.find('\n');
        const std::string line = in.substr(0, lf);
        in.erase(0, lf == std::string::npos ? lf : lf + 1);
        return line;
    }
    std::string Ask(int fd, const std::string& line) {
        Send(fd, line + "\n");
        return Reply(fd);
    }
    // t720-ctl's exit status and output, the program running meanwhile.
    std::pair<std::optional<int>, std::string> Ctl(std::vector<std::string> args) {
        sim::ChildProcess ctl({sim::BuiltProgram("t720-ctl"), std::move(args)});
        std::optional<int> status;
        RunUntil([&] { return (status = ctl.Wait(std::chrono::milliseconds(0))).has_value(); });
        return {status, ctl.Output()};
    }

    std::vector<int> fds_;
    std::map<int, std::string> received_;
};

TEST_F(RemoteDrill, SetTakesThePanelsWayAndRepliesWithTheVerdictOfItsPass) {
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    const int fd = Connect();
    EXPECT_EQ(Ask(fd, "set channel=3 range=2 percent=-50"),
              R"({"ok":true,"answer_status":2,"meaning":"accepted"})");
    const sim::CalibratorModel::OutputState out = CalibratorState();
    EXPECT_EQ(std::tuple(out.sign, out.step, out.range, out.channel), std::tuple(1, 5, 2, 3));
    const frmTor720& w = program->Window();
    EXPECT_TRUE(w.Channel[3]->isChecked() && w.Range[1]->isChecked() && w.Minus->isChecked());
    EXPECT_EQ(w.ProzLabel->text().toStdString(), Model().ProzLabel);

    SetCalibratorFaults({.condition = 3});
    EXPECT_EQ(Ask(fd, "ready on"), R"({"ok":false,"answer_status":1,"meaning":"T720 bell !",)"
                                   R"("reason":"verdict","error":"T720 bell !"})");
    EXPECT_TRUE(CalibratorState().ready);
    SetCalibratorFaults({});
    EXPECT_THAT(Ask(fd, "beep on"), HasSubstr("accepted"));
    EXPECT_TRUE(CalibratorState().beep);
    EXPECT_THAT(Ask(fd, "beep off"), HasSubstr("accepted"));
    EXPECT_FALSE(CalibratorState().beep);
    EXPECT_TRUE(CalibratorState().ready);
}

// A set the calibrator did not confirm stays in the panel and goes out with the next
// transmission: the reply says so, and t720-ctl has a status of its own for it.
TEST_F(RemoteDrill, AnUnconfirmedSetIsPendingAndGoesOutWhenTheCalibratorAnswers) {
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    bench->SetUsbFaults({.fail = true});
    EXPECT_THAT(Ask(Connect(), "set channel=4"),
                HasSubstr(R"("meaning":"USB library call failed","pending":true,)"));
    bench->SetUsbFaults({});
    SetCalibratorFaults({.silent = true});
    ASSERT_TRUE(RunUntil([&] { return Connected(); }));
    const auto [status, output] = Ctl({"set", "--percent", "30"});
    EXPECT_EQ(status, 5);
    EXPECT_THAT(output, HasSubstr("No answer from USB bus !; it goes out with the next"));
    EXPECT_EQ(CalibratorState().channel, 0);
    SetCalibratorFaults({});
    EXPECT_TRUE(RunUntil([&] { return CalibratorState().channel == 4; }));
    EXPECT_EQ(CalibratorState().step, 3);
}

// A script that dies between "beep on" and "beep off" must not leave it beeping.
TEST_F(RemoteDrill, ARemoteBeepEndsWithItsConnectionOrItsTime) {
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    auto beeping = [&] { return CalibratorState().beep; };
    const int gone = Connect();
    EXPECT_THAT(Ask(gone, "beep on 60"), HasSubstr("accepted"));
    EXPECT_TRUE(beeping());
    shutdown(gone, SHUT_RDWR);
    EXPECT_TRUE(RunUntil([&] { return !beeping(); }));
    const int fd = Connect();
    EXPECT_THAT(Ask(fd, "beep on 61"), HasSubstr("malformed"));
    EXPECT_THAT(Ask(fd, "beep on 0.2"), HasSubstr("accepted"));
    EXPECT_TRUE(beeping());
    EXPECT_TRUE(RunUntil([&] { return !beeping(); }));  // its time is up, the client still there
    EXPECT_EQ(Ctl({"beep", "on", "0.1"}), std::pair(std::optional(0), std::string("accepted\n")));
    EXPECT_TRUE(RunUntil([&] { return !beeping(); }));
}

TEST_F(RemoteDrill, RefusalsChangeNothingAndKeepTheConnection) {
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    const SharedState& s = program->State();
    auto setting = [&] {
        return std::tuple(s.ChannelNo, s.RangeIdx, s.ProzStep, s.SignFlag, s.ReadyOn, s.LoadHigh);
    };
    const auto before = setting();
    const int fd = Connect();
    const std::pair<std::string, const char*> cases[] = {
        {"set channel=9", "out_of_range"},  // nine channels: 0..8
        {"set range=7", "out_of_range"},
        {"set percent=-110", "out_of_range"},
        {"set percent=25", "out_of_range"},
        {"load on", "no_load_toggle"},  // started without /Load
        {"set channel=x", "malformed"},
        {std::string("set channel=1\0", 14), "malformed"},
        {"jump", "malformed"},
        {std::string(3000, 'x'), "too_long"},  // read in pieces, answered once
    };
    for (const auto& [line, reason] : cases)
        EXPECT_THAT(Ask(fd, line), HasSubstr("\"reason\":\"" + std::string(reason) + "\""))
            << line.substr(0, 20);

    bench->Stop();
    ASSERT_TRUE(RunUntil([&] { return !Connected(); }));
    EXPECT_THAT(Ask(fd, "set channel=1"), HasSubstr("refused: no calibrator connected"));

    ShowCompletedRun();
    EXPECT_THAT(Ask(fd, "ready on"), HasSubstr("refused: a linearity run is in progress"));
    EXPECT_THAT(Ask(fd, "status"), HasSubstr("\"linearity_run\":true"));
    EXPECT_EQ(setting(), before);
}

TEST_F(RemoteDrill, SilentSlowAndCrowdingClientsHoldNothingUpAndStrangersGetNoWord) {
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    Connect();  // says nothing at all
    const int slow = Connect();
    Send(slow, "sta");
    const int a = Connect(), b = Connect();
    Send(a, "set percent=30\nstatus\n");  // served in turn
    Send(b, "set channel=2\n");
    EXPECT_THAT(Reply(a), HasSubstr("accepted"));
    EXPECT_THAT(Reply(b), HasSubstr("accepted"));
    EXPECT_THAT(Reply(a), HasSubstr("\"percent\":30"));
    const int once = Connect();  // one request, then its side closed: the reply still comes
    Send(once, "set percent=40\n");
    shutdown(once, SHUT_WR);
    EXPECT_THAT(Reply(once), HasSubstr("accepted"));
    const CpuShare cpu(ThreadCpuSeconds);
    ASSERT_TRUE(RunPasses(30));
    EXPECT_LT(cpu.Share(), kIdleCpuShare);
    EXPECT_THAT(Ask(slow, "tus"), HasSubstr("\"channel\":2"));

    if (getuid() != 0) return;  // a process of another user can be made only as root
    sockaddr_un address{};
    remote::SocketAddress(remote::DefaultSocketPlace().socket, address);
    const pid_t pid = fork();
    if (pid == 0) {
        // Through the private directory as root, connected as nobody.
        syscall(SYS_setresgid, -1, 65534, -1);
        syscall(SYS_setresuid, -1, 65534, -1);
        syscall(SYS_setfsuid, 0);
        const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
        if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) _exit(2);
        (void)!write(fd, "status\n", 7);
        pollfd p{fd, POLLIN, 0};
        char c;
        _exit(poll(&p, 1, 10000) == 1 && read(fd, &c, 1) <= 0 ? 0 : 1);  // closed, no reply
    }
    int status = -1;
    ASSERT_TRUE(RunUntil([&] { return waitpid(pid, &status, WNOHANG) == pid; }));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST_F(RemoteDrill, CtlExitStatusTellsAcceptedRefusedAndUnreachable) {
    // A socket left behind by a program that did not end cleanly is taken over.
    const remote::SocketPlace place = remote::DefaultSocketPlace();
    ASSERT_EQ(remote::CheckPrivateDir(place.dir, true), "");
    sockaddr_un address{};
    remote::SocketAddress(place.socket, address);
    const int stale = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    close(stale);

    // Started before the program, wait-connected waits for it to appear: once it
    // watches the socket directory, the program starts.
    sim::ChildProcess waiting(
        {sim::BuiltProgram("t720-ctl"), {"wait-connected", "--timeout", "60"}});
    auto watching = [pid = waiting.Pid()] {
        std::error_code ec;
        for (const auto& fd :
             std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec))
            if (std::filesystem::read_symlink(fd, ec).string() == "anon_inode:inotify") return true;
        return false;
    };
    std::optional<int> early;
    ASSERT_TRUE(RunUntil(
        [&] { return (early = waiting.Wait(std::chrono::milliseconds(0))) || watching(); }));
    ASSERT_FALSE(early) << waiting.Output();
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    ASSERT_TRUE(RunUntil([&] { return waiting.Wait(std::chrono::milliseconds(0)).has_value(); }));
    EXPECT_EQ(waiting.Wait(), 0);
    EXPECT_EQ(waiting.Output(), "connected\n");
    EXPECT_EQ(Ctl({"set", "--range", "2", "--percent", "100"}),
              std::pair(std::optional(0), std::string("accepted\n")));
    EXPECT_EQ(Ctl({"set", "--channel", "99"}),
              std::pair(std::optional(1),
                        std::string("t720-ctl: refused: channel 99 is outside 0..8\n")));
    EXPECT_EQ(Ctl({"set", "--channel", "3 range=2"}).first, 2);  // one word per value

    program.reset();
    WriteSettings("[Remote]\nEnabled=0\n");
    StartProgram();
    EXPECT_EQ(program->Remote(), nullptr);
    EXPECT_EQ(Ctl({"status"}).first, 3);
}

// A socket folder that others could have taken turns remote control off, and a
// trace that loses lines to a full disk: a user who started the program from the
// menu, and sees no stderr, reads both in the status bar.
TEST_F(RemoteDrill, ARefusedSocketFolderAndLostTraceLinesAreToldInTheWindow) {
    const std::string folder = remote::DefaultSocketPlace().dir;
    ASSERT_EQ(remote::CheckPrivateDir(folder, true), "");
    ASSERT_EQ(chmod(folder.c_str(), 0777), 0);
    ASSERT_NO_FATAL_FAILURE(StartOnUsb());
    chmod(folder.c_str(), 0700);
    EXPECT_EQ(program->Remote(), nullptr);
    EXPECT_EQ(Model().statusNote,
              "Remote control is off: " + folder + " is open to other users (mode should be 0700)");

    ASSERT_TRUE(DialogueTrace::Start(dir.path().toStdString()));
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit full{0, limit.rlim_max};
    setrlimit(RLIMIT_FSIZE, &full);
    RunUntilCalibratorLines(2);
    setrlimit(RLIMIT_FSIZE, &limit);
    DialogueTrace::Stop();
    EXPECT_EQ(program->Window().statusPanel2->text().toStdString(),
              "Dialogue trace is losing lines: File too large");
}

}  // namespace
}  // namespace t720::drill
