// The operator panel of the main window without its widgets: the operations that
// the controls' events run (channel, range, percent, sign, half bridge, beep,
// ready, the special button, relay cleaning, the status-bar stop click), the
// start-up and the shutdown, and the controls as the supervision pass writes them.
#pragma once

#include <functional>
#include <string>

#include "app/CommandLine.h"
#include "app/SharedState.h"
#include "app/StoredSettings.h"
#include "link/Calibrator.h"
#include "panel/PanelModel.h"
#include "supervision/MainWindowView.h"
#include "supervision/Supervisor.h"

namespace t720 {

enum class MouseButton { Left, Right, Middle };

class MainPanel final : public MainWindowView {
  public:
    MainPanel(SharedState& state, Calibrator& calibrator);

    // Wiring done once by whoever builds the window: the pass, and how the window
    // shows the model at once (before a transmission holds the thread).
    void Attach(Supervisor* supervisor) { sup_ = supervisor; }
    void SetRepaint(std::function<void()> repaint) { repaint_ = std::move(repaint); }

    const PanelModel& Model() const { return m_; }

    // --- start-up and shutdown ---
    // Loads the six values and the switches, selects the stored link (which runs
    // the first pass) and brings the controls to the loaded values.
    void Startup(SettingsFile& settings, const std::string& commandLine);
    // Releases the link and keeps the six values. False when they could not be kept.
    bool Shutdown(SettingsFile& settings);

    // --- channel, range, percent, sign ---
    void ChannelClick(int n);
    void ChanScrollChange(int value);
    void RangeClick(int i);
    void RangeScrollChange(int value);
    void ProzeClick(int n);
    void ProzScrollChange(int value);
    void PlusClick();
    void MinusClick();
    void HBrClick(bool checked);

    // --- panel commands ---
    void Command6Down();
    void Command6Up();
    // The beep button let go while the window is switched off: nothing may be sent
    // now, so the beep ends with the next transmission.
    void Command6UpUnsent();
    void Command7Click();
    void CommandspDown(MouseButton button);
    void CommandspClick();
    void RelRefClick();
    // The stop request; only in the linearity mode (the shunt search runs there too).
    void StatusBarClick();
    bool InLinearityMode() const;

    // --- the controls as the pass sees them ---
    void SetStatusPanel1(const std::string& text) override { m_.statusPanel1 = text; }
    void SetMessages(const std::string& text) override;
    void SetMessagesColour(Colour colour) override { m_.txtMessagesColour = colour; }
    void SetPortProblem(const std::string& text) override { m_.portProblem = text; }
    void HideTextremo() override { m_.TextremoVisible = false; }
    void ShowTextremo(const std::string& text) override;
    void SetLinkButtonColour(LinkButton button, Colour colour) override;
    void SetCom2Caption(const std::string& caption) override { m_.CommandCOM2.caption = caption; }
    void SetChannelsAbove8(bool shown) override;
    int ChanScrollMax() const override { return m_.ChanScroll.max; }
    void SetChanScroll(int value) override;
    void SetHBrVisible(bool shown) override { m_.HBrVisible = shown; }
    void ClearHBr() override;
    void SetRangeScrollWidth(int twips) override { m_.RangeScroll.widthTwips = twips; }
    void SetRangeScrollMax(int max) override;
    int RangeScrollMax() const override { return m_.RangeScroll.max; }
    int RangeScrollValue() const override { return m_.RangeScroll.value; }
    void SetRangeScroll(int value) override;
    void SetSixthRangeVisible(bool shown) override { m_.rangeVisible[5] = shown; }
    // The range label, and the percent label with it: a new range table (another
    // calibrator variant) changes the output value and its decimals too.
    void ShowRange() override;
    // Switching the window off or on shows at once: a run that starts in this pass
    // holds the thread, and the operator must not be able to use the window then.
    void SetEnabled(bool enabled) override;
    void Repaint() override;

    void SetProzScroll(int value);
    void SetNote(const std::string& note) { m_.statusNote = note; }

  private:
    void RequestPass();
    void ShowRangeLabel();
    void ProzDisplay();
    void ProzLabelRefresh();
    void SelectChannel(int n);
    void SelectRange(int i);
    void SelectProze(int n);

    SharedState& s_;
    Calibrator& cal_;
    Supervisor* sup_ = nullptr;
    std::function<void()> repaint_;
    PanelModel m_;
};

// Texts of the panel's labels.
std::string ChanLabelText(int32_t channel);
std::string RangeLabelText(int32_t fullScale);  // a RangeTab entry
std::string ProzLabelText(bool minus, int32_t step, double rangeMvV, bool twoDecimals);

}  // namespace t720
