// The stand-in USB library against the bench's socket endpoint: loaded through the
// program's own loader (and, where the bytes of the caller's buffers matter,
// with plain dlopen), talking to a real BenchServer.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>

#include "link/UsbCalLibrary.h"
#include "sim/BenchServer.h"
#include "tests/sim/LinkClient.h"

namespace t720::sim {
namespace {

using test::kPatience;
namespace fs = std::filesystem;

const std::string kStandin = std::string(T720_BUILD_BIN_DIR) + "/libzorusbcal.so";

// A socket bound to `path`, not yet listening.
UniqueFd Bound(const std::string& path) {
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd.Reset();
    return fd;
}

struct Command {
    int32_t result = 0;
    std::string answer;
    int32_t count = 0;
    std::string id;
};

class UsbStandin : public ::testing::Test {
  protected:
    UsbStandin() {
        // The library reads the path on every call; set before any bench thread runs.
        setenv("T720_BENCH_SOCKET", socket_.c_str(), 1);
    }
    ~UsbStandin() override {
        if (bench_) bench_->Stop();
        unsetenv("T720_BENCH_SOCKET");
    }

    BenchServer& StartBench(CalibratorModel::Identity identity = {}) {
        bench_ = std::make_unique<BenchServer>(
            BenchOptions{.identity = std::move(identity), .usbSocket = socket_});
        bench_->Start();
        return *bench_;
    }

    Command Send(std::string text, int32_t countIn = 0, std::string id = "T720-40211") {
        Command c{0, std::move(text), countIn, std::move(id)};
        const auto result = lib_->CalCommand(0, c.id, c.answer, c.count);
        c.result = result.value_or(-9999);
        return c;
    }

    std::optional<int32_t> Info(UsbCalLibrary::DeviceInfo& info, const std::string& dev = "",
                                const std::string& id = "") {
        return lib_->GetUSBDeviceInfo(dev, id, info);
    }

    std::deque<std::string> Received() {
        return bench_->WithCalibrator([](const CalibratorModel& m) { return m.received(); });
    }

    test::TempDir dir_;
    const std::string socket_ = dir_ / "run/usb.sock";
    std::unique_ptr<BenchServer> bench_;
    std::unique_ptr<UsbCalLibrary> lib_ = MakeLoadedUsbCalLibrary({kStandin, ""});
};

TEST_F(UsbStandin, FindsTheCalibratorAndCarriesItsCommands) {
    StartBench();
    UsbCalLibrary::DeviceInfo info;
    EXPECT_EQ(Info(info, "T720", "QV"), 0);
    EXPECT_EQ(info.serial, "T720-40211");
    EXPECT_EQ(info.ident, "T720S09 V2.01");
    EXPECT_EQ(info.text2, "");  // "(null)"
    EXPECT_EQ(info.text3, "");
    EXPECT_EQ(info.n1, 0);
    EXPECT_EQ(bench_->WithUsb([](const UsbBus& u) { return u.infoRequests(); }),
              (std::deque<UsbBus::InfoRequest>{{"T720", "QV"}}));

    const Command set = Send("K1A 0, 5, 2, 3", 1);
    EXPECT_EQ(set.result, 0);
    EXPECT_EQ(set.answer, "0");
    EXPECT_EQ(set.count, 1);
    EXPECT_EQ(set.id, "T720-40211");
    const auto state = bench_->WithCalibrator([](const CalibratorModel& m) { return m.state(); });
    EXPECT_EQ(state.step, 5);
    EXPECT_EQ(state.range, 2);
    EXPECT_EQ(state.channel, 3);

    EXPECT_EQ(Send("K1A 0, 5, 9, 3").answer, "?");
    EXPECT_EQ(Send("SNR?0").answer, "\"T720S09 V2.01\"");
    // The pty's record and the USB path's are one.
    EXPECT_EQ(Received(), (std::deque<std::string>{"K1A 0, 5, 2, 3", "K1A 0, 5, 9, 3", "SNR?0"}));
    EXPECT_TRUE(bench_->WaitForReceived(3, kPatience));

    // A silent calibrator: the call succeeds, but no answer and count 0.
    bench_->WithCalibrator([](CalibratorModel& m) {
        m.SetFaults({.silent = true});
        return 0;
    });
    const Command silent = Send("K1B 0,0,0, 0", 1);
    EXPECT_EQ(silent.result, 0);
    EXPECT_EQ(silent.answer, "");
    EXPECT_EQ(silent.count, 0);
    EXPECT_EQ(Received().back(), "K1B 0,0,0, 0");

    // Only device 0 is a calibrator.
    std::string id, command = "K1B 0,0,0, 0";
    int32_t count = 0;
    EXPECT_NE(lib_->CalCommand(1, id, command, count), 0);
}

TEST_F(UsbStandin, FaultsOfTheUsbPathSwitchAtRunTime) {
    StartBench();
    UsbCalLibrary::DeviceInfo info;

    bench_->SetUsbFaults({.fail = true});
    const Command failed = Send("K1A 0, 5, 2, 3", 1);
    EXPECT_NE(failed.result, 0);
    EXPECT_EQ(failed.count, 0);
    EXPECT_TRUE(Received().empty());  // it never reached the calibrator

    bench_->SetUsbFaults({.absent = true});
    EXPECT_LT(Info(info), 0);
    EXPECT_EQ(info.serial, "");

    // The answer still arrives, but the count says none did.
    bench_->SetUsbFaults({.count0 = true});
    const Command count0 = Send("K1A 0, 5, 2, 3", 1);
    EXPECT_EQ(count0.result, 0);
    EXPECT_EQ(count0.answer, "0");
    EXPECT_EQ(count0.count, 0);

    bench_->SetUsbFaults({.cpRoute = true, .nullIdent = true});
    EXPECT_EQ(Info(info), 0);
    EXPECT_EQ(info.serial, "CPT720-40211");
    EXPECT_EQ(info.ident, "");

    bench_->SetUsbFaults({});
    EXPECT_EQ(Info(info), 0);
    EXPECT_EQ(info.ident, "T720S09 V2.01");
    EXPECT_EQ(Send("K1A 0, 5, 2, 3").count, 1);
}

TEST_F(UsbStandin, WithoutABenchOnlyTheInitialisationCallSucceeds) {
    // No bench has ever listened on this path in this process.
    std::string id, command;
    int32_t count = 0;
    EXPECT_EQ(lib_->CalCommand(-1, id, command, count), 0);

    const Command c = Send("K1A 0, 5, 2, 3", 1);
    EXPECT_NE(c.result, 0);
    EXPECT_EQ(c.count, 0);
    EXPECT_EQ(c.answer, "");  // the command text does not pass for an answer
    UsbCalLibrary::DeviceInfo info;
    const auto status = Info(info, "T720", "T720");
    ASSERT_TRUE(status);
    EXPECT_LT(*status, 0);
    EXPECT_EQ(info.serial, "");
    EXPECT_EQ(info.ident, "");
}

TEST_F(UsbStandin, ABenchThatStopsFailsTheNextCallsAndOneThatReturnsServesThem) {
    StartBench();
    ASSERT_EQ(Send("K1A 0, 5, 2, 3").answer, "0");  // the library now holds a connection
    bench_->Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(socket_)));

    // Each call fails rather than waiting for a bench that is gone.
    for (int i = 0; i < 2; ++i) {
        auto call = std::async(std::launch::async, [this] { return Send("K1A 0, 5, 2, 3"); });
        ASSERT_EQ(call.wait_for(kPatience), std::future_status::ready);
        EXPECT_NE(call.get().result, 0);
    }

    StartBench({"T720-77", "T720S10 V1", 6, 0});
    UsbCalLibrary::DeviceInfo info;
    EXPECT_EQ(Info(info), 0);
    EXPECT_EQ(info.serial, "T720-77");
    EXPECT_EQ(Send("K1A 0, 5, 2, 3").answer, "0");

    // A restart between two calls costs no call at all.
    bench_->Stop();
    StartBench();
    EXPECT_EQ(Send("K1A 0, 5, 2, 3").answer, "0");
}

TEST_F(UsbStandin, ABenchThatHangsCostsACallAboutASecond) {
    // Something listens on the path but never answers: the connection is queued,
    // the request is taken, and no reply ever comes.
    fs::create_directories(fs::path(socket_).parent_path());
    UniqueFd listener = Bound(socket_);
    ASSERT_EQ(listen(listener.get(), 4), 0);

    auto call = std::async(std::launch::async, [this] { return Send("K1A 0, 5, 2, 3", 1); });
    ASSERT_EQ(call.wait_for(kPatience), std::future_status::ready);
    const Command c = call.get();
    EXPECT_NE(c.result, 0);
    EXPECT_EQ(c.count, 0);
}

// The caller's buffers, byte by byte: nothing beyond 255 characters and a NUL.
TEST_F(UsbStandin, NeverWritesPastTheRoomOfACallersBuffer) {
    const std::string longText(400, 'S');
    StartBench({longText, "I" + longText, 6, 0});
    void* handle = dlopen(kStandin.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    using CalCommandFn = int32_t (*)(int32_t, char*, char*, int32_t*);
    using InfoFn =
        int32_t (*)(int32_t*, char*, int32_t*, char*, int32_t*, char*, int32_t*, char*, int32_t*);
    auto calCommand = reinterpret_cast<CalCommandFn>(dlsym(handle, "CalCommand"));
    auto info = reinterpret_cast<InfoFn>(dlsym(handle, "GetUSBDeviceInfo"));
    ASSERT_TRUE(calCommand && info);

    constexpr size_t kRoom = 256;
    struct Guarded {
        char bytes[kRoom + 64];
        Guarded() {
            std::memset(bytes, '#', sizeof bytes);
            bytes[0] = '\0';
        }
        bool GuardIntact() const {
            for (size_t i = kRoom; i < sizeof bytes; ++i)
                if (bytes[i] != '#') return false;
            return true;
        }
    };
    Guarded serial, text2, text3, ident, id, command;
    int32_t n1 = 0, serialLen = 0, len2 = 0, len3 = 0, identLen = 0;
    ASSERT_EQ(info(&n1, serial.bytes, &serialLen, text2.bytes, &len2, text3.bytes, &len3,
                   ident.bytes, &identLen),
              0);
    EXPECT_EQ(serialLen, 255);
    EXPECT_EQ(std::string(serial.bytes), std::string(255, 'S'));
    EXPECT_EQ(std::string(text2.bytes, 7), std::string("(null)", 7));  // text and NUL
    EXPECT_EQ(len2, 6);
    EXPECT_EQ(identLen, 255);
    for (const Guarded* g : {&serial, &text2, &text3, &ident}) EXPECT_TRUE(g->GuardIntact());

    // The identification query's answer is longer than the buffer holds.
    std::strcpy(command.bytes, "SNR?0");
    int32_t count = 0;
    EXPECT_EQ(calCommand(0, id.bytes, command.bytes, &count), 0);
    EXPECT_EQ(std::strlen(command.bytes), 255u);
    EXPECT_EQ(std::string(command.bytes, 3), "\"IS");
    EXPECT_TRUE(command.GuardIntact());
    EXPECT_TRUE(id.GuardIntact());

    // Missing buffers are not written to.
    EXPECT_EQ(calCommand(0, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(info(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr),
              0);
    dlclose(handle);
}

// Clients in plain POSIX, sending what the library never would.
UniqueFd ConnectTo(const std::string& path) {
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (connect(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd.Reset();
    return fd;
}

// What the peer sends until it closes; "<timeout>" appended if it does not.
std::string ReadToEnd(int fd) {
    std::string got;
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(kPatience.count())) <= 0) return got + "<timeout>";
        char buffer[4096];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0) return got;
        got.append(buffer, static_cast<size_t>(n));
    }
}

TEST_F(UsbStandin, ServesClientsOneAfterAnotherAndClosesJunk) {
    StartBench();
    usbwire::CalCommandRequest request;
    request.command.Assign("SNR?1");
    uint8_t frame[usbwire::kMaxFrame];
    const std::string one(reinterpret_cast<char*>(frame), usbwire::Encode(request, frame));
    for (int i = 0; i < 40; ++i) {
        UniqueFd c = ConnectTo(socket_);
        ASSERT_TRUE(c) << i;
        // Two requests in one write, then the end: both answered, in order.
        const std::string twice = one + one;
        ASSERT_EQ(write(c.get(), twice.data(), twice.size()), static_cast<ssize_t>(twice.size()));
        shutdown(c.get(), SHUT_WR);
        const std::string replies = ReadToEnd(c.get());
        const size_t half = replies.size() / 2;
        usbwire::CalCommandReply reply;
        ASSERT_TRUE(half > usbwire::kHeaderBytes &&
                    usbwire::Decode(
                        reinterpret_cast<const uint8_t*>(replies.data()) + usbwire::kHeaderBytes,
                        half - usbwire::kHeaderBytes, reply))
            << i;
        EXPECT_EQ(reply.answer.view(), "\"T720-40211\"");
        EXPECT_EQ(replies.substr(0, half), replies.substr(half));
    }
    EXPECT_EQ(Received().size(), 80u);

    // A frame longer than any request, an unknown kind, a malformed request:
    // each closes its client unanswered, and reaches no calibrator.
    const std::string junk[] = {
        std::string("\xff\xff\xff\x7f", 4),
        std::string("\x01\x00\x00\x00X", 5),
        std::string("\x03\x00\x00\x00"
                    "C\x01\x02",
                    7),
    };
    for (const std::string& bytes : junk) {
        UniqueFd c = ConnectTo(socket_);
        ASSERT_TRUE(c);
        ASSERT_EQ(write(c.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(ReadToEnd(c.get()), "");
    }
    EXPECT_EQ(Received().size(), 80u);
    EXPECT_EQ(Send("DCL").answer, "0");  // the library's own connection was not disturbed
}

TEST(UsbEndpointSocketFile, StaleIsReplacedLiveOrForeignIsLeftAlone) {
    test::TempDir dir;
    const std::string path = dir / "usb.sock";
    Bound(path);  // a socket file whose bench was killed: nobody listens on it
    ASSERT_TRUE(fs::is_socket(path));
    BenchServer first(BenchOptions{.usbSocket = path});
    ASSERT_NO_THROW(first.Start());

    BenchServer second(BenchOptions{.usbSocket = path});
    EXPECT_THROW(second.Open(), std::system_error);
    first.Stop();
    EXPECT_FALSE(fs::exists(fs::symlink_status(path)));

    std::ofstream(path) << "not a socket";
    BenchServer third(BenchOptions{.usbSocket = path});
    EXPECT_THROW(third.Open(), fs::filesystem_error);
    EXPECT_TRUE(fs::is_regular_file(path));
}

}  // namespace
}  // namespace t720::sim
