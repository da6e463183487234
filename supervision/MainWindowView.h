// The main window's controls as the supervision pass sees them. The window (or a
// test's fake) implements this; the pass never touches a widget itself.
#pragma once

#include <string>

#include "app/Colour.h"

namespace t720 {

enum class LinkButton { Usb, Com1, Com2 };

class MainWindowView {
  public:
    virtual ~MainWindowView() = default;

    // First panel of the status bar (the "Data transfer:" indicator).
    virtual void SetStatusPanel1(const std::string& text) = 0;
    // The connection message box `txtMessages`.
    virtual void SetMessages(const std::string& text) = 0;
    virtual void SetMessagesColour(Colour colour) = 0;
    // Why the serial port could not be opened, beside "Error accessing COM port"
    // ("" when there is nothing to say).
    virtual void SetPortProblem(const std::string& text) {}
    // The calibrator message `Textremo`: hidden, or shown with a text.
    virtual void HideTextremo() = 0;
    virtual void ShowTextremo(const std::string& text) = 0;

    virtual void SetLinkButtonColour(LinkButton button, Colour colour) = 0;
    virtual void SetCom2Caption(const std::string& caption) = 0;

    // Channels: 0..8, or 0..15 behind a QV310 (`ChanScroll` maximum, buttons 9..15).
    virtual void SetChannelsAbove8(bool shown) = 0;
    virtual int ChanScrollMax() const = 0;
    // Moves `ChanScroll`; runs its change operation when the value differs.
    virtual void SetChanScroll(int value) = 0;
    // `HBr`: shown or hidden; Clear unchecks it, which sets HalfBridge to 0.
    virtual void SetHBrVisible(bool shown) = 0;
    virtual void ClearHBr() = 0;

    // `RangeScroll` width (twips), maximum and position; setting the position runs
    // its change operation when the value differs. `Range` button 5 is the sixth.
    virtual void SetRangeScrollWidth(int twips) = 0;
    virtual void SetRangeScrollMax(int max) = 0;
    virtual int RangeScrollMax() const = 0;
    virtual int RangeScrollValue() const = 0;
    virtual void SetRangeScroll(int value) = 0;
    virtual void SetSixthRangeVisible(bool shown) = 0;
    // The range display from RangeIdx and RangeTab, and the percent display, whose
    // output value and decimals follow the range table.
    virtual void ShowRange() = 0;

    // The whole window: on/off for the linearity run, and a repaint.
    virtual void SetEnabled(bool enabled) = 0;
    virtual void Repaint() = 0;
};

}  // namespace t720
