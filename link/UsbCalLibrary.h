// The maker's USB calibrator library, reached through its two C functions:
//
//   int32_t CalCommand(int32_t device, char* id, char* command, int32_t* count)
//   int32_t GetUSBDeviceInfo(int32_t* n1, char* serial, int32_t* serialLen,
//                            char* text2, int32_t* len2, char* text3, int32_t* len3,
//                            char* ident, int32_t* identLen)
//
// Texts are zero-terminated 8-bit buffers that the caller owns and the library may
// overwrite. Every call returns nullopt when it cannot be made at all (the library
// file or one of its entry points is missing); otherwise the library's result.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace t720 {

class UsbCalLibrary {
  public:
    virtual ~UsbCalLibrary() = default;

    // `id` and `command` go in as texts and come back as the library left them
    // (the answer in `command`); `count` is the answer count, 0 when none came.
    virtual std::optional<int32_t> CalCommand(int32_t device, std::string& id, std::string& command,
                                              int32_t& count) = 0;

    struct DeviceInfo {
        int32_t n1 = 0;
        std::string serial, text2, text3, ident;  // cut to the lengths the library set
    };
    // `serialPrefix` and `identPrefix` seed the serial-number and identification
    // buffers ("/DEV=" and "/ID=" of the command line). The texts a library marks
    // as absent, "(null)", come back empty.
    virtual std::optional<int32_t> GetUSBDeviceInfo(const std::string& serialPrefix,
                                                    const std::string& identPrefix,
                                                    DeviceInfo& info) = 0;
};

// Where the library file is looked for, in this order: the full path in
// T720_USBCAL_LIBRARY; the program's own directory; the system's library search.
// Never the current working directory.
struct UsbLibrarySearch {
    std::string overridePath;  // from T720_USBCAL_LIBRARY; empty when unset
    std::string programDir;    // directory of the running program
    static UsbLibrarySearch FromEnvironment();
};

// The library file's name on this platform.
const char* UsbLibraryFileName();

// Loads the library on first use, and again on a later call while it is missing.
std::unique_ptr<UsbCalLibrary> MakeLoadedUsbCalLibrary(UsbLibrarySearch search);

// Room given to every text buffer, so that no answer can write past it.
inline constexpr size_t kUsbBufferSize = 256;

}  // namespace t720
