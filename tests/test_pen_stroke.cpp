// SPDX-License-Identifier: MIT
// The pen: what a stroke writes (opacity included), the points of a segment, where view points
// land in the chip, the block of the view each segment refreshes, colour picking, and strokes that
// leave the chip or run on a chip without pixels.
#include <climits>

#include "PenTestHelpers.h"
#include "platform/Checkerboard.h"

using namespace pen;

class TestPenStroke : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void opacity_data();
    void opacity();
    void opacityAppliesOncePerStroke();

    void linePoints_data();
    void linePoints();
    void linePointsFollowTheStepByStepWalk();

    void chipPixelOfViewPoint_data();
    void chipPixelOfViewPoint();
    void segmentLeavesItsEndPixel();
    void idleMotionTracksWithoutPainting();

    void viewRefreshesOnlyTheSegmentBlock_data();
    void viewRefreshesOnlyTheSegmentBlock();

    void farOutsidePointsPaintOnlyTheChip_data();
    void farOutsidePointsPaintOnlyTheChip();
    void chipWithoutPixels_data();
    void chipWithoutPixels();

    void pressAndRelease_data();
    void pressAndRelease();
    void strokeContinuesUnderThePointerAcrossAZoomChange();
    void pickColor_data();
    void pickColor();
};

// ---- Opacity ----

void TestPenStroke::opacity_data()
{
    QTest::addColumn<TColor>("pen");
    QTest::addColumn<int>("alpha");
    QTest::addColumn<QRgb>("base");
    QTest::addColumn<QRgb>("expected");
    const auto opaque = [](TColor c) { return ColorToQRgb(c); };

    QTest::newRow("opaque writes the pen colour") << RGBColor(0x12, 0x34, 0x56) << 255 << opaque(ClrWhite)
                                                  << opaque(RGBColor(0x12, 0x34, 0x56));
    QTest::newRow("opaque black over black") << ClrBlack << 255 << opaque(ClrBlack) << opaque(ClrBlack);
    QTest::newRow("red at 128 over white") << RGBColor(255, 0, 0) << 128 << opaque(ClrWhite)
                                           << opaque(RGBColor(254, 126, 126));
    QTest::newRow("white at 254 over white never reaches 255") << ClrWhite << 254 << opaque(ClrWhite)
                                                               << opaque(RGBColor(254, 254, 254));
    QTest::newRow("white at 1 over white") << ClrWhite << 1 << opaque(ClrWhite) << opaque(RGBColor(254, 254, 254));
    QTest::newRow("opacity 0 lowers non-zero channels by one") << ClrBlack << 0 << opaque(RGBColor(200, 1, 0))
                                                               << opaque(RGBColor(199, 0, 0));
    QTest::newRow("opacity 0 ignores the pen") << ClrWhite << 0 << opaque(RGBColor(10, 255, 0))
                                               << opaque(RGBColor(9, 254, 0));
    // 155 * 255 / 255 would give 155.
    QTest::newRow("divides by 256") << ClrBlack << 100 << opaque(ClrWhite) << opaque(RGBColor(154, 154, 154));
    QTest::newRow("channels kept apart") << RGBColor(0, 255, 0) << 64 << opaque(RGBColor(0, 0, 255))
                                         << opaque(RGBColor(0, 63, 190));
    // Over pixels that are not opaque: source-over, not premultiplied, rounded to the nearest.
    QTest::newRow("opaque pen over a transparent pixel") << RGBColor(1, 2, 3) << 255 << qRgba(9, 9, 9, 0)
                                                         << qRgba(1, 2, 3, 255);
    QTest::newRow("at 128 over a transparent pixel: the pen at 128") << RGBColor(255, 0, 0) << 128
                                                                     << qRgba(0, 0, 255, 0) << qRgba(255, 0, 0, 128);
    // Weights 128 * 255 for the pen, 64 * 127 for the base: alpha (32640 + 8128) / 255 = 159.9,
    // red 255 * 32640 / 40768 = 204.2, blue 255 * 8128 / 40768 = 50.8.
    QTest::newRow("at 128 over a quarter opaque blue") << RGBColor(255, 0, 0) << 128 << qRgba(0, 0, 255, 64)
                                                       << qRgba(204, 0, 51, 160);
    QTest::newRow("transparent pen erases, keeping the colour") << ClrTransparent << 255 << qRgba(7, 8, 9, 200)
                                                                << qRgba(7, 8, 9, 0);
    QTest::newRow("transparent pen at 64 takes a quarter") << ClrTransparent << 64 << qRgba(7, 8, 9, 255)
                                                           << qRgba(7, 8, 9, 191);
    QTest::newRow("transparent pen at 128 over half") << ClrTransparent << 128 << qRgba(7, 8, 9, 100)
                                                      << qRgba(7, 8, 9, 50);
}

// One pixel painted by a real stroke at zoom 8: a press and a motion inside the same chip pixel.
// The view shows it over the checkerboard.
void TestPenStroke::opacity()
{
    QFETCH(TColor, pen);
    QFETCH(int, alpha);
    QFETCH(QRgb, base);
    QFETCH(QRgb, expected);

    auto c = MakeChip(4, 4, 8);
    ChildwinProbe probe(*c);
    probe.chip().setArgb(1, 1, base);
    c->PushUndo();
    c->RenderView();
    ToolData->setColor(pen);
    ToolData->FAlpha = uint8_t(alpha);

    Press(*c, QPoint(12, 12));
    Motion(*c, QPoint(13, 12));
    Release(*c, QPoint(13, 12));

    QCOMPARE(probe.chip().argb(1, 1), expected);
    QCOMPARE(probe.painted().argb(8, 8), OverChecker(expected, 8, 8));
    QCOMPARE(probe.painted().argb(15, 15), OverChecker(expected, 15, 15));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            if (x != 1 || y != 1)
                QCOMPARE(probe.chip().argb(x, y), ColorToQRgb(ClrWhite));
    // An undo step holds what the stroke made, alpha included.
    c->Undo();
    QCOMPARE(probe.chip().argb(1, 1), base);
    c->Redo();
    QCOMPARE(probe.chip().argb(1, 1), expected);
}

void TestPenStroke::opacityAppliesOncePerStroke()
{
    auto c = MakeChip(4, 4, 8);
    ChildwinProbe probe(*c);
    ToolData->setColor(RGBColor(255, 0, 0));
    ToolData->FAlpha = 128;

    // Back and forth over (1,1) and (2,1): each is painted by several segments.
    Press(*c, QPoint(12, 12));
    for (QPoint p : {QPoint(13, 12), QPoint(20, 12), QPoint(12, 12), QPoint(13, 13), QPoint(20, 13), QPoint(12, 13)})
        Motion(*c, p);
    Release(*c, QPoint(12, 13));
    QCOMPARE(probe.chip().pixel(1, 1), RGBColor(254, 126, 126));
    QCOMPARE(probe.chip().pixel(2, 1), RGBColor(254, 126, 126));

    // A second stroke blends over what the first one left.
    Press(*c, QPoint(12, 12));
    Motion(*c, QPoint(13, 12));
    Release(*c, QPoint(13, 12));
    QCOMPARE(probe.chip().pixel(1, 1), RGBColor(253, 62, 62));
    QCOMPARE(probe.chip().pixel(2, 1), RGBColor(254, 126, 126));
}

// ---- The points of a segment ----

void TestPenStroke::linePoints_data()
{
    QTest::addColumn<int>("x0");
    QTest::addColumn<int>("y0");
    QTest::addColumn<int>("x1");
    QTest::addColumn<int>("y1");
    QTest::addColumn<QString>("expected");

    QTest::newRow("shallow stays on its row") << 0 << 0 << 4 << 1 << "(0,0) (1,0) (2,0) (3,0)";
    QTest::newRow("error starts at zero") << 0 << 0 << 3 << 2 << "(0,0) (1,0) (2,1)";
    QTest::newRow("one pixel") << 5 << 5 << 5 << 5 << "(5,5)";
    QTest::newRow("next pixel") << 5 << 5 << 6 << 5 << "(5,5)";
    QTest::newRow("diagonal moves both every step") << 1 << 1 << 4 << 4 << "(1,1) (2,2) (3,3)";
    QTest::newRow("diagonal up-left") << 3 << 3 << 0 << 0 << "(3,3) (2,2) (1,1)";
    QTest::newRow("steep") << 0 << 0 << 1 << 4 << "(0,0) (0,1) (0,2) (0,3)";
    QTest::newRow("steep upward") << 2 << 5 << 1 << 0 << "(2,5) (2,4) (2,3) (2,2) (2,1)";
    QTest::newRow("shallow backwards") << 4 << 1 << 0 << 0 << "(4,1) (3,1) (2,1) (1,1)";
    QTest::newRow("negative coordinates") << 0 << 0 << -3 << -2 << "(0,0) (-1,0) (-2,-1)";
    QTest::newRow("vertical") << 7 << 2 << 7 << 5 << "(7,2) (7,3) (7,4)";
}

void TestPenStroke::linePoints()
{
    QFETCH(int, x0);
    QFETCH(int, y0);
    QFETCH(int, x1);
    QFETCH(int, y1);
    QFETCH(QString, expected);

    auto c = MakeChip(8, 8, 1);
    ChildwinProbe probe(*c);
    probe.BuildLinePts(0, 0, 200, 7); // leaves a list that had to grow past 100
    probe.BuildLinePts(x0, y0, x1, y1);
    QCOMPARE(text(probe.linePts()), expected);
    QCOMPARE(probe.linePts().capacity(), size_t(100));
}

// The rasteriser against the walk written out step by step, for every segment between points of
// a 15 by 15 square around a small chip (inside, across and outside its edges).
void TestPenStroke::linePointsFollowTheStepByStepWalk()
{
    const auto walk = [](int X0, int Y0, int X1, int Y1) {
        std::vector<TPoint> pts;
        int dx = X1 - X0, dy = Y1 - Y0;
        const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
        dx = std::abs(dx);
        dy = std::abs(dy);
        pts.push_back(TPoint{X0, Y0});
        int e = 0, x = X0, y = Y0;
        const int n = dy > dx ? dy : dx;
        for (int i = 1; i <= n; ++i) {
            if (dy > dx) {
                y += sy;
                e += dx;
                if (e >= dy) {
                    x += sx;
                    e -= dy;
                }
            } else {
                x += sx;
                e += dy;
                if (e >= dx) {
                    y += sy;
                    e -= dx;
                }
            }
            if (i < n)
                pts.push_back(TPoint{x, y});
        }
        return pts;
    };

    auto c = MakeChip(5, 4, 1);
    ChildwinProbe probe(*c);
    for (int x0 = -5; x0 <= 9; ++x0)
        for (int y0 = -5; y0 <= 9; ++y0)
            for (int x1 = -5; x1 <= 9; ++x1)
                for (int y1 = -5; y1 <= 9; ++y1) {
                    probe.BuildLinePts(x0, y0, x1, y1);
                    if (probe.linePts() != walk(x0, y0, x1, y1))
                        QFAIL(qPrintable(QStringLiteral("(%1,%2)-(%3,%4): %5")
                                             .arg(x0).arg(y0).arg(x1).arg(y1).arg(text(probe.linePts()))));
                }
}

// ---- View points and chip pixels ----

void TestPenStroke::chipPixelOfViewPoint_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QString>("panel");

    QTest::newRow("(17,5)") << QPoint(17, 5) << "(2,0)";
    QTest::newRow("negative within one zoom truncates to 0") << QPoint(-7, 3) << "(0,0)";
    QTest::newRow("one zoom left of the chip") << QPoint(-8, 3) << "";
    QTest::newRow("last pixel") << QPoint(63, 63) << "(7,7)";
    QTest::newRow("first column past the chip") << QPoint(64, 0) << "";
    QTest::newRow("below the chip") << QPoint(10, 70) << "";
}

// At zoom 8, a motion onto the pressed point paints the chip pixel it falls in, and the status
// panel names that pixel, or nothing outside the chip.
void TestPenStroke::chipPixelOfViewPoint()
{
    QFETCH(QPoint, point);
    QFETCH(QString, panel);

    auto c = MakeChip(8, 8, 8);
    ChildwinProbe probe(*c);
    Motion(*c, point, Qt::NoButton);
    QCOMPARE(probe.panel1(), panel);

    Press(*c, point);
    Motion(*c, point);
    Release(*c, point);
    const PixelSet painted = paintedPixels(probe.chip());
    if (panel.isEmpty()) {
        QVERIFY(painted.empty());
    } else {
        QCOMPARE(painted.size(), size_t(1));
        const auto [x, y] = *painted.begin();
        QCOMPARE(QStringLiteral("(%1,%2)").arg(x).arg(y), panel);
    }
}

void TestPenStroke::segmentLeavesItsEndPixel()
{
    auto c = MakeChip(8, 8, 1);
    ChildwinProbe probe(*c);
    Press(*c, QPoint(0, 0));
    Motion(*c, QPoint(3, 0));
    Release(*c, QPoint(3, 0));
    QCOMPARE(text(paintedPixels(probe.chip())), QStringLiteral("(0,0) (1,0) (2,0)"));
    // The release records the stroke as it is.
    QCOMPARE(probe.undoCount(), size_t(2));
    QCOMPARE(probe.undoIndex(), 1);
    QVERIFY(probe.undoBitmap(1) == probe.chip());
}

void TestPenStroke::idleMotionTracksWithoutPainting()
{
    auto c = MakeChip(8, 8, 2);
    ChildwinProbe probe(*c);
    Motion(*c, QPoint(5, 7), Qt::NoButton);
    Motion(*c, QPoint(9, 3), Qt::NoButton);
    QCOMPARE(probe.fromPt(), (TPoint{5, 7}));
    QCOMPARE(probe.toPt(), (TPoint{9, 3}));
    QCOMPARE(probe.panel1(), QStringLiteral("(4,1)"));
    QVERIFY(paintedPixels(probe.chip()).empty());
    QCOMPARE(probe.undoCount(), size_t(1));
    QVERIFY(!ToolData->FBusy);
}

// ---- View refresh ----

void TestPenStroke::viewRefreshesOnlyTheSegmentBlock_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<bool>("framed");

    QTest::newRow("zoom 1 short") << 1 << QPoint(2, 3) << QPoint(5, 4) << false;
    QTest::newRow("zoom 3 diagonal") << 3 << QPoint(4, 4) << QPoint(25, 25) << false;
    QTest::newRow("zoom 16 one pixel") << 16 << QPoint(40, 40) << QPoint(41, 47) << false;
    QTest::newRow("zoom 5 backwards steep") << 5 << QPoint(50, 70) << QPoint(41, 3) << false;
    QTest::newRow("zoom 4 partly outside") << 4 << QPoint(9, 9) << QPoint(-20, 150) << false;
    QTest::newRow("zoom 7 far outside") << 7 << QPoint(30, 30) << QPoint(-1000000, 1000000) << false;
    QTest::newRow("zoom 2 outside the chip only") << 2 << QPoint(-10, -10) << QPoint(-40, 5) << false;
    // The block is copied over the frame of a selection left on screen by another window's tool change.
    QTest::newRow("zoom 6 across a frame") << 6 << QPoint(3, 3) << QPoint(20, 70) << true;
    QTest::newRow("zoom 2 across a frame's far corner") << 2 << QPoint(23, 19) << QPoint(17, 15) << true;
}

// The chip is changed behind the window's back after the press, so the screen still shows the
// old picture; after one segment exactly the segment's bounding block (within the view) shows the
// chip again, scaled and without the frame, and the rest of the screen is untouched.
void TestPenStroke::viewRefreshesOnlyTheSegmentBlock()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(bool, framed);

    auto c = MakeChip(12, 10, zoom);
    ChildwinProbe probe(*c);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 12; ++x)
            probe.chip().setPixel(x, y, RGBColor(x * 20, y * 20, 7));
    const TRect sel{1, 2, 12, 10};
    probe.selected() = framed;
    probe.selRect() = sel;
    c->resize(12 * zoom + 60, 10 * zoom + 60);
    c->show();
    QVERIFY(QTest::qWaitForWindowExposed(c.get()));
    c->RenderView();
    const Bitmap before = ReferenceView(probe.chip(), zoom, framed ? std::optional<TRect>(sel) : std::nullopt);
    ToolData->setColor(RGBColor(1, 2, 3));

    Press(*c, from);
    probe.chip().fill(RGBColor(255, 0, 255));
    Motion(*c, to);

    const Bitmap after = ReferenceView(probe.chip(), zoom, std::nullopt);
    const int x0 = from.x() / zoom, y0 = from.y() / zoom, x1 = to.x() / zoom, y1 = to.y() / zoom;
    const QRect block = QRect(QPoint(std::min(x0, x1) * zoom, std::min(y0, y1) * zoom),
                              QPoint((std::max(x0, x1) + 1) * zoom - 1, (std::max(y0, y1) + 1) * zoom - 1));
    Bitmap expected = before;
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (block.contains(x, y))
                expected.setPixel(x, y, after.pixel(x, y));
    const ChildwinProbe::Shown shown = probe.shown();
    QCOMPARE(shown.area, QRect(0, 0, 12 * zoom, 10 * zoom));
    QCOMPARE(shown.pixels.width(), shown.area.width());
    const QString difference = FirstDifference(shown.pixels, expected);
    QVERIFY2(difference.isEmpty(), qPrintable(difference));
    Release(*c, to);
}

// ---- Points far outside ----

void TestPenStroke::farOutsidePointsPaintOnlyTheChip_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<bool>("byEvent"); // positions a pointer event can carry; the rest go to the handler

    QTest::newRow("far left, zoom 1") << 1 << QPoint(5, 5) << QPoint(-1000000, 5) << true;
    QTest::newRow("far right, zoom 16") << 16 << QPoint(83, 80) << QPoint(1000000, 87) << true;
    QTest::newRow("steep far up, zoom 3") << 3 << QPoint(10, 10) << QPoint(-7, -3000001) << true;
    QTest::newRow("from far away into the chip") << 1 << QPoint(-1000000000, -1000000000) << QPoint(31, 31) << true;
    QTest::newRow("shallow from far left") << 1 << QPoint(-1000000000, 0) << QPoint(31, 1) << true;
    QTest::newRow("slope through the chip from far away") << 2 << QPoint(-999999937, -333333331) << QPoint(99, 40)
                                                          << true;
    QTest::newRow("to the largest position") << 1 << QPoint(0, 0) << QPoint(INT_MAX, INT_MAX) << false;
    QTest::newRow("smallest to largest") << 1 << QPoint(INT_MIN, INT_MIN) << QPoint(INT_MAX, INT_MAX) << false;
    QTest::newRow("largest to smallest, zoom 16") << 16 << QPoint(INT_MAX, 5) << QPoint(INT_MIN, 300) << false;
    QTest::newRow("corners apart, zoom 5") << 5 << QPoint(INT_MIN, INT_MAX) << QPoint(INT_MAX, INT_MIN) << false;
}

// Whatever the positions, the chip gets exactly the in-chip pixels of the line, without a crash
// and in bounded time, with the loop switch off and on.
void TestPenStroke::farOutsidePointsPaintOnlyTheChip()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(bool, byEvent);

    for (bool loop : {false, true}) {
        ToolData->FLoop = loop;
        auto c = MakeChip(32, 24, zoom);
        ChildwinProbe probe(*c);
        if (byEvent) {
            Press(*c, from);
            Motion(*c, to);
            Release(*c, to);
        } else {
            c->FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, from.x(), from.y());
            c->FFrontImgMouseMove(ssLeft, to.x(), to.y());
            c->FFrontImgMouseUp(TMouseButton::mbLeft, 0, to.x(), to.y());
        }
        QCOMPARE(probe.chip().width(), 32);
        QCOMPARE(probe.chip().height(), 24);
        QVERIFY(!ToolData->FBusy);
        const PixelSet painted = paintedPixels(probe.chip());
        const PixelSet inPlace = segmentPixels(from.x() / zoom, from.y() / zoom, to.x() / zoom, to.y() / zoom, 32, 24);
        if (!loop) {
            QCOMPARE(text(painted), text(inPlace));
        } else {
            // Loop copies add pixels, never take the segment's own away.
            for (const auto& p : inPlace)
                QVERIFY(painted.count(p));
        }
    }
}

void TestPenStroke::chipWithoutPixels_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("zoom");

    QTest::newRow("0 by 0") << 0 << 0 << 1;
    QTest::newRow("0 by 8 at zoom 4") << 0 << 8 << 4;
    QTest::newRow("8 by 0 at zoom 16") << 8 << 0 << 16;
}

// Strokes across every edge, with loop mode and opacity, and a colour pick, on a chip that has
// no pixels: nothing to paint, nothing to crash on.
void TestPenStroke::chipWithoutPixels()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, zoom);

    RecordingHost host;
    auto c = MakeChip(width, height, zoom);
    ChildwinProbe probe(*c);
    ToolData->FLoop = true;
    for (int alpha : {255, 100}) {
        ToolData->FAlpha = uint8_t(alpha);
        Press(*c, QPoint(0, 0));
        for (QPoint p : {QPoint(-5, -5), QPoint(0, 0), QPoint(40, 40), QPoint(3, -2), QPoint(-9, 30)})
            Motion(*c, p);
        Release(*c, QPoint(-9, 30));
    }
    Press(*c, QPoint(1, 1), Qt::AltModifier);
    Release(*c, QPoint(1, 1));

    QCOMPARE(probe.chip().width(), width);
    QCOMPARE(probe.chip().height(), height);
    QCOMPARE(probe.panel1(), QString());
    QCOMPARE(ToolData->getColor(), ClrBlack);
    QCOMPARE(host.refreshes, 1);
    QCOMPARE(probe.undoCount(), size_t(4));
}

// ---- Press and release ----

void TestPenStroke::pressAndRelease_data()
{
    QTest::addColumn<Qt::MouseButton>("button");
    QTest::addColumn<Qt::KeyboardModifiers>("mods");
    QTest::addColumn<bool>("picks");

    QTest::newRow("left") << Qt::LeftButton << Qt::KeyboardModifiers() << false;
    QTest::newRow("right") << Qt::RightButton << Qt::KeyboardModifiers() << false;
    QTest::newRow("middle") << Qt::MiddleButton << Qt::KeyboardModifiers() << false;
    QTest::newRow("shift does nothing") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::ShiftModifier) << false;
    QTest::newRow("alt picks") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::AltModifier) << true;
    QTest::newRow("alt before ctrl") << Qt::LeftButton << Qt::KeyboardModifiers(Qt::AltModifier | Qt::ControlModifier)
                                     << true;
    QTest::newRow("alt with the right button") << Qt::RightButton << Qt::KeyboardModifiers(Qt::AltModifier) << true;
}

// A press and release without motion paints nothing and records one undo step; a plain press
// holds the tool state busy until the release, a colour pick never does.
void TestPenStroke::pressAndRelease()
{
    QFETCH(Qt::MouseButton, button);
    QFETCH(Qt::KeyboardModifiers, mods);
    QFETCH(bool, picks);

    const TColor spot = RGBColor(10, 20, 30);
    auto c = MakeChip(4, 4, 1);
    ChildwinProbe probe(*c);
    probe.chip().setPixel(2, 2, spot);
    const Bitmap before = probe.chip();

    Press(*c, QPoint(2, 2), mods, button);
    QCOMPARE(probe.dragging(), !picks);
    QCOMPARE(ToolData->FBusy, !picks);
    QCOMPARE(c->CanUndo(), false);
    QVERIFY(!probe.scrollDrag());
    Release(*c, QPoint(2, 2), button);

    QVERIFY(!probe.dragging());
    QVERIFY(!ToolData->FBusy);
    QVERIFY(probe.chip() == before);
    QCOMPARE(probe.undoCount(), size_t(2));
    QVERIFY(probe.undoBitmap(1) == before);
    QCOMPARE(ToolData->getColor(), picks ? spot : ClrBlack);

    // After a pick the following motion paints nothing.
    Motion(*c, QPoint(3, 3), Qt::NoButton);
    QVERIFY(probe.chip() == before);
}

// The pointer stays where it is on the view while the zoom changes under it; the next segment
// starts from the pixel now under it, never from the pixel that was under it before.
void TestPenStroke::strokeContinuesUnderThePointerAcrossAZoomChange()
{
    auto c = MakeChip(16, 16, 4);
    ChildwinProbe p(*c);
    Press(*c, QPoint(8, 8));    // chip (2,2)
    Motion(*c, QPoint(21, 9));  // chip (5,2): paints (2,2)..(4,2)
    c->setZoom(8);                   // a zoom key pressed with the button held: (21,9) is now (2,1)
    Motion(*c, QPoint(41, 73)); // chip (5,9)
    Release(*c, QPoint(41, 73));
    pen::PixelSet expected = pen::segmentPixels(2, 1, 5, 9, 16, 16);
    expected.insert({{2, 2}, {3, 2}, {4, 2}});
    QCOMPARE(pen::paintedPixels(p.chip()), expected);
}

void TestPenStroke::pickColor_data()
{
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<TColor>("expected");

    const TColor spot = RGBColor(200, 100, 50);
    QTest::newRow("inside") << QPoint(13, 6) << spot;
    QTest::newRow("negative within one zoom") << QPoint(-3, 5) << RGBColor(0, 1, 2);
    QTest::newRow("left of the chip") << QPoint(-4, 5) << ClrBlack;
    QTest::newRow("right of the chip") << QPoint(32, 5) << ClrBlack;
    QTest::newRow("far away") << QPoint(-1000000, 1000000) << ClrBlack;
    QTest::newRow("transparent pixel") << QPoint(21, 6) << ClrTransparent;
    QTest::newRow("translucent pixel gives its colour") << QPoint(25, 6) << RGBColor(9, 8, 7);
}

// Zoom 4: the pick reads the chip pixel under the point; outside the chip the pen colour stays,
// and the tool box is asked to refresh either way.
void TestPenStroke::pickColor()
{
    QFETCH(QPoint, point);
    QFETCH(TColor, expected);

    RecordingHost host;
    auto c = MakeChip(8, 8, 4);
    ChildwinProbe probe(*c);
    probe.chip().setPixel(3, 1, RGBColor(200, 100, 50));
    probe.chip().setPixel(0, 1, RGBColor(0, 1, 2));
    probe.chip().setArgb(5, 1, qRgba(9, 8, 7, 0));
    probe.chip().setArgb(6, 1, qRgba(9, 8, 7, 1));

    Press(*c, point, Qt::AltModifier);
    QCOMPARE(ToolData->getColor(), expected);
    QCOMPARE(host.refreshes, 1);
    Release(*c, point);
    QCOMPARE(probe.undoCount(), size_t(2));
}

QTEST_MAIN(TestPenStroke)
#include "test_pen_stroke.moc"
