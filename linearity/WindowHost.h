// What the linearity logic needs from the real window and nothing else: painting
// now (the logic runs on the GUI thread, so nothing is painted until it returns or
// yields) and letting the event loop run. The window implements it; tests and the
// command-line evaluator use fakes or NullHost.
#pragma once

namespace t720::linearity {

class WindowHost {
  public:
    virtual ~WindowHost() = default;
    // Paint the whole window with the current state of the controls.
    virtual void Repaint() = 0;
    // Paint the grid `Results` now; called while its painting is switched on.
    virtual void RepaintGrid() = 0;
    // Handle pending events once (a stop click, a grid click) and return.
    virtual void Yield() = 0;
};

// A host without a window: nothing to paint, no events to handle.
class NullHost final : public WindowHost {
  public:
    void Repaint() override {}
    void RepaintGrid() override {}
    void Yield() override {}
};

}  // namespace t720::linearity
