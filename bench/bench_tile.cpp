// SPDX-License-Identifier: MIT
// The tile preview's drawing beside a memcpy of the view's bytes, in the same run.
// The preview must stay within twice the memcpy for a 1 by 1 chip at "×1" in a 1920 by 1080 view.
#include "BenchSupport.h"

#include <QApplication>
#include <QComboBox>
#include <cstring>
#include <memory>
#include <vector>

#include "platform/ImageControl.h"
#include "shell/UTailViewWin.h"

namespace {

constexpr int ViewW = 1920;
constexpr int ViewH = 1080;

void BM_MemcpyViewBytes(benchmark::State& state)
{
    const size_t bytes = size_t(ViewW) * ViewH * sizeof(QRgb);
    std::vector<QRgb> src(size_t(ViewW) * ViewH, 0xFF123456u), dst(size_t(ViewW) * ViewH);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::DoNotOptimize(dst.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}
BENCHMARK(BM_MemcpyViewBytes);

// ShowTiled as F4 calls it, with a chip of side range(0) at the zoom item range(1). The window
// stays hidden, so the figure is the tiling alone; the shown variant adds the repaint.
void ShowTiledBench(benchmark::State& state, bool shown)
{
    const int side = int(state.range(0));
    const int zoomIndex = int(state.range(1));
    TTailViewWin win;
    win.FCmbBoxZoom->setCurrentIndex(zoomIndex);
    if (shown) {
        win.show();
        QCoreApplication::processEvents();
        const QSize extra = win.size() - win.FImgView->size();
        win.resize(ViewW + extra.width(), ViewH + extra.height());
        QCoreApplication::processEvents();
    } else {
        win.FImgView->resize(ViewW, ViewH);
    }
    if (win.FImgView->size() != QSize(ViewW, ViewH)) {
        state.SkipWithError("the view did not take the requested size");
        return;
    }
    Bitmap chip(side, side);
    for (int y = 0; y < side; ++y)
        for (int x = 0; x < side; ++x)
            chip.setPixel(x, y, RGBColor(x, y, x ^ y));
    for (auto _ : state) {
        win.ShowTiled(&chip, true);
        benchmark::DoNotOptimize(win.FImgView->picture().scanLine(ViewH - 1));
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(ViewW) * ViewH * int64_t(sizeof(QRgb)));
}

void BM_ShowTiled(benchmark::State& state) { ShowTiledBench(state, false); }
void BM_ShowTiledShown(benchmark::State& state) { ShowTiledBench(state, true); }

BENCHMARK(BM_ShowTiled)->ArgNames({"side", "zoom"})->Args({1, 0})->Args({32, 0})->Args({32, 2})->Args({256, 0});
BENCHMARK(BM_ShowTiledShown)->ArgNames({"side", "zoom"})->Args({1, 0});

} // namespace
