// SPDX-License-Identifier: MIT
#include "ShownChipWindow.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <cstdio>
#include <string>

#include "tools/UEditerData.h"

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
