// t720-bench: the simulated calibrator on a pseudo-terminal and/or the socket of the
// stand-in USB library, and the DMM on a pseudo-terminal of its own, for the demo
// and for trying the program by hand. Runs until SIGINT or SIGTERM, then removes
// its links and its socket.
#include <getopt.h>
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
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

constexpr const char* kUsage =
    R"usage(Usage: t720-bench [--calibrator-link PATH] [--socket PATH | --usb] [options]

Serves one simulated T720 calibrator, reachable two ways:
  --calibrator-link PATH  on a pseudo-terminal; PATH becomes a symbolic link to it
                          (missing directories are created, a stale link is replaced)
  --socket PATH        on the local socket PATH, for the stand-in USB library
                       @STANDIN@,
                       which connects to the path in
                       T720_BENCH_SOCKET, or to the per-user default:
                       $XDG_RUNTIME_DIR/t720-bench/usb.sock, else
                       /tmp/t720-bench-<uid>/usb.sock, in a folder of mode 0700
  --usb                the same on the per-user default path
At least one of them is required. A stale socket file is replaced; a socket that
another bench serves is left alone. Runs until SIGINT or SIGTERM, then removes
its links and its socket.

Identity and variant:
  --serial TEXT        serial number, answer to SNR?1 (default T720-40211)
  --ident TEXT         identification, answer to SNR?0 (default "T720S09 V2.01")
  --ranges 5|6         number of ranges (default 6)
  --channels 9|16      number of channels (default: 16 for a "QV310" identification, else 9)

Faults of the calibrator:
  --silent             receive every line, answer none
  --condition N        answer setting commands with the condition digit N (1..8)
  --refuse             answer every line with "?"

Faults of the calibrator's serial line (its pseudo-terminal only):
  --garbage            random bytes (with NUL and bytes above 0x7F, no LF) before every answer
  --garbage-instead    random bytes instead of every answer (no line feed at all)
  --pieces             every answer in chunks of 1-2 bytes a few milliseconds apart
  --late SECONDS       every answer held back by SECONDS (the program waits 0.3 s)
  --flood BYTES        the first answer preceded by BYTES bytes without a line feed
                       (at most 4 MiB)
  --hangup-after N     answer N lines, then close the pty when the next line arrives

Faults of the USB library:
  --usb-fail           every CalCommand fails (non-zero result); nothing reaches the calibrator
  --usb-absent         GetUSBDeviceInfo finds no calibrator (negative status)
  --usb-count0         answers come back with count 0
  --usb-cp             the calibrator sits behind a VLM's communication processor:
                       its serial number reads "CP" + serial
  --usb-null-ident     the identification comes back as "(null)"

The DMM of the linearity measurement (it measures the taps the calibrator's last
K1Y selected on a divider of ten resistors with 1 V across it):
  --dmm-link PATH      serve the DMM on a pseudo-terminal; PATH becomes a symbolic link
  --divider-seed N     seed of the resistors' errors (within +-60 ppm) and of the
                       noise (default 720)
  --dmm-delay SECONDS  every DMM answer held back by SECONDS (the program waits 1.5 s)
  --dmm-silent         the DMM answers nothing
  --dmm-silent-after N answer N readings, then no further readings
  --dmm-garbage-after N  answer N readings, then readings that hold no number

  --help               this text
)usage";

// The usage with the place of the stand-in library that goes with this bench:
// beside it in a build tree, where the program built beside it too finds it by
// itself; else where it is installed, apart, so that the program takes it only
// when told to.
std::string UsageText() {
    const std::string indent = "\n                       ";
    std::error_code ec;
    const std::filesystem::path beside =
        std::filesystem::read_symlink("/proc/self/exe", ec).parent_path() / "libzorusbcal.so";
    const std::string place =
        !ec && std::filesystem::exists(beside, ec)
            ? beside.string() + indent + "(t720 built beside it loads it from there)"
            : T720_STANDIN_INSTALLED + indent +
                  "(t720 loads it only when T720_USBCAL_LIBRARY names it)";
    std::string usage = kUsage;
    usage.replace(usage.find("@STANDIN@"), 9, place);
    return usage;
}

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

double ParseSeconds(const char* text, const char* option) {
    errno = 0;
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (errno != 0 || end == text || *end != '\0' || !(value >= 0.0 && value <= 3600.0))
        UsageError(std::string(option) + " wants seconds from 0 to 3600, not '" + text + "'");
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
    kSocket,
    kUsb,
    kUsbFail,
    kUsbAbsent,
    kUsbCount0,
    kUsbCp,
    kUsbNullIdent,
    kDmmLink,
    kDividerSeed,
    kDmmDelay,
    kDmmSilent,
    kDmmSilentAfter,
    kDmmGarbageAfter,
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
        {"socket", required_argument, nullptr, kSocket},
        {"usb", no_argument, nullptr, kUsb},
        {"usb-fail", no_argument, nullptr, kUsbFail},
        {"usb-absent", no_argument, nullptr, kUsbAbsent},
        {"usb-count0", no_argument, nullptr, kUsbCount0},
        {"usb-cp", no_argument, nullptr, kUsbCp},
        {"usb-null-ident", no_argument, nullptr, kUsbNullIdent},
        {"dmm-link", required_argument, nullptr, kDmmLink},
        {"divider-seed", required_argument, nullptr, kDividerSeed},
        {"dmm-delay", required_argument, nullptr, kDmmDelay},
        {"dmm-silent", no_argument, nullptr, kDmmSilent},
        {"dmm-silent-after", required_argument, nullptr, kDmmSilentAfter},
        {"dmm-garbage-after", required_argument, nullptr, kDmmGarbageAfter},
        {"help", no_argument, nullptr, kHelp},
        {nullptr, 0, nullptr, 0},
    };
    BenchOptions o;
    bool socketGiven = false;
    bool usbDefault = false;
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
                line.lateSeconds = ParseSeconds(optarg, "--late");
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
            case kSocket:
                if (*optarg == '\0') UsageError("--socket wants a path");
                o.usbSocket = optarg;
                socketGiven = true;
                break;
            case kUsb:
                usbDefault = true;
                break;
            case kUsbFail:
                o.usbFaults.fail = true;
                break;
            case kUsbAbsent:
                o.usbFaults.absent = true;
                break;
            case kUsbCount0:
                o.usbFaults.count0 = true;
                break;
            case kUsbCp:
                o.usbFaults.cpRoute = true;
                break;
            case kUsbNullIdent:
                o.usbFaults.nullIdent = true;
                break;
            case kDmmLink:
                o.dmmLink = optarg;
                break;
            case kDividerSeed:
                o.dividerSeed =
                    static_cast<uint32_t>(ParseInteger(optarg, "--divider-seed", 0, 4294967295L));
                break;
            case kDmmDelay:
                o.dmmFaults.delaySeconds = ParseSeconds(optarg, "--dmm-delay");
                break;
            case kDmmSilent:
                o.dmmFaults.silent = true;
                break;
            case kDmmSilentAfter:
                o.dmmFaults.silentAfter =
                    static_cast<int>(ParseInteger(optarg, "--dmm-silent-after", 0, 1000000000));
                break;
            case kDmmGarbageAfter:
                o.dmmFaults.garbageAfter =
                    static_cast<int>(ParseInteger(optarg, "--dmm-garbage-after", 0, 1000000000));
                break;
            case kHelp:
                std::cout << UsageText();
                std::exit(0);
            default:
                UsageError(std::string("unknown option or missing value: ") +
                           (index < argc ? argv[index] : "?"));
        }
    }
    if (optind < argc) UsageError(std::string("unexpected argument '") + argv[optind] + "'");
    if (socketGiven && usbDefault) UsageError("--socket PATH and --usb exclude each other");
    if (usbDefault) {
        o.usbSocket = t720::sim::DefaultUsbSocketPath();
        if (o.usbSocket.empty())
            UsageError("the default socket path is too long; use --socket PATH");
    }
    if (o.calibratorLink.empty() && o.usbSocket.empty())
        UsageError("at least one of --calibrator-link PATH, --socket PATH or --usb is required");
    if (!o.dmmLink.empty() && o.dmmLink == o.calibratorLink)
        UsageError("--dmm-link and --calibrator-link need paths of their own");
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
    const auto& usb = o.usbFaults;
    if (usb.fail) add("USB calls fail");
    if (usb.absent) add("no USB device");
    if (usb.count0) add("USB answers with count 0");
    if (usb.cpRoute) add("USB route through a CP");
    if (usb.nullIdent) add("USB identification (null)");
    return out.tellp() > 0 ? out.str() : "none";
}

std::string DescribeDmmFaults(const BenchOptions& o) {
    std::ostringstream out;
    const auto add = [&out](const std::string& fault) {
        out << (out.tellp() > 0 ? ", " : "") << fault;
    };
    const auto& dmm = o.dmmFaults;
    if (dmm.delaySeconds > 0.0) {
        std::ostringstream late;
        late << "answers " << dmm.delaySeconds << " s late";
        add(late.str());
    }
    if (dmm.silent) add("silent");
    if (dmm.silentAfter) add("silent after " + std::to_string(*dmm.silentAfter) + " readings");
    if (dmm.garbageAfter) add("garbage after " + std::to_string(*dmm.garbageAfter) + " readings");
    return out.tellp() > 0 ? out.str() : "none";
}

}  // namespace

int main(int argc, char** argv) {
    const BenchOptions options = ParseOptions(argc, argv);
    // The default socket's folder is this user's alone, as the program's control
    // socket's is: no other user's bench may sit where the stand-in looks.
    if (options.usbSocket == t720::sim::DefaultUsbSocketPath())
        if (const std::string why = t720::sim::MakePrivateSocketFolder(options.usbSocket);
            !why.empty()) {
            std::cerr << "t720-bench: " << why << '\n';
            return 1;
        }

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
        if (!options.calibratorLink.empty())
            std::cout << "t720-bench: serving the calibrator on " << options.calibratorLink
                      << " -> " << server.CalibratorPtyName() << '\n';
        if (!options.usbSocket.empty())
            std::cout << "t720-bench: serving the USB library's calibrator on the socket "
                      << options.usbSocket << '\n';
        if (!options.dmmLink.empty())
            std::cout << "t720-bench: serving the DMM on " << options.dmmLink << " -> "
                      << server.DmmPtyName() << '\n';
        std::cout << "  identity: serial \"" << identity.serial << "\", identification \""
                  << identity.ident << "\"\n"
                  << "  variant: " << identity.ranges << " ranges, " << channels << " channels\n"
                  << "  faults: " << DescribeFaults(options) << '\n';
        if (!options.dmmLink.empty())
            std::cout << "  DMM: divider seed " << options.dividerSeed << ", faults "
                      << DescribeDmmFaults(options) << '\n';
        std::cout << std::flush;
        server.Run();
        std::string removed;
        for (const std::string* path :
             {&options.calibratorLink, &options.usbSocket, &options.dmmLink})
            if (!path->empty()) removed += (removed.empty() ? "" : ", ") + *path;
        std::cout << "t720-bench: stopped, " << removed << " removed" << std::endl;
    } catch (const std::invalid_argument& e) {
        std::cerr << "t720-bench: " << e.what() << '\n';
        return kUsageError;
    } catch (const std::exception& e) {
        std::cerr << "t720-bench: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
