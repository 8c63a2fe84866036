// SPDX-License-Identifier: MIT
#include "document/SheetGrid.h"

#include <algorithm>

namespace {

int64_t wholeCells(int64_t size, int margin, int cell, int spacing)
{
    if (cell <= 0 || size < int64_t(margin) + cell)
        return 0;
    return (size - margin + spacing) / (int64_t(cell) + spacing);
}

// The cell along one axis under a coordinate; -1 in the margin, a gap or past the cells.
int64_t cellOn(int64_t v, int64_t cells, int margin, int cell, int spacing)
{
    if (v < margin)
        return -1;
    const int64_t pitch = int64_t(cell) + spacing;
    const int64_t index = (v - margin) / pitch;
    return index < cells && (v - margin) % pitch < cell ? index : -1;
}

// The cells from first to last along one axis, cut so that they span at most most pixels.
// Returns the start and end coordinates of the span.
std::pair<int64_t, int64_t> span(int64_t first, int64_t last, int margin, int cell, int spacing, int most)
{
    const int64_t pitch = int64_t(cell) + spacing;
    const int64_t low = std::min(first, last);
    int64_t high = std::max(first, last);
    // Stepping back from the far end towards the first cell keeps the block where the drag began.
    const int64_t fit = std::max<int64_t>(0, (most - cell) / pitch);
    if (high - low > fit) {
        if (last > first)
            high = low + fit;
        else
            return {margin + (high - fit) * pitch, margin + high * pitch + cell};
    }
    return {margin + low * pitch, margin + high * pitch + cell};
}

} // namespace

int64_t TSheetGrid::Columns(int64_t width) const
{
    return wholeCells(width, Margin, CellWidth, Spacing);
}

int64_t TSheetGrid::Rows(int64_t height) const
{
    return wholeCells(height, Margin, CellHeight, Spacing);
}

std::optional<TPoint> TSheetGrid::CellAt(int64_t x, int64_t y, int64_t width, int64_t height) const
{
    const int64_t column = cellOn(x, Columns(width), Margin, CellWidth, Spacing);
    const int64_t row = cellOn(y, Rows(height), Margin, CellHeight, Spacing);
    if (column < 0 || row < 0)
        return std::nullopt;
    return TPoint{int32_t(column), int32_t(row)};
}

TRect TSheetGrid::Block(TPoint first, TPoint last, int most) const
{
    const auto [left, right] = span(first.X, last.X, Margin, CellWidth, Spacing, most);
    const auto [top, bottom] = span(first.Y, last.Y, Margin, CellHeight, Spacing, most);
    return TRect{int32_t(left), int32_t(top), int32_t(right), int32_t(bottom)};
}
