// The program-wide state that both windows, the supervision timer and the
// transports share. Everything runs on the one GUI thread, so there is no locking:
// whoever holds a reference reads and writes the fields directly.
//
// Widths: what the calibrator is set to (link, range, channel, sign, percent, beep,
// ready, load), its range table, the verdicts of its calls and the relay mask are
// int32_t, as the maker's USB library takes and gives whole numbers; the program's
// own counters and phases, the COM offset and the relay bytes are int16_t; flags are
// bool; texts are the device's 8-bit bytes in std::string, made UTF-8 only where
// they are shown or written.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "app/RangeTable.h"

namespace t720 {

// LinkState values.
enum : int16_t {
    kLinkSearching = 0,
    kLinkFound = 1,
    kLinkConnected = 2,
    kLinkLinearityRun = 3,
    kLinkRedisplay = 4,
};

// LinkType values.
enum : int32_t {
    kLinkUsb = 1,
    kLinkCom1 = 2,
    kLinkComX = 3,
};

// AnswerStatus values: the verdict of one SendSetting.
enum : int32_t {
    kAnswerLibraryFailed = 0,
    kAnswerCondition = 1,
    kAnswerAccepted = 2,
    kAnswerNone = 3,
    kAnswerEmpty = 4,
};

struct SharedState {
    // --- program-wide fields, in declaration order ---
    int32_t LinkType = 0;               // 1 USB library, 2 COM1, 3 COM(2 + ComIncr)
    int32_t BeepOn = 0;                 // beep argument of the last SendSetting
    int32_t RangeIdx = 0;               // 1..6
    int32_t ChannelNo = 0;              // 0..8, or 0..15 behind a QV310 amplifier
    int32_t SignFlag = 0;               // 0 plus, 1 minus, 128 neutral (set-up probe only)
    int32_t ProzStep = 0;               // 0..10, tens of percent of full scale
    int32_t ReadyOn = 0;                // first field of K1B
    int32_t HalfBridge = 0;             // folded into the K1A sign code
    RangeTable RangeTab{};              // mV/V per range index (app/RangeTable.h)
    std::string SignText;               // "+" or "-"
    double RangeMvV = 0.0;              // full scale of the selected range, mV/V
    int32_t LoadHigh = 0;               // last field of K1B
    int32_t LoadMode = 0;               // 1: the special button is the load toggle
    int32_t AnswerStatus = 0;           // verdict of the last SendSetting (0..4)
    bool UsbDllMissing = false;         // the USB library cannot be called at all
    std::string DeviceId;       // serial-number text / route ("CP..."); in/out for the library
    bool StopRequest = false;   // a status-bar panel was clicked
    bool ScanRequest = false;   // start a linearity run on the next pass
    bool ScanEnded = false;     // a run has been stopped: re-display allowed
    int16_t SetupPhase = 0;     // 0 not configured, 1 five ranges, 2 six ranges
    int16_t TickCountdown = 0;  // timer ticks until the next supervision pass
    int16_t LinkState = 0;      // see kLink* above

    // --- fields of the main window, in declaration order ---
    int16_t TransferPhase = 0;           // phase 0..3 of the "Data transfer:" indicator
    int16_t ComIncr = 0;                 // variable serial port is COM(2 + ComIncr), 0..7
    std::string DevArg;                  // value of the "/DEV=" switch
    std::string IdArg;                   // value of the "/ID=" switch
    int32_t RelayMask = 0;               // "/Relais(" number while it is split into bytes
    std::array<int16_t, 4> RelayByte{};  // relay-cleaning pattern, least significant byte first
};

}  // namespace t720
