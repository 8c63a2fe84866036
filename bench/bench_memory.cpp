// SPDX-License-Identifier: MIT
// The resident memory a chip window holds at zoom 1 and at zoom 16: shown at 1920 by 1080 with a
// 256 by 256 chip, painted, and a drag made in it. A view painted straight from the chip keeps
// no enlarged copy, so the two must stay within 2 MiB of each other.
#include "ShownChipWindow.h"

#include <QApplication>
#include <memory>
#include <vector>

#include "tools/UEditerData.h"

namespace {

constexpr int kWindows = 6;
constexpr double kMiB = 1024.0 * 1024.0;

// Resident bytes that kWindows more windows at this zoom add, per window. The windows stay
// open, so nothing they hold is handed back to the allocator for the next ones.
double residentPerWindow(std::vector<std::unique_ptr<ShownChipWindow>>& keep, int zoom)
{
    const size_t before = ResidentBytes();
    for (int i = 0; i < kWindows; ++i) {
        auto w = std::make_unique<ShownChipWindow>(zoom);
        const QPoint at = w->visibleOrigin() + QPoint(w->visibleSize().width() / 2, w->visibleSize().height() / 2);
        w->child.ChangeTool(ToolMove);
        w->press(at);
        w->moveTo(at + QPoint(5 * zoom, 3 * zoom));
        w->release(at + QPoint(5 * zoom, 3 * zoom));
        w->child.ConfirmTool();
        keep.push_back(std::move(w));
    }
    return double(ResidentBytes() - before) / kWindows;
}

void BM_ResidentMemoryPerWindow(benchmark::State& state)
{
    std::vector<std::unique_ptr<ShownChipWindow>> windows;
    // The first window pays for fonts, styles and the like once.
    residentPerWindow(windows, 1);
    double zoom1 = 0, zoom16 = 0;
    for (auto _ : state) {
        zoom1 = residentPerWindow(windows, 1);
        zoom16 = residentPerWindow(windows, 16);
    }
    state.counters["MiB_zoom1"] = zoom1 / kMiB;
    state.counters["MiB_zoom16"] = zoom16 / kMiB;
    state.counters["MiB_more_at_zoom16"] = (zoom16 - zoom1) / kMiB;
}

} // namespace

BENCHMARK(BM_ResidentMemoryPerWindow)->Iterations(1)->Unit(benchmark::kMillisecond);
