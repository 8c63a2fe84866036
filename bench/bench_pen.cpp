// SPDX-License-Identifier: MIT
// What one pen motion costs next to a full redraw of the view (the baseline), on a 256 by 256
// chip at zoom 16 in a shown window: a motion must follow the size of its segment, not the chip's.
// The handlers are called directly here; bench_move drives the pen through real events.
#include "BenchSupport.h"

#include <QApplication>

#include "document/Childwin.h"
#include "tools/UEditerData.h"

namespace {

struct ShownChip {
    explicit ShownChip(int zoom)
    {
        child.NewChip(QStringLiteral("NONAME1"), 256, 256);
        child.setZoom(zoom);
        child.show();
        QApplication::processEvents();
    }
    ~ShownChip() { ToolData->FBusy = false; }
    TMDIChild child;
};

// The limit of a pen motion was set against the full redraw of the view as it used to be: the
// whole 4096 by 4096 view stretched from the chip. Kept as the baseline, beside today's RenderView,
// which paints only the visible part.
void BM_FormerFullRedraw(benchmark::State& state)
{
    Bitmap chip(256, 256);
    FillPattern(chip);
    Bitmap view;
    for (auto _ : state) {
        view.stretchFrom(chip, 16);
        benchmark::DoNotOptimize(view.scanLine(0));
    }
    state.SetLabel("baseline: whole 4096x4096 view stretched");
}

void BM_RenderView(benchmark::State& state)
{
    ShownChip chip(16);
    for (auto _ : state)
        chip.child.RenderView();
    state.SetLabel("the visible part painted");
}

// Motions that go back and forth inside one chip pixel (segments of one pixel) or between two
// pixels `state.range(0)` apart, at the given opacity, with the button held. With erase, the
// transparent pen over a chip of translucent pixels, which the view lays over its checkerboard.
void BM_PenMotion(benchmark::State& state)
{
    const int span = int(state.range(0));
    ToolData->FAlpha = uint8_t(state.range(1));
    ToolData->FLoop = false;
    const bool erase = state.range(2) != 0;
    ShownChip chip(16);
    TMDIChild& c = chip.child;
    if (erase) {
        ToolData->setColor(ClrTransparent);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x)
                c.FChipBmp.setArgb(x, y, qRgba(x, y, 7, (x + y) % 256));
    }
    const int y = 100, x0 = 100;
    c.FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, x0, y);
    bool back = false;
    for (auto _ : state) {
        c.FFrontImgMouseMove(ssLeft, back ? x0 : x0 + (span == 0 ? 1 : span * 16), y);
        back = !back;
    }
    c.FFrontImgMouseUp(TMouseButton::mbLeft, 0, x0, y);
    ToolData->FAlpha = 255;
    ToolData->setColor(ClrBlack);
    state.SetLabel((span == 0 ? "one-pixel segment" : "segment of " + std::to_string(span + 1) + " pixels") +
                   (erase ? ", erasing over translucent pixels" : ""));
}

} // namespace

BENCHMARK(BM_FormerFullRedraw)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RenderView)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PenMotion)
    ->ArgNames({"span", "alpha", "erase"})
    ->Args({0, 255, 0})
    ->Args({0, 128, 0})
    ->Args({15, 255, 0})
    ->Args({249, 128, 0})
    ->Args({15, 128, 1})
    ->Unit(benchmark::kMicrosecond);
