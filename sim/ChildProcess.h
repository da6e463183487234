// A program of the build started as a child process, for tests and benchmarks of
// whole programs: its standard output and error on a pipe, extra environment,
// signals, and a wait for its end that never hangs the caller.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace t720::sim {

using namespace std::chrono_literals;

// Generous: only a broken program takes this long.
inline constexpr std::chrono::milliseconds kProgramPatience = 15s;

// Path of a program (or the stand-in library) that the build puts into build/bin,
// or into $T720_BIN_DIR when that is set (as the test runner does).
std::string BuiltProgram(const std::string& name);

// The environment of a program of the build started by a test: its own settings,
// data, state and runtime directories under `base`, and the offscreen platform.
std::vector<std::pair<std::string, std::string>> ProgramEnv(const std::string& base);

class ChildProcess {
  public:
    struct Options {
        std::string program;
        std::vector<std::string> args;
        std::vector<std::pair<std::string, std::string>> env;  // set (or replaced)
        std::vector<int> inheritFds;                           // stay open in the child
        std::vector<std::string> unsetEnv;                     // removed
    };
    explicit ChildProcess(Options options);
    ~ChildProcess();  // kills a program that is still running
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return pid_ > 0 && pidFd_ >= 0; }
    pid_t Pid() const { return pid_; }
    void Signal(int sig);
    // Output (stdout and stderr) up to the first line containing `word`; "" when the
    // program ends or stays quiet for `patience`.
    std::string ReadUntil(const std::string& word,
                          std::chrono::milliseconds patience = kProgramPatience);
    // The output up to its end (the program has closed it or ended); what was read
    // before by ReadUntil is not repeated.
    std::string ReadAll(std::chrono::milliseconds patience = kProgramPatience);
    // Everything the program wrote so far (what ReadUntil consumed included).
    const std::string& Output() const { return output_; }
    // The exit status once the program has ended (128 + n for a signal n); nullopt
    // if it did not end within `patience`.
    std::optional<int> Wait(std::chrono::milliseconds patience = kProgramPatience);

  private:
    void Drain();

    pid_t pid_ = -1;
    int pidFd_ = -1;
    int out_ = -1;
    std::string output_;
    std::optional<int> status_;
};

// Reads lines from a pipe with a bound on every wait.
class LineSource {
  public:
    explicit LineSource(int fd) : fd_(fd) {}
    // The next line without its LF; nullopt at the end of the pipe or after `patience`.
    std::optional<std::string> Next(std::chrono::milliseconds patience = kProgramPatience);

  private:
    int fd_;
    std::string buffer_;
};

}  // namespace t720::sim
