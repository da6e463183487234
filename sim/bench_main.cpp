// t720-bench: the simulated calibrator on a pseudo-terminal, for the demo and for
// trying the program by hand. Runs until SIGINT or SIGTERM, then removes its link.
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "sim/BenchServer.h"
#include "sim/UniqueFd.h"

namespace {

using t720::sim::BenchOptions;
using t720::sim::BenchServer;
using t720::sim::TransportFaults;

constexpr int kUsageError = 2;

constexpr const char* kUsage = R"(Usage: t720-bench --calibrator-link PATH [options]

Serves a simulated T720 calibrator on a pseudo-terminal and makes PATH a symbolic
link to it (missing directories are created, a stale link is replaced). Runs until
SIGINT or SIGTERM, then removes the link.

Identity and variant:
  --serial TEXT        serial number, answer to SNR?1 (default T720-40211)
  --ident TEXT         identification, answer to SNR?0 (default "T720S09 V2.01")
  --ranges 5|6         number of ranges (default 6)
  --channels 9|16      number of channels (default: 16 for a "QV310" identification, else 9)

Faults of the calibrator:
  --silent             receive every line, answer none
  --condition N        answer setting commands with the condition digit N (1..8)
  --refuse             answer every line with "?"

Faults of the line:
  --garbage            random bytes (with NUL and bytes above 0x7F, no LF) before every answer
  --garbage-instead    random bytes instead of every answer (no line feed at all)
  --pieces             every answer in chunks of 1-2 bytes a few milliseconds apart
  --late SECONDS       every answer held back by SECONDS (the program waits 0.3 s)
  --flood BYTES        the first answer preceded by BYTES bytes without a line feed
                       (at most 4 MiB)
  --hangup-after N     answer N lines, then close the pty when the next line arrives

  --help               this text
)";

[[noreturn]] void UsageError(const std::string& message) {
    std::cerr << "t720-bench: " << message << "\nTry 't720-bench --help'.\n";
    std::exit(kUsageError);
}

long ParseInteger(const char* text, const char* option, long lo, long hi) {
    errno = 0;
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || value < lo || value > hi)
        UsageError(std::string(option) + " wants a whole number from " + std::to_string(lo) +
                   " to " + std::to_string(hi) + ", not '" + text + "'");
    return value;
}

double ParseSeconds(const char* text) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(value >= 0.0 && value <= 3600.0))
        UsageError(std::string("--late wants seconds from 0 to 3600, not '") + text + "'");
    return value;
}

enum Option {
    kLink = 1000,
    kSerial,
    kIdent,
    kRanges,
    kChannels,
    kSilent,
    kCondition,
    kRefuse,
    kGarbage,
    kGarbageInstead,
    kPieces,
    kLate,
    kFlood,
    kHangUpAfter,
    kHelp,
};

BenchOptions ParseOptions(int argc, char** argv) {
    static const option kOptions[] = {
        {"calibrator-link", required_argument, nullptr, kLink},
        {"serial", required_argument, nullptr, kSerial},
        {"ident", required_argument, nullptr, kIdent},
        {"ranges", required_argument, nullptr, kRanges},
        {"channels", required_argument, nullptr, kChannels},
        {"silent", no_argument, nullptr, kSilent},
        {"condition", required_argument, nullptr, kCondition},
        {"refuse", no_argument, nullptr, kRefuse},
        {"garbage", no_argument, nullptr, kGarbage},
        {"garbage-instead", no_argument, nullptr, kGarbageInstead},
        {"pieces", no_argument, nullptr, kPieces},
        {"late", required_argument, nullptr, kLate},
        {"flood", required_argument, nullptr, kFlood},
        {"hangup-after", required_argument, nullptr, kHangUpAfter},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0},
    };
    BenchOptions o;
    opterr = 0;
    for (;;) {
        const int index = optind;
        const int c = getopt_long(argc, argv, "", kOptions, nullptr);
        if (c == -1) break;
        TransportFaults& line = o.transportFaults;
        switch (c) {
            case kLink:
                o.calibratorLink = optarg;
                break;
            case kSerial:
                o.identity.serial = optarg;
                break;
            case kIdent:
                o.identity.ident = optarg;
                break;
            case kRanges: {
                const long n = ParseInteger(optarg, "--ranges", 5, 6);
                o.identity.ranges = static_cast<int>(n);
                break;
            }
            case kChannels: {
                const long n = ParseInteger(optarg, "--channels", 9, 16);
                if (n != 9 && n != 16) UsageError("--channels wants 9 or 16");
                o.identity.channels = static_cast<int>(n);
                break;
            }
            case kSilent:
                o.calibratorFaults.silent = true;
                break;
            case kCondition:
                o.calibratorFaults.condition =
                    static_cast<int>(ParseInteger(optarg, "--condition", 1, 8));
                break;
            case kRefuse:
                o.calibratorFaults.refuse = true;
                break;
            case kGarbage:
                line.garbage = TransportFaults::Garbage::BeforeAnswer;
                break;
            case kGarbageInstead:
                line.garbage = TransportFaults::Garbage::InsteadOfAnswer;
                break;
            case kPieces:
                line.pieces = true;
                break;
            case kLate:
                line.late = true;
                line.lateSeconds = ParseSeconds(optarg);
                break;
            case kFlood:
                line.flood = true;
                line.floodBytes = static_cast<size_t>(ParseInteger(
                    optarg, "--flood", 1, static_cast<long>(TransportFaults::kMaxFloodBytes)));
                break;
            case kHangUpAfter:
                line.hangUpAfterLines =
                    static_cast<int>(ParseInteger(optarg, "--hangup-after", 1, 1000000000));
                break;
            case kHelp:
                std::cout << kUsage;
                std::exit(0);
            default:
                UsageError(std::string("unknown option or missing value: ") +
                           (index < argc ? argv[index] : "?"));
        }
    }
    if (optind < argc) UsageError(std::string("unexpected argument '") + argv[optind] + "'");
    if (o.calibratorLink.empty()) UsageError("--calibrator-link PATH is required");
    if (o.identity.serial.find_first_of("\r\n") != std::string::npos ||
        o.identity.ident.find_first_of("\r\n") != std::string::npos)
        UsageError("--serial and --ident must not contain line breaks");
    return o;
}

std::string DescribeFaults(const BenchOptions& o) {
    std::ostringstream out;
    const auto add = [&out](const std::string& fault) {
        out << (out.tellp() > 0 ? ", " : "") << fault;
    };
    const auto& device = o.calibratorFaults;
    const TransportFaults& line = o.transportFaults;
    if (device.silent) add("silent");
    if (device.refuse) add("refuse");
    if (device.condition != 0) add("condition " + std::to_string(device.condition));
    if (line.garbage == TransportFaults::Garbage::BeforeAnswer) add("garbage before answers");
    if (line.garbage == TransportFaults::Garbage::InsteadOfAnswer)
        add("garbage instead of answers");
    if (line.pieces) add("answers in pieces");
    if (line.late) {
        std::ostringstream late;
        late << "answers " << line.lateSeconds << " s late";
        add(late.str());
    }
    if (line.flood)
        add("flood of " + std::to_string(line.floodBytes) + " bytes before the first answer");
    if (line.hangUpAfterLines > 0)
        add("hang-up after " + std::to_string(line.hangUpAfterLines) + " lines");
    return out.tellp() > 0 ? out.str() : "none";
}

}  // namespace

int main(int argc, char** argv) {
    const BenchOptions options = ParseOptions(argc, argv);

    // The signals arrive as readable data on the loop, not in a handler. A shell
    // starts background jobs with SIGINT ignored, and an ignored signal never
    // reaches a signalfd: take INT and TERM back. A SIGHUP ignored on purpose
    // (nohup) stays ignored.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGINT, SIG_DFL);
    signal(SIGTERM, SIG_DFL);
    signal(SIGPIPE, SIG_IGN);
    t720::sim::UniqueFd signals(signalfd(-1, &stopSignals, SFD_CLOEXEC | SFD_NONBLOCK));
    if (!signals) {
        std::cerr << "t720-bench: signalfd: " << std::strerror(errno) << '\n';
        return 1;
    }

    try {
        BenchServer server(options);
        server.Open();
        server.loop().Watch(signals.get(), POLLIN, [&](short) {
            signalfd_siginfo info{};
            [[maybe_unused]] const ssize_t n = read(signals.get(), &info, sizeof info);
            server.RequestStop();
        });
        const auto identity = server.WithCalibrator([](const auto& m) { return m.identity(); });
        const int channels = server.WithCalibrator([](const auto& m) { return m.Channels(); });
        std::cout << "t720-bench: serving the calibrator on " << options.calibratorLink << " -> "
                  << server.CalibratorPtyName() << '\n'
                  << "  identity: serial \"" << identity.serial << "\", identification \""
                  << identity.ident << "\"\n"
                  << "  variant: " << identity.ranges << " ranges, " << channels << " channels\n"
                  << "  faults: " << DescribeFaults(options) << '\n'
                  << std::flush;
        server.Run();
        std::cout << "t720-bench: stopped, " << options.calibratorLink << " removed" << std::endl;
    } catch (const std::invalid_argument& e) {
        std::cerr << "t720-bench: " << e.what() << '\n';
        return kUsageError;
    } catch (const std::exception& e) {
        std::cerr << "t720-bench: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
