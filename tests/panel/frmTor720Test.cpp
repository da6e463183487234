// The main window's wiring: widgets reach the panel's operations and show its
// model. The logic itself is tested without widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QMouseEvent>
#include <QStatusBar>
#include <QTest>

#include "app/DialogueTrace.h"
#include "app/SettingsStore.h"
#include "panel/frmTor720.h"
#include "tests/support/Keyboard.h"
#include "tests/support/PanelRig.h"

namespace t720 {
namespace {

class frmTor720Test : public ::testing::Test, protected test::PanelRig {
  protected:
    frmTor720Test() {
        Start({}, "/ZOREinmessen");
        window.Render();
        window.show();
    }

    static std::string Text(const QString& text) { return text.toStdString(); }

    frmTor720 window{panel, sup, s};
};

TEST_F(frmTor720Test, ShowsTheModel) {
    EXPECT_EQ(Text(window.windowTitle()), m().title);
    EXPECT_EQ(Text(window.ChanLabel->text()), m().ChanLabel);
    EXPECT_EQ(Text(window.RangeLabel->text()), m().RangeLabel);
    EXPECT_EQ(Text(window.ProzLabel->text()), m().ProzLabel);
    EXPECT_EQ(Text(window.CommandCOM2->text()), m().CommandCOM2.caption);
    EXPECT_EQ(Text(window.CommandCOM2->toolTip()), m().CommandCOM2.tooltip);
    EXPECT_EQ(Text(window.statusPanel1->text()), m().statusPanel1);
    EXPECT_TRUE(window.txtMessages->toPlainText().startsWith("Connected to ZOR USB device"));
    EXPECT_TRUE(window.Commandsp->isVisible());
    EXPECT_FALSE(window.RelRef->isVisible());
    EXPECT_FALSE(window.Channel[9]->isVisible());
    EXPECT_TRUE(window.Range[5]->isVisible());  // the bench variant accepts range 6
    EXPECT_TRUE(window.CommandUSBb->styleSheet().contains("#00ff00"));
    EXPECT_FALSE(window.Textremo->isVisible());
}

TEST_F(frmTor720Test, ControlsReachThePanelAndRequestAPass) {
    s.TickCountdown = 7;
    QTest::mouseClick(window.Channel[4], Qt::LeftButton);
    EXPECT_EQ(s.ChannelNo, 4);
    EXPECT_EQ(Text(window.ChanLabel->text()), m().ChanLabel);
    EXPECT_EQ(window.ChanScroll->value(), 4);
    EXPECT_EQ(s.TickCountdown, 1);

    window.ProzScroll->setValue(5);
    EXPECT_EQ(s.ProzStep, 5);
    EXPECT_TRUE(window.Proze[5]->isChecked());
    EXPECT_EQ(Text(window.ProzLabel->text()), m().ProzLabel);

    QTest::mouseClick(window.Minus, Qt::LeftButton);
    EXPECT_EQ(s.SignFlag, 1);
    QTest::mouseClick(window.Command7, Qt::LeftButton);
    EXPECT_EQ(s.ReadyOn, 1);
    EXPECT_TRUE(window.Command7->styleSheet().contains("#ffff00"));
}

TEST_F(frmTor720Test, BeepSoundsWhileHeld) {
    lib.calls.clear();
    QTest::mousePress(window.Command6, Qt::LeftButton);
    EXPECT_TRUE(window.Command6->styleSheet().contains("#ff0000"));
    EXPECT_EQ(s.BeepOn, 1);
    QTest::mouseRelease(window.Command6, Qt::LeftButton);
    EXPECT_EQ(s.BeepOn, 0);
    EXPECT_EQ(lib.calls.size(), 6u);  // press, the pass it runs, release
}

TEST_F(frmTor720Test, ARightClickOnTheSecondPortStepsIt) {
    QTest::mouseClick(window.CommandCOM2, Qt::LeftButton);
    EXPECT_EQ(s.LinkType, kLinkComX);
    QTest::mousePress(window.CommandCOM2, Qt::RightButton);
    EXPECT_EQ(s.ComIncr, 1);
    EXPECT_EQ(Text(window.CommandCOM2->text()), m().CommandCOM2.caption);
}

// The context-menu key and Shift+F10 open the right click's action as a menu, under
// the right click's rules.
TEST_F(frmTor720Test, TheMenuKeysReachTheRightClickActions) {
    const auto choose = [&](QWidget* on, QMenu* menu, QTest::KeyAction, Qt::Key key,
                            Qt::KeyboardModifiers mods) {
        QTest::keyClick(on, key, mods);
        if (!menu->isVisible()) return false;
        QTest::keyClick(menu, Qt::Key_Return);
        return true;
    };
    QTest::mouseClick(window.CommandCOM2, Qt::LeftButton);
    ASSERT_TRUE(choose(window.CommandCOM2, window.com2Menu, {}, Qt::Key_Menu, {}));
    EXPECT_EQ(s.ComIncr, 1);
    ASSERT_TRUE(choose(window.CommandCOM2, window.com2Menu, {}, Qt::Key_F10, Qt::ShiftModifier));
    EXPECT_EQ(s.ComIncr, 2);
    QTest::mouseClick(window.CommandUSBb, Qt::LeftButton);  // the port steps only on COM2
    QTest::keyClick(window.CommandCOM2, Qt::Key_Menu);
    EXPECT_FALSE(window.nextPortAction->isEnabled());
    window.com2Menu->close();

    // "Spez": the last run, once one has ended and while connected.
    s.LinkState = kLinkConnected;
    QTest::keyClick(window.Commandsp, Qt::Key_Menu);
    EXPECT_FALSE(window.lastRunAction->isEnabled());
    window.spezMenu->close();
    s.ScanEnded = true;
    ASSERT_TRUE(choose(window.Commandsp, window.spezMenu, {}, Qt::Key_F10, Qt::ShiftModifier));
    EXPECT_EQ(s.LinkState, kLinkRedisplay);

    // Nothing while the window is off; Escape is the stop only in the linearity mode.
    s.LinkState = kLinkConnected;
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(s.StopRequest);
    panel.SetEnabled(false);
    QTest::keyClick(window.Commandsp, Qt::Key_Menu);
    EXPECT_FALSE(window.spezMenu->isVisible());
    s.LinkState = kLinkLinearityRun;
    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_TRUE(s.StopRequest);
}

// Tab walks the left column from the top, then the right one; every control has a
// name a screen reader can speak.
TEST_F(frmTor720Test, TabWalksFromTheTopLeftAndEveryControlIsNamed) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    const auto order = test::TabOrder(window.Channel[0]);
    const auto at = [&](const QWidget* w) { return w->mapTo(&window, QPoint()); };
    const auto right = [&](const QWidget* w) { return at(w).x() >= at(window.CommandUSBb).x(); };
    for (size_t i = 1; i < order.size(); ++i) {
        const QPoint a = at(order[i - 1]), b = at(order[i]);
        EXPECT_TRUE(right(order[i]) ? !right(order[i - 1]) || a.y() < b.y()
                                    : !right(order[i - 1]) &&
                                          (a.y() < b.y() || (a.y() == b.y() && a.x() < b.x())))
            << i;
    }
    // One stop per row of option buttons (the arrow keys choose in it), one per button.
    EXPECT_EQ(order.size(), 10u);
    EXPECT_EQ(order.back(), window.Commandsp);
    QTest::keyClick(order[0], Qt::Key_Right);
    EXPECT_EQ(s.ChannelNo, 1);
    EXPECT_EQ(test::Unnamed(window), std::vector<QString>{});
}

// X repeats a held key as a release and a press together, not always marked as a
// repeat: the tone must not flip.
TEST_F(frmTor720Test, SpaceHeldOnBeepIsOneSteadyTone) {
    lib.calls.clear();
    QTest::keyPress(window.Command6, Qt::Key_Space);
    for (int repeat = 0; repeat < 5; ++repeat) {
        QTest::keyRelease(window.Command6, Qt::Key_Space);
        QTest::keyPress(window.Command6, Qt::Key_Space);
    }
    EXPECT_EQ(s.BeepOn, 1);
    EXPECT_EQ(lib.calls.size(), 4u);  // the press and its pass
    QTest::keyRelease(window.Command6, Qt::Key_Space);
    ASSERT_TRUE(QTest::qWaitFor([&] { return s.BeepOn == 0; }));
    EXPECT_EQ(lib.calls.size(), 6u);
    EXPECT_TRUE(window.Command6->styleSheet().contains("palette(button)"));
}

// Colours, a note of two lines and the load button's captions move nothing: the
// note takes room from the empty space, the window keeps its size.
TEST_F(frmTor720Test, TheWindowStaysStillWhileItsLooksChange) {
    const auto settle = [] {
        for (int i = 0; i < 3; ++i) QApplication::processEvents();
    };
    // Where each control's lower edge stands in the window (the bar below grows
    // upwards into the room the central widget leaves).
    const auto layout = [&] {
        std::vector<std::string> places{Text(QString::number(window.height()))};
        for (const QWidget* w : window.findChildren<QWidget*>()) {
            if (w->isWindow() || !w->isVisible() || w == window.statusPanel2 ||
                w == window.statusBar() || w == window.centralWidget())
                continue;
            const QPoint corner = w->mapTo(&window, QPoint(0, w->height()));
            places.push_back(Text(QStringLiteral("%1 %2 at %3,%4 %5 wide")
                                      .arg(w->metaObject()->className(), w->accessibleName())
                                      .arg(corner.x())
                                      .arg(corner.y())
                                      .arg(w->width())));
        }
        return places;
    };
    settle();
    const auto before = layout();
    s.LoadMode = 1;
    for (QPushButton* b : {window.CommandUSBb, window.Command7, window.Commandsp, window.Commandsp})
        QTest::mouseClick(b, Qt::LeftButton);  // green or yellow, focused, "Load low", "Load high"
    QTest::mousePress(window.Command6, Qt::LeftButton);  // red
    panel.SetNote(QString("a note of two lines ").repeated(8).toStdString());
    window.Render();
    settle();
    const QLabel& note = *window.statusPanel2;
    EXPECT_EQ(note.height(), 2 * note.fontMetrics().lineSpacing());
    EXPECT_LE(note.y() + note.height(), window.statusBar()->height());  // whole
    const auto after = layout();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i) EXPECT_EQ(after[i], before[i]);
    QTest::mouseRelease(window.Command6, Qt::LeftButton);
}

TEST_F(frmTor720Test, ContextMenuOpensThePortsAndSwitchesTheTrace) {
    auto rightClick = [&](QWidget* w) {
        QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(2, 2),
                                w->mapToGlobal(QPoint(2, 2)));
        QApplication::sendEvent(w, &event);
    };
    rightClick(window.CommandCOM2);  // steps the port number instead
    EXPECT_FALSE(window.contextMenu->isVisible());
    rightClick(window.ChanLabel);
    EXPECT_TRUE(window.contextMenu->isVisible());
    // A port the settings name (this directory stands in for it) moves to COM5.
    const std::string named = dir.path().toStdString();
    OpenSettingsStore()->setValue("Ports/COM2", dir.path());
    window.portsAction->trigger();
    ASSERT_TRUE(window.Ports());
    EXPECT_TRUE(window.Ports()->isVisible());
    const QList<QTableWidgetItem*> row =
        window.Ports()->table->findItems(dir.path(), Qt::MatchExactly);
    ASSERT_EQ(row.size(), 1);
    window.Ports()->comChoice[static_cast<size_t>(row[0]->row())]->setCurrentIndex(5);
    window.Ports()->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    EXPECT_EQ(SerialDevicePath(5), named);
    EXPECT_EQ(SerialDevicePath(2), "/dev/ttyS1");
    window.traceAction->trigger();
    ASSERT_TRUE(DialogueTrace::Active());
    EXPECT_EQ(window.statusPanel2->text().toStdString(),
              "Dialogue trace: " + DialogueTrace::Active()->File().string());
    window.traceAction->trigger();
    EXPECT_FALSE(DialogueTrace::Active());
}

// Closing while a run or a search holds the thread is drilled with the whole program.
TEST_F(frmTor720Test, ClosingRunsTheShutdownOnceAndStopsTheTimer) {
    int shutdowns = 0;
    window.SetShutdown([&] { ++shutdowns; });
    window.StartTimer();
    window.close();
    window.close();
    EXPECT_EQ(shutdowns, 1);
    EXPECT_FALSE(window.Timer().isActive());
}

}  // namespace
}  // namespace t720
