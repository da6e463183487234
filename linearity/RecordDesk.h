// The results window's work with run records: which record it shows, "Runs…"
// (open a record, or take an earlier one as "as found"), the comparison of the
// two runs, and "Report…". The window owns one and hands it its buttons' clicks.
#pragma once

#include "linearity/LinearityState.h"
#include "linearity/ReportContent.h"
#include "linearity/Scan.h"
#include "linearity/WindowHost.h"

#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <functional>
#include <optional>
#include <string>

namespace t720::linearity {

// The two runs compared, tap by tap: a window of its own beside the results.
class ComparisonView final : public QDialog {
    Q_OBJECT
  public:
    explicit ComparisonView(QWidget* parent);
    void Show(const std::string& asFound, const std::string& asLeft, const Comparison& c);

    QLabel* runs = nullptr;
    QTableWidget* table = nullptr;
    QPushButton* stopButton = nullptr;
};

class RecordDesk final : public QObject {
    Q_OBJECT
  public:
    struct Hooks {
        std::function<void()> render;                    // the model onto the widgets
        std::function<void(const std::string&)> note;   // the status bar's note
        std::function<bool()> busy;                      // a run or the search on the stack
        std::function<std::string()> serialNumber;       // of the connected calibrator
        std::function<void()> layOut;                    // the grid sized as on screen
    };

    RecordDesk(QWidget& window, LinearityState& state, WindowHost& host, Hooks hooks);

    // A run begins: what was shown goes. A completed run's record is then shown.
    void RunStarted();
    void RunEnded(const ScanResult& result);

    // "Runs…" and "Report…" clicked.
    void Runs();
    void Report();

    // Shows a record as a run that measured it would (with the shunts and the "as
    // found" run its notes keep). False, with the reason in the note, when it
    // cannot be read.
    bool Open(const QString& path);
    // Takes an earlier record as "as found" for the run shown.
    bool CompareWith(const QString& path);
    void StopComparing();

    bool HasRun() const { return shown_.has_value(); }
    const std::optional<RecordAt>& Shown() const { return shown_; }
    const std::optional<RecordAt>& AsFound() const { return asFound_; }
    ComparisonView* comparison = nullptr;

  private:
    void UpdateTitle();
    bool Refused();

    QWidget& window_;
    LinearityState& state_;
    WindowHost& host_;
    Hooks hooks_;
    std::optional<RecordAt> shown_;
    bool opened_ = false;  // the record shown was opened, not just measured
    std::optional<RecordAt> asFound_;
};

}  // namespace t720::linearity
