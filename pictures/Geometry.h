// SPDX-License-Identifier: MIT
#pragma once
#include <cstdint>

// Points and rectangles in the Windows sense: signed 32-bit, Right and Bottom exclusive.
struct TPoint {
    int32_t X = 0;
    int32_t Y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
    int32_t Left = 0;
    int32_t Top = 0;
    int32_t Right = 0;
    int32_t Bottom = 0;
    int32_t width() const { return Right - Left; }
    int32_t height() const { return Bottom - Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// Chip coordinates are view coordinates divided by the zoom with truncation toward zero,
// which is what C++ integer division does; kept as a named helper so callers read as intended.
inline int32_t DivTrunc(int32_t v, int32_t d) { return v / d; }
