// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>
#include <optional>

#include "pictures/Geometry.h"

// The grid that cuts a tile sheet into cells, as game tools slice one: cells of CellWidth by
// CellHeight pixels, the first Margin pixels in from the top and left edges, Spacing pixels apart.
// Only whole cells count; what is left at the right and bottom edges belongs to none.
struct TSheetGrid {
    int CellWidth = 32;
    int CellHeight = 32;
    int Margin = 0;
    int Spacing = 0;

    // How many whole cells fit across a picture width wide, and down one height high.
    int64_t Columns(int64_t width) const;
    int64_t Rows(int64_t height) const;
    // The cell (column, row) under a picture point of a width by height picture; none in the
    // margin, in a gap or past the last whole cell.
    std::optional<TPoint> CellAt(int64_t x, int64_t y, int64_t width, int64_t height) const;
    // The block of the cells from one corner cell to the other, both included. Cells beyond what
    // fits in most by most pixels from the first are left out, so the block never exceeds it.
    TRect Block(TPoint first, TPoint last, int most) const;

    friend bool operator==(const TSheetGrid&, const TSheetGrid&) = default;
};
