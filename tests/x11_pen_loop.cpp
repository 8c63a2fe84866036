// SPDX-License-Identifier: MIT
// Loop mode with a real pointer on a real X server (or on Windows): the stroke is drawn with xdotool, the pointer
// must land on the opposite side after the wrap, the warp's own motion must be swallowed, and the
// saved file must hold exactly the pixels of the stroke.
#include <QCursor>

#include "PenTestHelpers.h"

using namespace pen;

class X11PenLoop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init() { ResetToolData(); }
    void cleanup();

    void strokeAcrossAnEdge_data();
    void strokeAcrossAnEdge();
    void altClickPicksTheColour();

private:
    static void xdotool(const QStringList& args);
    static void pointAt(TMDIChild& chip, QPoint p);
};

void X11PenLoop::initTestCase()
{
    if (!X11Tool::installed(QStringLiteral("xdotool")))
        QSKIP("xdotool is not installed");
}

// A failed case must not leave the button down for the next one.
void X11PenLoop::cleanup()
{
    Xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
}

void X11PenLoop::xdotool(const QStringList& args)
{
    QVERIFY(Xdotool(args));
}

// A window that has only just come up under the pointer may not hear of it (Wine maps its windows
// after Windows shows them): point elsewhere and back until the view has seen it.
void X11PenLoop::pointAt(TMDIChild& chip, QPoint p)
{
    ChildwinProbe probe(chip);
    TImageControl* view = chip.frontImage();
    const auto moveTo = [view](QPoint at) {
        const QPoint s = view->mapToGlobal(at);
        Xdotool({QStringLiteral("mousemove"), QString::number(s.x()), QString::number(s.y())});
    };
    for (int i = 0; i < 20 && !(probe.toPt() == TPoint{p.x(), p.y()}); ++i) {
        moveTo(p + QPoint(1, 1));
        QTest::qWait(30);
        moveTo(p);
        QTest::qWait(30);
    }
    QTRY_COMPARE(probe.toPt(), (TPoint{p.x(), p.y()}));
}

void X11PenLoop::strokeAcrossAnEdge_data()
{
    QTest::addColumn<QSize>("chip");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<bool>("loop");
    addLoopStrokeColumns();

    // (20,20)-(3,20) paints (2,2) (1,2); (3,20)-(-2,20) paints (0,2), its copy (8,2) misses the
    // chip; the stroke goes on from x 62: (62,20)-(50,20) paints (7,2).
    QTest::newRow("left edge at zoom 8") << QSize(8, 8) << 8 << true << QPoint(20, 20) << QPoint(3, 20)
                                         << QPoint(-2, 20) << QPoint(50, 20) << QPoint(62, 20)
                                         << "(0,2) (1,2) (2,2) (7,2)";
    QTest::newRow("loop off") << QSize(8, 8) << 8 << false << QPoint(20, 20) << QPoint(3, 20) << QPoint(-2, 20)
                              << QPoint(12, 28) << QPoint(-2, 20) << "(0,2) (1,2) (2,2)";
    // In place (7,3) (8,4) and (9,5); copies (0,5), (0,0) and (9,0); then (1,1)-(9,5) paints
    // (0,0) (1,0).
    QTest::newRow("bottom-right corner at zoom 4")
        << QSize(10, 6) << 4 << true << QPoint(30, 14) << QPoint(38, 22) << QPoint(41, 25) << QPoint(9, 5)
        << QPoint(1, 1) << "(0,0) (1,0) (9,0) (7,3) (8,4) (0,5) (9,5)";
    // Column 5 from row 8 up to row 0, the copy (5,15) (5,14), then row 13 from column 5 to 8.
    QTest::newRow("top edge at zoom 1")
        << QSize(16, 16) << 1 << true << QPoint(5, 8) << QPoint(5, 2) << QPoint(5, -3) << QPoint(9, 13)
        << QPoint(5, 13)
        << "(5,0) (5,1) (5,2) (5,3) (5,4) (5,5) (5,6) (5,7) (5,8) (5,13) (6,13) (7,13) (8,13) (5,14) (5,15)";
}

void X11PenLoop::strokeAcrossAnEdge()
{
    QFETCH(QSize, chip);
    QFETCH(int, zoom);
    QFETCH(bool, loop);
    QFETCH(QPoint, pressAt);
    QFETCH(QPoint, inside);
    QFETCH(QPoint, across);
    QFETCH(QPoint, after);
    QFETCH(QPoint, landing);
    QFETCH(QString, pixels);

    ToolData->FLoop = loop;
    auto c = MakeChip(chip.width(), chip.height(), zoom);
    ChildwinProbe probe(*c);
    // Away from the screen's edges, so that points left of or above the view are on the screen.
    c->setGeometry(300, 300, 220, 180);
    c->show();
    c->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(c.get(), kWindowEventTimeout));
    TImageControl* view = c->frontImage();
    const auto screenAt = [view](QPoint p) { return view->mapToGlobal(p); };
    const auto moveTo = [&](QPoint p) {
        const QPoint s = screenAt(p);
        xdotool({QStringLiteral("mousemove"), QString::number(s.x()), QString::number(s.y())});
    };
    QVERIFY(screenAt(QPoint(-10, -10)).x() > 0 && screenAt(QPoint(-10, -10)).y() > 0);

    pointAt(*c, pressAt);
    if (QTest::currentTestFailed())
        return;
    xdotool({QStringLiteral("mousedown"), QStringLiteral("1")});
    QTRY_VERIFY(probe.dragging());
    moveTo(inside);
    QTRY_COMPARE(probe.toPt(), (TPoint{inside.x(), inside.y()}));

    moveTo(across);
    QTRY_COMPARE(probe.toPt(), (TPoint{landing.x(), landing.y()}));
    QTRY_COMPARE(QCursor::pos(), screenAt(landing));
    // The window system's own pointer is there, not only the program's idea of it.
    QString where;
    QVERIFY(Xdotool({QStringLiteral("getmouselocation"), QStringLiteral("--shell")}, &where));
    QCOMPARE(where.section(QLatin1Char('\n'), 0, 1), QStringLiteral("X=%1\nY=%2").arg(screenAt(landing).x()).arg(screenAt(landing).y()));
    // The warp's motion arrives and is swallowed: the stroke stays at the landing point.
    QTRY_VERIFY(!probe.skipMouseMove());
    QCOMPARE(probe.toPt(), (TPoint{landing.x(), landing.y()}));
    const QPoint wrappedInside = inside + (landing - across);
    QCOMPARE(probe.fromPt(), (TPoint{wrappedInside.x(), wrappedInside.y()}));

    moveTo(after);
    QTRY_COMPARE(probe.toPt(), (TPoint{after.x(), after.y()}));
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1")});
    QTRY_VERIFY(!probe.dragging());
    QVERIFY(!ToolData->FBusy);

    Bitmap saved;
    QVERIFY(SavedPicture(*c, saved));
    QCOMPARE(saved.width(), chip.width());
    QCOMPARE(saved.height(), chip.height());
    QCOMPARE(text(paintedPixels(saved)), pixels);
    for (const auto& [x, y] : paintedPixels(saved))
        QCOMPARE(saved.pixel(x, y), ClrBlack);
    // The view shows what was saved.
    const QImage shown = view->grab().toImage();
    for (int y = 0; y < chip.height() * zoom; ++y)
        for (int x = 0; x < chip.width() * zoom; ++x)
            if (QRgbToColor(shown.pixel(x, y)) != saved.pixel(x / zoom, y / zoom))
                QFAIL(qPrintable(QStringLiteral("screen pixel (%1,%2)").arg(x).arg(y)));
}

// The Alt state of a real click reaches the pen: the colour is picked, nothing is painted, and
// the release still records an undo step.
void X11PenLoop::altClickPicksTheColour()
{
    RecordingHost host;
    auto c = MakeChip(8, 8, 8);
    ChildwinProbe probe(*c);
    const TColor spot = RGBColor(12, 34, 56);
    probe.chip().setPixel(2, 2, spot);
    c->RenderView();
    const Bitmap before = probe.chip();
    c->setGeometry(300, 300, 220, 180);
    c->show();
    c->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(c.get(), kWindowEventTimeout));

    pointAt(*c, QPoint(20, 20));
    if (QTest::currentTestFailed())
        return;
    xdotool({QStringLiteral("keydown"), QStringLiteral("alt"), QStringLiteral("mousedown"), QStringLiteral("1")});
    QTRY_COMPARE(ToolData->getColor(), spot);
    QCOMPARE(host.refreshes, 1);
    QVERIFY(!probe.dragging());
    xdotool({QStringLiteral("mouseup"), QStringLiteral("1"), QStringLiteral("keyup"), QStringLiteral("alt")});
    QTRY_COMPARE(probe.undoCount(), size_t(2));
    QVERIFY(probe.chip() == before);
}

QTEST_MAIN(X11PenLoop)
#include "x11_pen_loop.moc"
