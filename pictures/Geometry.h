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

// A picture seen whole is read a row at a time, and its rows are held whole: one of more bytes
// than this is refused, so that a header's claim of a 2^31-pixel row cannot exhaust the memory.
constexpr int64_t kMostWholeRowBytes = int64_t(64) << 20;

// The smallest whole step that brings a side of size pixels within most pixels when only every
// step-th pixel is kept (most >= 1): size / step, rounded up, is then at most most.
inline int64_t StepToFit(int64_t size, int64_t most) { return size <= most ? 1 : (size + most - 1) / most; }
