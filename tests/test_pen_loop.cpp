// SPDX-License-Identifier: MIT
// Loop mode of the pen: which copies a segment leaving the view gets, where the stroke and the
// pointer continue, and the swallowed echo of the pointer warp. The offscreen platform reports no
// motion for a warp, so the echo is sent here by hand; the real one is checked under X.
#include <QCursor>
#include <QMenu>
#include <QMessageBox>
#include <optional>

#include "PenTestHelpers.h"

using namespace pen;

class TestPenLoop : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void wrap_data();
    void wrap();
    void warpEchoIsSwallowed();
    void loopCopiesBlendOnce_data();
    void loopCopiesBlendOnce();
    void refusedWarpNeverPaintsAcrossTheJump_data();
    void refusedWarpNeverPaintsAcrossTheJump();
    void cursorComesBack_data();
    void cursorComesBack();
};

void TestPenLoop::wrap_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<QPoint>("wrappedFrom"); // FFromPt after the motion
    QTest::addColumn<QPoint>("wrappedTo");   // FToPt, where the pointer goes when it differs from "to"
    QTest::addColumn<PixelSet>("painted");
    QTest::addColumn<QString>("lastSegment"); // the points of the last copy painted

    QTest::newRow("left edge at zoom 8")
        << 8 << 8 << 8 << true << QPoint(3, 20) << QPoint(-2, 20) << QPoint(67, 20) << QPoint(62, 20)
        << PixelSet{{0, 2}} << "(8,2)";
    QTest::newRow("loop off") << 8 << 8 << 8 << false << QPoint(3, 20) << QPoint(-2, 20) << QPoint(3, 20)
                              << QPoint(-2, 20) << PixelSet{{0, 2}} << "(0,2)";
    QTest::newRow("right edge") << 8 << 8 << 8 << true << QPoint(60, 20) << QPoint(66, 20) << QPoint(-4, 20)
                                << QPoint(2, 20) << PixelSet{{7, 2}, {0, 2}} << "(0,2)";
    QTest::newRow("top edge") << 8 << 8 << 8 << true << QPoint(20, 5) << QPoint(20, -9) << QPoint(20, 69)
                              << QPoint(20, 55) << PixelSet{{2, 0}, {2, 7}} << "(2,8) (2,7)";
    QTest::newRow("bottom edge") << 8 << 8 << 8 << true << QPoint(20, 60) << QPoint(20, 64) << QPoint(20, -4)
                                 << QPoint(20, 0) << PixelSet{{2, 7}, {2, 0}} << "(2,0)";
    QTest::newRow("bottom-right corner: four copies")
        << 8 << 8 << 8 << true << QPoint(60, 60) << QPoint(66, 66) << QPoint(-4, -4) << QPoint(2, 2)
        << PixelSet{{7, 7}, {0, 7}, {0, 0}, {7, 0}} << "(7,0)";
    // In place (1,6) (1,5) (0,4) (0,3); horizontally (7,2) (7,1) (6,0); diagonally (6,7); the
    // vertical copy, painted last, lies outside.
    QTest::newRow("top-left corner, left edge first")
        << 8 << 8 << 1 << true << QPoint(1, 6) << QPoint(-3, -2) << QPoint(9, 14) << QPoint(5, 6)
        << PixelSet{{1, 6}, {1, 5}, {0, 4}, {0, 3}, {7, 2}, {7, 1}, {6, 0}, {6, 7}}
        << "(1,14) (1,13) (0,12) (0,11) (-1,10) (-1,9) (-2,8) (-2,7)";
    QTest::newRow("top-left corner, top edge first")
        << 8 << 8 << 1 << true << QPoint(6, 1) << QPoint(-2, -3) << QPoint(14, 9) << QPoint(6, 5)
        << PixelSet{{6, 1}, {5, 1}, {4, 0}, {3, 0}, {7, 6}, {2, 7}, {1, 7}, {0, 6}}
        << "(6,9) (5,9) (4,8) (3,8) (2,7) (1,7) (0,6) (-1,6)";
    QTest::newRow("no second wrap beyond the left edge")
        << 8 << 8 << 8 << true << QPoint(-5, 20) << QPoint(-10, 20) << QPoint(-5, 20) << QPoint(-10, 20)
        << PixelSet{{0, 2}} << "(0,2)";
    QTest::newRow("coming back in is no crossing")
        << 8 << 8 << 8 << true << QPoint(-9, 20) << QPoint(5, 20) << QPoint(-9, 20) << QPoint(5, 20)
        << PixelSet{} << "(-1,2)";
    QTest::newRow("height, not width, for the bottom edge")
        << 8 << 4 << 2 << true << QPoint(4, 6) << QPoint(4, 9) << QPoint(4, -2) << QPoint(4, 1)
        << PixelSet{{2, 3}} << "(2,-1)";
    QTest::newRow("width, not height, for the right edge")
        << 4 << 8 << 2 << true << QPoint(6, 4) << QPoint(9, 4) << QPoint(-2, 4) << QPoint(1, 4)
        << PixelSet{{3, 2}} << "(-1,2)";
    QTest::newRow("ending on the edge line is a crossing")
        << 8 << 8 << 8 << true << QPoint(40, 20) << QPoint(64, 20) << QPoint(-24, 20) << QPoint(0, 20)
        << PixelSet{{5, 2}, {6, 2}, {7, 2}} << "(-3,2) (-2,2) (-1,2)";
}

// One motion of a stroke from "from" to "to", both pressed and moved with real events.
void TestPenLoop::wrap()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, zoom);
    QFETCH(bool, loop);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(QPoint, wrappedFrom);
    QFETCH(QPoint, wrappedTo);
    QFETCH(PixelSet, painted);
    QFETCH(QString, lastSegment);

    ToolData->FLoop = loop;
    auto c = MakeChip(width, height, zoom);
    ChildwinProbe probe(*c);
    const QPoint parked(3, 4);
    QCursor::setPos(parked);

    Press(*c, from);
    Motion(*c, to);

    QCOMPARE(probe.fromPt(), (TPoint{wrappedFrom.x(), wrappedFrom.y()}));
    QCOMPARE(probe.toPt(), (TPoint{wrappedTo.x(), wrappedTo.y()}));
    QCOMPARE(text(paintedPixels(probe.chip())), text(painted));
    QCOMPARE(text(probe.linePts()), lastSegment);
    const bool wrapped = wrappedTo != to;
    QCOMPARE(probe.skipMouseMove(), wrapped);
    QCOMPARE(QCursor::pos(), wrapped ? c->frontImage()->mapToGlobal(wrappedTo) : parked);
    Release(*c, to);
}

// Zoom 8, chip 8 by 8: after the wrap from view x 3 to -2 the echo at x 62 is ignored entirely,
// and the next motion continues the stroke from there.
void TestPenLoop::warpEchoIsSwallowed()
{
    ToolData->FLoop = true;
    auto c = MakeChip(8, 8, 8);
    ChildwinProbe probe(*c);

    Press(*c, QPoint(3, 20));
    Motion(*c, QPoint(-2, 20));
    QCOMPARE(probe.panel1(), QStringLiteral("(0,2)"));
    QVERIFY(probe.skipMouseMove());

    Motion(*c, QPoint(62, 20)); // the echo
    QVERIFY(!probe.skipMouseMove());
    QCOMPARE(probe.panel1(), QStringLiteral("(0,2)"));
    QCOMPARE(probe.fromPt(), (TPoint{67, 20}));
    QCOMPARE(probe.toPt(), (TPoint{62, 20}));
    QCOMPARE(text(paintedPixels(probe.chip())), QStringLiteral("(0,2)"));

    Motion(*c, QPoint(50, 20));
    QCOMPARE(probe.panel1(), QStringLiteral("(6,2)"));
    Release(*c, QPoint(50, 20));
    QCOMPARE(text(paintedPixels(probe.chip())), QStringLiteral("(0,2) (7,2)"));
    QVERIFY(probe.undoBitmap(1) == probe.chip());
}

void TestPenLoop::loopCopiesBlendOnce_data()
{
    QTest::addColumn<TColor>("pen");
    QTest::addColumn<QRgb>("painted");
    QTest::newRow("red") << RGBColor(255, 0, 0) << qRgb(254, 126, 126);
    QTest::newRow("transparent: a partial erase") << ClrTransparent << qRgba(255, 255, 255, 127);
}

// Chip 2 by 2 at zoom 1: the segment from x 1 to x -3 and its copy shifted by 2 both cover
// (0,0) and (1,0); at opacity 128 each still blends once.
void TestPenLoop::loopCopiesBlendOnce()
{
    QFETCH(TColor, pen);
    QFETCH(QRgb, painted);
    ToolData->FLoop = true;
    ToolData->FAlpha = 128;
    ToolData->setColor(pen);
    auto c = MakeChip(2, 2, 1);
    ChildwinProbe probe(*c);

    Press(*c, QPoint(1, 0));
    Motion(*c, QPoint(-3, 0));
    Release(*c, QPoint(-3, 0));
    QCOMPARE(probe.chip().argb(0, 0), painted);
    QCOMPARE(probe.chip().argb(1, 0), painted);
    QCOMPARE(probe.chip().argb(0, 1), ColorToQRgb(ClrWhite));
}

void TestPenLoop::refusedWarpNeverPaintsAcrossTheJump_data()
{
    QTest::addColumn<QList<QPoint>>("path"); // the press, then the motions as they arrive
    QTest::addColumn<QPoint>("sentTo");      // where the stroke asked for the pointer
    QTest::addColumn<QString>("pixels");

    // Chip 8 by 8 at zoom 8. After the crossing the pointer is still beyond the edge: the next
    // motion is swallowed and the stroke goes on from it, so coming back paints only from there.
    QTest::newRow("right edge") << QList<QPoint>{{40, 20}, {70, 20}, {72, 20}, {50, 20}} << QPoint(6, 20)
                                << "(5,2) (6,2) (7,2)";
    QTest::newRow("left edge") << QList<QPoint>{{20, 20}, {-3, 20}, {-6, 20}, {12, 20}} << QPoint(61, 20)
                               << "(0,2) (1,2) (2,2)";
    QTest::newRow("bottom edge") << QList<QPoint>{{20, 40}, {20, 70}, {20, 72}, {20, 50}} << QPoint(20, 6)
                                 << "(2,5) (2,6) (2,7)";
    QTest::newRow("top edge") << QList<QPoint>{{20, 20}, {20, -3}, {20, -6}, {20, 12}} << QPoint(20, 61)
                              << "(2,0) (2,1) (2,2)";
    // A motion on its way before the warp, then the warp's echo: the stroke goes on from the echo.
    QTest::newRow("echo after a motion from before the warp")
        << QList<QPoint>{{40, 20}, {70, 20}, {72, 20}, {6, 20}, {20, 20}} << QPoint(6, 20)
        << "(0,2) (1,2) (5,2) (6,2) (7,2)";
    // The motion after the refused warp happens to come back inside at once.
    QTest::newRow("straight back in") << QList<QPoint>{{40, 20}, {70, 20}, {30, 28}, {20, 28}} << QPoint(6, 20)
                                      << "(5,2) (6,2) (7,2) (3,3)";
}

void TestPenLoop::refusedWarpNeverPaintsAcrossTheJump()
{
    QFETCH(QList<QPoint>, path);
    QFETCH(QPoint, sentTo);
    QFETCH(QString, pixels);

    RefusingPointer pointer;
    ToolData->FLoop = true;
    auto c = MakeChip(8, 8, 8);
    ChildwinProbe probe(*c);
    Press(*c, path.first());
    for (qsizetype i = 1; i < path.size(); ++i)
        Motion(*c, path[i]);
    Release(*c, path.last());

    QCOMPARE(pointer.asked.size(), size_t(1));
    QCOMPARE(pointer.asked.front(), (TPoint{sentTo.x(), sentTo.y()}));
    QCOMPARE(text(paintedPixels(probe.chip())), pixels);
}

void TestPenLoop::cursorComesBack_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("pointerMoves"); // false: a platform that never moves the pointer
    QTest::addColumn<QString>("ending");

    QTest::newRow("release") << true << true << "release";
    QTest::newRow("loop off: never hidden") << false << true << "release";
    QTest::newRow("pointer never carried: never hidden") << true << false << "release";
    QTest::newRow("window closed mid-stroke") << true << true << "close";
    QTest::newRow("modal box mid-stroke") << true << true << "modal";
    QTest::newRow("popup takes the pointer") << true << true << "popup";
    QTest::newRow("window deactivated") << true << true << "deactivate";
    QTest::newRow("release lost: motion without a button") << true << true << "lost release";
}

// A loop stroke hides the cursor and shows a mark of the view's own, where the platform can carry
// the pointer over; whatever ends the stroke, the cursor comes back and the mark goes.
void TestPenLoop::cursorComesBack()
{
    QFETCH(bool, loop);
    QFETCH(bool, pointerMoves);
    QFETCH(QString, ending);

    std::optional<RefusingPointer> refusing;
    if (!pointerMoves)
        refusing.emplace();
    ToolData->FLoop = loop;
    auto c = MakeChip(8, 8, 8);
    TImageControl* view = c->frontImage();
    c->show();
    c->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(c.get()));
    const auto markShown = [&c, view] {
        return !(Bitmap::fromImage(view->grab().toImage()) == ChildwinProbe(*c).reference());
    };

    Press(*c, QPoint(20, 20));
    Motion(*c, QPoint(30, 28));
    QCOMPARE(view->cursor().shape() == Qt::BlankCursor, loop && pointerMoves);
    QCOMPARE(markShown(), loop && pointerMoves);

    if (ending == QLatin1String("release")) {
        Release(*c, QPoint(30, 28));
    } else if (ending == QLatin1String("close")) {
        c->close();
    } else if (ending == QLatin1String("modal")) {
        MessageBoxCatcher boxes;
        QMessageBox::information(c.get(), QStringLiteral("t"), QStringLiteral("t"));
        QCOMPARE(boxes.boxes().size(), 1);
    } else if (ending == QLatin1String("popup")) {
        QMenu menu;
        menu.addAction(QStringLiteral("a"));
        menu.popup(view->mapToGlobal(QPoint(30, 28)));
        QVERIFY(QTest::qWaitForWindowExposed(&menu));
        menu.close();
    } else if (ending == QLatin1String("deactivate")) {
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
    } else {
        Motion(*c, QPoint(31, 28), Qt::NoButton);
    }
    QVERIFY(!view->pointerHidden());
    QVERIFY(view->cursor().shape() != Qt::BlankCursor);
    if (view->isVisible())
        QTRY_VERIFY(!markShown());
    HeldButtons() = Qt::NoButton;
}

QTEST_MAIN(TestPenLoop)
#include "test_pen_loop.moc"
