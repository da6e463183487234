// The main window's controls as plain values, with the change operations of the
// scroll bars reduced to what the pass relies on (the stored value follows).
#pragma once

#include <map>
#include <string>

#include "app/SharedState.h"
#include "supervision/MainWindowView.h"

namespace t720::test {

class FakeMainWindow final : public MainWindowView {
  public:
    explicit FakeMainWindow(SharedState& s) : s_(s) {}

    void SetStatusPanel1(const std::string& text) override { statusPanel1 = text; }
    void SetMessages(const std::string& text) override { messages = text; }
    void SetMessagesColour(Colour colour) override { messagesColour = colour; }
    void HideTextremo() override { textremoVisible = false; }
    void ShowTextremo(const std::string& text) override {
        textremoVisible = true;
        textremo = text;
    }
    void SetLinkButtonColour(LinkButton b, Colour c) override { buttons[b] = c; }
    void SetCom2Caption(const std::string& caption) override { com2Caption = caption; }
    void SetChannelsAbove8(bool shown) override { channelsAbove8 = shown; }
    int ChanScrollMax() const override { return channelsAbove8 ? 15 : 8; }
    void SetChanScroll(int value) override {
        chanScroll = value;
        s_.ChannelNo = value;
    }
    void SetHBrVisible(bool shown) override { hbrVisible = shown; }
    void ClearHBr() override {
        hbrChecked = false;
        s_.HalfBridge = 0;
    }
    void SetRangeScrollWidth(int twips) override { rangeScrollWidth = twips; }
    void SetRangeScrollMax(int max) override { rangeScrollMax = max; }
    int RangeScrollMax() const override { return rangeScrollMax; }
    int RangeScrollValue() const override { return rangeScroll; }
    void SetRangeScroll(int value) override {
        rangeScroll = value;
        s_.RangeIdx = value;
    }
    void SetSixthRangeVisible(bool shown) override { sixthRange = shown; }
    void ShowRange() override {}
    void SetEnabled(bool e) override { enabled = e; }
    void Repaint() override {}

    std::string statusPanel1 = "USB Datenverkehr";
    std::string messages;
    Colour messagesColour = kBlack;
    bool textremoVisible = false;
    std::string textremo;
    std::map<LinkButton, Colour> buttons;
    std::string com2Caption = "COM2";
    bool channelsAbove8 = false;
    int chanScroll = 0;
    bool hbrVisible = false;
    bool hbrChecked = false;
    int rangeScrollWidth = 0;
    int rangeScrollMax = 6;
    int rangeScroll = 1;
    bool sixthRange = false;
    bool enabled = true;

  private:
    SharedState& s_;
};

}  // namespace t720::test
