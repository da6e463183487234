// t720-ctl: asks the running t720 program to set the calibrator, or tells its
// state, through the program's control socket. The program stays the one owner of
// the calibrator; this only talks to it.
//
// Exit status: 0 done (a setting accepted by the calibrator), 1 refused or not
// accepted, 2 wrong arguments, 3 the program cannot be reached or does not answer,
// 4 what was to be printed could not be written, 5 pending: the setting stands in
// the panel unconfirmed and goes out with the next transmission.
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "remote/Protocol.h"
#include "remote/SocketPlace.h"
#include "remote/SocketWait.h"

namespace {

using namespace t720::remote;

constexpr const char* kUsage =
    "usage: t720-ctl set [--channel N] [--range N] [--percent P]\n"
    "       t720-ctl beep on [SECONDS]|off   (on: 2 s unless given, at most 60)\n"
    "       t720-ctl ready on|off\n"
    "       t720-ctl load on|off\n"
    "       t720-ctl status [--json]\n"
    "       t720-ctl wait-connected [--timeout SECONDS]   (default 10)\n"
    "wait-connected waits for the program to appear as well as for the calibrator.\n"
    "P is the output in percent of full scale, -100..100 in steps of 10; its sign\n"
    "is the output's sign. --json prints the program's reply as it is. A beep\n"
    "lasts while t720-ctl waits out its seconds; stopping t720-ctl ends it.\n"
    "Exit status 5: the calibrator did not confirm the setting; it stays in the\n"
    "panel and goes out with the next transmission.\n";

// A reply that must come within this, however slow the calibrator's line
// ($T720_CTL_PATIENCE seconds instead, for a test stand with a deadline of its own).
constexpr double kReplyPatience = 10.0;
constexpr size_t kMaxReply = 64 * 1024;

int Fail(int status, const std::string& why) {
    std::fprintf(stderr, "t720-ctl: %s\n", why.c_str());
    return status;
}

struct Invocation {
    std::string line;
    bool json = false;
    double patience = kReplyPatience;
    double beepSeconds = 0.0;  // beep on: the connection is held as long as the beep
    // wait-connected: the seconds to wait, the program's appearing included
    std::optional<double> wait;
};

// The patience $T720_CTL_PATIENCE asks for; nullopt when it is no number of seconds.
std::optional<double> ReplyPatience() {
    const char* text = std::getenv("T720_CTL_PATIENCE");
    if (text == nullptr || text[0] == '\0') return kReplyPatience;
    char* end = nullptr;
    const double seconds = std::strtod(text, &end);
    if (*end != '\0' || !(seconds > 0 && seconds <= kMaxWaitSeconds)) return std::nullopt;
    return seconds;
}

// The request line for the arguments; nullopt (after saying why) when they are wrong.
std::optional<Invocation> FromArguments(std::vector<std::string> args) {
    Invocation inv;
    // Each argument is one word of the request line: a blank or control character
    // inside one ("3 range=2") would add words nobody asked for.
    for (const std::string& a : args)
        if (a.empty() || std::any_of(a.begin(), a.end(), [](char c) {
                return static_cast<unsigned char>(c) <= ' ' || c == '\x7f';
            })) {
            std::fprintf(stderr, "t720-ctl: not a single word: \"%s\"\n", a.c_str());
            return std::nullopt;
        }
    const std::optional<double> patience = ReplyPatience();
    if (!patience) {
        std::fprintf(stderr, "t720-ctl: T720_CTL_PATIENCE needs seconds, at most 3600\n");
        return std::nullopt;
    }
    inv.patience = *patience;
    inv.json = std::erase(args, std::string("--json")) > 0;
    if (args.empty()) return std::nullopt;
    const std::string verb = args[0];
    inv.line = verb;
    double seconds = 10.0;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool valued = i + 1 < args.size();
        if (verb == "set" && valued && (a == "--channel" || a == "--range" || a == "--percent")) {
            inv.line += " " + a.substr(2) + "=" + args[++i];
        } else if (verb == "wait-connected" && valued && a == "--timeout") {
            inv.line += " " + args[++i];
            seconds = std::atof(args[i].c_str());
        } else if ((verb == "beep" || verb == "ready" || verb == "load") && args.size() == 2) {
            inv.line += " " + a;
        } else if (verb == "beep" && args.size() == 3 && args[1] == "on") {
            inv.line += " " + a;
        } else {
            std::fprintf(stderr, "t720-ctl: unexpected argument \"%s\"\n", a.c_str());
            return std::nullopt;
        }
    }
    if (verb == "wait-connected" && args.size() == 1) inv.line += " 10";
    if (verb == "wait-connected") {
        inv.patience = seconds + *patience;
        inv.wait = seconds;
    }
    // What the program would refuse as malformed is a usage error here.
    const Parsed p = ParseRequest(inv.line);
    if (!p.request) {
        std::fprintf(stderr, "t720-ctl: %s\n", p.error.c_str());
        return std::nullopt;
    }
    if (p.request->verb == Verb::Beep && p.request->on) inv.beepSeconds = p.request->seconds;
    return inv;
}

// Sends the line and waits for one reply line. Every step (connect, send, reply)
// ends by the deadline `patience` seconds from now. The reply, or "" after saying
// why there is none. With `held` the connection stays open for the caller, who gets
// it there.
std::string Exchange(const std::string& line, double patience, int& status, int* held = nullptr) {
    status = 3;
    const SocketPlace place = DefaultSocketPlace();
    if (const std::string why = CheckPrivateDir(place.dir, false); !why.empty()) {
        Fail(3, "cannot reach the program: " + why);
        return {};
    }
    sockaddr_un address{};
    if (!SocketAddress(place.socket, address)) {
        Fail(3, "the socket path is too long: " + place.socket);
        return {};
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration<double>(patience);
    auto msLeft = [&] {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        return static_cast<int>(std::max<int64_t>(left.count(), 0));
    };
    const std::string within = " within " + JsonNumber(patience) + " s";
    // A program that does not accept (stopped, say) fills its queue, and a connect
    // then waits for room: the kernel waits at most SO_SNDTIMEO, then says EAGAIN.
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int ms = std::max(msLeft(), 1);
    const timeval limit{ms / 1000, (ms % 1000) * 1000};
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit) != 0 ||
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        fcntl(fd, F_SETFL, O_NONBLOCK) != 0) {
        if (errno == EAGAIN)
            Fail(3, "the program does not take the connection" + within + " (is it stopped?)");
        else
            Fail(3, "the program does not serve " + place.socket + " (" + std::strerror(errno) +
                        "); is t720 running, with [Remote] Enabled=1?");
        if (fd >= 0) close(fd);
        return {};
    }
    // A refusal (too many clients) may come with the connection closed at once, so
    // that the send fails: the reply is read all the same.
    const std::string request = line + "\n";
    for (size_t sent = 0; sent < request.size();) {
        const ssize_t n = send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        pollfd p{fd, POLLOUT, 0};
        if (n > 0)
            sent += static_cast<size_t>(n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || poll(&p, 1, msLeft()) <= 0)))
            break;
    }
    std::string reply;
    char buffer[4096];
    while (reply.find('\n') == std::string::npos && reply.size() < kMaxReply) {
        pollfd p{fd, POLLIN, 0};
        const int left = msLeft();
        if (left <= 0 || poll(&p, 1, left) <= 0) break;
        const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) break;
        reply.append(buffer, static_cast<size_t>(n));
    }
    if (held)
        *held = fd;
    else
        close(fd);
    const size_t lf = reply.find('\n');
    if (lf == std::string::npos) {
        Fail(3, "no reply from the program" + (msLeft() <= 0 ? within : std::string()));
        return {};
    }
    status = 0;
    return reply.substr(0, lf);
}

// wait-connected started before the program (or beside its start): waits for the
// socket within the time-out, and leaves the rest of it in the request `line`.
bool WaitForProgram(double seconds, std::string& line) {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                             std::chrono::duration<double>(seconds));
    const std::string why = WaitForSocket(DefaultSocketPlace(), deadline);
    if (!why.empty()) {
        Fail(3, Clock::now() < deadline
                    ? "cannot reach the program: " + why
                    : "no program appeared within " + QString::number(seconds).toStdString() +
                          " s (" + why + "); is t720 running, with [Remote] Enabled=1?");
        return false;
    }
    const double left = std::chrono::duration<double>(deadline - Clock::now()).count();
    char text[32];
    std::snprintf(text, sizeof text, "wait-connected %.3f", std::max(left, 0.0));
    line = text;
    return true;
}

std::string Text(const QJsonValue& v) {
    if (v.isDouble()) return QString::number(v.toDouble(), 'g', 12).toStdString();
    return v.toString().toStdString();
}

void PrintStatus(const QJsonObject& o) {
    auto on = [&](const char* key) { return o[key].toBool() ? "on" : "off"; };
    std::string table;
    for (const QJsonValue& v : o["range_table"].toArray()) table += Text(v) + " ";
    const std::string refused = Text(o["sets_refused"]);
    std::printf("Link:          %s, %s\n", Text(o["link"]).c_str(), Text(o["state"]).c_str());
    std::printf("Calibrator:    SNo %s, ID %s\n", Text(o["serial"]).c_str(),
                Text(o["identification"]).c_str());
    std::printf("Variant:       %d channels, %d ranges (%smV/V)\n", o["channels"].toInt(),
                o["ranges"].toInt(), table.c_str());
    std::printf("Setting:       channel %d, range %d (%s mV/V), %s%d %% = %s mV/V%s\n",
                o["channel"].toInt(), o["range"].toInt(), Text(o["full_scale"]).c_str(),
                Text(o["sign"]).c_str(), std::abs(o["percent"].toInt()), Text(o["output"]).c_str(),
                o["half_bridge"].toBool() ? ", half bridge" : "");
    std::printf("Commands:      ready %s, beep %s, load %s%s\n", on("ready"), on("beep"),
                o["load"].toBool() ? "high" : "low",
                o["load_toggle"].toBool() ? "" : " (no load toggle)");
    std::printf("Last verdict:  %d, %s\n", o["answer_status"].toInt(), Text(o["meaning"]).c_str());
    std::printf("Linearity:     %s\n", o["search"].toBool()          ? "shunt search running"
                                       : o["linearity_run"].toBool() ? "run in progress"
                                                                     : "idle");
    std::printf("Remote sets:   %s\n", refused.empty() ? "taken" : ("refused: " + refused).c_str());
}

// The program ends a remote beep when its connection closes: it is held until the
// beep's time is up (or the program closes it), then let go when this ends.
void HoldBeep(int fd, double seconds) {
    if (fd < 0) return;
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count()) + 1) != 0) return;
    }
}

// A status a script can trust: output lost to a full disk or a closed descriptor
// is a failure, not a cut-off success.
int Written(int status) {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return status;
    std::fprintf(stderr, "t720-ctl: the output could not be written\n");
    return status == 0 ? 4 : status;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return Written(0);
    }
    const std::optional<Invocation> inv = FromArguments(args);
    if (!inv) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::string line = inv->line;
    if (inv->wait && !WaitForProgram(*inv->wait, line)) return 3;
    int status = 0;
    int held = -1;
    const std::string reply =
        Exchange(line, inv->patience, status, inv->beepSeconds > 0 ? &held : nullptr);
    if (status != 0) return status;
    const QJsonObject o = QJsonDocument::fromJson(QByteArray::fromStdString(reply)).object();
    if (o.isEmpty()) return Fail(3, "unreadable reply: " + reply);
    if (inv->json) std::printf("%s\n", reply.c_str());
    if (!o["ok"].toBool()) return Written(Fail(o["pending"].toBool() ? 5 : 1, Text(o["error"])));
    if (inv->json) {
        HoldBeep(held, inv->beepSeconds);
        return Written(0);
    }
    if (args[0] == "status")
        PrintStatus(o);
    else if (args[0] == "wait-connected")
        std::printf("connected\n");
    else
        std::printf("%s\n", Text(o["meaning"]).c_str());
    HoldBeep(held, inv->beepSeconds);
    return Written(0);
}
