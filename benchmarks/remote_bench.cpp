// The control socket's round trip: from a set request written to the socket to
// its reply, which comes after the supervision pass that transmitted the setting
// and carries its verdict. The program runs as a process of its own (offscreen)
// on the USB link against the bench; the requests step 0..100 % in range 2.
//
//   build/bin/bench_remote [requests, default 1000]
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "benchmarks/ProgramOnBench.h"
#include "remote/SocketPlace.h"

namespace {

using Clock = std::chrono::steady_clock;

// One request and its reply line; "" when none came within 5 s.
std::string Ask(int fd, const std::string& line) {
    const std::string bytes = line + "\n";
    if (send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        return {};
    std::string reply;
    char buffer[4096];
    while (reply.find('\n') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 5000) <= 0) return {};
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) return {};
        reply.append(buffer, static_cast<size_t>(n));
    }
    return reply.substr(0, reply.find('\n'));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int requests = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1000;
    QTemporaryDir dir;

    t720::benchmarks::ProgramOnBench run(dir);
    t720::sim::ChildProcess& program = run.program;

    // The program's socket: there once the program has started.
    setenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit().constData(), 1);
    sockaddr_un address{};
    t720::remote::SocketAddress(t720::remote::DefaultSocketPlace().socket, address);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    while (connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (Clock::now() > deadline || program.Wait(std::chrono::milliseconds(20))) {
            std::fprintf(stderr, "the program's control socket did not open\n%s\n",
                         program.Output().c_str());
            return 1;
        }
    }
    if (Ask(fd, "wait-connected 30").find("\"ok\":true") == std::string::npos ||
        Ask(fd, "set range=2").find("accepted") == std::string::npos) {
        std::fprintf(stderr, "the program did not connect to the bench\n");
        return 1;
    }

    std::vector<double> ms;
    int refused = 0;
    for (int i = 0; i < requests; ++i) {
        const std::string line = "set percent=" + std::to_string(10 * (i % 11));
        const auto start = Clock::now();
        const std::string reply = Ask(fd, line);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        refused += reply.find("\"answer_status\":2") == std::string::npos;
    }
    close(fd);
    program.Signal(SIGTERM);
    const auto status = program.Wait();
    run.bench.Stop();

    std::sort(ms.begin(), ms.end());
    auto at = [&](double q) {
        return ms[static_cast<size_t>(q * static_cast<double>(ms.size() - 1))];
    };
    std::printf("control socket, set request to verdict reply, USB link, %d requests\n", requests);
    std::printf("  round trip: median %.2f ms, p99 %.2f ms, max %.2f ms (goal: one pass, 30 ms)\n",
                at(0.5), at(0.99), ms.back());
    std::printf("  replies without the verdict \"accepted\": %d\n", refused);
    return status == 0 && refused == 0 ? 0 : 1;
}
