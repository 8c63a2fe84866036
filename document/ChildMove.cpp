// SPDX-License-Identifier: MIT
// Move tool and the pen's Ctrl scroll.
#include "document/Childwin.h"

#include <algorithm>
#include <cstdint>

#include "tools/UEditerData.h"

namespace {

// Pointer travel is summed over any number of drags and the ends may lie far outside the view,
// so the difference is taken in 64 bits before it is divided.
int64_t dragOffset(int32_t from, int32_t to, int zoom)
{
    return (int64_t(to) - int64_t(from)) / zoom;
}

// One modulo instead of adding or subtracting the side until the offset fits: a huge offset must
// not loop for long. A side of 0 has no pixel to wrap into.
int wrapOffset(int64_t d, int side)
{
    if (side <= 0)
        return 0;
    const int64_t r = d % side;
    return int(r < 0 ? r + side : r);
}

// A block placed this far away misses every bitmap, so clamping to it changes nothing that is
// drawn and keeps the destination inside int.
constexpr int64_t kFarAway = int64_t(1) << 30;

int farClamp(int64_t v)
{
    return int(std::clamp(v, -kFarAway, kFarAway));
}

int32_t saturate(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// With (dx, dy) wrapped into the chip, these four stamps put back on the opposite side whatever
// leaves one edge; the later ones win where they overlap.
void stampWrapped(Bitmap& dst, const Bitmap& src, const TRect& block, int dx, int dy)
{
    const int w = dst.width(), h = dst.height();
    const int64_t left = block.Left, top = block.Top;
    dst.copyRect(farClamp(left + dx), farClamp(top + dy), src, block);
    dst.copyRect(farClamp(left + dx - w), farClamp(top + dy), src, block);
    dst.copyRect(farClamp(left + dx), farClamp(top + dy - h), src, block);
    dst.copyRect(farClamp(left + dx - w), farClamp(top + dy - h), src, block);
}

} // namespace

void TMDIChild::BeginMove(int X, int Y)
{
    FShownShift.reset();
    if (ToolData->FBusy) {
        // A further drag of a pending move: shift the anchor with the pointer so the offset
        // reached so far carries on without a jump.
        FFromPt.X = saturate(int64_t(FFromPt.X) + int64_t(X) - FToPt.X);
        FFromPt.Y = saturate(int64_t(FFromPt.Y) + int64_t(Y) - FToPt.Y);
        FToPt = TPoint{X, Y};
        return;
    }
    FDragging = true;
    FFromPt = TPoint{X, Y};
    FToPt = TPoint{X, Y};
    // After a paste the pasted picture is already floating over its own base. Floating pictures
    // held by another window are that window's; stamping them here would paste its picture.
    if (!ToolData->FFloating || !holdsToolState()) {
        ToolData->FFloating = true;
        FBackBmp.assign(FChipBmp);
        FFloatBmp.assign(FChipBmp);
    }
    ToolData->FBusy = true;
}

// At a high zoom most motions stay inside one chip pixel: they would draw the same picture again
// and repaint the whole visible view for nothing.
bool TMDIChild::ShiftChanges(int X, int Y)
{
    const TDragShift shift = DragShift(X, Y);
    if (FShownShift == shift) {
        FToPt = TPoint{X, Y};
        return false;
    }
    FShownShift = shift;
    return true;
}

void TMDIChild::DragMove(int X, int Y)
{
    if (!FDragging || !ToolData->FBusy || !ShiftChanges(X, Y))
        return;
    DrawMoved(X, Y);
    RenderView();
}

TMDIChild::TDragShift TMDIChild::DragShift(int X, int Y) const
{
    const int zoom = std::max(FZoom, 1);
    return TDragShift{dragOffset(FFromPt.X, X, zoom), dragOffset(FFromPt.Y, Y, zoom)};
}

void TMDIChild::DrawMoved(int X, int Y)
{
    FToPt = TPoint{X, Y};
    const auto [dx, dy] = DragShift(X, Y);
    const TRect block = FSelected ? FSelRect : TRect{0, 0, FFloatBmp.width(), FFloatBmp.height()};

    if (ToolData->FLoop) {
        const int wx = wrapOffset(dx, FChipBmp.width());
        const int wy = wrapOffset(dy, FChipBmp.height());
        // Four stamps of a whole-chip picture cover the chip, so the base is drawn only under a
        // block (or a picture smaller than the chip, which a whole-chip move never has).
        if (FSelected || FFloatBmp.width() < FChipBmp.width() || FFloatBmp.height() < FChipBmp.height())
            FChipBmp.draw(FBackBmp, 0, 0);
        stampWrapped(FChipBmp, FFloatBmp, block, wx, wy);
    } else {
        FChipBmp.draw(FBackBmp, 0, 0);
        FChipBmp.copyRect(farClamp(block.Left + dx), farClamp(block.Top + dy), FFloatBmp, block);
    }
}

void TMDIChild::CommitMove()
{
    // The pictures of a pending move belong to the window that started it; committing them
    // anywhere else would stamp this window's stale copies over its chip.
    if (ToolData->FOwner && !holdsToolState()) {
        ToolData->FOwner->CommitMove();
        return;
    }
    if (!ToolData->FBusy || !ToolData->FFloating)
        return;
    DrawMoved(FToPt.X, FToPt.Y);
    PushUndo();
    ToolData->FBusy = false;
}

void TMDIChild::BeginScroll(int X, int Y)
{
    FShownShift.reset();
    FDragging = true;
    FFromPt = TPoint{X, Y};
    FToPt = TPoint{X, Y};
    FFloatBmp.assign(FChipBmp);
    ToolData->FBusy = true;
}

void TMDIChild::ScrollMove(int X, int Y)
{
    if (!FDragging || !ToolData->FBusy || !ShiftChanges(X, Y))
        return;
    FToPt = TPoint{X, Y};
    const TDragShift shift = DragShift(X, Y);
    const int wx = wrapOffset(shift.X, FChipBmp.width());
    const int wy = wrapOffset(shift.Y, FChipBmp.height());
    stampWrapped(FChipBmp, FFloatBmp, TRect{0, 0, FFloatBmp.width(), FFloatBmp.height()}, wx, wy);
    RenderView();
}

void TMDIChild::EndScroll()
{
    if (!ToolData->FBusy)
        return;
    PushUndo();
    ToolData->FBusy = false;
}

// A zoom change must leave a pending move, a scroll or a selection anchor where the user sees
// it in chip pixels; otherwise the next drag or the commit would place the picture at the old
// pointer travel divided by the new zoom. The pointer itself stays put on the screen, so only
// the anchor is set again.
void TMDIChild::KeepDragAcrossZoom(int OldZoom)
{
    if (OldZoom < 1 || OldZoom == FZoom)
        return;
    FShownShift.reset();
    const bool movePending = ToolData->FTool == ToolMove && ToolData->FBusy && ToolData->FFloating &&
                             holdsToolState();
    const bool scrolling = ToolData->FTool == ToolPen && FScrollDrag && FDragging && ToolData->FBusy;
    if (movePending || scrolling) {
        const int64_t dx = dragOffset(FFromPt.X, FToPt.X, OldZoom);
        const int64_t dy = dragOffset(FFromPt.Y, FToPt.Y, OldZoom);
        FFromPt.X = saturate(int64_t(FToPt.X) - dx * FZoom);
        FFromPt.Y = saturate(int64_t(FToPt.Y) - dy * FZoom);
    } else if (ToolData->FTool == ToolMask && FDragging) {
        FFromPt.X = saturate(int64_t(FFromPt.X / OldZoom) * FZoom);
        FFromPt.Y = saturate(int64_t(FFromPt.Y / OldZoom) * FZoom);
    }
    // A pen stroke keeps its view points: its next segment starts from the pixel now under the
    // pointer, not from the one that was under it before the zoom.
}

// A paste that was not dragged yet floats over the chip as it was before the paste. Once an undo
// or redo has put another picture in the chip, dragging that paste would stamp the old base back
// and silently revert the undo; the next move takes fresh copies of the chip instead.
void TMDIChild::ForgetFloatingPaste()
{
    if (holdsToolState() && !ToolData->FBusy)
        ToolData->FFloating = false;
}
