// The main window's three operations on the calibrator: SendSetting transmits the
// whole wanted output and judges the answers, DeviceClear releases the link, and
// the relay-cleaning sequence exercises the output relays. The transport is chosen
// by LinkType: the serial line (COM1 / COMx) or the maker's USB library.
#pragma once

#include <functional>
#include <string>

#include "app/Clock.h"
#include "app/SharedState.h"
#include "link/SerialPort.h"
#include "link/UsbCalLibrary.h"

namespace t720 {

// How a relay-cleaning sequence went: of its 100 calls, those that could not be
// made or reported failure, and those not sent because the calibrator had stopped
// answering.
struct RelayCleaning {
    int failed = 0;
    int notSent = 0;
    // The operator's note; "" when every call went through.
    std::string Note() const;
};

class Calibrator {
  public:
    // `repaint` shows the window's current state before a transmission blocks it.
    Calibrator(SharedState& state, SerialPort& comm1, UsbCalLibrary& library, Clock& clock,
               std::function<void()> repaint = {});

    // K1A then K1B with the given beep argument (stored in BeepOn); the verdict goes
    // to AnswerStatus. With the USB link and UsbDllMissing set nothing is sent and
    // AnswerStatus keeps its value.
    void SendSetting(int32_t beep);

    // "DCL" through the library (USB link) or on the open serial port, which is then
    // closed. With the USB link an open serial port is left alone.
    void DeviceClear();

    // 50 × (relay pattern, pause 0.02 s, all relays off, pause 0.02 s) through the
    // library, device 0, whatever the link. A calibrator that has stopped answering
    // (kRelayCleaningFailuresInRow failed calls in a row once kRelayCleaningPatience
    // seconds have gone) ends the sequence early, after an all-off call.
    RelayCleaning CleanRelays();
    static constexpr double kRelayCleaningPatience = 5.0;
    static constexpr int kRelayCleaningFailuresInRow = 3;

    // The library's initialisation call CalCommand(-1, "", "", 0). False when the
    // call cannot be made at all (library file or entry point missing).
    bool InitialiseLibrary();

    // Set once the window exists (it is built after the calibrator's owner).
    void SetRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }

    SerialPort& Comm1() { return comm1_; }
    UsbCalLibrary& Library() { return library_; }
    Clock& TimeBase() { return clock_; }

  private:
    SharedState& s_;
    SerialPort& comm1_;
    UsbCalLibrary& library_;
    Clock& clock_;
    std::function<void()> repaint_;
};

}  // namespace t720
