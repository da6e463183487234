// The linearity (results) window as the supervision pass drives it: created on
// first use, shown and turned on or off around a run; the pass starts a run
// (Scan), ends one at a stop (ScanEnd) and shows the last run again (Scanx). The
// pass never touches a widget itself.
#pragma once

namespace t720 {

class LinearityView {
  public:
    virtual ~LinearityView() = default;
    virtual void Show() = 0;
    virtual void SetEnabled(bool enabled) = 0;
    virtual void Scan() = 0;
    virtual void ScanEnd() = 0;
    virtual void Scanx() = 0;
    // True while the shunt search runs; a stop click then belongs to the search.
    virtual bool Searching() const { return false; }
};

}  // namespace t720
