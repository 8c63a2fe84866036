#pragma once
#include <benchmark/benchmark.h>

#include <cstddef>

// Every benchmark program shares one main(): it starts an offscreen QApplication, since the
// windows under measurement need one, then runs the benchmarks named on the command line.

// The baseline most figures are held against: one memcpy of the given number of bytes.
void MemcpyBaseline(benchmark::State& state, size_t bytes);
