// The full redraw of the zoomed view and the undo snapshot, each beside the plain memory
// operation it has to keep up with.
#include "BenchSupport.h"

#include <QApplication>
#include <cstring>
#include <vector>

#include "document/Childwin.h"

namespace {

constexpr int kChip = 256;
constexpr int kZoom = 16;
constexpr size_t kViewBytes = size_t(kChip * kZoom) * size_t(kChip * kZoom) * 4;
constexpr size_t kChipBytes = size_t(kChip) * kChip * 4;

void fillPattern(Bitmap& b)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, RGBColor(x, y, x ^ y));
}

void BM_RenderView_256_zoom16(benchmark::State& state)
{
    TMDIChild child;
    child.NewChip("bench", kChip, kChip);
    fillPattern(child.FChipBmp);
    child.setZoom(kZoom);
    for (auto _ : state) {
        child.RenderView();
        benchmark::DoNotOptimize(child.frontImage()->picture().scanLine(0));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kViewBytes));
}

void BM_Baseline_memcpy_view(benchmark::State& state)
{
    MemcpyBaseline(state, kViewBytes);
}

void BM_Baseline_memset_view(benchmark::State& state)
{
    std::vector<char> dst(kViewBytes, 0);
    char v = 0;
    for (auto _ : state) {
        std::memset(dst.data(), ++v, kViewBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kViewBytes));
}

void BM_Baseline_QImage_scaled(benchmark::State& state)
{
    Bitmap chip(kChip, kChip);
    fillPattern(chip);
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
    fillPattern(child.FChipBmp);
    for (auto _ : state)
        child.PushUndo(); // the history is full after 20 pushes: every push trims and copies
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kChipBytes));
}

void BM_Baseline_memcpy_chip(benchmark::State& state)
{
    MemcpyBaseline(state, kChipBytes);
}

} // namespace

BENCHMARK(BM_RenderView_256_zoom16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_memcpy_view)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_memset_view)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_QImage_scaled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PushUndo_256)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Baseline_memcpy_chip)->Unit(benchmark::kMicrosecond);
