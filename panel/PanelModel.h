// The main window's controls as plain values. The panel's operations and the
// supervision pass write them; the window renders them. Lengths in twips, colours
// as in app/Colour.h, texts UTF-8 (device texts arrive as Latin-1 bytes and are
// converted when they enter the model).
#pragma once

#include <array>
#include <string>

#include "app/Colour.h"

namespace t720 {

struct ScrollBarModel {
    int value = 0;
    int min = 0;
    int max = 0;
    int widthTwips = 0;  // 0: the layout's own width
    bool operator==(const ScrollBarModel&) const = default;
};

struct ButtonModel {
    std::string caption;
    Colour back = kSysButtonFace;
    bool visible = true;
    bool enabled = true;
    std::string tooltip;
    bool operator==(const ButtonModel&) const = default;
};

struct PanelModel {
    std::string title;
    bool enabled = true;

    // Channel row: 16 caption-less option buttons, a scroll bar, a label.
    ScrollBarModel ChanScroll{0, 0, 8, 0};
    int channelSelected = 0;
    std::array<bool, 16> channelVisible{true, true, true, true, true, true, true, true, true};
    std::string ChanLabel = "Channel";

    // Range row: button i stands for range index i + 1.
    ScrollBarModel RangeScroll{1, 1, 6, 2295};
    int rangeSelected = 2;
    std::array<bool, 6> rangeVisible{true, true, true, true, true, false};
    std::string RangeLabel = "Range";

    // Percent row: steps 0..10.
    ScrollBarModel ProzScroll{0, 0, 10, 0};
    int prozSelected = 0;
    std::string ProzLabel = "+ 0 %";

    bool minusSelected = false;  // Plus / Minus
    bool HBrVisible = false;
    bool HBrChecked = false;

    ButtonModel CommandUSBb{"USB"};
    ButtonModel CommandCOM1{"COM1"};
    ButtonModel CommandCOM2{"COM2", kSysButtonFace, true, true, "Click right to change Port"};
    ButtonModel Command6{"Beep", kSys3DLight};
    ButtonModel Command7{"Ready", kSys3DLight};
    ButtonModel Commandsp{"Spez", kSys3DLight, false, false};
    ButtonModel RelRef{"Clean Relais", kSys3DLight, false, false};

    std::string txtMessages;
    Colour txtMessagesColour = kBlack;
    std::string Textremo;
    bool TextremoVisible = false;
    std::string statusPanel1 = "USB Datenverkehr";
    std::string statusNote;   // second panel: short notes (settings, relay cleaning)
    std::string portProblem;  // why the serial port cannot be opened; shown instead of the note

    bool operator==(const PanelModel&) const = default;
};

}  // namespace t720
