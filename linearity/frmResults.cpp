#include "linearity/frmResults.h"

#include "app/QtText.h"
#include "linearity/RunsFolder.h"
#include "linearity/ScanGrid.h"
#include "linearity/ShuntSearch.h"
#include "linearity/WindowActions.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

namespace t720 {

using namespace linearity;

namespace {

void SetText(QLabel* label, const std::string& utf8) {
    const QString text = Text(utf8);
    if (label->text() != text) label->setText(text);
}

// A summary line of the optimisation is this long; the side pane is made wide
// enough for it in the fixed-pitch font.
constexpr int kSummaryCharacters = 58;

// Shows as much of its text as its width allows, the middle elided (a path keeps
// its start and its file name), and never widens the window; the text itself, for
// a screen reader too, stays whole.
class ElidedLabel final : public QLabel {
  public:
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QRect room = contentsRect();
        p.setPen(palette().color(foregroundRole()));
        p.drawText(room, static_cast<int>(alignment()),
                   fontMetrics().elidedText(text(), Qt::ElideMiddle, room.width()));
    }
};

}  // namespace

frmResults::frmResults(SharedState& shared, UsbCalLibrary& library, DmmLink& dmm, Clock& clock,
                       std::function<std::string()> identification, QWidget* parent)
    : QWidget(parent, Qt::Window),
      shared_(shared),
      library_(library),
      dmm_(dmm),
      clock_(clock),
      identification_(std::move(identification)) {
    setWindowTitle(QString::fromUtf8("Linearitätsmessung"));
    BuildLayout();
    Records = new RecordDesk(
        *this, state_, *this,
        {[this] { Render(); },
         [this](const std::string& note) {
             note_ = note;
             Render();
         },
         [this] { return Busy(); },
         [this] { return QString::fromLatin1(shared_.DeviceId.c_str()).trimmed().toStdString(); },
         [this] { LayOutGrid(); }});
    if (const QScreen* s = screen()) {
        const QRect avail = s->availableGeometry();
        resize(std::min(1340, avail.width() - 16), std::min(700, avail.height() - 40));
    }
    Render();
}

void frmResults::BuildLayout() {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 0);
    outer->setSpacing(4);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    outer->addLayout(row, 1);
    row->addWidget(BuildGrid(), 1);
    row->addWidget(BuildSidePane(), 0);
    outer->addWidget(BuildStatusBar());

    // Keyboard order from the top left: the grid, the summary lines, the buttons.
    QWidget::setTabOrder(Results, OptiL1[0]);
    for (size_t n = 1; n < OptiL1.size(); ++n) QWidget::setTabOrder(OptiL1[n - 1], OptiL1[n]);
    QWidget::setTabOrder(OptiL1.back(), CmdOpt);
    QWidget::setTabOrder(CmdOpt, CmdRuns);
    QWidget::setTabOrder(CmdRuns, CmdReport);

    BuildShuntMenu();
}

QWidget* frmResults::BuildGrid() {
    Results = new GridWidget;
    Results->setMinimumSize(520, 360);
    Results->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    // Hidden between the linearity modes; the rest of the window stays in place.
    QSizePolicy keep = Results->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Results->setSizePolicy(keep);
    Results->setToolTip(
        QStringLiteral("Right click in \"R Shunt\": choose a shunt; "
                       "click \"copy\": copy the grid"));
    Results->setAccessibleName(QStringLiteral("Results"));
    Results->setAccessibleDescription(QStringLiteral("Arrow keys: move; menu key: choose a shunt"));
    connect(Results, &GridWidget::buttonPressed, this,
            [this](int button, double x, double y, QPoint global) {
                GridButton(button, x, y, global);
            });
    return Results;
}

QWidget* frmResults::BuildSidePane() {
    // Beside the grid: the plot over its upper half, the optimisation beside its
    // lower half (in `Picture2`, placed where the run says; see PlaceSidePane).
    side_ = new QWidget;
    Picture1 = new PictureWidget(side_);
    Picture1->setAccessibleName(QStringLiteral("Linearity plot"));
    minppm = new QLabel(side_);
    maxppm = new QLabel(side_);
    minppm->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    maxppm->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    minppm->setToolTip(QStringLiteral("Smallest linearity deviation, ppm"));
    maxppm->setToolTip(QStringLiteral("Largest linearity deviation, ppm"));
    minppm->setAccessibleName(minppm->toolTip());
    maxppm->setAccessibleName(maxppm->toolTip());

    // A little smaller than the system's fixed-pitch font, so that the window with
    // its grid still fits a 1024 x 768 screen.
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (fixed.pointSizeF() > 0) fixed.setPointSizeF(fixed.pointSizeF() * 0.9);
    Picture2 = new QFrame(side_);
    Picture2->setFrameShape(QFrame::StyledPanel);
    auto* p2 = new QVBoxLayout(Picture2);
    p2->setContentsMargins(6, 6, 6, 6);
    p2->addWidget(BuildOptimisation(fixed));
    p2->addLayout(BuildButtonRow());
    p2->addStretch(1);

    const int summaryWidth =
        QFontMetrics(fixed).horizontalAdvance(QString(kSummaryCharacters, u'0'));
    side_->setFixedWidth(summaryWidth + 40);
    side_->installEventFilter(this);
    return side_;
}

QGroupBox* frmResults::BuildOptimisation(const QFont& fixed) {
    Opti = new QGroupBox;
    Opti->setAccessibleName(QStringLiteral("Shunt optimisation"));
    auto* optiLayout = new QVBoxLayout(Opti);
    optiLayout->setSpacing(2);
    for (size_t n = 0; n < OptiL1.size(); ++n) {
        auto* label = new QLabel;
        label->setFont(fixed);
        label->setTextFormat(Qt::PlainText);
        label->setMinimumHeight(QFontMetrics(fixed).height());
        label->setCursor(Qt::PointingHandCursor);
        label->setToolTip(QStringLiteral("Click or press Return to take over this shunt set"));
        label->setAccessibleName(QStringLiteral("Best set with at most %1 shunts").arg(n));
        // Reached with the Tab key; Return takes the line over.
        label->setFocusPolicy(Qt::StrongFocus);
        label->setStyleSheet(
            QStringLiteral("QLabel:focus { background-color: palette(highlight); color: "
                           "palette(highlighted-text); }"));
        label->installEventFilter(this);
        optiLayout->addWidget(label);
        OptiL1[n] = label;
    }
    auto* figures = new QHBoxLayout;
    OptiL3 = new QLabel;
    OptiLcnt = new QLabel;
    OptiL3->setToolTip(QStringLiteral("Best score of the running search"));
    OptiLcnt->setToolTip(QStringLiteral("Shunt sets evaluated"));
    OptiL3->setAccessibleName(OptiL3->toolTip());
    OptiLcnt->setAccessibleName(OptiLcnt->toolTip());
    figures->addWidget(OptiL3);
    figures->addStretch(1);
    figures->addWidget(OptiLcnt);
    optiLayout->addLayout(figures);
    return Opti;
}

QHBoxLayout* frmResults::BuildButtonRow() {
    CmdOpt = new QPushButton;
    QSizePolicy keepButton = CmdOpt->sizePolicy();
    keepButton.setRetainSizeWhenHidden(true);
    CmdOpt->setSizePolicy(keepButton);
    connect(CmdOpt, &QPushButton::clicked, this, [this] { CmdOptClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(CmdOpt);
    buttons->addStretch(1);
    CmdRuns = new QPushButton(QString::fromUtf8("&Runs…"));
    CmdRuns->setAccessibleName(QString::fromUtf8("Runs…"));
    CmdRuns->setToolTip(
        QStringLiteral("Runs kept in the records folder: open one, or compare "
                       "the run shown with an earlier one (as found)"));
    CmdReport = new QPushButton(QString::fromUtf8("R&eport…"));
    CmdReport->setAccessibleName(QString::fromUtf8("Report…"));
    CmdReport->setToolTip(QStringLiteral("Write a PDF report of the run shown"));
    connect(CmdRuns, &QPushButton::clicked, this, [this] { Records->Runs(); });
    connect(CmdReport, &QPushButton::clicked, this, [this] { Records->Report(); });
    buttons->addWidget(CmdRuns);
    buttons->addWidget(CmdReport);
    return buttons;
}

QStatusBar* frmResults::BuildStatusBar() {
    StatusBar = new QStatusBar;
    StatusBar->setSizeGripEnabled(false);
    statusPanel1 = new QLabel;
    statusPanel2 = new ElidedLabel;
    statusPanel1->setAccessibleName(QStringLiteral("Status; click to stop"));
    statusPanel2->setAccessibleName(QStringLiteral("Run record"));
    StatusBar->addWidget(statusPanel1, 3);
    StatusBar->addWidget(statusPanel2, 2);
    StatusBar->setToolTip(QStringLiteral("Click (or press Escape) to stop"));
    // A click anywhere on the bar is the stop request.
    for (QObject* o : {static_cast<QObject*>(StatusBar), static_cast<QObject*>(statusPanel1),
                       static_cast<QObject*>(statusPanel2)})
        o->installEventFilter(this);
    return StatusBar;
}

void frmResults::BuildShuntMenu() {
    mnu_rsel = new QMenu(QStringLiteral("Rselec"), this);
    for (size_t i = 0; i < mnu_r.size(); ++i) {
        QAction* item = mnu_rsel->addAction(QString());
        item->setCheckable(true);
        const int index = static_cast<int>(i);
        connect(item, &QAction::triggered, this, [this, index] {
            MenuItemClicked(state_, index);
            Render();
        });
        mnu_r[i] = item;
    }
}

void frmResults::PlaceSidePane() {
    const int w = side_->width();
    const int h = side_->height();
    const int need = Picture2->sizeHint().height();
    const double top2 = state_.controls.Picture2Top;
    int top = top2 > 0 ? qRound(Results->TwipsToPixelsY(top2)) : h / 2;
    // The optimisation's lines must fit below, and the plot keep some height.
    top = std::min(top, std::max(0, h - need));
    top = std::max(top, std::min(h / 3, 120));
    const int labelHeight = minppm->sizeHint().height();
    const int labelTop = std::max(0, top - labelHeight - 4);
    Picture1->setGeometry(0, 0, w, std::max(0, labelTop - 2));
    minppm->setGeometry(0, labelTop, w / 2, labelHeight);
    maxppm->setGeometry(w / 2, labelTop, w - w / 2, labelHeight);
    Picture2->setGeometry(0, top, w, h - top);
}

void frmResults::Render() {
    const ResultsControls& c = state_.controls;
    Results->Take(c.Results);
    if (Results->isVisibleTo(this) != c.Results.visible) Results->setVisible(c.Results.visible);
    Picture1->Take(c.Picture1);
    Picture1->setVisible(c.Picture1.visible);
    SetText(maxppm, c.maxppm.caption);
    SetText(minppm, c.minppm.caption);
    maxppm->setVisible(c.maxppm.visible);
    minppm->setVisible(c.minppm.visible);
    const QString caption = Text(c.Opti.caption);
    if (Opti->title() != caption) Opti->setTitle(caption);
    Opti->setEnabled(c.Opti.enabled);
    for (size_t n = 0; n < OptiL1.size(); ++n) SetText(OptiL1[n], c.OptiL1[n]);
    SetText(OptiL3, c.OptiL3);
    SetText(OptiLcnt, c.OptiLcnt);
    const QString button = Text(c.CmdOpt.caption);
    if (CmdOpt->text() != button) CmdOpt->setText(button);
    CmdOpt->setVisible(c.CmdOpt.visible);
    SetText(statusPanel1, c.statusPanel1);
    SetText(statusPanel2, note_);
    // A long note is elided; its tooltip has it whole, with the record's whole path.
    QString whole = Text(note_);
    if (!lastScan_.recordPath.isEmpty())
        whole.replace(QString::fromStdString(ShownPath(lastScan_.recordPath)),
                      QDir::toNativeSeparators(lastScan_.recordPath));
    statusPanel2->setToolTip(whole);
    CmdRuns->setEnabled(!Busy());
    CmdReport->setEnabled(!Busy());
    for (size_t i = 0; i < mnu_r.size(); ++i) {
        const QSignalBlocker block(mnu_r[i]);
        const QString text = Text(c.mnu_r[i].caption);
        if (mnu_r[i]->text() != text) mnu_r[i]->setText(text);
        mnu_r[i]->setChecked(c.mnu_r[i].checked);
    }
    PlaceSidePane();
}

// ------------------------------------------------------------------ LinearityView

void frmResults::Show() {
    Render();
    if (isMinimized())
        showNormal();
    else
        show();
    raise();
    activateWindow();
}

void frmResults::SetEnabled(bool enabled) {
    setEnabled(enabled);
}

void frmResults::Scan() {
    if (Busy()) return;  // never two runs, nor a run inside the search, on one stack
    scanning_ = true;
    if (runNote_) runNote_({});
    // The optimisation belongs to the run it was shown for; a stopped or abandoned
    // run must not offer it on half-new readings.
    state_.controls.CmdOpt.visible = false;
    note_.clear();
    Records->RunStarted();
    LayOutGrid();

    lastScan_ = linearity::Scan(state_, ScanContext{shared_, library_, dmm_, clock_, *this,
                                                    identification_, CurrentRunsFolder()});
    note_ = lastScan_.note;
    Records->RunEnded(lastScan_);
    scanning_ = false;
    Render();
    if (runNote_) runNote_(lastScan_.message);
    AfterBusy();
}

void frmResults::LayOutGrid() {
    if (layout()) layout()->activate();
    // The run lays the grid out for the size the operator sees.
    Results->SetLayoutSize(Results->size());
    const QSizeF twips = Results->SizeInTwips();
    state_.controls.Results.width = static_cast<int32_t>(twips.width());
    state_.controls.Results.height = static_cast<int32_t>(twips.height());
}

void frmResults::ScanEnd() {
    state_.controls.Results.visible = false;
    state_.controls.statusPanel1 = lastScan_.message;
    Render();
}

void frmResults::Scanx() {
    state_.controls.Results.visible = true;
    // In the linearity mode a click on the status bar ends it again.
    state_.controls.statusPanel1 = kStopPrompt;
    hideWhenIdle_ = false;
    Show();
}

// ------------------------------------------------------------------ WindowHost

void frmResults::Repaint() {
    Render();
    // Paint what changed now, before the caller holds the thread.
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

void frmResults::RepaintGrid() {
    Results->Take(state_.controls.Results, true);
}

void frmResults::Yield() {
    Render();
    QCoreApplication::processEvents();
}

// ------------------------------------------------------------------ operator actions

void frmResults::CmdOptClick() {
    if (Busy() || !state_.controls.CmdOpt.visible) return;
    searching_ = true;
    OptimiseShunts(state_, shared_, *this);
    searching_ = false;
    Render();
    AfterBusy();
}

void frmResults::OptiL1Click(int n) {
    // A disabled frame takes no clicks.
    if (!Opti->isEnabled()) return;
    OptiLineClicked(state_, *this, n);
    Render();
}

void frmResults::GridButton(int button, double xTwips, double yTwips, QPoint global) {
    const GridHit hit = HitTestGrid(Results->Shown(), button, xTwips, yTwips);
    if (hit.zone == GridHit::Zone::ShuntPick) {
        BeginShuntPick(state_, hit.row);
        Render();
        // Waits until the menu has closed; a choice runs the item's handler.
        mnu_rsel->exec(global);
        FinishShuntPick(state_, *this, hit.row);
        Render();
    } else if (hit.zone == GridHit::Zone::Copy) {
        CopyGrid();
    }
}

void frmResults::CopyGrid() {
    const std::string text = CopyGridText(state_);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(Text(text));
    Render();
}

void frmResults::keyPressEvent(QKeyEvent* event) {
    // The keys of the mouse's actions, under the same rules: a switched-off window
    // takes no keys at all, and a hidden grid cannot be copied.
    if (event->matches(QKeySequence::Copy) && Results->isVisible()) {
        CopyGrid();
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        shared_.StopRequest = true;  // as a click on the status bar
        return;
    }
    QWidget::keyPressEvent(event);
}

bool frmResults::eventFilter(QObject* watched, QEvent* event) {
    if (watched == side_ && event->type() == QEvent::Resize) {
        PlaceSidePane();
        return false;
    }
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        for (size_t n = 0; n < OptiL1.size(); ++n)
            if (watched == OptiL1[n] &&
                (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                OptiL1Click(static_cast<int>(n));
                return true;
            }
        return false;
    }
    if (event->type() != QEvent::MouseButtonPress) return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || !widget->isEnabled()) return false;
    if (watched == StatusBar || watched == statusPanel1 || watched == statusPanel2) {
        shared_.StopRequest = true;  // the stop request
        return false;
    }
    for (size_t n = 0; n < OptiL1.size(); ++n) {
        if (watched == OptiL1[n] && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            OptiL1Click(static_cast<int>(n));
            return true;
        }
    }
    return false;
}

void frmResults::closeEvent(QCloseEvent* event) {
    // Closing the window in the linearity mode leaves the mode, like a stop click.
    if (Busy() || shared_.LinkState == kLinkLinearityRun) shared_.StopRequest = true;
    if (Busy()) {
        // The run or search is on the stack below us; the window goes once it has
        // returned. The program itself ends only through the main window.
        hideWhenIdle_ = true;
        event->ignore();
        return;
    }
    event->accept();  // hidden, not destroyed: it lives until the program ends
}

void frmResults::AfterBusy() {
    if (hideWhenIdle_ && !Busy()) {
        hideWhenIdle_ = false;
        hide();
    }
}

}  // namespace t720
