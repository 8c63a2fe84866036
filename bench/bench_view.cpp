// SPDX-License-Identifier: MIT
// The full redraw of the zoomed view and the undo snapshot, each beside the plain memory
// operation it has to keep up with. The redraw paints only what is visible, straight from the
// chip, so its floor is a memset of the visible area's bytes.
#include "ShownChipWindow.h"

#include <QApplication>
#include <cstring>
#include <vector>

namespace {

constexpr int kChip = 256;
constexpr int kZoom = 16;
constexpr size_t kViewBytes = size_t(kChip * kZoom) * size_t(kChip * kZoom) * 4;
constexpr size_t kChipBytes = size_t(kChip) * kChip * 4;

// RenderView of a 256 by 256 chip at zoom 16 in a shown 1920 by 1080 window: the visible part of
// the view painted into the backing store before the call returns.
// With seeThrough every pixel has an alpha below 255 and is laid over the checkerboard.
void BM_RenderView_256_zoom16(benchmark::State& state)
{
    ShownChipWindow w(kZoom);
    for (int y = 0; state.range(0) != 0 && y < kChip; ++y)
        for (int x = 0; x < kChip; ++x)
            w.child.FChipBmp.setArgb(x, y, (w.child.FChipBmp.argb(x, y) & 0xFFFFFFu) | QRgb((x ^ y) % 255) << 24);
    for (auto _ : state)
        w.child.RenderView();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(w.visibleBytes()));
}

// Context only: Qt's own enlargement of the whole view, which the program never does.
void BM_Context_QImage_scaled_whole_view(benchmark::State& state)
{
    Bitmap chip(kChip, kChip);
    FillPattern(chip);
    const QImage image = chip.toImage();
    for (auto _ : state) {
        QImage view = image.scaled(kChip * kZoom, kChip * kZoom, Qt::IgnoreAspectRatio, Qt::FastTransformation);
        benchmark::DoNotOptimize(view.constBits());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kViewBytes));
}

void BM_PushUndo_256(benchmark::State& state)
{
    TMDIChild child;
    child.NewChip("bench", kChip, kChip);
    FillPattern(child.FChipBmp);
    for (auto _ : state)
        child.PushUndo(); // the history is full after 20 pushes: every push trims and copies
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChipBytes));
}

void BM_Baseline_memcpy_chip(benchmark::State& state)
{
    MemcpyBaseline(state, kChipBytes);
}

} // namespace

BENCHMARK(BM_RenderView_256_zoom16)->ArgName("seeThrough")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);
BENCHMARK(VisibleAreaMemsetBaseline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Context_QImage_scaled_whole_view)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushUndo_256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Baseline_memcpy_chip)->Unit(benchmark::kMicrosecond);
