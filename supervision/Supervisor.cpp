#include "supervision/Supervisor.h"

#include <algorithm>

#include "link/LineTransport.h"
#include "link/NumberText.h"
#include "supervision/Identification.h"

namespace t720 {

namespace {

constexpr const char* kIndicator[4] = {"Data transfer: |", "Data transfer: /", "Data transfer: --",
                                       "Data transfer: \\"};

}  // namespace

const char* FaultText(int32_t linkType, int32_t answerStatus) {
    const bool usb = linkType == kLinkUsb;
    switch (answerStatus) {
        case kAnswerCondition:
            return "T720 bell !";
        case kAnswerNone:
            return usb ? "No T720 connected to USB bus !" : "No answer from T720";
        case kAnswerEmpty:
            return usb ? "No answer from USB bus !" : nullptr;
        default:
            return nullptr;
    }
}

Supervisor::Supervisor(SharedState& state, Calibrator& calibrator, MainWindowView& window,
                       std::function<LinearityView&()> linearity)
    : s_(state), cal_(calibrator), win_(window), linearityFactory_(std::move(linearity)) {}

void Supervisor::TimerTick() {
    if (inPass_) return;
    s_.TickCountdown = static_cast<int16_t>(s_.TickCountdown - 1);
    if (s_.TickCountdown >= 1) return;
    s_.TickCountdown = 10;
    inPass_ = true;
    Pass();
    inPass_ = false;
    if (replan_) replan_();
}

void Supervisor::CountIdleTicks(int ticks) {
    if (inPass_ || ticks <= 0) return;
    const int floor = s_.TickCountdown < 1 ? s_.TickCountdown : 1;
    s_.TickCountdown = static_cast<int16_t>(std::max(s_.TickCountdown - ticks, floor));
}

void Supervisor::RequestPass() {
    if (s_.LinkState != kLinkConnected) return;
    s_.TickCountdown = 1;
    if (replan_) replan_();
}

void Supervisor::Pass() {
    idText_.clear();
    s_.TransferPhase = static_cast<int16_t>(s_.TransferPhase + 1);
    if (s_.TransferPhase >= 4) s_.TransferPhase = 0;
    win_.SetStatusPanel1(kIndicator[s_.TransferPhase]);

    // Each step hands over to the next within the same pass.
    if (s_.LinkState == kLinkSearching) DiscoveryStep();
    if (s_.LinkState == kLinkFound) ConnectionStep();
    const bool polled = s_.LinkState == kLinkConnected;
    if (polled) {
        if (s_.SetupPhase == 0) SetupStep();
        cal_.SendSetting(s_.BeepOn);
        if (!s_.StopRequest) FaultReport();
        // Before a run that this pass may start holds it.
        if (passObserver_) passObserver_(true);
        if (s_.ScanRequest) s_.LinkState = kLinkLinearityRun;
    }
    if (s_.LinkState == kLinkLinearityRun) RunStep();
    if (s_.LinkState == kLinkRedisplay) RedisplayStep();
    if (!polled && passObserver_) passObserver_(false);
}

void Supervisor::DiscoveryStep() {
    s_.StopRequest = false;  // ClearStopRequest
    win_.HideTextremo();
    win_.SetMessages("");
    win_.SetMessagesColour(kBlack);
    if (s_.UsbDllMissing) {
        win_.SetMessagesColour(kRed);
        win_.SetMessages("Error: ZORUSBCAL.DLL not found !\r\nno operation possible");
        return;
    }
    if (s_.LinkType == kLinkUsb)
        DiscoverUsb();
    else
        DiscoverSerial();
}

void Supervisor::DiscoverUsb() {
    win_.SetLinkButtonColour(LinkButton::Usb, kYellow);
    UsbCalLibrary::DeviceInfo info;
    const auto status = cal_.Library().GetUSBDeviceInfo(s_.DevArg, s_.IdArg, info);
    s_.DeviceId = info.serial;
    idText_ = info.ident;
    if (status && *status >= 0) {
        s_.LinkState = kLinkFound;
        if (s_.DeviceId.rfind("CP", 0) == 0) {
            win_.SetMessages("Connected via VLM + CP, USB device\r\nSNo: " + s_.DeviceId);
        } else {
            win_.SetMessages("Connected to ZOR USB device\r\nSNo: " + s_.DeviceId +
                             "     ID: " + idText_);
        }
        SetChannelCount();
        win_.SetHBrVisible(false);
        win_.ClearHBr();
        if (OffersHalfBridge(s_.DeviceId)) win_.SetHBrVisible(true);
        win_.SetLinkButtonColour(LinkButton::Usb, kGreenPure);
    } else {
        win_.SetMessagesColour(kRed);
        win_.SetMessages("\r\n\r\nno USB device found");
    }
    s_.AnswerStatus = 0;
}

void Supervisor::DiscoverSerial() {
    SerialPort& port = cal_.Comm1();
    const int comm = s_.LinkType == kLinkCom1 ? 1 : 2 + s_.ComIncr;
    port.SetCommPort(static_cast<int16_t>(comm));
    port.SetSettings("9600,E,8,1");
    port.SetPortOpen(true);
    if (!port.PortOpen()) {
        win_.SetMessagesColour(kRed);
        win_.SetMessages("Error accessing COM port");
        const std::string why = port.OpenProblem();
        win_.SetPortProblem(why.empty() ? why : "COM" + std::to_string(comm) + ": " + why);
        return;
    }
    win_.SetPortProblem({});
    win_.SetLinkButtonColour(s_.LinkType == kLinkCom1 ? LinkButton::Com1 : LinkButton::Com2,
                             kGreenPure);
    idText_ = CleanSerialAnswer(QueryCom(port, "SNR?0", cal_.TimeBase()));
    s_.DeviceId = CleanSerialAnswer(QueryCom(port, "SNR?1", cal_.TimeBase()));
    win_.SetMessages("Connection via serial line\r\nSNo: " + s_.DeviceId + "     ID: " + idText_);
    SetChannelCount();
    s_.LinkState = kLinkFound;
}

void Supervisor::SetChannelCount() {
    if (HasSixteenChannels(idText_)) {
        win_.SetChannelsAbove8(true);
        return;
    }
    win_.SetChannelsAbove8(false);
    if (s_.ChannelNo > 8) {
        s_.ChannelNo = 0;
        // Keep the display with what is sent: the channel bar, buttons and label
        // follow to 0 instead of showing the dropped channel.
        win_.SetChanScroll(0);
    }
}

void Supervisor::ConnectionStep() {
    connectedId_ = idText_;
    s_.BeepOn = 0;
    s_.LinkState = kLinkConnected;
    s_.ScanRequest = false;
    s_.SetupPhase = 0;
}

void Supervisor::SetupStep() {
    win_.SetRangeScrollWidth(2295);
    win_.SetSixthRangeVisible(false);

    // Probe: does the calibrator accept range index 6? Sent with the neutral sign.
    const int32_t range = s_.RangeIdx;
    const int32_t sign = s_.SignFlag;
    s_.SignFlag = 128;
    s_.RangeIdx = 6;
    cal_.SendSetting(s_.BeepOn);
    s_.RangeIdx = range;
    s_.SignFlag = sign;

    s_.RangeTab = kStandardRanges;
    if (const auto variant = VariantRanges(idText_))
        for (int i = 0; i < 5; ++i) s_.RangeTab[i + 1] = (*variant)[i];

    if (s_.AnswerStatus == kAnswerAccepted) {
        win_.SetRangeScrollWidth(2755);
        win_.SetRangeScrollMax(6);
        win_.SetSixthRangeVisible(true);
        s_.SetupPhase = 2;
    } else {
        if (win_.RangeScrollValue() == 6) win_.SetRangeScroll(5);
        win_.SetRangeScrollMax(5);
        s_.SetupPhase = 1;
    }
    win_.ShowRange();
}

void Supervisor::FaultReport() {
    win_.HideTextremo();
    if (s_.LinkType == kLinkUsb && s_.AnswerStatus == kAnswerLibraryFailed) {
        s_.LinkState = kLinkSearching;  // the next pass searches again
        return;
    }
    if (const char* text = FaultText(s_.LinkType, s_.AnswerStatus)) win_.ShowTextremo(text);
}

LinearityView* Supervisor::Linearity() {
    return linearityFactory_ ? &linearityFactory_() : nullptr;
}

void Supervisor::RunStep() {
    if (s_.ScanRequest) {
        s_.ScanRequest = false;
        win_.SetEnabled(false);
        LinearityView* results = Linearity();
        // A run needs its window in use, whatever an earlier stop left it: its
        // status bar is where the operator stops the run.
        if (results) {
            results->SetEnabled(true);
            results->Show();
        }
        win_.SetStatusPanel1("");
        if (results) results->Scan();
    }
    // A stop click while the shunt search runs is the search's: the search ends at
    // its next check and clears the request, and the linearity mode stays (the
    // next click ends it). Otherwise it would depend on whether this pass or the
    // search saw the click first.
    LinearityView* const window = linearityFactory_ ? Linearity() : nullptr;
    if (s_.StopRequest && !(window && window->Searching())) {
        s_.StopRequest = false;
        LinearityView* results = window;
        if (results) {
            results->ScanEnd();
            results->SetEnabled(false);
        }
        win_.SetEnabled(true);
        s_.ScanEnded = true;
        s_.LinkState = kLinkConnected;
    }
}

void Supervisor::RedisplayStep() {
    LinearityView* results = Linearity();
    if (results) results->SetEnabled(true);
    win_.SetStatusPanel1("");
    if (results) results->Scanx();
    s_.LinkState = kLinkLinearityRun;
}

void Supervisor::OpenComPort(int32_t linkType, bool clearFirst) {
    s_.StopRequest = false;
    win_.SetLinkButtonColour(LinkButton::Usb, kSysButtonFace);
    win_.SetLinkButtonColour(LinkButton::Com1, kSysButtonFace);
    win_.SetLinkButtonColour(LinkButton::Com2, kSysButtonFace);
    win_.SetCom2Caption("COM" + SignPos(2 + s_.ComIncr));
    win_.SetPortProblem({});
    if (clearFirst) cal_.DeviceClear();
    s_.LinkType = linkType;
    if (linkType == kLinkUsb) {
        win_.SetLinkButtonColour(LinkButton::Usb, kYellow);
        if (!cal_.InitialiseLibrary()) {
            s_.LinkState = kLinkSearching;
            s_.UsbDllMissing = true;
            return;
        }
        s_.UsbDllMissing = false;
    } else if (linkType == kLinkCom1) {
        win_.SetLinkButtonColour(LinkButton::Com1, kYellow);
        s_.UsbDllMissing = false;
    } else if (linkType == kLinkComX) {
        win_.SetLinkButtonColour(LinkButton::Com2, kYellow);
        s_.UsbDllMissing = false;
    }
    s_.LinkState = kLinkSearching;
    s_.TransferPhase = 0;
    win_.Repaint();
    TimerTick();
}

void Supervisor::CommandCOM2RightPress() {
    if (s_.LinkType != kLinkComX) return;
    s_.ComIncr = static_cast<int16_t>(s_.ComIncr + 1);
    if (s_.ComIncr > 7) s_.ComIncr = 0;
    OpenComPort(kLinkComX, true);
}

}  // namespace t720
