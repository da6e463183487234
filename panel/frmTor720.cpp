#include "panel/frmTor720.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStatusBar>
#include <QVBoxLayout>
#include <algorithm>
#include <span>

#include "app/DialogueTrace.h"
#include "app/QtText.h"
#include "panel/IndicatorLabel.h"

namespace t720 {

namespace {

QString CssColour(Colour c, const char* systemRole) {
    if (IsSystemColour(c)) return QStringLiteral("palette(%1)").arg(QLatin1String(systemRole));
    return QColor::fromRgb(ArgbOf(c)).name();
}

// One look for every command button, whatever colour it carries, so that a yellow
// or green button differs from the others only by its colour.
QString ButtonStyle(Colour back) {
    return QStringLiteral(
               "QPushButton { background-color: %1; color: black; border: 1px solid palette(dark);"
               " margin: 1px; border-radius: 4px; padding: 6px 14px; }"
               // A thicker border takes the margin's room: the button keeps its size.
               "QPushButton:pressed { border: 2px solid palette(shadow); margin: 0px; }"
               "QPushButton:focus { border: 2px solid palette(highlight); margin: 0px; }"
               "QPushButton:disabled { color: palette(mid); }")
        .arg(IsSystemColour(back) ? QStringLiteral("palette(button)") : CssColour(back, "button"));
}

void SetScroll(QScrollBar* bar, const ScrollBarModel& m) {
    const QSignalBlocker block(bar);
    bar->setRange(m.min, m.max);
    bar->setValue(m.value);
}

void SetButton(QPushButton* b, const ButtonModel& m, const ButtonModel* before) {
    if (!before || before->caption != m.caption) b->setText(Text(m.caption));
    if (!before || before->back != m.back) b->setStyleSheet(ButtonStyle(m.back));
    if (!before || before->visible != m.visible) b->setVisible(m.visible);
    if (!before || before->enabled != m.enabled) b->setEnabled(m.enabled);
    if (!before || before->tooltip != m.tooltip) b->setToolTip(Text(m.tooltip));
}

// Whether the widgets must follow `member`: always at the first render (`before`
// null), else when it differs from what they show.
template <typename Member>
bool Changed(const PanelModel* before, const PanelModel& m, Member PanelModel::*member) {
    return !before || before->*member != m.*member;
}

// Checks the button at `index` and no other, without firing their handlers.
template <size_t N>
void Select(std::array<QRadioButton*, N>& buttons, int index) {
    for (size_t i = 0; i < N; ++i) {
        const QSignalBlocker block(buttons[i]);
        buttons[i]->setChecked(static_cast<int>(i) == index);
    }
}

QLabel* Tick(const QString& text) {
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 0.85);
    l->setFont(f);
    l->setForegroundRole(QPalette::PlaceholderText);
    return l;
}

QLabel* ValueLabel() {
    auto* l = new QLabel;
    QFont f = l->font();
    f.setPointSizeF(f.pointSizeF() * 1.25);
    f.setBold(true);
    l->setFont(f);
    l->setMinimumWidth(
        l->fontMetrics().horizontalAdvance(QStringLiteral("- 100 % = - 1000.00 mV/V")));
    return l;
}

}  // namespace

frmTor720::frmTor720(MainPanel& panel, Supervisor& supervisor, SharedState& state, QWidget* parent)
    : QMainWindow(parent), panel_(panel), sup_(supervisor), s_(state) {
    BuildLayout();
    BuildContextMenu();
    BuildKeyMenus();
    Connect();
    panel_.SetRepaint([this] { RenderNow(); });
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, [this] { OnTick(); });
    sup_.SetReplan([this] {
        if (ticking_) PlanNextTick();
    });
    Render();
    KeepSteady();
}

int frmTor720::TwipsToPixels(int twips) const {
    return twips * logicalDpiX() / 1440;
}

void frmTor720::BuildLayout() {
    auto* central = new QWidget(this);
    auto* outer = new QHBoxLayout(central);
    auto* left = new QVBoxLayout;
    outer->addLayout(left, 1);
    BuildSettingRows(left);
    left->addWidget(BuildConnectionBox());
    left->addStretch(1);
    auto* right = new QVBoxLayout;
    outer->addLayout(right);
    BuildButtonColumn(right);
    setCentralWidget(central);
    BuildStatusBar();

    // Keyboard order: the output setting from top to bottom, then link and commands.
    QWidget* order[] = {Channel[0], ChanScroll, Range[0],  RangeScroll, Proze[0],    ProzScroll,
                        Plus,       Minus,      HBr,       CommandUSBb, CommandCOM1, CommandCOM2,
                        Command6,   Command7,   Commandsp, RelRef};
    for (size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

QGridLayout* frmTor720::BuildOptionRow(QVBoxLayout* into, const QString& title,
                                       std::span<QRadioButton*> buttons, QScrollBar*& bar,
                                       QLabel*& label, const std::function<QLabel*(int)>& tick) {
    const int count = static_cast<int>(buttons.size());
    auto* box = new QGroupBox(title);
    auto* grid = new QGridLayout(box);
    auto* group = new QButtonGroup(box);
    for (int i = 0; i < count; ++i) {
        auto* rb = new QRadioButton;
        rb->setAccessibleName(QStringLiteral("%1 %2").arg(title).arg(i));
        buttons[static_cast<size_t>(i)] = rb;
        group->addButton(rb, i);
        grid->addWidget(rb, 0, i, Qt::AlignHCenter);
        grid->addWidget(tick(i), 1, i);
    }
    bar = new QScrollBar(Qt::Horizontal);
    bar->setAccessibleName(title);
    bar->setPageStep(1);
    grid->addWidget(bar, 2, 0, 1, count);
    label = ValueLabel();
    grid->addWidget(label, 0, count, 3, 1, Qt::AlignVCenter | Qt::AlignLeft);
    grid->setColumnStretch(count, 1);
    into->addWidget(box);
    return grid;
}

void frmTor720::BuildSettingRows(QVBoxLayout* into) {
    BuildOptionRow(into, QStringLiteral("Channel"), Channel, ChanScroll, ChanLabel,
                   [](int i) { return Tick(QString::number(i)); });
    BuildOptionRow(into, QStringLiteral("Range"), Range, RangeScroll, RangeLabel,
                   [this](int i) { return rangeTicks[static_cast<size_t>(i)] = Tick(QString()); });
    QGridLayout* prozGrid =
        BuildOptionRow(into, QStringLiteral("Output"), Proze, ProzScroll, ProzLabel,
                       [](int i) { return Tick(QString::number(i * 10)); });

    // Sign and half bridge under the percent row.
    auto* signRow = new QHBoxLayout;
    Plus = new QRadioButton(QStringLiteral("+"));
    Minus = new QRadioButton(QStringLiteral("-"));
    auto* signGroup = new QButtonGroup(this);
    signGroup->addButton(Plus);
    signGroup->addButton(Minus);
    HBr = new QCheckBox(QStringLiteral("HB"));
    HBr->setToolTip(QStringLiteral("Half bridge"));
    HBr->setAccessibleName(HBr->toolTip());
    Plus->setAccessibleName(QStringLiteral("Sign plus"));
    Minus->setAccessibleName(QStringLiteral("Sign minus"));
    signRow->addWidget(Plus);
    signRow->addWidget(Minus);
    signRow->addSpacing(24);
    signRow->addWidget(HBr);
    signRow->addStretch(1);
    prozGrid->addLayout(signRow, 3, 0, 1, static_cast<int>(Proze.size()));
}

QGroupBox* frmTor720::BuildConnectionBox() {
    auto* messages = new QGroupBox(QStringLiteral("Connection"));
    auto* messagesLayout = new QVBoxLayout(messages);
    txtMessages = new QPlainTextEdit;
    txtMessages->setReadOnly(true);
    txtMessages->setFocusPolicy(Qt::NoFocus);
    txtMessages->setFixedHeight(txtMessages->fontMetrics().lineSpacing() * 4 + 12);
    txtMessages->setAccessibleName(QStringLiteral("Connection messages"));
    messagesLayout->addWidget(txtMessages);
    Textremo = new QLabel;
    QFont big = Textremo->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    Textremo->setFont(big);
    Textremo->setStyleSheet(QStringLiteral("color: #d00000;"));
    Textremo->setAlignment(Qt::AlignCenter);
    Textremo->setAccessibleName(QStringLiteral("Calibrator message"));
    // The message comes and goes with every pass's verdict; keep its room so the
    // window does not jump.
    QSizePolicy keep = Textremo->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    Textremo->setSizePolicy(keep);
    messagesLayout->addWidget(Textremo);
    return messages;
}

void frmTor720::BuildButtonColumn(QVBoxLayout* into) {
    auto* linkBox = new QGroupBox(QStringLiteral("Link"));
    auto* linkLayout = new QVBoxLayout(linkBox);
    CommandUSBb = new QPushButton;
    CommandCOM1 = new QPushButton;
    CommandCOM2 = new QPushButton;
    for (auto* b : {CommandUSBb, CommandCOM1, CommandCOM2}) linkLayout->addWidget(b);
    into->addWidget(linkBox);
    auto* cmdBox = new QGroupBox(QStringLiteral("Commands"));
    auto* cmdLayout = new QVBoxLayout(cmdBox);
    Command6 = new QPushButton;
    Command7 = new QPushButton;
    Commandsp = new QPushButton;
    RelRef = new QPushButton;
    Command6->setToolTip(QStringLiteral("The calibrator beeps while the button is held"));
    for (auto* b : {Command6, Command7, Commandsp, RelRef}) cmdLayout->addWidget(b);
    into->addWidget(cmdBox);
    into->addStretch(1);
    // Their right clicks, the beep's press and release, and their menu keys.
    for (auto* b : {CommandCOM2, Command6, Commandsp}) b->installEventFilter(this);
}

void frmTor720::BuildStatusBar() {
    // The indicator changes on every pass: it repaints itself alone.
    statusPanel1 = new IndicatorLabel(
        {QStringLiteral("Data transfer: --"), QStringLiteral("USB Datenverkehr")});
    statusPanel2 = new QLabel;
    // Named for assistive technologies and for anybody driving the window from outside.
    statusPanel1->setAccessibleName(
        QStringLiteral("Data transfer; click or press Escape to stop a linearity run"));
    statusPanel2->setAccessibleName(QStringLiteral("Notes"));
    // A long note wraps instead of widening the window (see FitNote).
    statusPanel2->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    statusPanel2->setWordWrap(true);
    statusPanel2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Without a grip the bar is exactly as high as its panels, which keep their
    // bottom line where it is when a note takes more lines.
    statusBar()->setSizeGripEnabled(false);
    statusBar()->addWidget(statusPanel1);
    statusBar()->addWidget(statusPanel2, 1);
    // A click anywhere on the bar is the stop request.
    statusBar()->installEventFilter(this);
    statusPanel1->installEventFilter(this);
    statusPanel2->installEventFilter(this);
    statusBar()->setToolTip(QStringLiteral("Click to stop a linearity measurement"));
}

void frmTor720::Connect() {
    for (int i = 0; i < 16; ++i)
        connect(Channel[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Act([&] { panel_.ChannelClick(i); }); });
    for (int i = 0; i < 6; ++i)
        connect(Range[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Act([&] { panel_.RangeClick(i); }); });
    for (int i = 0; i < 11; ++i)
        connect(Proze[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Act([&] { panel_.ProzeClick(i); }); });
    connect(ChanScroll, &QScrollBar::valueChanged, this,
            [this](int v) { Act([&] { panel_.ChanScrollChange(v); }); });
    connect(RangeScroll, &QScrollBar::valueChanged, this,
            [this](int v) { Act([&] { panel_.RangeScrollChange(v); }); });
    connect(ProzScroll, &QScrollBar::valueChanged, this,
            [this](int v) { Act([&] { panel_.ProzScrollChange(v); }); });
    connect(Plus, &QRadioButton::clicked, this, [this] { Act([&] { panel_.PlusClick(); }); });
    connect(Minus, &QRadioButton::clicked, this, [this] { Act([&] { panel_.MinusClick(); }); });
    connect(HBr, &QCheckBox::clicked, this,
            [this](bool checked) { Act([&] { panel_.HBrClick(checked); }); });
    connect(CommandUSBb, &QPushButton::clicked, this,
            [this] { Act([&] { sup_.CommandUSBbClick(); }); });
    connect(CommandCOM1, &QPushButton::clicked, this,
            [this] { Act([&] { sup_.CommandCOM1Click(); }); });
    connect(CommandCOM2, &QPushButton::clicked, this,
            [this] { Act([&] { sup_.CommandCOM2Click(); }); });
    connect(Command7, &QPushButton::clicked, this,
            [this] { Act([&] { panel_.Command7Click(); }); });
    connect(Commandsp, &QPushButton::clicked, this,
            [this] { Act([&] { panel_.CommandspClick(); }); });
    connect(RelRef, &QPushButton::clicked, this, [this] { Act([&] { panel_.RelRefClick(); }); });
}

bool frmTor720::eventFilter(QObject* watched, QEvent* event) {
    const auto type = event->type();
    const bool press = type == QEvent::MouseButtonPress;
    const bool release = type == QEvent::MouseButtonRelease;
    if (watched == statusBar() || watched == statusPanel1 || watched == statusPanel2) {
        // The note's lines follow the panel's width when the window is resized.
        if (watched == statusPanel2 && type == QEvent::Resize &&
            static_cast<QResizeEvent*>(event)->oldSize().width() != statusPanel2->width())
            FitNote();
        // The stop request: the status bar stays in use while the window is off.
        if (press) {
            panel_.StatusBarClick();
            Render();
        }
        return false;
    }
    // Qt hands mouse events on a disabled widget to its filters as well: a button
    // of a switched-off window must not act.
    const auto* widget = qobject_cast<QWidget*>(watched);
    const bool usable = widget && widget->isEnabled();
    auto* mouse = (press || release) ? static_cast<QMouseEvent*>(event) : nullptr;
    if (watched == Command6) return BeepEvent(event);
    if (OwnMenuKey(watched, event)) return true;
    if (!usable) return false;
    if (watched == CommandCOM2 && press && mouse->button() == Qt::RightButton) {
        Act([&] { sup_.CommandCOM2RightPress(); });
        return true;
    }
    if (watched == Commandsp && press) {
        const MouseButton b = mouse->button() == Qt::RightButton  ? MouseButton::Right
                              : mouse->button() == Qt::LeftButton ? MouseButton::Left
                                                                  : MouseButton::Middle;
        Act([&] { panel_.CommandspDown(b); });
        return b == MouseButton::Right;
    }
    return false;
}

void frmTor720::Act(const std::function<void()>& action) {
    // While the window is switched off (a linearity run) none of its handlers runs,
    // whatever path an event took to get here.
    if (!panel_.Model().enabled) return;
    action();
    Render();
}

void frmTor720::OnTick() {
    sup_.CountIdleTicks(sleptTicks_ - 1);
    sup_.TimerTick();
    PlanNextTick();
    Render();
    if (closePending_ && !(busy_ && busy_()) && !sup_.InPass()) close();
}

void frmTor720::StartTimer() {
    ticking_ = true;
    grid_.start();
    PlanNextTick();
}

void frmTor720::PlanNextTick() {
    // The ticks keep to the 3 ms grid the timer started on, however long a pass took:
    // the tick after now, and as many more as the countdown needs.
    constexpr qint64 kTickNs = kTickMs * qint64{1'000'000};
    const qint64 now = grid_.nsecsElapsed();
    sleptTicks_ = sup_.TicksToNextPass();
    const qint64 due = (now / kTickNs + sleptTicks_) * kTickNs;
    timer_.start(static_cast<int>((due - now + 999'999) / 1'000'000));
}

void frmTor720::closeEvent(QCloseEvent* event) {
    if (shutDown_) {
        event->accept();
        return;
    }
    // An open pop-up menu runs an event loop of its own; above a run or a search it
    // would hold them, and with them the end of the program, until the operator
    // dismissed it.
    while (QWidget* popup = QApplication::activePopupWidget())
        if (!popup->close()) break;
    if (sup_.InPass() || (busy_ && busy_())) {
        // A run or a search is on the stack below us: ask it to stop and close
        // when it has returned.
        s_.StopRequest = true;
        closePending_ = true;
        event->ignore();
        return;
    }
    shutDown_ = true;
    ticking_ = false;
    timer_.stop();
    if (shutdown_) shutdown_();
    event->accept();
    QApplication::closeAllWindows();
    QApplication::quit();
}

void frmTor720::BuildContextMenu() {
    contextMenu = new QMenu(this);
    contextMenu->setToolTipsVisible(true);
    portsAction = contextMenu->addAction(QStringLiteral("Ports…"));
    portsAction->setToolTip(
        QStringLiteral("The serial ports of this computer and their COM numbers"));
    connect(portsAction, &QAction::triggered, this, [this] { ShowPorts(); });
    traceAction = contextMenu->addAction(QStringLiteral("Dialogue trace"));
    traceAction->setCheckable(true);
    traceAction->setToolTip(
        QStringLiteral("Every line to and from the calibrator and the DMM, into %1")
            .arg(QString::fromStdString(DefaultTraceDirectory().string())));
    connect(traceAction, &QAction::toggled, this, [this](bool on) { SwitchTrace(on); });
}

void frmTor720::contextMenuEvent(QContextMenuEvent* event) {
    if (!panel_.Model().enabled) return;  // out of use with the window
    // These have right-click actions of their own: the next port, the last run, the
    // stop of a run.
    const QWidget* at = childAt(event->pos());
    for (const QWidget* own : {static_cast<QWidget*>(CommandCOM2), static_cast<QWidget*>(Commandsp),
                               static_cast<QWidget*>(statusBar())})
        if (at && (at == own || own->isAncestorOf(at))) return;
    {
        const QSignalBlocker block(traceAction);
        traceAction->setChecked(DialogueTrace::Active() != nullptr);
    }
    // A pop-up, not a menu loop of its own: a run below keeps running.
    contextMenu->popup(event->globalPos());
    event->accept();
}

void frmTor720::ShowPorts() {
    if (!ports_) {
        ports_ = new PortsDialog(this);
        ports_->setAttribute(Qt::WA_DeleteOnClose);
    }
    ports_->open();
    ports_->raise();
}

void frmTor720::SwitchTrace(bool on) {
    if (!on) {
        DialogueTrace::Stop();
        panel_.SetNote("Dialogue trace off");
    } else if (DialogueTrace::Start(DefaultTraceDirectory())) {
        panel_.SetNote("Dialogue trace: " + DialogueTrace::Active()->File().string());
    } else {
        panel_.SetNote("Dialogue trace cannot be written: " + DialogueTrace::Problem());
        const QSignalBlocker block(traceAction);
        traceAction->setChecked(false);
    }
    Render();
}

void frmTor720::RenderNow() {
    Render();
    // Paint what changed now, before the caller holds the thread; a window with
    // nothing changed costs nothing (this runs before every transmission).
    QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

void frmTor720::Render() {
    const PanelModel& m = panel_.Model();
    // Every 3 ms tick renders; nine ticks in ten change nothing.
    if (!firstRender_ && m == shown_ && s_.RangeTab == shownRangeTab_) return;
    const PanelModel* before = firstRender_ ? nullptr : &shown_;
    RenderWindow(m, before);
    RenderSettingRows(m, before);
    RenderSettingValues(m, before);
    RenderButtons(m, before);
    RenderMessages(m, before);
    shown_ = m;
    shownRangeTab_ = s_.RangeTab;
    firstRender_ = false;
}

void frmTor720::RenderWindow(const PanelModel& m, const PanelModel* before) {
    if (Changed(before, m, &PanelModel::title)) setWindowTitle(Text(m.title));
    if (Changed(before, m, &PanelModel::enabled)) {
        // Switching the widgets off takes the focus from them: keep where it was, so
        // that an operator at the keyboard (Space on "Spez", say) finds it there again.
        if (!m.enabled) focusBeforeOff_ = focusWidget();
        centralWidget()->setEnabled(m.enabled);
        // Back in use after a linearity run: back in front too, with its focus.
        if (before && m.enabled) {
            raise();
            activateWindow();
            if (focusBeforeOff_) focusBeforeOff_->setFocus(Qt::OtherFocusReason);
        }
    }
}

void frmTor720::RenderSettingRows(const PanelModel& m, const PanelModel* before) {
    if (Changed(before, m, &PanelModel::ChanScroll)) SetScroll(ChanScroll, m.ChanScroll);
    if (Changed(before, m, &PanelModel::RangeScroll)) {
        SetScroll(RangeScroll, m.RangeScroll);
        // The bar spans the range buttons above it; its width in the model is the
        // least it may have (five or six ranges).
        if (m.RangeScroll.widthTwips > 0)
            RangeScroll->setMinimumWidth(TwipsToPixels(m.RangeScroll.widthTwips));
    }
    if (Changed(before, m, &PanelModel::ProzScroll)) SetScroll(ProzScroll, m.ProzScroll);

    if (Changed(before, m, &PanelModel::channelSelected)) Select(Channel, m.channelSelected);
    if (Changed(before, m, &PanelModel::rangeSelected)) Select(Range, m.rangeSelected);
    if (Changed(before, m, &PanelModel::prozSelected)) Select(Proze, m.prozSelected);
    if (Changed(before, m, &PanelModel::channelVisible)) {
        for (size_t i = 0; i < 16; ++i) {
            Channel[i]->setVisible(m.channelVisible[i]);
            // The value beneath the button goes with it.
            if (auto* grid = qobject_cast<QGridLayout*>(Channel[i]->parentWidget()->layout()))
                if (auto* item = grid->itemAtPosition(1, static_cast<int>(i)))
                    if (item->widget()) item->widget()->setVisible(m.channelVisible[i]);
        }
    }
    if (Changed(before, m, &PanelModel::rangeVisible)) {
        for (size_t i = 0; i < 6; ++i) {
            Range[i]->setVisible(m.rangeVisible[i]);
            rangeTicks[i]->setVisible(m.rangeVisible[i]);
        }
    }
    // The values beneath the range buttons follow the calibrator's range table.
    for (size_t i = 0; i < 6; ++i) {
        const int32_t fs = s_.RangeTab[i + 1];
        const QString tick = fs == 0 ? QString() : QString::number(FullScaleMvV(fs));
        if (rangeTicks[i]->text() != tick) rangeTicks[i]->setText(tick);
    }
}

void frmTor720::RenderSettingValues(const PanelModel& m, const PanelModel* before) {
    if (Changed(before, m, &PanelModel::ChanLabel)) ChanLabel->setText(Text(m.ChanLabel));
    if (Changed(before, m, &PanelModel::RangeLabel)) RangeLabel->setText(Text(m.RangeLabel));
    if (Changed(before, m, &PanelModel::ProzLabel)) ProzLabel->setText(Text(m.ProzLabel));
    if (Changed(before, m, &PanelModel::minusSelected)) {
        const QSignalBlocker b1(Plus), b2(Minus);
        Plus->setChecked(!m.minusSelected);
        Minus->setChecked(m.minusSelected);
    }
    if (Changed(before, m, &PanelModel::HBrVisible)) HBr->setVisible(m.HBrVisible);
    if (Changed(before, m, &PanelModel::HBrChecked)) {
        const QSignalBlocker block(HBr);
        HBr->setChecked(m.HBrChecked);
    }
}

void frmTor720::RenderButtons(const PanelModel& m, const PanelModel* before) {
    for (const auto& [button, model] : {std::pair{CommandUSBb, &PanelModel::CommandUSBb},
                                        {CommandCOM1, &PanelModel::CommandCOM1},
                                        {CommandCOM2, &PanelModel::CommandCOM2},
                                        {Command6, &PanelModel::Command6},
                                        {Command7, &PanelModel::Command7},
                                        {Commandsp, &PanelModel::Commandsp},
                                        {RelRef, &PanelModel::RelRef}})
        SetButton(button, m.*model, before ? &(before->*model) : nullptr);
}

void frmTor720::RenderMessages(const PanelModel& m, const PanelModel* before) {
    if (Changed(before, m, &PanelModel::txtMessages))
        txtMessages->setPlainText(Text(m.txtMessages));
    if (Changed(before, m, &PanelModel::txtMessagesColour))
        txtMessages->setStyleSheet(QStringLiteral("QPlainTextEdit { color: %1; }")
                                       .arg(CssColour(m.txtMessagesColour, "text")));
    if (Changed(before, m, &PanelModel::Textremo)) Textremo->setText(Text(m.Textremo));
    if (Changed(before, m, &PanelModel::TextremoVisible)) Textremo->setVisible(m.TextremoVisible);
    if (Changed(before, m, &PanelModel::statusPanel1)) statusPanel1->setText(Text(m.statusPanel1));
    if (Changed(before, m, &PanelModel::statusNote) ||
        Changed(before, m, &PanelModel::portProblem)) {
        // The reason a port cannot be opened stands beside "Error accessing COM port"
        // as long as it lasts, with what fixes it: on further lines when the panel is
        // too narrow for one, and in full in the tooltips.
        note_ = Text(m.portProblem.empty() ? m.statusNote : m.portProblem);
        statusPanel2->setToolTip(note_);
        txtMessages->setToolTip(Text(m.portProblem));
        FitNote();
    }
}

void frmTor720::FitNote() {
    // The panel is as high as the note's lines at its width, one line at least, so
    // that a short note looks as it always did, and four at most: a longer note ends
    // in an ellipsis there and is whole in the tooltip.
    const QFontMetrics fm = statusPanel2->fontMetrics();
    const int most = 4 * fm.lineSpacing();
    const QRect room(0, 0, std::max(statusPanel2->contentsRect().width(), 1), 100 * most);
    const auto height = [&](const QString& text) {
        return fm.boundingRect(room, Qt::AlignLeft | Qt::TextWordWrap, text).height();
    };
    QString shown = note_;
    if (height(note_) > most) {
        // The longest start of the note that fits with the ellipsis after it.
        qsizetype fits = 0;
        for (qsizetype low = 1, high = note_.size(); low <= high;) {
            const qsizetype mid = (low + high) / 2;
            if (height(note_.left(mid).trimmed() + QChar(0x2026)) <= most) {
                fits = mid;
                low = mid + 1;
            } else {
                high = mid - 1;
            }
        }
        shown = note_.left(fits).trimmed() + QChar(0x2026);
    }
    statusPanel2->setText(shown);
    statusPanel2->setFixedHeight(std::clamp(height(shown), fm.lineSpacing(), most));
    // The indicator beside it keeps to the bottom line, where it always stands.
    statusPanel1->setFixedHeight(statusPanel2->height());
}

}  // namespace t720
