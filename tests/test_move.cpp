// SPDX-License-Identifier: MIT
// The move tool and the pen's Ctrl scroll: offsets, wrapping, pending moves over several drags,
// the commit triggers, and the shared tool state when windows change or close.
#include <QtTest>

#include <QClipboard>

#include <climits>
#include <memory>

#include "TestSupport.h"
#include "tools/UEditerData.h"

namespace {

int wrap(int v, int side)
{
    return ((v % side) + side) % side;
}

// The block of orig moved by (dx, dy) over orig itself: clipped, or wrapped around the edges.
Bitmap moved(const Bitmap& orig, const TRect& block, int dx, int dy, bool loop)
{
    Bitmap out = orig;
    for (int y = block.Top; y < block.Bottom; ++y)
        for (int x = block.Left; x < block.Right; ++x) {
            const int tx = loop ? wrap(x + dx, orig.width()) : x + dx;
            const int ty = loop ? wrap(y + dy, orig.height()) : y + dy;
            out.setArgb(tx, ty, orig.argb(x, y));
        }
    return out;
}

Bitmap moved(const Bitmap& orig, int dx, int dy, bool loop)
{
    return moved(orig, TRect{0, 0, orig.width(), orig.height()}, dx, dy, loop);
}

// Drawn from the far corner back to the near one.
void selectBlock(TMDIChild& c, const TRect& r)
{
    const int z = c.getZoom();
    c.ChangeTool(ToolMask);
    DragTo(c, QPoint((r.Right - 1) * z, (r.Bottom - 1) * z), QPoint(r.Left * z, r.Top * z));
    c.ChangeTool(ToolMove);
}

} // namespace

class MoveTest : public QObject {
    Q_OBJECT
private slots:
    void init() { ResetToolData(); }

    void offsetIsTheTotalTravelDividedByTheZoom_data();
    void offsetIsTheTotalTravelDividedByTheZoom();
    void wholeChipWrapsOrIsClipped_data();
    void wholeChipWrapsOrIsClipped();
    void hugeOffsetsAndEmptyChipsStayInBounds_data();
    void hugeOffsetsAndEmptyChipsStayInBounds();
    void pendingMoveContinuesWithoutAJump();
    void pressAndConfirmWithoutMotionRecordsAnUnchangedPicture();
    void selectedBlockIsCopiedAndStaysInPlace_data();
    void selectedBlockIsCopiedAndStaysInPlace();
    void everyTriggerCommitsOnce_data();
    void everyTriggerCommitsOnce();
    void nothingCommitsWhileTheButtonIsHeld();
    void deactivationCommitsAndTheNextMoveStartsFresh();
    void aCommitLandsInTheWindowThatHoldsTheMove();
    void pasteLeftFloatingStaysWithItsWindow_data();
    void pasteLeftFloatingStaysWithItsWindow();
    void closingAWindowFreesTheToolState_data();
    void closingAWindowFreesTheToolState();
    void zoomChangeKeepsTheMoveWhereItIsShown_data();
    void zoomChangeKeepsTheMoveWhereItIsShown();
    void ctrlDragScrollsWithWrapAndOneSnapshot_data();
    void ctrlDragScrollsWithWrapAndOneSnapshot();
    void zoomChangeDuringAScrollKeepsItsOffset();
};

void MoveTest::offsetIsTheTotalTravelDividedByTheZoom_data()
{
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QList<int>>("drags"); // pointer travel of each drag, in view pixels, along X
    QTest::addColumn<int>("offset");       // in chip pixels
    QTest::newRow("zoom 4, 3 right") << 4 << QList<int>{3} << 0;
    QTest::newRow("zoom 4, 3 left") << 4 << QList<int>{-3} << 0;
    QTest::newRow("zoom 4, 4 right") << 4 << QList<int>{4} << 1;
    QTest::newRow("zoom 4, 4 left") << 4 << QList<int>{-4} << -1;
    QTest::newRow("zoom 4, 7 left") << 4 << QList<int>{-7} << -1;
    QTest::newRow("zoom 1, 10 then 5") << 1 << QList<int>{10, 5} << 15;
    QTest::newRow("zoom 4, 3 then 3 is 6 of travel") << 4 << QList<int>{3, 3} << 1;
    QTest::newRow("zoom 3, -2 then -2 then +1") << 3 << QList<int>{-2, -2, 1} << -1;
}

void MoveTest::offsetIsTheTotalTravelDividedByTheZoom()
{
    QFETCH(int, zoom);
    QFETCH(QList<int>, drags);
    QFETCH(int, offset);
    auto c = MakeChip(32, 32, zoom, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    c->ChangeTool(ToolMove);

    // Each drag starts somewhere else: only the travel counts.
    int x = 40;
    for (int d : drags) {
        DragTo(*c, QPoint(x, 20), QPoint(x + d, 20));
        QVERIFY(ToolData->FBusy);
        QVERIFY(!c->CanUndo());
        x += 7;
    }
    QCOMPARE(p.chip(), moved(before, offset, 0, false));
    VERIFY_VIEW_SHOWS_CHIP(*c);
    c->ConfirmTool();
    QCOMPARE(p.chip(), moved(before, offset, 0, false));
    QCOMPARE(p.undoCount(), snapshots + 1);
    QCOMPARE(p.undoBitmap(p.undoCount() - 1), p.chip());
    QVERIFY(!ToolData->FBusy);
    QVERIFY(!ToolData->FFloating);
    QVERIFY(c->CanUndo());
}

void MoveTest::wholeChipWrapsOrIsClipped_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<int>("dx"); // chip pixels, dragged at zoom 2
    QTest::addColumn<int>("dy");
    QTest::newRow("loop, by the chip width") << true << 16 << 0;
    QTest::newRow("loop, by the chip height") << true << 0 << 12;
    QTest::newRow("loop, one left") << true << -1 << 0;
    QTest::newRow("loop, up and right") << true << 5 << -3;
    QTest::newRow("loop, many widths") << true << -16 * 9 - 2 << 12 * 7 + 1;
    QTest::newRow("no loop, three right") << false << 3 << 0;
    QTest::newRow("no loop, up and left") << false << -4 << -2;
    QTest::newRow("no loop, beyond the chip") << false << 40 << 0;
}

void MoveTest::wholeChipWrapsOrIsClipped()
{
    QFETCH(bool, loop);
    QFETCH(int, dx);
    QFETCH(int, dy);
    auto c = MakeChip(16, 12, 2, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    ToolData->FLoop = loop;
    c->ChangeTool(ToolMove);
    DragTo(*c, QPoint(10, 10), QPoint(10 + 2 * dx, 10 + 2 * dy));
    const Bitmap expected = moved(before, dx, dy, loop);
    QCOMPARE(p.chip(), expected);
    VERIFY_VIEW_SHOWS_CHIP(*c);
    c->ConfirmTool();
    QCOMPARE(p.chip(), expected);
    if (loop && dx == 16)
        QCOMPARE(p.chip(), before);
    if (loop && dx == -1)
        for (int y = 0; y < 12; ++y)
            QCOMPARE(p.chip().pixel(15, y), before.pixel(0, y));
    if (!loop && dx == 3) {
        // The uncovered strip keeps the old pixels; what left the chip is gone after the commit.
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 3; ++x)
                QCOMPARE(p.chip().pixel(x, y), before.pixel(x, y));
            QCOMPARE(p.chip().pixel(3, y), before.pixel(0, y));
        }
        // Moving back by three shows the old columns 0 to 12 in place; the old last three
        // columns did not come back, the strip shows the old columns 10 to 12 again.
        c->ChangeTool(ToolMove);
        DragTo(*c, QPoint(20, 10), QPoint(14, 10));
        c->ConfirmTool();
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x)
                QCOMPARE(p.chip().pixel(x, y), before.pixel(x < 13 ? x : x - 3, y));
    }
}

void MoveTest::hugeOffsetsAndEmptyChipsStayInBounds_data()
{
    QTest::addColumn<int>("w");
    QTest::addColumn<int>("h");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("selection");
    QTest::addColumn<int>("toX");
    QTest::addColumn<int>("toY");
    for (bool loop : {false, true})
        for (bool selection : {false, true}) {
            const QByteArray tag = QByteArray(loop ? "loop" : "no loop") + (selection ? ", block" : ", whole");
            QTest::newRow(tag + ", far right down") << 16 << 16 << loop << selection << INT_MAX << INT_MAX;
            QTest::newRow(tag + ", far left up") << 16 << 16 << loop << selection << INT_MIN << INT_MIN;
            QTest::newRow(tag + ", mixed") << 16 << 16 << loop << selection << INT_MIN << INT_MAX;
            QTest::newRow(tag + ", no width") << 0 << 8 << loop << selection << INT_MAX << 3;
            QTest::newRow(tag + ", no height") << 8 << 0 << loop << selection << -5 << INT_MIN;
        }
}

// Sanitizers catch any read or write outside a bitmap and any overflow; a normalisation that
// adds the width step by step would not finish.
void MoveTest::hugeOffsetsAndEmptyChipsStayInBounds()
{
    QFETCH(int, w);
    QFETCH(int, h);
    QFETCH(bool, loop);
    QFETCH(bool, selection);
    QFETCH(int, toX);
    QFETCH(int, toY);
    auto c = MakeChip(w, h, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    ToolData->FLoop = loop;
    if (selection) {
        p.selected() = true;
        p.selRect() = TRect{2, 1, 7, 5};
    }
    c->ChangeTool(ToolMove);
    c->FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, 0, 0);
    c->FFrontImgMouseMove(ssLeft, toX, toY);
    c->FFrontImgMouseUp(TMouseButton::mbLeft, 0, toX, toY);
    // A second drag from the far end back towards it: the anchor shift must not overflow either.
    c->FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, INT_MIN, INT_MAX);
    c->FFrontImgMouseMove(ssLeft, INT_MAX, INT_MIN);
    c->FFrontImgMouseUp(TMouseButton::mbLeft, 0, INT_MAX, INT_MIN);
    c->ConfirmTool();
    QVERIFY(!ToolData->FBusy);
    QCOMPARE(p.chip().width(), w);
    QCOMPARE(p.chip().height(), h);
    if (!loop && !selection && w > 0 && h > 0)
        QCOMPARE(p.chip(), before); // the picture left the chip; the base shows everywhere
}

void MoveTest::pendingMoveContinuesWithoutAJump()
{
    auto c = MakeChip(32, 32, 2, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    c->ChangeTool(ToolMove);
    DragTo(*c, QPoint(10, 10), QPoint(30, 16)); // (10, 3)

    // A press far from where the last drag ended, and no motion: nothing moves.
    Press(*c, QPoint(50, 50));
    QCOMPARE(p.chip(), moved(before, 10, 3, false));
    Motion(*c, QPoint(51, 50)); // under one chip pixel of travel
    QCOMPARE(p.chip(), moved(before, 10, 3, false));
    Motion(*c, QPoint(46, 54)); // (-2, +2)
    QCOMPARE(p.chip(), moved(before, 8, 5, false));
    Motion(*c, QPoint(47, 55)); // half a chip pixel further on each axis
    QCOMPARE(p.chip(), moved(before, 8, 5, false));
    Release(*c, QPoint(47, 55));

    // The half pixel left over counts: one more device pixel completes it.
    Press(*c, QPoint(3, 60));
    Motion(*c, QPoint(4, 61));
    QCOMPARE(p.chip(), moved(before, 9, 6, false));
    Release(*c, QPoint(4, 61));

    // A press without motion, then the confirm: exactly what was shown.
    Press(*c, QPoint(20, 20));
    Release(*c, QPoint(20, 20));
    c->ConfirmTool();
    QCOMPARE(p.chip(), moved(before, 9, 6, false));
    QCOMPARE(p.undoCount(), snapshots + 1);
}

void MoveTest::pressAndConfirmWithoutMotionRecordsAnUnchangedPicture()
{
    auto c = MakeChip(8, 8, 3, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    c->ChangeTool(ToolMove);
    Press(*c, QPoint(5, 5));
    Release(*c, QPoint(5, 5));
    QVERIFY(ToolData->FBusy);
    c->ConfirmTool();
    QCOMPARE(p.undoCount(), snapshots + 1);
    QCOMPARE(p.undoBitmap(p.undoCount() - 1), before);
    QCOMPARE(p.chip(), before);
}

void MoveTest::selectedBlockIsCopiedAndStaysInPlace_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<QPoint>("first");  // chip pixels
    QTest::addColumn<QPoint>("second"); // a later move of the same block, after a commit
    QTest::addColumn<bool>("alpha");    // see-through pixels replace what they land on
    QTest::newRow("no loop, down right") << false << QPoint(5, 4) << QPoint(-3, 0) << false;
    QTest::newRow("no loop, past the right edge") << false << QPoint(13, 0) << QPoint(0, 9) << false;
    QTest::newRow("loop, across the right edge") << true << QPoint(13, 0) << QPoint(0, 9) << false;
    QTest::newRow("loop, across the top-left corner") << true << QPoint(-4, -5) << QPoint(7, 7) << false;
    QTest::newRow("see-through, loop, across the right edge") << true << QPoint(13, 0) << QPoint(0, 9) << true;
}

void MoveTest::selectedBlockIsCopiedAndStaysInPlace()
{
    QFETCH(bool, loop);
    QFETCH(QPoint, first);
    QFETCH(QPoint, second);
    QFETCH(bool, alpha);
    const int z = 2;
    auto c = MakeChip(16, 16, z, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    for (int i = 0; alpha && i < 16 * 16; ++i)
        p.chip().setArgb(i % 16, i / 16, (p.chip().argb(i % 16, i / 16) & 0xFFFFFFu) | QRgb(i * 29 % 256) << 24);
    const Bitmap before = p.chip();
    const TRect block{2, 3, 6, 5};
    ToolData->FLoop = loop;
    selectBlock(*c, block);
    QVERIFY(p.selected());
    QCOMPARE(p.selRect(), block);

    DragTo(*c, QPoint(8, 8), QPoint(8 + first.x() * z, 8 + first.y() * z));
    Bitmap expected = moved(before, block, first.x(), first.y(), loop);
    if (loop && first.x() == 13) // the block's right part shows at the left edge
        QCOMPARE(p.chip().argb(1, 3), before.argb(4, 3));
    QCOMPARE(p.chip(), expected);
    QCOMPARE(p.selRect(), block);
    VERIFY_VIEW_SHOWS_CHIP(*c);
    QCOMPARE(p.painted().pixel(block.Left * z, block.Top * z), ClrBlack); // the frame stayed

    c->ConfirmTool();
    QCOMPARE(p.chip(), expected);
    QVERIFY(p.selected());

    // The next move copies the same rectangle again, from the committed chip.
    const Bitmap committed = p.chip();
    DragTo(*c, QPoint(20, 20), QPoint(20 + second.x() * z, 20 + second.y() * z));
    c->ConfirmTool();
    QCOMPARE(p.chip(), moved(committed, block, second.x(), second.y(), loop));
}

void MoveTest::everyTriggerCommitsOnce_data()
{
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<bool>("keepsSelection");
    QTest::newRow("confirm") << "confirm" << true;
    QTest::newRow("change to the pen") << "pen" << false;
    QTest::newRow("change to the selection tool") << "mask" << false;
    QTest::newRow("the move tool's own command") << "move" << true;
    QTest::newRow("another window becomes current") << "deactivate" << true;
}

void MoveTest::everyTriggerCommitsOnce()
{
    QFETCH(QString, trigger);
    QFETCH(bool, keepsSelection);
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const TRect block{0, 0, 8, 8};
    selectBlock(*c, block);
    const size_t snapshots = p.undoCount();
    DragTo(*c, QPoint(1, 1), QPoint(5, 3));
    DragTo(*c, QPoint(9, 9), QPoint(11, 9));
    QVERIFY(ToolData->FBusy && ToolData->FFloating);

    if (trigger == "confirm")
        c->ConfirmTool();
    else if (trigger == "pen")
        c->ChangeTool(ToolPen);
    else if (trigger == "mask")
        c->ChangeTool(ToolMask);
    else if (trigger == "move")
        c->ChangeTool(ToolMove);
    else
        c->FormDeactivate();

    const Bitmap expected = moved(before, block, 6, 2, false);
    QCOMPARE(p.chip(), expected);
    QCOMPARE(p.undoCount(), snapshots + 1);
    QCOMPARE(p.undoBitmap(p.undoCount() - 1), expected);
    QVERIFY(!ToolData->FBusy);
    QVERIFY(!ToolData->FFloating);
    QCOMPARE(p.selected(), keepsSelection);
    VERIFY_VIEW_SHOWS_CHIP(*c);

    // A further trigger finds nothing pending and records nothing.
    c->ConfirmTool();
    c->FormDeactivate();
    QCOMPARE(p.undoCount(), snapshots + 1);
}

void MoveTest::nothingCommitsWhileTheButtonIsHeld()
{
    auto c = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const size_t snapshots = p.undoCount();
    c->ChangeTool(ToolMove);
    Press(*c, QPoint(2, 2));
    Motion(*c, QPoint(6, 2));
    c->ChangeTool(ToolPen);
    c->ConfirmTool();
    QCOMPARE(ToolData->FTool, ToolMove);
    QVERIFY(ToolData->FBusy);
    QCOMPARE(p.undoCount(), snapshots);
    Release(*c, QPoint(6, 2));
    QVERIFY(ToolData->FBusy); // the release does not commit
    c->ChangeTool(ToolPen);
    QCOMPARE(ToolData->FTool, ToolPen);
    QCOMPARE(p.undoCount(), snapshots + 1);
}

void MoveTest::deactivationCommitsAndTheNextMoveStartsFresh()
{
    auto a = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    auto b = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe pa(*a), pb(*b);
    pb.chip().fill(RGBColor(1, 2, 3));
    pb.chip().setPixel(0, 0, RGBColor(9, 9, 9));
    const Bitmap beforeA = pa.chip(), beforeB = pb.chip();
    a->ChangeTool(ToolMove);
    DragTo(*a, QPoint(4, 4), QPoint(7, 4));
    a->FormDeactivate();
    QVERIFY(!ToolData->FBusy);
    QVERIFY(!ToolData->FFloating);
    QCOMPARE(pa.chip(), moved(beforeA, 3, 0, false));

    DragTo(*b, QPoint(4, 4), QPoint(6, 5));
    QCOMPARE(pb.back(), beforeB);
    QCOMPARE(pb.chip(), moved(beforeB, 2, 1, false));
    b->FormDeactivate();

    // Back in the first window: its committed chip is what moves now.
    const Bitmap committedA = pa.chip();
    DragTo(*a, QPoint(8, 8), QPoint(8, 10));
    QCOMPARE(pa.chip(), moved(committedA, 0, 2, false));
    a->ConfirmTool();
}

// Should a tool command reach another window while a move is pending (the main window routes
// it to its current chip), the move is committed where its pictures are, never stamped from the
// other window's stale copies.
void MoveTest::aCommitLandsInTheWindowThatHoldsTheMove()
{
    auto a = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    auto b = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe pa(*a), pb(*b);
    pb.chip().fill(RGBColor(1, 2, 3));
    b->ChangeTool(ToolMove);
    DragTo(*b, QPoint(3, 3), QPoint(5, 3));
    b->ConfirmTool(); // leaves b with copies of its own chip
    const Bitmap beforeA = pa.chip(), beforeB = pb.chip();
    const size_t snapshotsA = pa.undoCount(), snapshotsB = pb.undoCount();

    DragTo(*a, QPoint(3, 3), QPoint(4, 5));
    b->ChangeTool(ToolPen);
    QCOMPARE(ToolData->FTool, ToolPen);
    QVERIFY(!ToolData->FBusy);
    QCOMPARE(pa.chip(), moved(beforeA, 1, 2, false));
    QCOMPARE(pa.undoCount(), snapshotsA + 1);
    QCOMPARE(pb.chip(), beforeB);
    QCOMPARE(pb.undoCount(), snapshotsB);
}

void MoveTest::pasteLeftFloatingStaysWithItsWindow_data()
{
    QTest::addColumn<bool>("backToThePaste");
    QTest::newRow("a move in the other window takes that window's chip") << false;
    QTest::newRow("back in its window the paste lifts off") << true;
}

// A paste that was never dragged floats in its own window until it is moved there or dropped;
// making another window current does not drop it, and that window's moves never stamp it.
void MoveTest::pasteLeftFloatingStaysWithItsWindow()
{
    QFETCH(bool, backToThePaste);
    auto a = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    auto b = MakeChip(16, 16, 1, ChipFill::Numbered, true);
    ChildwinProbe pa(*a), pb(*b);
    pb.chip().fill(RGBColor(1, 2, 3));
    const Bitmap beforeA = pa.chip(), beforeB = pb.chip();
    QImage red(8, 8, QImage::Format_RGB32);
    red.fill(QColor(255, 0, 0));
    QGuiApplication::clipboard()->setImage(red);
    a->PasteFromClipboard();
    QCOMPARE(ToolData->FTool, ToolMove);
    const size_t snapshotsA = pa.undoCount();
    a->FormDeactivate(); // b becomes the current window
    QCOMPARE(pa.undoCount(), snapshotsA);

    if (!backToThePaste) {
        DragTo(*b, QPoint(2, 2), QPoint(3, 2));
        QCOMPARE(pb.chip(), moved(beforeB, 1, 0, false));
        b->ConfirmTool();
        return;
    }
    b->FormDeactivate();
    DragTo(*a, QPoint(2, 2), QPoint(5, 2));
    Bitmap expected = beforeA;
    expected.fillRect(TRect{3, 0, 11, 8}, RGBColor(255, 0, 0));
    QCOMPARE(pa.chip(), expected);
    a->ConfirmTool();
    QCOMPARE(pa.undoCount(), snapshotsA + 1);
}

void MoveTest::closingAWindowFreesTheToolState_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("pending move") << "move pending";
    QTest::newRow("move with the button held") << "move held";
    QTest::newRow("pen with the button held") << "pen held";
    QTest::newRow("scroll with the button held") << "scroll held";
    QTest::newRow("selection with the button held") << "select held";
    QTest::newRow("paste not yet dragged") << "paste";
}

void MoveTest::closingAWindowFreesTheToolState()
{
    QFETCH(QString, operation);
    auto other = MakeChip(8, 8, 1, ChipFill::Numbered, true);
    auto doomed = MakeChip(8, 8, 1, ChipFill::Numbered, true);
    ChildwinProbe po(*other);
    po.chip().setPixel(1, 1, ClrBlack);
    other->PushUndo();

    if (operation == "move pending") {
        doomed->ChangeTool(ToolMove);
        DragTo(*doomed, QPoint(1, 1), QPoint(3, 3));
    } else if (operation == "move held") {
        doomed->ChangeTool(ToolMove);
        Press(*doomed, QPoint(1, 1));
        Motion(*doomed, QPoint(2, 2));
    } else if (operation == "pen held") {
        Press(*doomed, QPoint(1, 1));
    } else if (operation == "scroll held") {
        Press(*doomed, QPoint(1, 1), Qt::ControlModifier);
        Motion(*doomed, QPoint(3, 1));
    } else if (operation == "select held") {
        doomed->ChangeTool(ToolMask);
        Press(*doomed, QPoint(1, 1));
        Motion(*doomed, QPoint(3, 3));
    } else {
        QImage red(4, 4, QImage::Format_RGB32);
        red.fill(Qt::red);
        QGuiApplication::clipboard()->setImage(red);
        doomed->PasteFromClipboard();
    }
    QVERIFY(ToolData->FBusy || ToolData->FFloating);
    doomed.reset();
    QWidget elsewhere; // the user lets go of the button where no chip sees it
    QTest::mouseRelease(&elsewhere, Qt::LeftButton);

    QVERIFY(!ToolData->FBusy);
    QVERIFY(!ToolData->FFloating);
    QVERIFY(other->CanUndo());
    other->ChangeTool(ToolMask);
    QCOMPARE(ToolData->FTool, ToolMask);
    other->ChangeTool(ToolMove);
    const Bitmap before = po.chip();
    DragTo(*other, QPoint(2, 2), QPoint(4, 2));
    QCOMPARE(po.chip(), moved(before, 2, 0, false));
    other->ConfirmTool();
    QVERIFY(!ToolData->FBusy);
}

void MoveTest::zoomChangeKeepsTheMoveWhereItIsShown_data()
{
    QTest::addColumn<int>("zoomBefore");
    QTest::addColumn<int>("zoomAfter");
    QTest::addColumn<int>("travelBefore"); // view pixels along X, before the zoom change
    QTest::addColumn<int>("travelAfter");  // view pixels along X, after it
    QTest::addColumn<int>("offset");       // the committed move, in chip pixels
    QTest::newRow("4 to 2, then no drag") << 4 << 2 << 9 << 0 << 2;
    QTest::newRow("4 to 2, then 3 more") << 4 << 2 << 9 << 3 << 3;
    QTest::newRow("2 to 8, then 9 more") << 2 << 8 << -6 << 9 << -1; // -15 / 8, toward zero
    QTest::newRow("1 to 16, truncated part dropped") << 1 << 16 << 5 << 15 << 5;
    QTest::newRow("3 to 3") << 3 << 3 << 7 << 2 << 3;
}

// The picture stays where it is shown, in chip pixels, across a zoom change: neither the next
// drag nor the commit may make it jump.
void MoveTest::zoomChangeKeepsTheMoveWhereItIsShown()
{
    QFETCH(int, zoomBefore);
    QFETCH(int, zoomAfter);
    QFETCH(int, travelBefore);
    QFETCH(int, travelAfter);
    QFETCH(int, offset);
    auto c = MakeChip(16, 16, zoomBefore, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    c->ChangeTool(ToolMove);
    DragTo(*c, QPoint(20, 20), QPoint(20 + travelBefore, 20));
    const Bitmap shown = p.chip();
    c->setZoom(zoomAfter);
    QCOMPARE(p.chip(), shown);
    VERIFY_VIEW_SHOWS_CHIP(*c);
    Press(*c, QPoint(30, 30));
    QCOMPARE(p.chip(), shown);
    Motion(*c, QPoint(30 + travelAfter, 30));
    Release(*c, QPoint(30 + travelAfter, 30));
    c->ConfirmTool();
    QCOMPARE(p.chip(), moved(before, offset, 0, false));
}

void MoveTest::ctrlDragScrollsWithWrapAndOneSnapshot_data()
{
    QTest::addColumn<bool>("loop");
    QTest::addColumn<int>("zoom");
    QTest::addColumn<QPoint>("travel"); // view pixels
    QTest::addColumn<QPoint>("offset"); // chip pixels
    QTest::newRow("loop off, right") << false << 1 << QPoint(5, 0) << QPoint(5, 0);
    QTest::newRow("loop off, up left") << false << 2 << QPoint(-7, -4) << QPoint(-3, -2);
    QTest::newRow("loop on, down") << true << 1 << QPoint(0, 13) << QPoint(0, 13);
    QTest::newRow("zoom 4, under a pixel") << false << 4 << QPoint(3, -3) << QPoint(0, 0);
    QTest::newRow("far outside the view") << false << 1 << QPoint(-1000003, 999999) << QPoint(-1000003, 999999);
}

void MoveTest::ctrlDragScrollsWithWrapAndOneSnapshot()
{
    QFETCH(bool, loop);
    QFETCH(int, zoom);
    QFETCH(QPoint, travel);
    QFETCH(QPoint, offset);
    auto c = MakeChip(16, 12, zoom, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    const size_t snapshots = p.undoCount();
    ToolData->FLoop = loop;
    const QString position = p.panel1();

    const QPoint from(6, 6);
    Press(*c, from, Qt::ControlModifier);
    QVERIFY(ToolData->FBusy);
    Motion(*c, from + travel / 3);
    Motion(*c, from + travel);
    const Bitmap expected = moved(before, offset.x(), offset.y(), true);
    QCOMPARE(p.chip(), expected);
    VERIFY_VIEW_SHOWS_CHIP(*c);
    QCOMPARE(p.undoCount(), snapshots);
    Release(*c, from + travel);

    QVERIFY(!ToolData->FBusy);
    QCOMPARE(p.undoCount(), snapshots + 1);
    QCOMPARE(p.undoBitmap(p.undoCount() - 1), expected);
    QCOMPARE(p.panel1(), position); // the scroll never shows the pointed pixel
    // Scroll mode lasts until the next pen press; motion without a button changes nothing.
    QVERIFY(p.scrollDrag());
    c->FFrontImgMouseMove(0, 1, 1);
    QCOMPARE(p.chip(), expected);
    QCOMPARE(p.undoCount(), snapshots + 1);
}

void MoveTest::zoomChangeDuringAScrollKeepsItsOffset()
{
    auto c = MakeChip(16, 12, 4, ChipFill::Numbered, true);
    ChildwinProbe p(*c);
    const Bitmap before = p.chip();
    Press(*c, QPoint(20, 20), Qt::ControlModifier);
    Motion(*c, QPoint(31, 20)); // 11 / 4: two pixels right
    c->setZoom(1);
    QCOMPARE(p.chip(), moved(before, 2, 0, true));
    Motion(*c, QPoint(32, 19)); // then one right and one up at zoom 1
    Release(*c, QPoint(32, 19));
    QCOMPARE(p.chip(), moved(before, 3, -1, true));
}

QTEST_MAIN(MoveTest)
#include "test_move.moc"
