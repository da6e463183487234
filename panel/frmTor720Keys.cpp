// The main window from the keyboard: the right-click actions of COM2 and "Spez" as
// small menus (the context-menu key or Shift+F10), Escape as the stop, and Space
// held on "Beep"; and what keeps the window still while its looks change.
#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <algorithm>

#include "panel/frmTor720.h"

namespace t720 {

namespace {

// A Space let go is taken as the end of the beep only when no press follows at
// once: under X a held key repeats as a release and a press together, which the
// window system does not always mark as a repeat.
constexpr int kBeepReleaseMs = 50;

bool IsMenuKey(const QKeyEvent& key) {
    return key.key() == Qt::Key_Menu ||
           (key.key() == Qt::Key_F10 && key.modifiers() == Qt::ShiftModifier);
}

}  // namespace

void frmTor720::BuildKeyMenus() {
    com2Menu = new QMenu(this);
    nextPortAction = com2Menu->addAction(QStringLiteral("Next COM port"));
    connect(nextPortAction, &QAction::triggered, this,
            [this] { Act([&] { sup_.CommandCOM2RightPress(); }); });
    spezMenu = new QMenu(this);
    lastRunAction = spezMenu->addAction(QStringLiteral("Show the last run again"));
    connect(lastRunAction, &QAction::triggered, this,
            [this] { Act([&] { panel_.CommandspDown(MouseButton::Right); }); });
    CommandCOM2->setAccessibleDescription(
        QStringLiteral("Right click or menu key: next COM port, while this link is selected"));
    Commandsp->setAccessibleDescription(
        QStringLiteral("Right click or menu key: show the last linearity run again"));
    Command6->setAccessibleDescription(
        QStringLiteral("The calibrator beeps while the button or the space bar is held"));

    beepRelease_.setSingleShot(true);
    beepRelease_.setInterval(kBeepReleaseMs);
    connect(&beepRelease_, &QTimer::timeout, this, [this] { EndBeep(); });
}

bool frmTor720::OwnMenuKey(QObject* watched, QEvent* event) {
    QMenu* menu = watched == CommandCOM2 ? com2Menu : watched == Commandsp ? spezMenu : nullptr;
    if (!menu) return false;
    // The window system gives the context-menu key a menu event of the keyboard;
    // the key itself (and Shift+F10) come here as keys.
    const bool key =
        event->type() == QEvent::KeyPress && IsMenuKey(*static_cast<QKeyEvent*>(event));
    const bool context =
        event->type() == QEvent::ContextMenu &&
        static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    if (!key && !context) return false;
    // The load toggle has no right-click action.
    if (menu == spezMenu && s_.LoadMode != 0) return true;
    auto* button = static_cast<QWidget*>(watched);
    // Under the mouse's rules: nothing while the window is off; the actions as the
    // right button has them (the port steps only on COM2, the last run is shown
    // only once one has ended).
    if (!button->isEnabled() || !panel_.Model().enabled) return true;
    nextPortAction->setEnabled(s_.LinkType == kLinkComX);
    lastRunAction->setEnabled(s_.ScanEnded && s_.LinkState == kLinkConnected);
    if (!QApplication::activePopupWidget()) {
        menu->popup(button->mapToGlobal(button->rect().bottomLeft()));
        if (!menu->actions().isEmpty()) menu->setActiveAction(menu->actions().first());
    }
    return true;
}

bool frmTor720::BeepEvent(QEvent* event) {
    // The calibrator beeps while the button is held, by any mouse button or the
    // space bar. Qt hands mouse events on a disabled button to its filters as
    // well: a button of a switched-off window must not act.
    const auto type = event->type();
    const auto* key = type == QEvent::KeyPress || type == QEvent::KeyRelease
                          ? static_cast<QKeyEvent*>(event)
                          : nullptr;
    const bool space = key && key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier;
    if (space && key->isAutoRepeat()) return true;
    const bool down = type == QEvent::MouseButtonPress || (space && type == QEvent::KeyPress);
    const bool up = type == QEvent::MouseButtonRelease || (space && type == QEvent::KeyRelease);
    if (down && beepRelease_.isActive()) {
        beepRelease_.stop();  // a repeat: the tone goes on
    } else if (down && Command6->isEnabled() && !beepHeld_) {
        beepHeld_ = true;
        Act([&] { panel_.Command6Down(); });
    } else if (up && beepHeld_) {
        if (space)
            beepRelease_.start();
        else
            EndBeep();
    } else if (type == QEvent::FocusOut && beepHeld_ &&
               QApplication::mouseButtons() == Qt::NoButton) {
        EndBeep();  // the key's release goes elsewhere now
    }
    return space;
}

void frmTor720::EndBeep() {
    beepRelease_.stop();
    if (!beepHeld_) return;
    beepHeld_ = false;
    // A run may have started in the pass of the press and switched the window
    // off: then the beep ends with the next transmission after it.
    if (Command6->isEnabled() && panel_.Model().enabled) {
        Act([&] { panel_.Command6Up(); });
    } else {
        panel_.Command6UpUnsent();
        Render();
    }
}

void frmTor720::keyPressEvent(QKeyEvent* event) {
    if (IsMenuKey(*event)) {
        // The menu of whatever has the focus, as its right click would open it.
        QWidget* target = focusWidget() ? focusWidget() : this;
        const QPoint at = target->rect().center();
        QContextMenuEvent menu(QContextMenuEvent::Keyboard, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &menu);
        return;
    }
    // The stop, as a click on the status bar (which stops only a run or the
    // linearity mode).
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        panel_.StatusBarClick();
        Render();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void frmTor720::KeepSteady() {
    // Buttons whose caption changes are as wide as their widest caption.
    const auto widest = [](QPushButton* b, std::initializer_list<const char*> captions) {
        const QString shown = b->text();
        int width = 0;
        for (const char* caption : captions) {
            b->setText(QString::fromUtf8(caption));
            width = std::max(width, b->sizeHint().width());
        }
        b->setText(shown);
        b->setMinimumWidth(width);
    };
    widest(CommandCOM2, {"COM2", "COM 9"});
    widest(Commandsp, {"Spez", "Load high", "Load low"});
    // The note may take up to four lines: the window keeps the room for them, so
    // that a longer note shrinks the empty space above it instead of growing the
    // window.
    const int lines = statusPanel2->height() / statusPanel2->fontMetrics().lineSpacing();
    setMinimumHeight(minimumSizeHint().height() +
                     std::max(0, 4 - lines) * statusPanel2->fontMetrics().lineSpacing());
}

}  // namespace t720
