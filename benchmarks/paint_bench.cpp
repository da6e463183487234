// What the whole program costs while it polls: the real program (build/bin/t720)
// with its main window, on the USB link against the bench, its CPU time (all its
// threads, from /proc) over rounds of polling. The best round counts: other work on
// the machine only ever adds to a round. First under Xvfb when it is installed (the
// window painted and sent to an X server, as on a desktop; the server's own time is
// shown beside), then offscreen (the same painting into an image, nothing sent).
//
//   build/bin/bench_paint [seconds per round, default 5] [rounds, default 3]
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "benchmarks/ProgramOnBench.h"

namespace {

using namespace std::chrono_literals;

// CPU seconds of every thread of a process, to the nanosecond (the first figure of
// each thread's schedstat); 0 once it has gone.
double ScheduledCpuSeconds(pid_t pid) {
    double ns = 0;
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream stat(task.path() / "schedstat");
        double onCpu = 0;
        if (stat >> onCpu) ns += onCpu;
    }
    return ns * 1e-9;
}

std::optional<std::string> OnPath(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) return candidate;
        start = end + 1;
    }
    return std::nullopt;
}

// An X server of our own, 1024 x 768 as the smallest screen the program serves.
class XServer {
  public:
    explicit XServer(const std::string& binary) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0) return;
        server_.emplace(
            t720::sim::ChildProcess::Options{binary,
                                             {"-displayfd", std::to_string(ready[1]), "-screen",
                                              "0", "1024x768x24", "-nolisten", "tcp"},
                                             {},
                                             {ready[1]},
                                             {}});
        close(ready[1]);
        // The server writes its display number once it accepts clients.
        std::string number;
        char c = 0;
        while (read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) display_ = ":" + number;
    }
    ~XServer() {
        if (!server_) return;
        server_->Signal(SIGTERM);
        server_->Wait();
    }
    const std::string& Display() const { return display_; }
    pid_t Pid() const { return server_ ? server_->Pid() : -1; }

  private:
    std::optional<t720::sim::ChildProcess> server_;
    std::string display_;
};

struct Round {
    double program;  // % of a core
    double server;
    double passesPerSecond;
};

// The program on the bench with `env`; nullopt when it never reached the calibrator.
std::optional<std::vector<Round>> Measure(t720::benchmarks::ProgramOnBench::Env env, double seconds,
                                          int rounds, pid_t server) {
    QTemporaryDir dir;
    t720::benchmarks::ProgramOnBench run(dir, std::move(env));
    auto& bench = run.bench;
    auto& program = run.program;
    if (!program.Started() || !bench.WaitForReceived(4, 30s)) {
        std::fprintf(stderr, "the program did not reach the calibrator\n%s\n",
                     program.Output().c_str());
        return std::nullopt;
    }
    std::this_thread::sleep_for(2s);  // the window is laid out and shown
    const auto polls = [&] {
        return bench.WithCalibrator([](t720::sim::CalibratorModel& m) {
            return m.count(t720::sim::CalibratorModel::Command::K1B);
        });
    };
    std::vector<Round> figures;
    for (int i = 0; i < rounds; ++i) {
        const double cpu0 = ScheduledCpuSeconds(program.Pid());
        const double x0 = server > 0 ? ScheduledCpuSeconds(server) : 0;
        const uint64_t polls0 = polls();
        const auto start = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double x = server > 0 ? ScheduledCpuSeconds(server) - x0 : 0;
        figures.push_back({100 * (ScheduledCpuSeconds(program.Pid()) - cpu0) / wall, 100 * x / wall,
                           static_cast<double>(polls() - polls0) / wall});
    }
    program.Signal(SIGTERM);
    program.Wait();
    bench.Stop();
    return figures;
}

void Print(const char* where, const std::vector<Round>& rounds) {
    const auto best = std::min_element(rounds.begin(), rounds.end(),
                                       [](auto& a, auto& b) { return a.program < b.program; });
    std::printf(
        "  %s: CPU %.2f %% of a core (goal <= 1.5 %%), X server %.2f %%, %.1f passes/s;"
        " rounds:",
        where, best->program, best->server, best->passesPerSecond);
    for (const Round& r : rounds) std::printf(" %.2f", r.program);
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    std::printf("whole program with its window, USB link polling, best of %d rounds of %.0f s\n",
                rounds, seconds);

    bool failed = false;
    if (const auto xvfb = OnPath("Xvfb")) {
        XServer x(*xvfb);
        if (x.Display().empty()) {
            std::fprintf(stderr, "Xvfb did not start\n");
            failed = true;
        } else if (const auto figures =
                       Measure({{"QT_QPA_PLATFORM", "xcb"}, {"DISPLAY", x.Display()}}, seconds,
                               rounds, x.Pid())) {
            Print("under Xvfb", *figures);
        } else {
            failed = true;
        }
    } else {
        std::printf("  under Xvfb: not measured, Xvfb is not installed\n");
    }
    if (const auto figures = Measure({}, seconds, rounds, -1))
        Print("offscreen", *figures);
    else
        failed = true;
    return failed ? 1 : 0;
}
