#include "link/Calibrator.h"

#include "app/Wait.h"
#include "link/CalCommands.h"
#include "link/LineTransport.h"

namespace t720 {

Calibrator::Calibrator(SharedState& state, SerialPort& comm1, UsbCalLibrary& library, Clock& clock,
                       std::function<void()> repaint)
    : s_(state), comm1_(comm1), library_(library), clock_(clock), repaint_(std::move(repaint)) {}

void Calibrator::SendSetting(int32_t beep) {
    if (repaint_) repaint_();
    s_.BeepOn = beep;
    int32_t count = beep;  // the library's answer-count argument, passed on between calls
    const std::string k1a = K1AText(s_);
    const std::string k1b = K1BText(s_.ReadyOn, beep, s_.LoadHigh);

    if (s_.LinkType != kLinkUsb) {
        std::string k1bAnswer = "x";
        const std::string k1aAnswer = QueryCom(comm1_, k1a, clock_);
        if (SerialSendsK1B(k1aAnswer)) k1bAnswer = QueryCom(comm1_, k1b, clock_);
        s_.AnswerStatus = SerialVerdict(k1aAnswer, k1bAnswer);
        return;
    }
    if (s_.UsbDllMissing) return;

    std::string k1aAnswer = k1a;
    const auto r1 = library_.CalCommand(s_.LinkType - 1, s_.DeviceId, k1aAnswer, count);
    std::string k1bAnswer = k1b;
    const auto r2 = library_.CalCommand(s_.LinkType - 1, s_.DeviceId, k1bAnswer, count);
    // A call that cannot be made at all counts as a failed call.
    const bool failed = !r1 || *r1 != 0 || !r2 || *r2 != 0;
    s_.AnswerStatus = UsbVerdict(failed, k1aAnswer, k1bAnswer, count);
}

void Calibrator::DeviceClear() {
    if (s_.LinkType == kLinkUsb && !s_.UsbDllMissing) {
        std::string command(kDeviceClear);
        int32_t count = 0;
        library_.CalCommand(0, s_.DeviceId, command, count);
        Wait(0.1f, clock_);
    }
    if (comm1_.PortOpen() && (s_.LinkType == kLinkCom1 || s_.LinkType == kLinkComX)) {
        WriteLineCom(comm1_, kDeviceClear);
        Wait(0.1f, clock_);
        comm1_.SetPortOpen(false);
    }
}

std::string RelayCleaning::Note() const {
    if (failed == 0 && notSent == 0) return {};
    std::string note = "Relay cleaning: " + std::to_string(failed) + " of 100 commands failed";
    if (notSent > 0)
        note += ", " + std::to_string(notSent) + " not sent: the calibrator stopped answering";
    return note;
}

RelayCleaning Calibrator::CleanRelays() {
    // The library answers into the buffer it is given, so every call gets a fresh
    // copy of the pattern built once here.
    const std::string pattern = K1TPatternText(s_.RelayByte);
    int32_t count = 0;
    RelayCleaning outcome;
    int made = 0;
    int failedInRow = 0;
    const double start = clock_.Now();
    auto call = [&](std::string_view text) {
        std::string command(text);
        const auto result = library_.CalCommand(0, s_.DeviceId, command, count);
        const bool failed = !result || *result != 0;
        outcome.failed += failed ? 1 : 0;
        failedInRow = failed ? failedInRow + 1 : 0;
        ++made;
        Wait(0.02f, clock_);
    };
    // A calibrator that stopped answering makes each call wait out the library's
    // own time-out (a second or more): once the sequence has taken well over its
    // 2 s and the last calls all failed, the rest are not sent, so the window is
    // not held for minutes. A slow line that answers, with a failure now and then,
    // and calls that fail at once, still get all 100 calls.
    for (int i = 0; i < 50; ++i) {
        if (failedInRow >= kRelayCleaningFailuresInRow &&
            clock_.Now() - start > kRelayCleaningPatience)
            break;
        // Each pattern call starts from count 0; the all-off call after it gets
        // whatever the library left in the same variable.
        count = 0;
        call(pattern);
        call(kRelaysAllOff);
    }
    outcome.notSent = 100 - made;
    return outcome;
}

bool Calibrator::InitialiseLibrary() {
    std::string id;
    std::string command;
    int32_t count = 0;
    return library_.CalCommand(-1, id, command, count).has_value();
}

}  // namespace t720
