// SPDX-License-Identifier: MIT
#include "BenchSupport.h"

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

#include "tools/UEditerData.h"

void MemcpyBaseline(benchmark::State& state, size_t bytes)
{
    std::vector<char> src(bytes, 1), dst(bytes, 0);
    for (auto _ : state) {
        std::memcpy(dst.data(), src.data(), bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void MemsetBaseline(benchmark::State& state, size_t bytes)
{
    std::vector<char> dst(bytes, 0);
    char v = 0;
    for (auto _ : state) {
        std::memset(dst.data(), ++v, bytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

size_t ResidentBytes()
{
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return size_t(resident) * size_t(sysconf(_SC_PAGESIZE));
}

void FillPattern(Bitmap& b)
{
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x)
            b.setPixel(x, y, RGBColor(x, y, x ^ y));
}

ShownChipWindow::ShownChipWindow(int zoom)
{
    *ToolData = TToolData{};
    child.NewChip(QStringLiteral("bench"), kChip, kChip);
    FillPattern(child.FChipBmp);
    child.setZoom(zoom);
    child.resize(kWidth, kHeight);
    child.show();
    if (!QTest::qWaitForWindowExposed(&child))
        std::fprintf(stderr, "the chip window was never exposed\n");
    auto* box = child.findChild<QScrollArea*>();
    box->horizontalScrollBar()->setValue(box->horizontalScrollBar()->maximum() / 3);
    box->verticalScrollBar()->setValue(box->verticalScrollBar()->maximum() / 3);
    QCoreApplication::processEvents();
}

ShownChipWindow::~ShownChipWindow()
{
    *ToolData = TToolData{};
}

QSize ShownChipWindow::visibleSize() const
{
    return child.frontImage()->visibleRegion().boundingRect().size();
}

size_t ShownChipWindow::visibleBytes() const
{
    return size_t(visibleSize().width()) * size_t(visibleSize().height()) * sizeof(QRgb);
}

QPoint ShownChipWindow::visibleOrigin() const
{
    return child.frontImage()->visibleRegion().boundingRect().topLeft();
}

QPoint ShownChipWindow::toWindow(QPoint viewPoint) const
{
    return child.frontImage()->mapTo(&child, viewPoint);
}

void ShownChipWindow::press(QPoint viewPoint, Qt::KeyboardModifiers modifiers)
{
    QTest::mousePress(child.windowHandle(), Qt::LeftButton, modifiers, toWindow(viewPoint));
}

void ShownChipWindow::moveTo(QPoint viewPoint)
{
    QTest::mouseMove(child.windowHandle(), toWindow(viewPoint));
}

void ShownChipWindow::release(QPoint viewPoint)
{
    QTest::mouseRelease(child.windowHandle(), Qt::LeftButton, {}, toWindow(viewPoint));
}

void VisibleAreaMemsetBaseline(benchmark::State& state)
{
    size_t bytes = 0;
    {
        ShownChipWindow window(16);
        bytes = window.visibleBytes();
    }
    state.SetLabel(std::to_string(bytes) + " bytes");
    MemsetBaseline(state, bytes);
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
