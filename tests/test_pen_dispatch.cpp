// SPDX-License-Identifier: MIT
// The pointer dispatch of the chip view: which operation a press, a motion and a release reach
// for each tool, buttons and modifiers, and the pen's scroll mode outlasting a Ctrl release.
#include "PenTestHelpers.h"

using namespace pen;

class TestPenDispatch : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void press_data();
    void press();
    void modifiersDuringMotionDoNotCount();
    void onlyThePenShowsThePointer_data();
    void onlyThePenShowsThePointer();
    void scrollModeOutlastsTheRelease();
    void fractionalPositionsRoundDown_data();
    void fractionalPositionsRoundDown();
};

void TestPenDispatch::press_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<bool>("dragging");
    QTest::addColumn<bool>("scroll");
    QTest::addColumn<int>("snapshots"); // added by the release

    const Qt::KeyboardModifiers none, alt(Qt::AltModifier), ctrl(Qt::ControlModifier), shift(Qt::ShiftModifier);
    QTest::newRow("pen") << int(ToolPen) << Qt::LeftButton << none << true << false << 1;
    QTest::newRow("pen, right button") << int(ToolPen) << Qt::RightButton << none << true << false << 1;
    QTest::newRow("pen, middle button") << int(ToolPen) << Qt::MiddleButton << none << true << false << 1;
    QTest::newRow("pen, shift") << int(ToolPen) << Qt::LeftButton << shift << true << false << 1;
    QTest::newRow("pen, alt") << int(ToolPen) << Qt::LeftButton << alt << false << false << 1;
    QTest::newRow("pen, alt and ctrl") << int(ToolPen) << Qt::LeftButton << (alt | ctrl) << false << false << 1;
    QTest::newRow("pen, ctrl") << int(ToolPen) << Qt::LeftButton << ctrl << true << true << 1;
    QTest::newRow("pen, shift and ctrl") << int(ToolPen) << Qt::RightButton << (shift | ctrl) << true << true << 1;
    QTest::newRow("move, alt") << int(ToolMove) << Qt::LeftButton << alt << true << false << 0;
    QTest::newRow("move, ctrl, right button") << int(ToolMove) << Qt::RightButton << ctrl << true << false << 0;
    QTest::newRow("selection, ctrl") << int(ToolMask) << Qt::LeftButton << ctrl << true << false << 0;
    QTest::newRow("selection, alt, middle") << int(ToolMask) << Qt::MiddleButton << alt << true << false << 0;
}

// A press and release without motion in the middle of the chip.
void TestPenDispatch::press()
{
    QFETCH(int, tool);
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(bool, dragging);
    QFETCH(bool, scroll);
    QFETCH(int, snapshots);

    ToolData->setColor(RGBColor(1, 2, 3));
    auto c = MakeChip(8, 8, 2);
    ChildwinProbe probe(*c);
    ToolData->setTool(uint8_t(tool));

    Press(*c, QPoint(7, 7), mods, button);
    QCOMPARE(probe.dragging(), dragging);
    QCOMPARE(probe.scrollDrag(), scroll);
    Release(*c, QPoint(7, 7), button);
    QVERIFY(!probe.dragging());
    QCOMPARE(probe.scrollDrag(), scroll);
    QCOMPARE(int(probe.undoCount()) - 1, snapshots);
    // Only an Alt press with the pen picks: the pixel under it is white.
    const bool picked = tool == ToolPen && (mods & Qt::AltModifier);
    QCOMPARE(ToolData->getColor(), picked ? ClrWhite : RGBColor(1, 2, 3));
}

void TestPenDispatch::modifiersDuringMotionDoNotCount()
{
    auto c = MakeChip(8, 8, 1);
    ChildwinProbe probe(*c);
    Press(*c, QPoint(1, 1));
    for (auto mods : {Qt::AltModifier, Qt::ControlModifier, Qt::ShiftModifier}) {
        Motion(*c, QPoint(probe.toPt().X + 1, 1), Qt::LeftButton, mods);
    }
    Release(*c, QPoint(4, 1));
    QCOMPARE(text(paintedPixels(probe.chip())), QStringLiteral("(1,1) (2,1) (3,1)"));
    QVERIFY(!probe.scrollDrag());
}

void TestPenDispatch::onlyThePenShowsThePointer_data()
{
    QTest::addColumn<int>("tool");
    QTest::addColumn<QString>("panel");

    QTest::newRow("pen") << int(ToolPen) << "(3,2)";
    QTest::newRow("move") << int(ToolMove) << "";
    QTest::newRow("selection") << int(ToolMask) << "";
}

// Motion without a button runs the tool's motion operation; only the pen's shows the pixel.
void TestPenDispatch::onlyThePenShowsThePointer()
{
    QFETCH(int, tool);
    QFETCH(QString, panel);

    auto c = MakeChip(8, 8, 2);
    ChildwinProbe probe(*c);
    ToolData->setTool(uint8_t(tool));
    Motion(*c, QPoint(7, 5), Qt::NoButton);
    QCOMPARE(probe.panel1(), panel);
}

// After a Ctrl press and its release, motion still goes to the scroll: without a button it
// neither paints nor moves the readout, until the next press brings the pen back.
void TestPenDispatch::scrollModeOutlastsTheRelease()
{
    auto c = MakeChip(8, 8, 2);
    ChildwinProbe probe(*c);
    Motion(*c, QPoint(3, 3), Qt::NoButton);
    QCOMPARE(probe.panel1(), QStringLiteral("(1,1)"));

    Press(*c, QPoint(3, 3), Qt::ControlModifier);
    Release(*c, QPoint(3, 3));
    const Bitmap before = probe.chip();
    for (QPoint p : {QPoint(9, 9), QPoint(13, 3)})
        Motion(*c, p, Qt::NoButton);
    QCOMPARE(probe.panel1(), QStringLiteral("(1,1)"));
    QVERIFY(probe.chip() == before);
    QVERIFY(probe.scrollDrag());

    Press(*c, QPoint(5, 5));
    QVERIFY(!probe.scrollDrag());
    Motion(*c, QPoint(9, 5));
    Release(*c, QPoint(9, 5));
    QCOMPARE(probe.panel1(), QStringLiteral("(4,2)"));
    QCOMPARE(text(paintedPixels(probe.chip())), QStringLiteral("(2,2) (3,2)"));
}

void TestPenDispatch::fractionalPositionsRoundDown_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QPoint>("view");
    QTest::addColumn<QString>("panel");

    // A scaled screen reports the last device pixel of view pixel 7 at 2x as 7.5, at 1.5x as 7.67.
    QTest::newRow("2x, last device pixel of a chip pixel") << 8 << QPointF(7.5, 15.5) << QPoint(7, 15) << "(0,1)";
    QTest::newRow("1.5x") << 4 << QPointF(19.6667, 7.6667) << QPoint(19, 7) << "(4,1)";
    QTest::newRow("1.25x") << 1 << QPointF(5.8, 0.2) << QPoint(5, 0) << "(5,0)";
    QTest::newRow("left of the view") << 8 << QPointF(-0.25, 2.0) << QPoint(-1, 2) << "(0,0)";
}

// View coordinates are the floor of the event's position: rounding would give the next pixel.
void TestPenDispatch::fractionalPositionsRoundDown()
{
    QFETCH(int, zoom);
    QFETCH(QPointF, at);
    QFETCH(QPoint, view);
    QFETCH(QString, panel);

    auto c = MakeChip(8, 8, zoom);
    ChildwinProbe probe(*c);
    SendMouse(*c, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    QCOMPARE(probe.toPt(), (TPoint{view.x(), view.y()}));
    QCOMPARE(probe.panel1(), panel);
}

QTEST_MAIN(TestPenDispatch)
#include "test_pen_dispatch.moc"
