// SPDX-License-Identifier: MIT
// The selection tool: the block a drag marks, its frame in the view, and what drops it.
#include <QtTest>

#include <QClipboard>
#include <memory>

#include "TestSupport.h"
#include "tools/UEditerData.h"

namespace {

int blackPixels(const Bitmap& b)
{
    int n = 0;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            n += b.pixel(x, y) == ClrBlack;
    return n;
}

} // namespace

Q_DECLARE_METATYPE(TRect)

// Found by QCOMPARE through argument-dependent lookup, so failures show the rectangle.
char* toString(const TRect& r)
{
    return qstrdup(QStringLiteral("TRect(%1, %2, %3, %4)").arg(r.Left).arg(r.Top).arg(r.Right).arg(r.Bottom).toUtf8());
}

class SelectTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void dragMarksANormalisedBlockWithBothCorners_data();
    void dragMarksANormalisedBlockWithBothCorners();
    void frameIsDrawnAroundTheBlock_data();
    void frameIsDrawnAroundTheBlock();
    void pressAndReleaseWithoutMotionSelectsNothing();
    void dragHoldsTheToolStateUntilTheRelease();
    void confirmDropsTheSelectionWithoutRedrawing();
    void penDropsTheSelectionAndItsFrame();
    void motionWithoutAPressSelectsNothing();
    void zoomChangeDuringADragKeepsTheAnchorPixel();
};

void SelectTest::dragMarksANormalisedBlockWithBothCorners_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QList<QPoint>>("path");
    QTest::addColumn<TRect>("expected");
    QTest::newRow("zoom 4, up and left") << 4 << QPoint(10, 10) << QList<QPoint>{QPoint(5, 5), QPoint(3, 3)}
                                         << TRect{0, 0, 3, 3};
    QTest::newRow("zoom 4, down and right") << 4 << QPoint(3, 3) << QList<QPoint>{QPoint(10, 10)} << TRect{0, 0, 3, 3};
    QTest::newRow("zoom 4, up and right") << 4 << QPoint(5, 30) << QList<QPoint>{QPoint(22, 9)} << TRect{1, 2, 6, 8};
    QTest::newRow("inside one pixel") << 4 << QPoint(21, 13) << QList<QPoint>{QPoint(23, 14), QPoint(20, 15)}
                                      << TRect{5, 3, 6, 4};
    QTest::newRow("past the right edge") << 2 << QPoint(5, 5) << QList<QPoint>{QPoint(500, 7)} << TRect{2, 2, 16, 4};
    QTest::newRow("past the bottom left") << 2 << QPoint(9, 9) << QList<QPoint>{QPoint(-40, 900)}
                                          << TRect{0, 4, 5, 12};
    QTest::newRow("far outside, then back in") << 1 << QPoint(3, 3)
                                               << QList<QPoint>{QPoint(-100000, -100000), QPoint(6, 4)}
                                               << TRect{3, 3, 7, 5};
    QTest::newRow("the last motion counts") << 3 << QPoint(4, 4) << QList<QPoint>{QPoint(40, 30), QPoint(8, 1)}
                                            << TRect{1, 0, 3, 2};
}

// The chip is 16 by 12; the block always includes the pixels under both ends and stays inside.
void SelectTest::dragMarksANormalisedBlockWithBothCorners()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, from);
    QFETCH(QList<QPoint>, path);
    QFETCH(TRect, expected);
    auto c = MakeChip(16, 12, zoom, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    Drag(*c, from, path);
    QVERIFY(p.selected());
    QCOMPARE(p.selRect(), expected);
    QVERIFY(!ToolData->FBusy);
    QVERIFY(!p.dragging());
}

void SelectTest::frameIsDrawnAroundTheBlock_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<int>("expectedBlack"); // pixels of the outline inside the view
    // A 3 by 2 block at zoom 4: the outline runs around 12 by 8 view pixels.
    QTest::newRow("inside the chip") << 4 << QPoint(5, 5) << QPoint(14, 9) << 2 * (12 + 8);
    // A block reaching the right and bottom edges: those sides lie outside the view.
    QTest::newRow("at the far corner") << 2 << QPoint(28, 20) << QPoint(500, 500) << 4 + 4 - 1;
    QTest::newRow("whole chip at zoom 16") << 16 << QPoint(255, 191) << QPoint(-9, -9) << 16 * 16 + 12 * 16 - 1;
}

void SelectTest::frameIsDrawnAroundTheBlock()
{
    QFETCH(int, zoom);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(int, expectedBlack);
    auto c = MakeChip(16, 12, zoom, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    Drag(*c, from, {to});
    const TRect& s = p.selRect();
    QCOMPARE(blackPixels(p.painted()), expectedBlack);
    VERIFY_VIEW_SHOWS_CHIP(*c);
    QCOMPARE(p.painted().pixel(s.Left * zoom, s.Top * zoom), ClrBlack);
    QCOMPARE(p.painted().pixel(s.Left * zoom + 1, s.Top * zoom + 1), ClrWhite);
    // The chip itself is not touched by the frame.
    QCOMPARE(blackPixels(p.chip()), 0);
}

void SelectTest::pressAndReleaseWithoutMotionSelectsNothing()
{
    auto c = MakeChip(16, 12, 2, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    Drag(*c, QPoint(3, 3), {QPoint(9, 9)});
    const int frame = blackPixels(p.painted());
    QVERIFY(frame > 0);
    Drag(*c, QPoint(20, 20), {});
    QVERIFY(!p.selected());
    // The press does not redraw: the old frame stays on screen until the next redraw.
    QCOMPARE(blackPixels(p.painted()), frame);
    c->RenderView();
    QCOMPARE(blackPixels(p.painted()), 0);
}

void SelectTest::dragHoldsTheToolStateUntilTheRelease()
{
    auto c = MakeChip(16, 12, 2, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    p.chip().setPixel(1, 1, ClrBlack);
    c->PushUndo();
    QTest::mousePress(c->frontImage(), Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseMove(c->frontImage(), QPoint(7, 9));
    QVERIFY(ToolData->FBusy);
    QVERIFY(!c->CanUndo());
    c->ChangeTool(ToolPen);
    QCOMPARE(ToolData->FTool, ToolMask);
    QTest::mouseRelease(c->frontImage(), Qt::LeftButton, {}, QPoint(7, 9));
    QVERIFY(!ToolData->FBusy);
    QVERIFY(c->CanUndo());
    QCOMPARE(p.selRect(), (TRect{1, 1, 4, 5}));
}

void SelectTest::confirmDropsTheSelectionWithoutRedrawing()
{
    auto c = MakeChip(16, 12, 2, ChipFill::White, true);
    ChildwinProbe p(*c);
    p.chip().setPixel(15, 11, RGBColor(1, 2, 3));
    c->ChangeTool(ToolMask);
    Drag(*c, QPoint(3, 3), {QPoint(9, 9)});
    const Bitmap viewBefore = p.painted();
    c->ConfirmTool();
    QVERIFY(!p.selected());
    QCOMPARE(p.painted(), viewBefore);
    // Without a selection the copy takes the whole chip.
    c->CopyToClipboard();
    const QImage copied = QGuiApplication::clipboard()->image();
    QCOMPARE(copied.size(), QSize(16, 12));
    QCOMPARE(QRgbToColor(copied.pixel(15, 11)), RGBColor(1, 2, 3));
}

void SelectTest::penDropsTheSelectionAndItsFrame()
{
    auto c = MakeChip(16, 12, 2, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    Drag(*c, QPoint(3, 3), {QPoint(9, 9)});
    c->ChangeTool(ToolMove);
    QVERIFY(p.selected());
    QVERIFY(blackPixels(p.painted()) > 0);
    c->ChangeTool(ToolPen);
    QVERIFY(!p.selected());
    QCOMPARE(blackPixels(p.painted()), 0);
}

void SelectTest::motionWithoutAPressSelectsNothing()
{
    auto c = MakeChip(16, 12, 2, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    c->FFrontImgMouseMove(0, 5, 5);
    c->FFrontImgMouseMove(0, 25, 15);
    QVERIFY(!p.selected());
    QVERIFY(!ToolData->FBusy);
}

// The anchor stays on the chip pixel it was pressed on when the zoom changes mid-drag, and the
// block never leaves the chip.
void SelectTest::zoomChangeDuringADragKeepsTheAnchorPixel()
{
    auto c = MakeChip(16, 12, 4, ChipFill::White, true);
    ChildwinProbe p(*c);
    c->ChangeTool(ToolMask);
    QTest::mousePress(c->frontImage(), Qt::LeftButton, {}, QPoint(21, 14)); // pixel (5, 3)
    QTest::mouseMove(c->frontImage(), QPoint(50, 40));
    c->setZoom(2);
    QTest::mouseMove(c->frontImage(), QPoint(2, 3)); // pixel (1, 1)
    QTest::mouseRelease(c->frontImage(), Qt::LeftButton, {}, QPoint(2, 3));
    QCOMPARE(p.selRect(), (TRect{1, 1, 6, 4}));
}

QTEST_MAIN(SelectTest)
#include "test_select.moc"
