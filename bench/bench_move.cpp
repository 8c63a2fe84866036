// One pointer motion of a move drag or a Ctrl scroll on the largest chip at the largest zoom:
// the chip redrawn from its base and floating picture, then the whole view redrawn, beside a
// memcpy of the view's bytes.
#include "BenchSupport.h"

#include <QApplication>
#include <cstring>
#include <vector>

#include "document/Childwin.h"
#include "tools/UEditerData.h"

namespace {

constexpr int kChip = 256;
constexpr int kZoom = 16;
constexpr size_t kViewBytes = size_t(kChip * kZoom) * size_t(kChip * kZoom) * 4;

void fillPattern(Bitmap& b)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, RGBColor(x, y, x ^ y));
}

// A shown chip window with a drag under way; every motion lands on another chip pixel.
void runDrag(benchmark::State& state, uint8_t tool, bool loop, bool selection, TShiftState pressShift)
{
    *ToolData = TToolData{};
    TMDIChild child;
    child.NewChip("bench", kChip, kChip);
    fillPattern(child.FChipBmp);
    child.show();
    if (selection) {
        child.ChangeTool(ToolMask);
        child.FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft, 10, 10);
        child.FFrontImgMouseMove(ssLeft, 200, 150);
        child.FFrontImgMouseUp(TMouseButton::mbLeft, 0, 200, 150);
    }
    child.ChangeTool(tool);
    ToolData->FLoop = loop;
    child.setZoom(kZoom);
    const int start = 100 * kZoom;
    child.FFrontImgMouseDown(TMouseButton::mbLeft, ssLeft | pressShift, start, start);
    int step = 0;
    for (auto _ : state) {
        step = (step + 37) % (3 * kChip);
        child.FFrontImgMouseMove(ssLeft, start + (step - kChip) * kZoom, start + (kChip - step) * kZoom / 2);
        benchmark::DoNotOptimize(child.frontImage()->picture().scanLine(0));
    }
    child.FFrontImgMouseUp(TMouseButton::mbLeft, 0, start, start);
    child.ConfirmTool();
    *ToolData = TToolData{};
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kViewBytes));
}

void BM_MoveDrag_256_zoom16_loop(benchmark::State& state)
{
    runDrag(state, ToolMove, true, false, 0);
}

void BM_MoveDrag_256_zoom16_noloop(benchmark::State& state)
{
    runDrag(state, ToolMove, false, false, 0);
}

void BM_MoveDrag_256_zoom16_loop_selection(benchmark::State& state)
{
    runDrag(state, ToolMove, true, true, 0);
}

void BM_ScrollDrag_256_zoom16(benchmark::State& state)
{
    runDrag(state, ToolPen, false, false, ssCtrl);
}

void BM_Baseline_memcpy_view(benchmark::State& state)
{
    MemcpyBaseline(state, kViewBytes);
}

} // namespace

BENCHMARK(BM_MoveDrag_256_zoom16_loop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveDrag_256_zoom16_noloop)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MoveDrag_256_zoom16_loop_selection)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScrollDrag_256_zoom16)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Baseline_memcpy_view)->Unit(benchmark::kMillisecond);
