// SPDX-License-Identifier: MIT
// Pointer dispatch of the chip view, pen strokes and loop mode.
#include "document/Childwin.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "document/ChipHost.h"
#include "platform/Pointer.h"
#include "tools/UEditerData.h"

// Every button acts alike; of the modifiers only Alt and Ctrl count, and only at a pen press.
void TMDIChild::FFrontImgMouseDown(TMouseButton, TShiftState Shift, int X, int Y)
{
    switch (ToolData->FTool) {
    case ToolPen:
        FDragging = true;
        FScrollDrag = false;
        if (Shift & ssAlt) {
            FDragging = false;
            PickColor(X, Y);
        } else if (Shift & ssCtrl) {
            FScrollDrag = true;
            BeginScroll(X, Y);
        } else {
            BeginStroke(X, Y);
        }
        break;
    case ToolMove:
        FDragging = true;
        BeginMove(X, Y);
        break;
    case ToolMask:
        FDragging = true;
        BeginSelect(X, Y);
        break;
    default:
        break;
    }
    // After the press: BeginMove asks whether this window held the floating pictures before.
    claimToolState();
}

// Motion runs its operation with or without a button held; each operation checks FDragging.
void TMDIChild::FFrontImgMouseMove(TShiftState, int X, int Y)
{
    switch (ToolData->FTool) {
    case ToolPen:
        if (FScrollDrag)
            ScrollMove(X, Y);
        else
            PenMove(X, Y);
        break;
    case ToolMove:
        DragMove(X, Y);
        break;
    case ToolMask:
        DragSelect(X, Y);
        break;
    default:
        break;
    }
}

void TMDIChild::FFrontImgMouseUp(TMouseButton, TShiftState, int, int)
{
    switch (ToolData->FTool) {
    case ToolPen:
        FDragging = false;
        if (FScrollDrag) {
            EndScroll();
        } else {
            ToolData->FBusy = false;
            PushUndo();
        }
        break;
    case ToolMove:
        FDragging = false; // the move stays pending until it is committed
        break;
    case ToolMask:
        FDragging = false;
        EndSelect();
        break;
    default:
        break;
    }
}

// ---- Pen strokes and loop mode ----

namespace {

constexpr size_t kLinePtsCapacity = 100;

// No real pointer lies further than this from the chip: X11 hands out 16-bit screen positions.
// Points of a segment beyond it are dropped, so that a bogus far-off position cannot make the
// rasteriser walk (and store) billions of steps; every segment a pointer can make stays whole.
constexpr int64_t kPointerReach = int64_t(1) << 16;

// The steps k of a line, 0 <= k < count, whose major coordinate start + sign * k lies in [lo, hi).
struct StepRange {
    int64_t first;
    int64_t last;
};

StepRange stepsWithin(int64_t start, int sign, int64_t count, int64_t lo, int64_t hi)
{
    const int64_t first = sign > 0 ? lo - start : start - hi + 1;
    const int64_t last = sign > 0 ? hi - start : start - lo + 1;
    return StepRange{std::max<int64_t>(first, 0), std::min(last, count)};
}

// A wrapped coordinate; saturates instead of overflowing for positions no pointer can reach.
int32_t shifted(int32_t v, int32_t shift)
{
    return int32_t(std::clamp<int64_t>(int64_t(v) + shift, INT32_MIN, INT32_MAX));
}

// The shift that carries a segment crossing an edge of [0, extent) outward back to the other side;
// 0 when it crosses no edge outward (a previous point beyond the edge is not wrapped again).
int32_t loopShift(int32_t from, int32_t to, int32_t extent)
{
    if (from >= 0 && to < 0)
        return extent;
    if (from < extent && to >= extent)
        return -extent;
    return 0;
}

int blendChannel(int base, int pen, int alpha)
{
    return ((255 - alpha) * base + alpha * pen) >> 8; // divides by 256, not 255: 255 is never reached
}

// The pen over one pixel of the stroke base at an opacity: non-premultiplied source-over. Over an
// opaque pixel it is the blend users of the program have always had, which divides by 256; over a
// transparent one the pen colour at the opacity; over a translucent one the usual formula, each
// result rounded to the nearest. The transparent pen takes alpha away in proportion and leaves the
// colour under it as it was.
QRgb penOver(QRgb base, TColor pen, int opacity)
{
    const int baseAlpha = qAlpha(base);
    if (pen == ClrTransparent) {
        const int kept = opacity == 255 ? 0 : (baseAlpha * (255 - opacity) + 127) / 255;
        return (base & 0x00FFFFFFu) | QRgb(kept) << 24;
    }
    const QRgb colour = ColorToQRgb(pen);
    if (opacity == 255)
        return colour;
    if (baseAlpha == 255)
        return qRgb(blendChannel(qRed(base), qRed(colour), opacity), blendChannel(qGreen(base), qGreen(colour), opacity),
                    blendChannel(qBlue(base), qBlue(colour), opacity));
    if (baseAlpha == 0)
        return (colour & 0x00FFFFFFu) | QRgb(opacity) << 24;
    const int penWeight = opacity * 255, baseWeight = baseAlpha * (255 - opacity);
    const int total = penWeight + baseWeight;
    const auto mix = [&](int b, int c) { return (c * penWeight + b * baseWeight + total / 2) / total; };
    return qRgba(mix(qRed(base), qRed(colour)), mix(qGreen(base), qGreen(colour)), mix(qBlue(base), qBlue(colour)),
                 (total + 127) / 255);
}

struct Segment {
    TPoint from;
    TPoint to;
};

// A segment that left the view across an edge, painted again on the far side: the horizontal,
// diagonal and vertical copies in that order, and the segment carried over to where it continues.
struct LoopWrap {
    Segment copies[3];
    int count = 0;
    Segment wrapped;
};

LoopWrap wrapSegment(Segment seg, int32_t viewWidth, int32_t viewHeight)
{
    const int32_t s = loopShift(seg.from.X, seg.to.X, viewWidth);
    const int32_t t = loopShift(seg.from.Y, seg.to.Y, viewHeight);
    const auto moved = [&seg](int32_t dx, int32_t dy) {
        return Segment{TPoint{shifted(seg.from.X, dx), shifted(seg.from.Y, dy)},
                       TPoint{shifted(seg.to.X, dx), shifted(seg.to.Y, dy)}};
    };
    LoopWrap wrap;
    if (s != 0)
        wrap.copies[wrap.count++] = moved(s, 0);
    if (s != 0 && t != 0)
        wrap.copies[wrap.count++] = moved(s, t);
    if (t != 0)
        wrap.copies[wrap.count++] = moved(0, t);
    wrap.wrapped = moved(s, t);
    return wrap;
}

// Repaints the segment's bounding block alone, straight from the chip: a motion costs what its
// segment covers, not what the chip does.
void refreshViewBlock(TImageControl& view, const Bitmap& chip, int x0, int y0, int x1, int y1)
{
    // Clipped to the chip first: the corners may lie anywhere a pointer can go.
    const TRect block{std::max(std::min(x0, x1), 0), std::max(std::min(y0, y1), 0),
                      int32_t(std::min<int64_t>(int64_t(std::max(x0, x1)) + 1, chip.width())),
                      int32_t(std::min<int64_t>(int64_t(std::max(y0, y1)) + 1, chip.height()))};
    if (block.Left >= block.Right || block.Top >= block.Bottom)
        return;
    view.refreshSourceBlock(block);
}

} // namespace

void TMDIChild::BeginStroke(int X, int Y)
{
    FFromPt = TPoint{X, Y};
    FToPt = TPoint{X, Y};
    FBackBmp.assign(FChipBmp);
    FLateEchoPt.reset();
    FDragging = true;
    ToolData->FBusy = true;
    // A loop stroke may carry the pointer over; Xwayland does that only under a hidden cursor.
    if (ToolData->FLoop && PointerCanMove())
        FFrontImg->hidePointerUntilRelease();
}

void TMDIChild::PenMove(int X, int Y)
{
    // The echo of our own pointer warp.
    if (FSkipMouseMove) {
        FSkipMouseMove = false;
        // Not the echo but a motion from elsewhere: the platform refused the warp (a Wayland
        // session does), or the motion was on its way before the warp. The stroke goes on from
        // where the pointer really is instead of painting across the chip; should the echo still
        // come, the stroke moves on with it to where the pointer was sent.
        if (TPoint{X, Y} != FToPt) {
            FLateEchoPt = FToPt;
            FToPt = TPoint{X, Y};
        }
        return;
    }
    if (FLateEchoPt && *FLateEchoPt == TPoint{X, Y}) {
        FLateEchoPt.reset();
        FToPt = TPoint{X, Y};
        return;
    }
    FFromPt = FToPt;
    FToPt = TPoint{X, Y};
    const TPoint from = FFromPt, to = FToPt;
    ShowCursorPos(X, Y);
    if (!FDragging)
        return;
    DrawSegment(FFromPt, FToPt);
    if (!ToolData->FLoop)
        return;
    const LoopWrap wrap = wrapSegment(Segment{from, to}, FChipBmp.width() * FZoom, FChipBmp.height() * FZoom);
    for (int i = 0; i < wrap.count; ++i)
        DrawSegment(wrap.copies[i].from, wrap.copies[i].to);
    FFromPt = wrap.wrapped.from;
    FToPt = wrap.wrapped.to;
    if (FToPt != to) {
        // Raised before the pointer moves: the warp's own motion event may arrive at once.
        FSkipMouseMove = true;
        FLateEchoPt.reset();
        SetPointerPos(FFrontImg, FToPt);
    }
}

void TMDIChild::DrawSegment(TPoint From, TPoint To)
{
    if (ToolData->FTool == ToolPen)
        DrawPenSegment(From, To);
}

void TMDIChild::DrawPenSegment(TPoint From, TPoint To)
{
    const int Z = FZoom;
    const int x0 = DivTrunc(From.X, Z), y0 = DivTrunc(From.Y, Z);
    const int x1 = DivTrunc(To.X, Z), y1 = DivTrunc(To.Y, Z);
    const TColor C = ToolData->getColor();
    const uint8_t alpha = ToolData->FAlpha;
    BuildLinePts(x0, y0, x1, y1);
    for (const TPoint& P : FLinePts) {
        if (alpha == 255 && C != ClrTransparent)
            FChipBmp.setPixel(P.X, P.Y, C);
        else if (alpha == 255)
            FChipBmp.setArgb(P.X, P.Y, penOver(FChipBmp.argb(P.X, P.Y), C, alpha));
        else
            BlendPixel(P.X, P.Y, alpha);
    }
    refreshViewBlock(*FFrontImg, FChipBmp, x0, y0, x1, y1);
}

// The points of the segment from (X0, Y0) up to, not including, (X1, Y1). The error term starts at
// 0, not at half the major extent, so a shallow line keeps to its start row until the last step.
void TMDIChild::BuildLinePts(int X0, int Y0, int X1, int Y1)
{
    std::vector<TPoint>().swap(FLinePts);
    FLinePts.reserve(kLinePtsCapacity);

    const int64_t dx = int64_t(X1) - X0, dy = int64_t(Y1) - Y0;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -1 : 1;
    const bool steep = std::abs(dy) > std::abs(dx);
    const int64_t major = steep ? std::abs(dy) : std::abs(dx);
    const uint64_t minor = uint64_t(steep ? std::abs(dx) : std::abs(dy));
    const int majorSign = steep ? sy : sx, minorSign = steep ? sx : sy;
    const int64_t majorStart = steep ? Y0 : X0, minorStart = steep ? X0 : Y0;
    const int64_t extent = steep ? FChipBmp.height() : FChipBmp.width();

    // A segment within one pixel still yields that pixel.
    const int64_t count = std::max<int64_t>(major, 1);
    const StepRange steps = stepsWithin(majorStart, majorSign, count, -kPointerReach, extent + kPointerReach);
    if (steps.first >= steps.last)
        return;

    // Where the walk stands after steps.first steps (all of them when nothing was dropped: 0).
    const uint64_t walked = uint64_t(steps.first) * minor; // < 2^64: both factors are below 2^32
    const uint64_t divisor = uint64_t(std::max<int64_t>(major, 1));
    int64_t e = int64_t(walked % divisor);
    int64_t m = majorStart + majorSign * steps.first;
    int64_t n = minorStart + minorSign * int64_t(walked / divisor);
    for (int64_t k = steps.first; k < steps.last; ++k) {
        FLinePts.push_back(steep ? TPoint{int32_t(n), int32_t(m)} : TPoint{int32_t(m), int32_t(n)});
        m += majorSign;
        e += int64_t(minor);
        if (e >= major) {
            n += minorSign;
            e -= major;
        }
    }
}

void TMDIChild::BlendPixel(int X, int Y, uint8_t Alpha)
{
    // Blending over the stroke base, not the chip, makes a pixel that one stroke paints several
    // times end as if painted once. Outside the base B is the invalid colour, whose channels
    // count as 255; the write below then has no effect.
    const QRgb B = FBackBmp.contains(X, Y) ? FBackBmp.argb(X, Y) : 0xFFFFFFFFu;
    FChipBmp.setArgb(X, Y, penOver(B, ToolData->getColor(), Alpha));
}

void TMDIChild::PickColor(int X, int Y)
{
    // A pixel with any alpha gives its colour, opaque; only one of alpha 0 gives transparency.
    const int x = DivTrunc(X, FZoom), y = DivTrunc(Y, FZoom);
    if (FChipBmp.contains(x, y))
        ToolData->setColor(qAlpha(FChipBmp.argb(x, y)) == 0 ? ClrTransparent : FChipBmp.pixel(x, y));
    if (TChipHost* host = ChipHost())
        host->UpdateFromToolData();
}
