// The stand-in USB library against the bench's socket endpoint: loaded through the
// program's own loader (and, where the bytes of the caller's buffers matter, with
// plain dlopen), talking to a real BenchServer. What the program's calls do
// through it is tested with the program's own passes (tests/supervision).
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>

#include "tests/sim/LinkClient.h"
#include "tests/support/BenchRig.h"

namespace t720::sim {
namespace {

class UsbStandin : public ::testing::Test, protected t720::test::BenchRig {
  protected:
    int32_t Send(int32_t device, std::string& command) {
        std::string id = "T720-40211";
        int32_t count = 0;
        return lib_->CalCommand(device, id, command, count).value_or(-9999);
    }

    std::unique_ptr<UsbCalLibrary> lib_ = t720::test::LoadStandin();
};

// The faults the supervision tests switch on must reach the program as the
// library's results, and a failed call must reach no calibrator.
TEST_F(UsbStandin, ForwardsTheSearchAndTheCommandsOfDeviceZeroOnly) {
    StartBench({.usbSocket = usbSocket});
    UsbCalLibrary::DeviceInfo info;
    EXPECT_EQ(lib_->GetUSBDeviceInfo("T720", "QV", info), 0);
    EXPECT_EQ(info.serial, "T720-40211");
    EXPECT_EQ(bench->WithUsb([](const UsbBus& u) { return u.infoRequests(); }),
              (std::deque<UsbBus::InfoRequest>{{"T720", "QV"}}));
    std::string command = "SNR?0";
    EXPECT_EQ(Send(0, command), 0);
    EXPECT_EQ(command, "\"T720S09 V2.01\"");

    command = "K1B 0,0,0, 0";
    EXPECT_NE(Send(1, command), 0);
    bench->SetUsbFaults({.fail = true});
    command = "K1A 0, 5, 2, 3";
    EXPECT_NE(Send(0, command), 0);
    EXPECT_EQ(CalibratorRecord(), std::vector<std::string>{"SNR?0"});

    bench->SetUsbFaults({.absent = true});
    EXPECT_LT(lib_->GetUSBDeviceInfo("", "", info), 0);
    EXPECT_EQ(info.serial, "");
}

// The caller's buffers, byte by byte: nothing beyond 255 characters and a NUL.
TEST_F(UsbStandin, NeverWritesPastTheRoomOfACallersBuffer) {
    const std::string longText(400, 'S');
    StartBench({.identity = {longText, "I" + longText, 6, 0}, .usbSocket = usbSocket});
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
        Guarded() { std::memset(bytes, '#', sizeof bytes), bytes[0] = '\0'; }
        bool GuardIntact() const {
            return std::all_of(bytes + kRoom, std::end(bytes), [](char c) { return c == '#'; });
        }
    };
    Guarded serial, text2, text3, ident, id, command;
    int32_t n1 = 0, serialLen = 0, len2 = 0, len3 = 0, identLen = 0;
    ASSERT_EQ(info(&n1, serial.bytes, &serialLen, text2.bytes, &len2, text3.bytes, &len3,
                   ident.bytes, &identLen),
              0);
    EXPECT_EQ(std::string(serial.bytes), std::string(255, 'S'));
    EXPECT_EQ(identLen, 255);
    std::strcpy(command.bytes, "SNR?0");  // answered with 402 characters
    int32_t count = 0;
    EXPECT_EQ(calCommand(0, id.bytes, command.bytes, &count), 0);
    EXPECT_EQ(std::strlen(command.bytes), 255u);
    for (const Guarded* g : {&serial, &text2, &text3, &ident, &id, &command})
        EXPECT_TRUE(g->GuardIntact());
    dlclose(handle);
}

}  // namespace
}  // namespace t720::sim
