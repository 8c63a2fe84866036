// SPDX-License-Identifier: MIT
// The tool box: its window and buttons, showing the tool state, and clicks that run the main
// window's commands, including a change the chip window refuses.
#include <QButtonGroup>
#include <QFrame>
#include <QSet>
#include <QToolBar>
#include <QToolButton>
#include <QToolTip>

#include "tools/UAlphaDlg.h"

#include "ShellTestSupport.h"
#include "platform/Checkerboard.h"
#include "shell/UTailViewWin.h"
#include "tools/UColorPaletteDlg.h"

using namespace shell;

class TestToolDlg : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void window();
    void buttons_data();
    void buttons();
    void showsToolState_data();
    void showsToolState();
    void clickRunsCommand_data();
    void clickRunsCommand();
    void refusedChangeShowsToolInForce_data();
    void refusedChangeShowsToolInForce();
    void loopButtonToggles();
    void colourPanelOpensPalette();
    void buttonsFollowTheirActions();
    void closingHidesAndShowingRefreshes();
    void onlyTheCloseBoxHidesAToolWindow_data();
    void onlyTheCloseBoxHidesAToolWindow();
    void tooltipsShowWhicheverWindowIsActive_data();
    void tooltipsShowWhicheverWindowIsActive();
    void placedWindowsStayInsideTheScreen_data();
    void placedWindowsStayInsideTheScreen();
};

void TestToolDlg::initTestCase()
{
    CreateMarloWindows();
    MainForm->show();
    activate(MainForm);
}

void TestToolDlg::cleanupTestCase()
{
    DestroyMarloWindows();
}

void TestToolDlg::init()
{
    ResetToolData();
    ToolDlg->show();
    ToolDlg->UpdateFromToolData();
}

void TestToolDlg::cleanup()
{
    // Let go of any button a test left held over a chip view.
    for (QMdiSubWindow* w : MainForm->mdiArea()->subWindowList())
        if (auto* chip = qobject_cast<TMDIChild*>(w->widget()))
            ChildwinProbe(*chip).dragging() = false;
    closeAllChips();
    ResetToolData();
}

void TestToolDlg::window()
{
    QCOMPARE(ToolDlg->windowTitle(), QStringLiteral("ToolDlg"));
    QVERIFY(ToolDlg->windowFlags() & Qt::Tool);
    QVERIFY(ToolDlg->windowFlags() & Qt::WindowStaysOnTopHint);
    QCOMPARE(ToolDlg->size(), QSize(138, 73));
    QCOMPARE(ToolDlg->minimumSize(), ToolDlg->maximumSize()); // fixed border
    QVERIFY(!ToolDlg->isModal());
    QCOMPARE(ToolDlg->parentWidget(), static_cast<QWidget*>(MainForm));
    // At start: pen down, loop up, black.
    QVERIFY(ToolDlg->FBtnPen->isChecked());
    QVERIFY(!ToolDlg->FBtnLoop->isChecked());
    QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window), QColor(Qt::black));
    QCOMPARE(ToolDlg->FPanelTool->geometry(), QRect(0, 0, 68, 68));
    QCOMPARE(ToolDlg->Panel1->geometry(), QRect(70, 0, 67, 36));
    QCOMPARE(ToolDlg->FPanelFrontColor->geometry(), QRect(104, 40, 32, 32));
    QCOMPARE(ToolDlg->FPanelFrontColor->frameShadow(), QFrame::Sunken);
}

void TestToolDlg::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QPoint>("at"); // in the window, the panel's border included
    QTest::addColumn<QString>("tooltip");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("stays");
    QTest::newRow("pen") << "pen" << QPoint(1, 1) << "" << "" << true;
    QTest::newRow("move") << "move" << QPoint(1, 33) << QStringLiteral("移動") << QStringLiteral("画像を移動させます．")
                          << true;
    QTest::newRow("mask") << "mask" << QPoint(33, 33) << QStringLiteral("選択範囲")
                          << QStringLiteral("選択範囲を囲みます．") << true;
    QTest::newRow("loop") << "loop" << QPoint(71, 1) << QStringLiteral("ループ(Ctrl+L)")
                          << QStringLiteral("ループ(Ctrl+L)") << true;
    QTest::newRow("ok") << "ok" << QPoint(72, 40) << QStringLiteral("決定") << QStringLiteral("動作を決定します．")
                        << false;
}

void TestToolDlg::buttons()
{
    QFETCH(QString, name);
    const QHash<QString, QToolButton*> byName{{"pen", ToolDlg->FBtnPen},
                                              {"move", ToolDlg->FBtnMove},
                                              {"mask", ToolDlg->FBtnMask},
                                              {"loop", ToolDlg->FBtnLoop},
                                              {"ok", ToolDlg->FBtnOk}};
    QToolButton* button = byName.value(name);
    QVERIFY(button);
    QTEST(button->mapTo(ToolDlg, QPoint(0, 0)), "at");
    QCOMPARE(button->size(), QSize(32, 32));
    QCOMPARE(button->iconSize(), QSize(28, 28));
    QTEST(button->toolTip(), "tooltip");
    QTEST(button->statusTip(), "status");
    QTEST(button->isCheckable(), "stays");
    // A picture of 28 by 28 pixels in at most 16 colours.
    const QImage picture = button->icon().pixmap(28, 28).toImage();
    QCOMPARE(picture.size(), QSize(28, 28));
    QSet<QRgb> colours;
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 28; ++x)
            colours.insert(picture.pixel(x, y));
    QVERIFY(colours.size() >= 2);
    QVERIFY(colours.size() <= 16);
}

void TestToolDlg::showsToolState_data()
{
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("tool");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<quint32>("colour");
    QTest::addColumn<QString>("down");
    QTest::newRow("pen") << int(ToolMask) << int(ToolPen) << false << quint32(0) << "pen";
    QTest::newRow("move, loop on") << int(ToolPen) << int(ToolMove) << true << quint32(RGBColor(255, 0, 0)) << "move";
    QTest::newRow("mask") << int(ToolPen) << int(ToolMask) << false << quint32(RGBColor(0, 128, 255)) << "mask";
    QTest::newRow("code 1 keeps the button") << int(ToolMove) << 1 << true << quint32(0x123456) << "move";
    QTest::newRow("unknown code keeps it") << int(ToolMask) << 9 << false << quint32(0xFFFFFF) << "mask";
    QTest::newRow("transparent pen: a checkerboard") << int(ToolPen) << int(ToolPen) << false << quint32(ClrTransparent)
                                                     << "pen";
}

void TestToolDlg::showsToolState()
{
    QFETCH(int, before);
    QFETCH(int, tool);
    QFETCH(bool, loop);
    QFETCH(quint32, colour);
    QFETCH(QString, down);
    ToolData->setTool(uint8_t(before));
    ToolDlg->UpdateFromToolData();
    ToolData->setTool(uint8_t(tool));
    ToolData->FLoop = loop;
    ToolData->setColor(colour);
    ToolDlg->UpdateFromToolData();
    QCOMPARE(ToolDlg->FBtnPen->isChecked(), down == "pen");
    QCOMPARE(ToolDlg->FBtnMove->isChecked(), down == "move");
    QCOMPARE(ToolDlg->FBtnMask->isChecked(), down == "mask");
    QCOMPARE(ToolDlg->FBtnLoop->isChecked(), loop);
    const QBrush panel = ToolDlg->FPanelFrontColor->palette().brush(QPalette::Window);
    if (colour == ClrTransparent)
        QVERIFY(panel.textureImage().pixel(0, 0) != panel.textureImage().pixel(kCheckerSquare, 0));
    else
        QCOMPARE(panel.color().rgb(), ColorToQRgb(colour));
}

void TestToolDlg::clickRunsCommand_data()
{
    QTest::addColumn<bool>("withChip");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("tool");
    QTest::newRow("move, no chip") << false << "move" << int(ToolMove);
    QTest::newRow("mask, no chip") << false << "mask" << int(ToolMask);
    QTest::newRow("move, chip") << true << "move" << int(ToolMove);
    QTest::newRow("mask, chip") << true << "mask" << int(ToolMask);
    QTest::newRow("pen after mask, chip") << true << "pen" << int(ToolPen);
}

void TestToolDlg::clickRunsCommand()
{
    QFETCH(bool, withChip);
    QFETCH(QString, button);
    if (withChip)
        newChip(QStringLiteral("NONAME1"));
    if (button == "pen") {
        QTest::mouseClick(ToolDlg->FBtnMask, Qt::LeftButton);
        QCOMPARE(ToolData->FTool, ToolMask);
    }
    QToolButton* b = button == "move" ? ToolDlg->FBtnMove : button == "mask" ? ToolDlg->FBtnMask : ToolDlg->FBtnPen;
    QTest::mouseClick(b, Qt::LeftButton);
    QTEST(int(ToolData->FTool), "tool");
    QVERIFY(b->isChecked());
    const int checked = int(ToolDlg->FBtnPen->isChecked()) + int(ToolDlg->FBtnMove->isChecked())
                        + int(ToolDlg->FBtnMask->isChecked());
    QCOMPARE(checked, 1);
}

// A stroke under way refuses every tool change; the box goes on showing the pen.
void TestToolDlg::refusedChangeShowsToolInForce_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("mask") << "mask";
    QTest::newRow("move") << "move";
}

void TestToolDlg::refusedChangeShowsToolInForce()
{
    QFETCH(QString, button);
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"), 16, 16);
    QTest::mousePress(chip->frontImage(), Qt::LeftButton, {}, QPoint(3, 3));
    QVERIFY(ChildwinProbe(*chip).dragging());
    QToolButton* b = button == "mask" ? ToolDlg->FBtnMask : ToolDlg->FBtnMove;
    QTest::mouseClick(b, Qt::LeftButton);
    QCOMPARE(ToolData->FTool, ToolPen);
    QVERIFY(ToolDlg->FBtnPen->isChecked());
    QVERIFY(!b->isChecked());
    // The same key after the stroke is let go.
    QTest::mouseRelease(chip->frontImage(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(b, Qt::LeftButton);
    QVERIFY(b->isChecked());
    QVERIFY(!ToolDlg->FBtnPen->isChecked());
}

void TestToolDlg::loopButtonToggles()
{
    for (bool withChip : {false, true}) {
        if (withChip)
            newChip(QStringLiteral("NONAME1"));
        QTest::mouseClick(ToolDlg->FBtnLoop, Qt::LeftButton);
        QCOMPARE(ToolData->FLoop, true);
        QVERIFY(ToolDlg->FBtnLoop->isChecked());
        // Even while an operation is under way.
        ToolData->FBusy = true;
        QTest::mouseClick(ToolDlg->FBtnLoop, Qt::LeftButton);
        ToolData->FBusy = false;
        QCOMPARE(ToolData->FLoop, false);
        QVERIFY(!ToolDlg->FBtnLoop->isChecked());
        // The loop button never touches the tool buttons.
        QVERIFY(ToolDlg->FBtnPen->isChecked());
    }
}

void TestToolDlg::colourPanelOpensPalette()
{
    ToolData->setColor(RGBColor(9, 8, 7));
    ToolDlg->UpdateFromToolData();
    bool opened = false;
    {
        ModalAnswer cancel([&](QWidget* modal) {
            opened = modal == ColorPaletteDlg;
            ColorPaletteDlg->reject();
        });
        QTest::mouseClick(ToolDlg->FPanelFrontColor, Qt::LeftButton);
        QVERIFY(cancel.answered());
    }
    QVERIFY(opened);
    QCOMPARE(ToolData->getColor(), RGBColor(9, 8, 7));
    QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window), QColor(9, 8, 7));
    {
        ModalAnswer ok([&](QWidget*) { ColorPaletteDlg->accept(); });
        QTest::mouseClick(ToolDlg->FPanelFrontColor, Qt::LeftButton);
        QVERIFY(ok.answered());
    }
    QCOMPARE(ToolData->getColor(), ColorPaletteDlg->getPickedColor());
    QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window).rgb(),
             ColorToQRgb(ColorPaletteDlg->getPickedColor()));
}

void TestToolDlg::buttonsFollowTheirActions()
{
    MainForm->ActChangeToolMask->setEnabled(false);
    QVERIFY(!ToolDlg->FBtnMask->isEnabled());
    QTest::mouseClick(ToolDlg->FBtnMask, Qt::LeftButton);
    QCOMPARE(ToolData->FTool, ToolPen);
    MainForm->ActChangeToolMask->setEnabled(true);
    QVERIFY(ToolDlg->FBtnMask->isEnabled());

    // OK confirms the current chip's tool: a selection is dropped.
    TMDIChild* chip = newChip(QStringLiteral("NONAME1"));
    ToolData->setTool(ToolMask);
    ChildwinProbe(*chip).selected() = true;
    QTest::mouseClick(ToolDlg->FBtnOk, Qt::LeftButton);
    QCOMPARE(ChildwinProbe(*chip).selected(), false);
    QVERIFY(!ToolDlg->FBtnOk->isChecked());
}

void TestToolDlg::closingHidesAndShowingRefreshes()
{
    ToolDlg->close();
    QVERIFY(!ToolDlg->isVisible());
    QVERIFY(ToolDlg); // only hidden
    ToolData->setTool(ToolMove);
    ToolData->FLoop = true;
    ToolData->setColor(RGBColor(200, 100, 50));
    activate(MainForm);
    QTest::keyClick(MainForm, Qt::Key_T, Qt::ControlModifier);
    QVERIFY(ToolDlg->isVisible());
    QVERIFY(ToolDlg->FBtnMove->isChecked());
    QVERIFY(ToolDlg->FBtnLoop->isChecked());
    QCOMPARE(ToolDlg->FPanelFrontColor->palette().color(QPalette::Window), QColor(200, 100, 50));
}

void TestToolDlg::onlyTheCloseBoxHidesAToolWindow_data()
{
    QTest::addColumn<QString>("window");
    QTest::newRow("tool box") << "ToolDlg";
    QTest::newRow("opacity window") << "AlphaDlg";
}

void TestToolDlg::onlyTheCloseBoxHidesAToolWindow()
{
    QFETCH(QString, window);
    QDialog* w = window == "ToolDlg" ? static_cast<QDialog*>(ToolDlg) : static_cast<QDialog*>(AlphaDlg);
    w->show();
    activate(w);
    QTest::keyClick(w, Qt::Key_Escape);
    QVERIFY(w->isVisible());
    QVERIFY(w->close());
    QVERIFY(!w->isVisible());
    w->show();
}

void TestToolDlg::tooltipsShowWhicheverWindowIsActive_data()
{
    QTest::addColumn<QString>("active");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("tooltip");
    QTest::newRow("tool box button, opacity window active") << "AlphaDlg" << "move" << "移動";
    QTest::newRow("tool bar button, tool box active") << "ToolDlg" << "new" << "新規";
}

// A button shows its tooltip when the pointer rests on it, not only while its own window is
// the active one.
void TestToolDlg::tooltipsShowWhicheverWindowIsActive()
{
    QFETCH(QString, active);
    QFETCH(QString, button);
    QFETCH(QString, tooltip);
    AlphaDlg->show();
    activate(active == "ToolDlg" ? static_cast<QWidget*>(ToolDlg) : static_cast<QWidget*>(AlphaDlg));
    QWidget* target = button == "move" ? static_cast<QWidget*>(ToolDlg->FBtnMove)
                                       : MainForm->ToolBar2->widgetForAction(MainForm->ActFileNew);
    QVERIFY(target);
    QToolTip::hideText();
    QTest::mouseMove(target, QPoint(5, 5));
    QTest::mouseMove(target, QPoint(6, 6));
    QTRY_VERIFY(QToolTip::isVisible());
    QCOMPARE(QToolTip::text(), tooltip);
    QToolTip::hideText();
}

void TestToolDlg::placedWindowsStayInsideTheScreen_data()
{
    QTest::addColumn<QString>("window");
    QTest::addColumn<QPoint>("designed");
    // The offscreen test screen is 800 by 800. The designed places of the opacity window and the
    // preview reach past its right edge; a scaled screen puts the tool box below its bottom edge;
    // the palette fits and stays put.
    QTest::newRow("tool box") << "ToolDlg" << QPoint(202, 780);
    QTest::newRow("opacity window") << "AlphaDlg" << QPoint(629, 159);
    QTest::newRow("tile preview") << "TailViewWin" << QPoint(396, 316);
    QTest::newRow("colour palette") << "ColorPaletteDlg" << QPoint(275, 106);
}

void TestToolDlg::placedWindowsStayInsideTheScreen()
{
    QFETCH(QString, window);
    QFETCH(QPoint, designed);
    QWidget* w = window == "ToolDlg"       ? static_cast<QWidget*>(ToolDlg)
                 : window == "AlphaDlg"    ? static_cast<QWidget*>(AlphaDlg)
                 : window == "TailViewWin" ? static_cast<QWidget*>(TailViewWin)
                                           : static_cast<QWidget*>(ColorPaletteDlg);
    w->hide();
    w->move(designed);
    w->show();
    const QRect area = w->screen()->availableGeometry();
    QVERIFY2(area.contains(w->frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                               .arg(w->x()).arg(w->y())
                                                               .arg(w->frameGeometry().width())
                                                               .arg(w->frameGeometry().height())));
    // Moved as little as possible: an axis that fitted keeps its coordinate.
    if (designed.x() + w->frameGeometry().width() <= area.right() + 1)
        QCOMPARE(w->x(), designed.x());
    if (designed.y() + w->frameGeometry().height() <= area.bottom() + 1)
        QCOMPARE(w->y(), designed.y());
    if (window == "TailViewWin" || window == "ColorPaletteDlg")
        w->hide();
}

QTEST_MAIN(TestToolDlg)
#include "test_tooldlg.moc"
