// The stand-in USB library against the bench's socket endpoint: loaded through the
// program's own loader (and, where the bytes of the caller's buffers matter,
// with plain dlopen), talking to a real BenchServer.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>

#include "tests/sim/LinkClient.h"
#include "tests/support/BenchRig.h"

namespace t720::sim {
namespace {

using test::kPatience;
namespace fs = std::filesystem;

// A local socket bound to `path` (not yet listening), or connected to it: in plain
// POSIX, for a bench that never answers and for clients that send what the library
// never would.
template <class Op>
UniqueFd UnixSocket(const std::string& path, Op op) {
    UniqueFd fd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    if (op(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) fd.Reset();
    return fd;
}
UniqueFd Bound(const std::string& path) {
    return UnixSocket(path, bind);
}
UniqueFd ConnectTo(const std::string& path) {
    return UnixSocket(path, connect);
}

struct Command {
    int32_t result = 0;
    std::string answer;
    int32_t count = 0;
    std::string id;
};

class UsbStandin : public ::testing::Test, protected t720::test::BenchRig {
  protected:
    void Start(CalibratorModel::Identity identity = {}) {
        StartBench({.identity = std::move(identity), .usbSocket = usbSocket});
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

    std::unique_ptr<UsbCalLibrary> lib_ = t720::test::LoadStandin();
};

// What the program's calls do through the library is tested with the program's own
// passes (tests/supervision, tests/link); here, what only the library and the bench see.
TEST_F(UsbStandin, ForwardsTheSearchAndTheCommandsOfDeviceZeroOnly) {
    Start();
    UsbCalLibrary::DeviceInfo info;
    EXPECT_EQ(Info(info, "T720", "QV"), 0);
    EXPECT_EQ(info.serial, "T720-40211");
    EXPECT_EQ(bench->WithUsb([](const UsbBus& u) { return u.infoRequests(); }),
              (std::deque<UsbBus::InfoRequest>{{"T720", "QV"}}));
    EXPECT_EQ(Send("SNR?0").answer, "\"T720S09 V2.01\"");

    // Only device 0 is a calibrator, and a failing path reaches nobody.
    std::string id, command = "K1B 0,0,0, 0";
    int32_t count = 0;
    EXPECT_NE(lib_->CalCommand(1, id, command, count), 0);
    bench->SetUsbFaults({.fail = true});
    const Command failed = Send("K1A 0, 5, 2, 3", 1);
    EXPECT_NE(failed.result, 0);
    EXPECT_EQ(failed.count, 0);
    EXPECT_EQ(CalibratorRecord(), std::vector<std::string>{"SNR?0"});

    bench->SetUsbFaults({.absent = true});
    EXPECT_LT(Info(info), 0);
    EXPECT_EQ(info.serial, "");
}

TEST_F(UsbStandin, ARestartOfTheBenchBetweenTwoCallsCostsNoCall) {
    Start();
    ASSERT_EQ(Send("K1A 0, 5, 2, 3").answer, "0");  // the library now holds a connection
    Start({"T720-77", "T720S10 V1", 6, 0});         // the old bench stopped, a new one
    UsbCalLibrary::DeviceInfo info;
    EXPECT_EQ(Info(info), 0);
    EXPECT_EQ(info.serial, "T720-77");
    EXPECT_EQ(Send("K1A 0, 5, 2, 3").answer, "0");
}

TEST_F(UsbStandin, ABenchThatHangsCostsACallAboutASecond) {
    // Something listens on the path but never answers: the connection is queued,
    // the request is taken, and no reply ever comes.
    UniqueFd listener = Bound(usbSocket);
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
    Start({longText, "I" + longText, 6, 0});
    void* handle = dlopen(t720::test::kStandin.c_str(), RTLD_NOW | RTLD_LOCAL);
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
    Start();
    usbwire::CalCommandRequest request;
    request.command.Assign("SNR?1");
    uint8_t frame[usbwire::kMaxFrame];
    const std::string one(reinterpret_cast<char*>(frame), usbwire::Encode(request, frame));
    for (int i = 0; i < 40; ++i) {
        UniqueFd c = ConnectTo(usbSocket);
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
    EXPECT_EQ(CalibratorRecord().size(), 80u);

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
        UniqueFd c = ConnectTo(usbSocket);
        ASSERT_TRUE(c);
        ASSERT_EQ(write(c.get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        EXPECT_EQ(ReadToEnd(c.get()), "");
    }
    EXPECT_EQ(CalibratorRecord().size(), 80u);
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
