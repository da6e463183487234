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

TEST_F(frmTor720Test, APortThatCannotBeOpenedSaysWhyInTheStatusBar) {
    port.SetOpenable(false);
    port.openProblem = "no permission for /dev/ttyUSB0 (group dialout): add your user ...";
    QTest::mouseClick(window.CommandCOM1, Qt::LeftButton);
    EXPECT_EQ(window.txtMessages->toPlainText(), "Error accessing COM port");
    EXPECT_EQ(m().txtMessagesColour, kRed);
    EXPECT_EQ(m().CommandCOM1.back, kYellow);  // still searched
    EXPECT_EQ(window.statusPanel2->text().toStdString(), "COM1: " + port.openProblem);
    EXPECT_EQ(window.txtMessages->toolTip(), window.statusPanel2->text());
    QTest::mouseClick(window.CommandUSBb, Qt::LeftButton);
    EXPECT_EQ(window.statusPanel2->text(), "");
}

// A note is as high as its lines at the panel's width, after a resize too; beyond
// four lines it ends in an ellipsis and is whole in the tooltip.
TEST_F(frmTor720Test, ANoteShowsAllItsLinesUpToFour) {
    const QLabel& label = *window.statusPanel2;
    const int line = label.fontMetrics().lineSpacing(), narrow = window.minimumSizeHint().width();
    for (const auto& [words, width, lines] :
         {std::tuple{3, narrow, 1}, {12, narrow, 3}, {12, narrow + 300, 2}, {60, narrow, 4}}) {
        panel.SetNote(QString("cannot be opened ").repeated(words).toStdString());
        window.Render();
        window.resize(width, window.height());
        QApplication::processEvents();
        EXPECT_EQ(label.height(), lines * line) << words << " words at " << width;
        EXPECT_EQ(label.text() == label.toolTip(), lines < 4);
    }
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
