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
#include <vector>

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

// What the options have said so far.
struct Given {
    BenchOptions o;
    bool socket = false;  // --socket PATH
    bool usb = false;     // --usb
};

// One option: its long name, whether it takes a value, and what it does with the
// value (`option` is its name as typed, for the messages).
struct OptionRow {
    const char* name;
    bool takesValue;
    void (*apply)(Given& g, const char* value, const std::string& option);
};

constexpr bool kValue = true;
constexpr bool kFlag = false;
constexpr long kManyLines = 1000000000;

int Count(const char* value, const std::string& option, long lo, long hi) {
    return static_cast<int>(ParseInteger(value, option.c_str(), lo, hi));
}

const OptionRow kOptionRows[] = {
    {"calibrator-link", kValue,
     [](Given& g, const char* v, const std::string&) { g.o.calibratorLink = v; }},
    {"serial", kValue,
     [](Given& g, const char* v, const std::string&) { g.o.identity.serial = v; }},
    {"ident", kValue, [](Given& g, const char* v, const std::string&) { g.o.identity.ident = v; }},
    {"ranges", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.identity.ranges = Count(v, opt, 5, 6);
     }},
    {"channels", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         const int n = Count(v, opt, 9, 16);
         if (n != 9 && n != 16) UsageError(opt + " wants 9 or 16");
         g.o.identity.channels = n;
     }},
    {"silent", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.calibratorFaults.silent = true; }},
    {"condition", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.calibratorFaults.condition = Count(v, opt, 1, 8);
     }},
    {"refuse", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.calibratorFaults.refuse = true; }},
    {"garbage", kFlag,
     [](Given& g, const char*, const std::string&) {
         g.o.transportFaults.garbage = TransportFaults::Garbage::BeforeAnswer;
     }},
    {"garbage-instead", kFlag,
     [](Given& g, const char*, const std::string&) {
         g.o.transportFaults.garbage = TransportFaults::Garbage::InsteadOfAnswer;
     }},
    {"pieces", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.transportFaults.pieces = true; }},
    {"late", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.transportFaults.late = true;
         g.o.transportFaults.lateSeconds = ParseSeconds(v, opt.c_str());
     }},
    {"flood", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.transportFaults.flood = true;
         g.o.transportFaults.floodBytes = static_cast<size_t>(
             ParseInteger(v, opt.c_str(), 1, static_cast<long>(TransportFaults::kMaxFloodBytes)));
     }},
    {"hangup-after", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.transportFaults.hangUpAfterLines = Count(v, opt, 1, kManyLines);
     }},
    {"socket", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         if (*v == '\0') UsageError(opt + " wants a path");
         g.o.usbSocket = v;
         g.socket = true;
     }},
    {"usb", kFlag, [](Given& g, const char*, const std::string&) { g.usb = true; }},
    {"usb-fail", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.usbFaults.fail = true; }},
    {"usb-absent", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.usbFaults.absent = true; }},
    {"usb-count0", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.usbFaults.count0 = true; }},
    {"usb-cp", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.usbFaults.cpRoute = true; }},
    {"usb-null-ident", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.usbFaults.nullIdent = true; }},
    {"dmm-link", kValue, [](Given& g, const char* v, const std::string&) { g.o.dmmLink = v; }},
    {"divider-seed", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.dividerSeed = static_cast<uint32_t>(ParseInteger(v, opt.c_str(), 0, 4294967295L));
     }},
    {"dmm-delay", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.dmmFaults.delaySeconds = ParseSeconds(v, opt.c_str());
     }},
    {"dmm-silent", kFlag,
     [](Given& g, const char*, const std::string&) { g.o.dmmFaults.silent = true; }},
    {"dmm-silent-after", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.dmmFaults.silentAfter = Count(v, opt, 0, kManyLines);
     }},
    {"dmm-garbage-after", kValue,
     [](Given& g, const char* v, const std::string& opt) {
         g.o.dmmFaults.garbageAfter = Count(v, opt, 0, kManyLines);
     }},
    {"help", kFlag,
     [](Given&, const char*, const std::string&) {
         std::cout << UsageText();
         std::exit(0);
     }},
};

// Whether the options together make a bench; the message of the first that does not.
void CheckTogether(Given& g) {
    BenchOptions& o = g.o;
    if (g.socket && g.usb) UsageError("--socket PATH and --usb exclude each other");
    if (g.usb) {
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
}

BenchOptions ParseOptions(int argc, char** argv) {
    // getopt_long's table from ours: the value it returns for a row is kFirst plus
    // the row's index.
    constexpr int kFirst = 1000;
    std::vector<option> options;
    for (const OptionRow& row : kOptionRows)
        options.push_back({row.name, row.takesValue ? required_argument : no_argument, nullptr,
                           kFirst + static_cast<int>(options.size())});
    options.push_back({nullptr, 0, nullptr, 0});

    Given given;
    opterr = 0;
    for (;;) {
        const int index = optind;
        const int c = getopt_long(argc, argv, "", options.data(), nullptr);
        if (c == -1) break;
        const size_t row = static_cast<size_t>(c - kFirst);
        if (c < kFirst || row >= std::size(kOptionRows))
            UsageError(std::string("unknown option or missing value: ") +
                       (index < argc ? argv[index] : "?"));
        kOptionRows[row].apply(given, optarg, std::string("--") + kOptionRows[row].name);
    }
    if (optind < argc) UsageError(std::string("unexpected argument '") + argv[optind] + "'");
    CheckTogether(given);
    return given.o;
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
