#include "linearity/RecordDesk.h"

#include "app/QtText.h"
#include "app/TextSetting.h"
#include "linearity/Plot.h"
#include "linearity/ReportDialog.h"
#include "linearity/ReportWriter.h"
#include "linearity/RunHistory.h"
#include "linearity/RunsDialog.h"
#include "linearity/RunsFolder.h"
#include "linearity/ScanGrid.h"
#include "linearity/WindowActions.h"
#include "link/NumberText.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QVBoxLayout>

namespace t720::linearity {

namespace {

constexpr const char* kTitle = "Linearitätsmessung";
constexpr const char* kOperatorKey = "Report/Operator";
constexpr const char* kDmmKey = "Report/DMM";

std::string Name(const QString& path) {
    return QFileInfo(path).fileName().toStdString();
}

bool TrialShown(const PictureModel& pic) {
    for (const PlotPrimitive& p : pic.primitives)
        if (std::visit([](const auto& shape) { return shape.colour == kBlue; }, p)) return true;
    return false;
}

}  // namespace

ComparisonView::ComparisonView(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("As found, as left"));
    auto* outer = new QVBoxLayout(this);
    runs = new QLabel;
    runs->setAccessibleName(QStringLiteral("Runs compared"));
    runs->setTextFormat(Qt::PlainText);
    outer->addWidget(runs);
    table = new QTableWidget(11, 4);
    table->setAccessibleName(QStringLiteral("Comparison, ppm"));
    table->setHorizontalHeaderLabels({QStringLiteral("Tap"), QStringLiteral("as found ppm"),
                                      QStringLiteral("as left ppm"),
                                      QStringLiteral("difference ppm")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    // All eleven taps in view at once.
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->setMinimumHeight(12 * (table->fontMetrics().height() + 6) + 8);
    outer->addWidget(table, 1);
    auto* buttons = new QHBoxLayout;
    stopButton = new QPushButton(QStringLiteral("&Stop comparing"));
    stopButton->setAccessibleName(QStringLiteral("Stop comparing"));
    auto* close = new QPushButton(QStringLiteral("&Close"));
    close->setAccessibleName(QStringLiteral("Close"));
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
    buttons->addStretch(1);
    buttons->addWidget(stopButton);
    buttons->addWidget(close);
    outer->addLayout(buttons);
    resize(440, 360);
}

void ComparisonView::Show(const std::string& asFound, const std::string& asLeft,
                          const Comparison& c) {
    runs->setText(Text("As found: " + asFound + "\nAs left: " + asLeft));
    for (int i = 10; i >= 0; --i) {
        const TapComparison& t = c[i];
        const QString cells[] = {QString::number(t.percent) + " %",
                                 Text(FormatLocal(t.asFound, "#0.0")),
                                 Text(FormatLocal(t.asLeft, "#0.0")),
                                 Text(FormatLocal(t.difference, "#0.0"))};
        for (int col = 0; col < 4; ++col) {
            auto* item = new QTableWidgetItem(cells[col]);
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table->setItem(10 - i, col, item);
        }
    }
    if (!isVisible() && parentWidget()) {
        // Over the lower left of the grid, so that the plot stays in view.
        const QRect owner = parentWidget()->frameGeometry();
        move(owner.left() + 16, std::max(owner.top(), owner.bottom() - height() - 60));
    }
    show();
    raise();
}

RecordDesk::RecordDesk(QWidget& window, LinearityState& state, WindowHost& host, Hooks hooks)
    : QObject(&window), window_(window), state_(state), host_(host), hooks_(std::move(hooks)) {
    comparison = new ComparisonView(&window);
    connect(comparison->stopButton, &QPushButton::clicked, this, [this] { StopComparing(); });
}

bool RecordDesk::Refused() {
    if (!hooks_.busy()) return false;
    hooks_.note("Not while a run or the shunt search is going on");
    return true;
}

void RecordDesk::UpdateTitle() {
    QString title = QString::fromUtf8(kTitle);
    if (shown_ && opened_) {
        const std::string local = LocalTimeText(shown_->record.utcTime);
        title += QStringLiteral(" – ") + QFileInfo(shown_->path).fileName() + " (" +
                 Text(shown_->record.serialNumber) + (local.empty() ? "" : ", " + Text(local)) +
                 ")";
    }
    if (asFound_) title += QStringLiteral(", as found: ") + QFileInfo(asFound_->path).fileName();
    window_.setWindowTitle(title);
}

void RecordDesk::RunStarted() {
    shown_.reset();
    opened_ = false;
    asFound_.reset();
    state_.earlier.reset();
    comparison->hide();
    UpdateTitle();
}

void RecordDesk::RunEnded(const ScanResult& result) {
    if (result.record) shown_ = RecordAt{*result.record, result.recordPath};
}

void RecordDesk::Runs() {
    if (Refused()) return;
    RunsDialog dialog(CurrentRunsFolder().path, hooks_.serialNumber(), shown_.has_value(),
                      &window_);
    if (dialog.exec() != QDialog::Accepted) {
        hooks_.render();
        return;
    }
    if (dialog.Chosen() == RunsDialog::Choice::Open) Open(dialog.ChosenPath());
    if (dialog.Chosen() == RunsDialog::Choice::AsFound) CompareWith(dialog.ChosenPath());
}

bool RecordDesk::Open(const QString& path) {
    if (Refused()) return false;
    const RecordParse parsed = ReadRunRecord(path);
    if (!parsed.record) {
        hooks_.note("Cannot open " + Name(path) + ": " + parsed.error);
        return false;
    }
    RunStarted();
    if (hooks_.layOut) hooks_.layOut();
    const std::string why =
        ShowRecordedRun(state_, host_, parsed.record->reading1, parsed.record->reading2);
    shown_ = RecordAt{*parsed.record, path};
    opened_ = true;
    std::string note = "Opened " + Name(path);
    if (!why.empty()) note += "; not evaluated: " + why;
    // As its last report left it: the shunts chosen and the "as found" run.
    const NotesParse notes = ReadRunNotes(path);
    if (notes.notes) {
        if (notes.notes->shunts != RowShunts{})
            ApplyShunts(state_, host_, notes.notes->shunts);
        if (!notes.notes->asFound.empty())
            CompareWith(QFileInfo(path).dir().filePath(Text(notes.notes->asFound)));
    } else if (!notes.error.empty()) {
        note += "; its notes cannot be read: " + notes.error;
    }
    UpdateTitle();
    hooks_.note(note);
    hooks_.render();
    return true;
}

bool RecordDesk::CompareWith(const QString& path) {
    if (Refused()) return false;
    if (!shown_) {
        hooks_.note("Measure or open the run \"as left\" first");
        return false;
    }
    const RecordParse parsed = ReadRunRecord(path);
    if (!parsed.record) {
        hooks_.note("Cannot compare with " + Name(path) + ": " + parsed.error);
        return false;
    }
    // Runs without a curve have nothing to compare.
    for (const RunRecord* run :
         std::initializer_list<const RunRecord*>{&shown_->record, &*parsed.record})
        if (const std::string why = RecordNotEvaluable(*run); !why.empty()) {
            hooks_.note("Cannot compare: the readings of " +
                        (run == &shown_->record ? std::string("the run shown") : Name(path)) +
                        " cannot be evaluated: " + why);
            return false;
        }
    asFound_ = RecordAt{*parsed.record, path};
    const PointValues found = MeasuredCurve(*parsed.record);
    state_.earlier = EarlierCurve{found, RunLabel("as found", *parsed.record),
                                  RunLabel("as left", shown_->record)};
    PictureModel& pic = state_.controls.Picture1;
    OverlayEarlier(state_, pic, *state_.earlier, TrialShown(pic));
    const std::string foundText = Name(path) + " (" + LocalTimeText(parsed.record->utcTime) + ")";
    const std::string leftText = (shown_->path.isEmpty() ? std::string("the run shown")
                                                         : Name(shown_->path)) +
                                 " (" + LocalTimeText(shown_->record.utcTime) + ")";
    comparison->Show(foundText, leftText, CompareRuns(found, state_.RefLinDevPpm));
    UpdateTitle();
    hooks_.note("As found: " + Name(path));
    hooks_.render();
    return true;
}

void RecordDesk::StopComparing() {
    asFound_.reset();
    state_.earlier.reset();
    RemoveEarlier(state_, state_.controls.Picture1);
    comparison->hide();
    UpdateTitle();
    hooks_.render();
}

void RecordDesk::Report() {
    if (Refused()) return;
    if (!shown_) {
        hooks_.note("No run to report: measure one, or open one with Runs…");
        return;
    }
    if (const std::string why = RecordNotEvaluable(shown_->record); !why.empty()) {
        hooks_.note("No report: the readings of the run shown cannot be evaluated: " + why);
        return;
    }
    RunNotes kept;
    if (!shown_->path.isEmpty()) kept = ReadRunNotes(shown_->path).notes.value_or(RunNotes{});
    if (kept.operatorName.empty()) kept.operatorName = StoredText(kOperatorKey).toStdString();
    if (kept.dmm.empty()) kept.dmm = StoredText(kDmmKey).toStdString();
    const QString suggested =
        shown_->path.isEmpty()
            ? QDir(CurrentRunsFolder().path)
                  .filePath(DefaultReportPath(RunRecordFileName(shown_->record)))
            : DefaultReportPath(shown_->path);
    ReportDialog dialog(kept.operatorName, kept.dmm, kept.note, suggested, &window_);
    if (dialog.exec() != QDialog::Accepted) {
        hooks_.render();
        return;
    }

    RunNotes notes;
    notes.operatorName = dialog.OperatorName();
    notes.dmm = dialog.Dmm();
    notes.note = dialog.Note();
    notes.shunts = ShuntsShown(state_);
    const QString path = QDir::fromNativeSeparators(dialog.Path());
    if (asFound_)
        notes.asFound = QFileInfo(shown_->path).dir().relativeFilePath(asFound_->path).toStdString();
    const ReportContent report = MakeReport(*shown_, notes, asFound_);
    if (const std::string why = WriteReportPdf(report, path); !why.empty()) {
        hooks_.note("Report not written: " + why);
        hooks_.render();
        return;
    }
    // Remembered for the next report; a settings file that cannot take them
    // costs only the typing.
    StoreText(kOperatorKey, Text(notes.operatorName));
    StoreText(kDmmKey, Text(notes.dmm));

    std::string note = "Report written: " + QDir::toNativeSeparators(path).toStdString();
    if (shown_->path.isEmpty()) {
        note += "; its notes are not kept, as the run has no record";
    } else {
        notes.reportUtc = report.madeUtc;
        notes.reportFile = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
        if (const std::string why = SaveRunNotes(shown_->path, notes); !why.empty())
            note += "; its notes are not kept: " + why;
    }
    hooks_.note(note);
    hooks_.render();
}

}  // namespace t720::linearity
