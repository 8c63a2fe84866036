// SPDX-License-Identifier: MIT
#pragma once
#include <benchmark/benchmark.h>

#include <cstddef>

#include "pictures/Bitmap.h"

// Every benchmark program shares one main(): it starts an offscreen application, since the
// windows and pictures under measurement need one (a QApplication where widgets are measured, a
// QGuiApplication where pictures alone are), then runs the benchmarks named on the command line.

// The baselines figures are held against: one memcpy, or one memset, of the given number of bytes.
void MemcpyBaseline(benchmark::State& state, size_t bytes);
void MemsetBaseline(benchmark::State& state, size_t bytes);

// The resident memory of this process, in bytes.
size_t ResidentBytes();

// A colour per pixel, so that no copy or paint can be skipped as unchanged.
void FillPattern(Bitmap& b);
