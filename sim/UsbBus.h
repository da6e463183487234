// The calibrator as the maker's USB library sees it: a CalCommand carries one
// command line to the calibrator model and its answer back; GetUSBDeviceInfo
// reports the calibrator found on the bus. Also the faults of that path (the
// library failing, no device, answers without a count, the route through an
// amplifier's communication processor) and a record of what the program asked.
//
// Pure: no I/O, no lock. The bench calls it under the lock that guards the model.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "sim/CalibratorModel.h"
#include "sim/UsbWire.h"

namespace t720::sim {

struct UsbFaults {
    // CalCommand returns a non-zero result; the command never reaches the calibrator.
    bool fail = false;
    // GetUSBDeviceInfo finds no calibrator (negative status).
    bool absent = false;
    // The calibrator's answer comes back with count 0, as from a bus that lost track
    // of it. The answer text itself is still delivered, so a program that judges
    // the text instead of the count is caught.
    bool count0 = false;
    // The calibrator sits behind a VLM amplifier's communication processor: its
    // serial number reads "CP" + serial.
    bool cpRoute = false;
    // The library marks the identification as absent: "(null)".
    bool nullIdent = false;
    bool operator==(const UsbFaults&) const = default;
};

class UsbBus {
  public:
    // The library's marker for a text it does not have.
    static constexpr std::string_view kAbsent = "(null)";
    static constexpr size_t kRecordCap = 1000;

    struct InfoRequest {
        std::string serialPrefix;  // the program's "/DEV=" value
        std::string identPrefix;   // the program's "/ID=" value
        bool operator==(const InfoRequest&) const = default;
    };

    void SetFaults(const UsbFaults& faults) { faults_ = faults; }
    const UsbFaults& faults() const { return faults_; }

    // Device 0 is the calibrator: the command goes to `model` (and into its record),
    // the answer comes back without its line end, count 1; a silent calibrator
    // gives "" and count 0. The id comes back unchanged. Any other device index,
    // or the fail fault, gives a non-zero result and reaches nobody.
    usbwire::CalCommandReply CalCommand(CalibratorModel& model,
                                        const usbwire::CalCommandRequest& request);

    // Status 0 with the model's serial number and identification; text2 and text3
    // "(null)", n1 0. Records the prefixes the program sent.
    usbwire::DeviceInfoReply DeviceInfo(const CalibratorModel& model,
                                        const usbwire::DeviceInfoRequest& request);

    // Device-info requests, oldest first (the latest kRecordCap).
    const std::deque<InfoRequest>& infoRequests() const { return infoRequests_; }
    // CalCommand calls answered with a failure (fault or unknown device).
    uint64_t failedCalls() const { return failedCalls_; }
    void ClearRecord();

  private:
    UsbFaults faults_;
    std::deque<InfoRequest> infoRequests_;
    uint64_t failedCalls_ = 0;
};

}  // namespace t720::sim
