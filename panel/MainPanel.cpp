#include "panel/MainPanel.h"

#include <algorithm>

#include "app/QtText.h"
#include "link/NumberText.h"

namespace t720 {

std::string ChanLabelText(int32_t channel) {
    return "Channel " + SignPos(channel);
}

std::string RangeLabelText(int32_t fullScale) {
    if (fullScale == kHalfMvVEntry)
        return "Range " + FormatLocal(FullScaleMvV(fullScale), " #0.0") + " mV/V";
    return "Range " + SignPos(fullScale) + " mV/V";
}

std::string ProzLabelText(bool minus, int32_t step, double rangeMvV, bool twoDecimals) {
    double value = static_cast<double>(step) * rangeMvV / 10.0;
    if (minus) value = -value;
    return std::string(minus ? "-" : "+") + SignPos(step * 10) +
           " % = " + FormatLocal(value, twoDecimals ? " ###0.00" : " ###0.0") + " mV/V";
}

MainPanel::MainPanel(SharedState& state, Calibrator& calibrator) : s_(state), cal_(calibrator) {}

// ---------------------------------------------------------------- start-up, shutdown

void MainPanel::Startup(SettingsFile& settings, const std::string& commandLine) {
    s_.LinkState = kLinkSearching;
    s_.TransferPhase = 0;
    const Switches sw = ParseSwitches(commandLine);
    m_.title = kProgramTitle;

    const StoredProperties p = settings.Load();
    s_.RangeIdx = p.RangeIdx;
    s_.ChannelNo = p.ChannelNo;
    s_.SignFlag = p.SignFlag;
    s_.ProzStep = p.ProzStep;
    s_.ComIncr = p.ComIncr;
    s_.LinkType = p.LinkType;

    m_.Commandsp.visible = m_.Commandsp.enabled = false;
    m_.RelRef.visible = m_.RelRef.enabled = false;
    s_.LoadHigh = 0;
    s_.LoadMode = 0;

    if (sw.linearity) {
        m_.Commandsp.visible = m_.Commandsp.enabled = true;
    } else if (sw.load) {
        m_.Commandsp.visible = m_.Commandsp.enabled = true;
        m_.Commandsp.caption = "Load high";
        s_.LoadMode = 1;
    } else if (sw.relayMask) {
        s_.RelayMask = *sw.relayMask;
        s_.RelayByte = RelayBytes(s_.RelayMask);
        m_.RelRef.visible = m_.RelRef.enabled = true;
    }
    if (sw.dev) s_.DevArg = *sw.dev;
    if (sw.id) s_.IdArg = *sw.id;
    m_.title = WindowTitle(sw);

    s_.RangeTab = kStandardRanges;

    if (sup_) sup_->OpenComPort(s_.LinkType, false);  // runs the first pass

    if (s_.ChannelNo > m_.ChanScroll.max) s_.ChannelNo = m_.ChanScroll.max;
    m_.ChanLabel = ChanLabelText(s_.ChannelNo);
    SetChanScroll(s_.ChannelNo);
    SetProzScroll(s_.ProzStep);
    if (s_.RangeIdx > m_.RangeScroll.max) s_.RangeIdx = m_.RangeScroll.max;
    SetRangeScroll(s_.RangeIdx);
    if (s_.SignFlag != 0)
        MinusClick();
    else
        PlusClick();

    if (s_.LinkType == kLinkUsb) s_.UsbDllMissing = !cal_.InitialiseLibrary();

    // The scroll bars run their change operations only when a value differs from
    // the layout's; run them once so the range and percent displays always match
    // the loaded values.
    RangeScrollChange(m_.RangeScroll.value);
    ProzScrollChange(m_.ProzScroll.value);

    m_.statusNote = settings.Note();
}

bool MainPanel::Shutdown(SettingsFile& settings) {
    cal_.DeviceClear();
    return settings.Save(s_);
}

// ---------------------------------------------------------------- selection

void MainPanel::RequestPass() {
    if (sup_) sup_->RequestPass();
}

void MainPanel::ChannelClick(int n) {
    SetChanScroll(n);
    RequestPass();
}

void MainPanel::SetChanScroll(int value) {
    value = std::clamp(value, m_.ChanScroll.min, m_.ChanScroll.max);
    if (value == m_.ChanScroll.value) return;
    m_.ChanScroll.value = value;
    ChanScrollChange(value);
}

void MainPanel::ChanScrollChange(int value) {
    m_.ChanScroll.value = value;
    s_.ChannelNo = value;
    SelectChannel(value);
    m_.ChanLabel = ChanLabelText(s_.ChannelNo);
    RequestPass();
}

void MainPanel::SelectChannel(int n) {
    if (n >= 0 && n < 16) m_.channelSelected = n;
}

void MainPanel::RangeClick(int i) {
    SetRangeScroll(i + 1);
    RequestPass();
}

void MainPanel::SetRangeScroll(int value) {
    value = std::clamp(value, m_.RangeScroll.min, m_.RangeScroll.max);
    if (value == m_.RangeScroll.value) return;
    m_.RangeScroll.value = value;
    RangeScrollChange(value);
}

void MainPanel::RangeScrollChange(int value) {
    m_.RangeScroll.value = value;
    s_.RangeIdx = value;
    SelectRange(value - 1);
    ShowRangeLabel();
    ProzDisplay();
    RequestPass();
}

void MainPanel::SelectRange(int i) {
    if (i >= 0 && i < 6) m_.rangeSelected = i;
}

void MainPanel::ShowRange() {
    ShowRangeLabel();
    ProzLabelRefresh();
}

void MainPanel::ShowRangeLabel() {
    // The range index never leaves 1..6; guard the table all the same.
    const int idx = std::clamp<int32_t>(s_.RangeIdx, 1, 6);
    const int32_t fullScale = s_.RangeTab[static_cast<size_t>(idx)];
    s_.RangeMvV = FullScaleMvV(fullScale);
    m_.RangeLabel = RangeLabelText(fullScale);
}

void MainPanel::ProzeClick(int n) {
    SetProzScroll(n);
    RequestPass();
}

void MainPanel::SetProzScroll(int value) {
    value = std::clamp(value, m_.ProzScroll.min, m_.ProzScroll.max);
    if (value == m_.ProzScroll.value) return;
    m_.ProzScroll.value = value;
    ProzScrollChange(value);
}

void MainPanel::ProzScrollChange(int value) {
    m_.ProzScroll.value = value;
    ProzDisplay();
    RequestPass();
}

void MainPanel::ProzDisplay() {
    // The sign shown is the selected button's, never the set-up probe's neutral code.
    s_.SignText = m_.minusSelected ? "-" : "+";
    s_.ProzStep = m_.ProzScroll.value;
    SelectProze(s_.ProzStep);
    ProzLabelRefresh();
}

void MainPanel::ProzLabelRefresh() {
    // Two decimals for every range of a variant whose first range is 0.5 mV/V.
    m_.ProzLabel =
        ProzLabelText(m_.minusSelected, s_.ProzStep, s_.RangeMvV, s_.RangeTab[1] == kHalfMvVEntry);
}

void MainPanel::SelectProze(int n) {
    if (n >= 0 && n <= 10) m_.prozSelected = n;
}

void MainPanel::PlusClick() {
    m_.minusSelected = false;
    s_.SignFlag = 0;
    ProzDisplay();
    RequestPass();
}

void MainPanel::MinusClick() {
    m_.minusSelected = true;
    s_.SignFlag = 1;
    ProzDisplay();
    RequestPass();
}

void MainPanel::HBrClick(bool checked) {
    // Goes out with the next transmission; no pass is requested for it.
    m_.HBrChecked = checked;
    s_.HalfBridge = checked ? 1 : 0;
}

void MainPanel::ClearHBr() {
    HBrClick(false);
}

// ---------------------------------------------------------------- panel commands

void MainPanel::Command6Down() {
    m_.Command6.back = kRed;
    cal_.SendSetting(1);
    RequestPass();
    if (sup_) sup_->TimerTick();
    Repaint();
}

void MainPanel::Command6Up() {
    m_.Command6.back = kSys3DLight;
    cal_.SendSetting(0);
}

void MainPanel::Command6UpUnsent() {
    m_.Command6.back = kSys3DLight;
    s_.BeepOn = 0;
}

void MainPanel::Command7Click() {
    if (s_.ReadyOn != 0) {
        m_.Command7.back = kSys3DLight;
        s_.ReadyOn = 0;
    } else {
        m_.Command7.back = kYellow;
        s_.ReadyOn = 1;
    }
    cal_.SendSetting(s_.BeepOn);
    RequestPass();
}

void MainPanel::CommandspDown(MouseButton button) {
    if (button == MouseButton::Right && s_.LinkState == kLinkConnected && s_.ScanEnded) {
        s_.LinkState = kLinkRedisplay;
        // Nothing is polled in the linearity mode: as for a run, the window is out of
        // use until the stop, so that it never shows a setting the calibrator lacks.
        SetEnabled(false);
    }
}

void MainPanel::CommandspClick() {
    if (s_.LoadMode == 0) {
        // Inside the linearity mode there is nothing to start.
        if (!InLinearityMode()) s_.ScanRequest = true;
        return;
    }
    // The caption names the state that the next click selects.
    if (s_.LoadHigh != 0) {
        m_.Commandsp.caption = "Load high";
        s_.LoadHigh = 0;
    } else {
        m_.Commandsp.caption = "Load low";
        s_.LoadHigh = 1;
    }
    cal_.SendSetting(s_.BeepOn);
}

void MainPanel::RelRefClick() {
    m_.RelRef.back = kYellow;
    Repaint();  // the colour shows before the sequence holds the window for 2 s
    const RelayCleaning outcome = cal_.CleanRelays();
    m_.RelRef.back = kSys3DLight;
    m_.statusNote = outcome.Note();
}

void MainPanel::StatusBarClick() {
    // A stop means something only while there is something to stop (a run, the
    // search or the linearity mode); a pending one would hold back the fault report.
    if (InLinearityMode()) s_.StopRequest = true;
}

bool MainPanel::InLinearityMode() const {
    return s_.LinkState == kLinkLinearityRun || s_.LinkState == kLinkRedisplay;
}

// ---------------------------------------------------------------- controls for the pass

void MainPanel::SetMessages(const std::string& text) {
    // Serial numbers and identifications are the device's 8-bit texts.
    m_.txtMessages = Utf8FromLatin1(text);
}

void MainPanel::ShowTextremo(const std::string& text) {
    m_.Textremo = text;
    m_.TextremoVisible = true;
}

void MainPanel::SetLinkButtonColour(LinkButton button, Colour colour) {
    switch (button) {
        case LinkButton::Usb:
            m_.CommandUSBb.back = colour;
            break;
        case LinkButton::Com1:
            m_.CommandCOM1.back = colour;
            break;
        case LinkButton::Com2:
            m_.CommandCOM2.back = colour;
            break;
    }
}

void MainPanel::SetChannelsAbove8(bool shown) {
    m_.ChanScroll.max = shown ? 15 : 8;
    for (int i = 9; i < 16; ++i) m_.channelVisible[static_cast<size_t>(i)] = shown;
    m_.ChanScroll.value = std::min(m_.ChanScroll.value, m_.ChanScroll.max);
}

void MainPanel::SetRangeScrollMax(int max) {
    m_.RangeScroll.max = max;
    m_.RangeScroll.value = std::min(m_.RangeScroll.value, max);
}

void MainPanel::SetEnabled(bool enabled) {
    m_.enabled = enabled;
    Repaint();
}

void MainPanel::Repaint() {
    if (repaint_) repaint_();
}

}  // namespace t720
