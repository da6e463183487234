// The t720-bench program as the demo uses it: started with a link path and/or a
// socket, it announces itself, serves, and on SIGTERM removes its link and its
// socket and ends with status 0. The stand-in USB library reaches it from a plain
// C program that loads the library with dlopen.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "tests/sim/LinkClient.h"

extern char** environ;

namespace t720::sim {
namespace {

using test::kPatience;

// The test runner names the directory; a test binary started by hand falls back
// on the build tree it was built in.
std::string BenchPath() {
    const char* bin = std::getenv("T720_BIN_DIR");
    return std::string(bin ? bin : T720_SIM_BIN_DIR) + "/t720-bench";
}

std::string StandinPath() {
    const char* bin = std::getenv("T720_BIN_DIR");
    return std::string(bin ? bin : T720_SIM_BIN_DIR) + "/libzorusbcal.so";
}

// Our environment with `changes` applied: "NAME=value" sets, "NAME" removes.
std::vector<std::string> Environment(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    for (const std::string& change : changes) {
        const std::string name = change.substr(0, change.find('='));
        std::erase_if(env, [&](const std::string& e) { return e.starts_with(name + "="); });
        if (change.find('=') != std::string::npos) env.push_back(change);
    }
    return env;
}

// A program with its standard output on a pipe.
class BenchProcess {
  public:
    explicit BenchProcess(std::vector<std::string> args, std::vector<std::string> env = {},
                          std::string path = BenchPath()) {
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        std::vector<std::string> envStrings = Environment(env);
        std::vector<char*> envp;
        for (std::string& e : envStrings) envp.push_back(e.data());
        envp.push_back(nullptr);

        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        stdout_.Reset(out[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        if (pid_ > 0) pidFd_.Reset(static_cast<int>(syscall(SYS_pidfd_open, pid_, 0)));
    }

    ~BenchProcess() {
        if (pid_ > 0 && !Wait()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }

    bool started() const { return pid_ > 0 && pidFd_; }
    void Signal(int sig) { kill(pid_, sig); }

    // Standard output to its end (the program has closed it).
    std::string ReadAll() {
        std::string got;
        for (;;) {
            pollfd p{stdout_.get(), POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(kPatience.count())) <= 0) return got;
            char buffer[1024];
            const ssize_t n = read(stdout_.get(), buffer, sizeof buffer);
            if (n <= 0) return got;
            got.append(buffer, static_cast<size_t>(n));
        }
    }

    // Standard output up to the first line containing `word`, or "" if the program
    // ends or stays quiet too long.
    std::string ReadUntil(std::string_view word) {
        std::string got;
        while (got.find(word) == std::string::npos || !got.ends_with('\n')) {
            pollfd p{stdout_.get(), POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(kPatience.count())) <= 0) return "";
            char buffer[1024];
            const ssize_t n = read(stdout_.get(), buffer, sizeof buffer);
            if (n <= 0) return "";
            got.append(buffer, static_cast<size_t>(n));
        }
        return got;
    }

    // The exit status once the program has ended, waiting at most kPatience;
    // nullopt if it did not end or did not exit normally.
    std::optional<int> Wait() {
        if (exited_) return exitStatus_;
        pollfd p{pidFd_.get(), POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(kPatience.count())) <= 0) return std::nullopt;
        int status = 0;
        if (waitpid(pid_, &status, 0) != pid_) return std::nullopt;
        exited_ = true;
        if (WIFEXITED(status)) exitStatus_ = WEXITSTATUS(status);
        return exitStatus_;
    }

  private:
    pid_t pid_ = -1;
    UniqueFd stdout_;
    UniqueFd pidFd_;
    bool exited_ = false;
    std::optional<int> exitStatus_;
};

TEST(BenchProgram, ServesTheLinkAndEndsCleanlyOnSigterm) {
    test::TempDir dir;
    const std::string link = dir / "x/cal";
    BenchProcess bench({"--calibrator-link", link});
    ASSERT_TRUE(bench.started());
    const std::string banner = bench.ReadUntil("serving");
    ASSERT_NE(banner.find(link), std::string::npos) << banner;

    test::LinkClient program(link);
    ASSERT_TRUE(program.ok()) << std::strerror(program.openErrno());
    EXPECT_EQ(program.Query("K1A 0, 5, 2, 3"), "0\r\n");

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST(BenchProgram, UsageErrorsEndWithStatusTwo) {
    const std::vector<std::vector<std::string>> wrong = {
        {"--calibrator-link", "/nonexistent/cal", "--no-such-option"},
        {"--dmm-link", "/nonexistent/dmm"},  // a DMM, but no calibrator to measure
        {"--socket", "/nonexistent/s", "--usb"},
        {"--usb", "--dmm-garbage-after", "x"},
        {"--calibrator-link", "/nonexistent/cal", "--dmm-link", "/nonexistent/cal"},
    };
    for (const auto& args : wrong) {
        BenchProcess bench(args);
        ASSERT_TRUE(bench.started());
        EXPECT_EQ(bench.Wait(), 2) << args[0] << " " << args[1] << " " << args[2];
    }
}

// The probe's report (see standin_probe.c) and its exit status.
struct ProbeRun {
    std::string output;
    std::optional<int> status;
};

ProbeRun RunProbe(std::vector<std::string> env) {
    BenchProcess probe({StandinPath()}, std::move(env), T720_STANDIN_PROBE);
    if (!probe.started()) return {};
    std::string output = probe.ReadAll();
    return {output, probe.Wait()};
}

TEST(BenchProgram, TheStandinLibraryReachesTheBenchOnItsSocket) {
    test::TempDir dir;
    const std::string socket = dir / "usb.sock";
    const std::string link = dir / "cal";
    BenchProcess bench({"--socket", socket, "--calibrator-link", link, "--serial", "T720-9"});
    ASSERT_TRUE(bench.started());
    const std::string banner = bench.ReadUntil("socket");
    ASSERT_NE(banner.find(socket), std::string::npos) << banner;

    const ProbeRun found = RunProbe({"T720_BENCH_SOCKET=" + socket});
    EXPECT_EQ(found.status, 0) << found.output;
    EXPECT_NE(found.output.find("init 0\n"), std::string::npos) << found.output;
    EXPECT_NE(found.output.find("info 0 serial \"T720-9\" 6 ident \"T720S09 V2.01\" 13\n"),
              std::string::npos)
        << found.output;
    EXPECT_NE(found.output.find("command 0 answer \"0\" count 1\n"), std::string::npos)
        << found.output;
    // The same calibrator answers on its pty meanwhile.
    test::LinkClient program(link);
    ASSERT_TRUE(program.ok());
    EXPECT_EQ(program.Query("K1A 0, 5, 2, 3"), "0\r\n");

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(socket)));

    // No bench: the library still loads and answers, with a negative status.
    const ProbeRun absent = RunProbe({"T720_BENCH_SOCKET=" + socket});
    EXPECT_EQ(absent.status, 1) << absent.output;
    EXPECT_NE(absent.output.find("init 0\n"), std::string::npos) << absent.output;
    EXPECT_NE(absent.output.find("info -2 serial \"\" 0"), std::string::npos) << absent.output;
    EXPECT_NE(absent.output.find("count 0\n"), std::string::npos) << absent.output;
}

TEST(BenchProgram, WithoutANamedSocketBothSidesMeetOnThePerUserPath) {
    test::TempDir runtime;
    const std::string env = "XDG_RUNTIME_DIR=" + runtime.path();
    BenchProcess bench({"--usb", "--usb-cp"}, {env});
    ASSERT_TRUE(bench.started());
    const std::string banner = bench.ReadUntil("socket");
    ASSERT_NE(banner.find(runtime / "t720-bench.sock"), std::string::npos) << banner;

    const ProbeRun probe = RunProbe({env, "T720_BENCH_SOCKET"});
    EXPECT_EQ(probe.status, 0) << probe.output;
    EXPECT_NE(probe.output.find("serial \"CPT720-40211\""), std::string::npos) << probe.output;
    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
}

TEST(BenchProgram, TheDmmMeasuresTheTapsTheCalibratorSelected) {
    test::TempDir dir;
    const std::string link = dir / "cal";
    const std::string dmmLink = dir / "dmm";
    BenchProcess bench({"--calibrator-link", link, "--dmm-link", dmmLink, "--divider-seed", "5"});
    ASSERT_TRUE(bench.started());
    const std::string banner = bench.ReadUntil("DMM");
    ASSERT_NE(banner.find(dmmLink), std::string::npos) << banner;

    test::LinkClient calibrator(link);
    test::LinkClient dmm(dmmLink);
    ASSERT_TRUE(calibrator.ok() && dmm.ok());
    EXPECT_EQ(calibrator.Query("K1Y  1, 10, 0, 0"), "0\r\n");  // the whole divider
    const std::string whole = dmm.Query("MEAS:VOLT:DC? 1,1E-6");
    EXPECT_NEAR(std::strtod(whole.c_str(), nullptr), 1.0, 10e-6) << whole;
    EXPECT_EQ(calibrator.Query("K1Y  0, 4, 5, 1"), "0\r\n");
    const std::string tenth = dmm.Query("MEAS:VOLT:DC? 1,1E-6");
    EXPECT_NEAR(std::strtod(tenth.c_str(), nullptr), 0.1, 50e-6) << tenth;

    bench.Signal(SIGTERM);
    EXPECT_EQ(bench.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(dmmLink)));
}

}  // namespace
}  // namespace t720::sim
