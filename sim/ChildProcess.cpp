#include "sim/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

extern char** environ;

namespace t720::sim {

std::string BuiltProgram(const std::string& name) {
    const char* dir = std::getenv("T720_BIN_DIR");
    return std::string(dir ? dir : T720_BUILD_BIN_DIR) + "/" + name;
}

std::vector<std::pair<std::string, std::string>> ProgramEnv(const std::string& base) {
    return {{"QT_QPA_PLATFORM", "offscreen"},
            {"XDG_CONFIG_HOME", base + "/config"},
            {"XDG_DATA_HOME", base + "/data"},
            {"XDG_STATE_HOME", base + "/state"},
            {"XDG_RUNTIME_DIR", base}};
}

ChildProcess::ChildProcess(Options options) {
    std::vector<std::string> args = options.args;
    args.insert(args.begin(), options.program);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        bool replaced = false;
        for (const auto& [k, v] : options.env) replaced |= entry.rfind(k + "=", 0) == 0;
        for (const auto& k : options.unsetEnv) replaced |= entry.rfind(k + "=", 0) == 0;
        if (!replaced) env.push_back(entry);
    }
    for (const auto& [k, v] : options.env) env.push_back(k + "=" + v);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    out_ = out[0];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    for (int fd : options.inheritFds) {
        // Open in the child: close-on-exec off while it is spawned, on again after.
        fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) & ~FD_CLOEXEC);
    }
    if (posix_spawn(&pid_, options.program.c_str(), &actions, nullptr, argv.data(), envp.data()) !=
        0)
        pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    for (int fd : options.inheritFds) fcntl(fd, F_SETFD, fcntl(fd, F_GETFD) | FD_CLOEXEC);
    if (pid_ > 0) pidFd_ = static_cast<int>(syscall(SYS_pidfd_open, pid_, 0));
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0 && !status_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (pidFd_ >= 0) close(pidFd_);
    if (out_ >= 0) close(out_);
}

void ChildProcess::Signal(int sig) {
    if (pid_ > 0 && !status_) kill(pid_, sig);
}

namespace {

// Appends what `fd` has within `patience`; false when nothing came or it ended.
bool ReadSome(int fd, std::string& into, std::chrono::milliseconds patience) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(patience.count())) <= 0) return false;
    char buf[4096];
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) return false;
    into.append(buf, static_cast<size_t>(n));
    return true;
}

}  // namespace

void ChildProcess::Drain() {
    while (ReadSome(out_, output_, std::chrono::milliseconds(0))) {
    }
}

std::string ChildProcess::ReadUntil(const std::string& word, std::chrono::milliseconds patience) {
    const size_t from = output_.size();
    for (;;) {
        const size_t at = output_.find(word, from);
        const size_t eol = at == std::string::npos ? at : output_.find('\n', at);
        if (eol != std::string::npos) return output_.substr(from, eol + 1 - from);
        if (!ReadSome(out_, output_, patience)) return "";
    }
}

std::string ChildProcess::ReadAll(std::chrono::milliseconds patience) {
    const size_t from = output_.size();
    while (ReadSome(out_, output_, patience)) {
    }
    return output_.substr(from);
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds patience) {
    if (status_) return status_;
    if (!Started()) return std::nullopt;
    pollfd p{pidFd_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(patience.count())) <= 0) return std::nullopt;
    int status = 0;
    if (waitpid(pid_, &status, 0) != pid_) return std::nullopt;
    Drain();
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
}

std::optional<std::string> LineSource::Next(std::chrono::milliseconds patience) {
    for (;;) {
        const size_t eol = buffer_.find('\n');
        if (eol != std::string::npos) {
            std::string line = buffer_.substr(0, eol);
            buffer_.erase(0, eol + 1);
            return line;
        }
        if (!ReadSome(fd_, buffer_, patience)) return std::nullopt;
    }
}

}  // namespace t720::sim
