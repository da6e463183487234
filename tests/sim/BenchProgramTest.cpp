// The t720-bench program as the demo uses it: started with a link path, it
// announces itself, serves, and on SIGTERM removes its link and ends with status 0.
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

// The bench program with its standard output on a pipe.
class BenchProcess {
  public:
    explicit BenchProcess(std::vector<std::string> args) {
        // The test runner names the directory; a test binary started by hand falls
        // back on the build tree it was built in.
        const char* bin = std::getenv("T720_BIN_DIR");
        const std::string path = std::string(bin ? bin : T720_SIM_BIN_DIR) + "/t720-bench";
        args.insert(args.begin(), path);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);

        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0) return;
        stdout_.Reset(out[0]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (posix_spawn(&pid_, path.c_str(), &actions, nullptr, argv.data(), environ) != 0)
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

TEST(BenchProgram, UnknownOptionEndsWithStatusTwo) {
    BenchProcess bench({"--calibrator-link", "/nonexistent/cal", "--no-such-option"});
    ASSERT_TRUE(bench.started());
    EXPECT_EQ(bench.Wait(), 2);
}

}  // namespace
}  // namespace t720::sim
