#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Marlo with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test suite,
# then builds the fuzz targets with clang and fuzzes each picture reader for a minute.
#   scripts/test.sh          all of that
#   scripts/test.sh build    only installs what is missing and builds the suite (build-test/)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh" test
build="$root/build-test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DMARLO_TESTS=ON -DMARLO_SANITIZE=ON -DMARLO_BENCH=ON >/dev/null
cmake --build "$build"
[ "${1:-}" = build ] && exit 0
ctest --test-dir "$build" --output-on-failure --parallel 2

if ! command -v clang++ >/dev/null; then
  echo "clang++ is not installed: the fuzz targets are not built" >&2
  exit 0
fi
fuzz="$root/build-fuzz"
cmake -S "$root" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_CXX_COMPILER=clang++ -DMARLO_FUZZ=ON >/dev/null
cmake --build "$fuzz" --target marlo_fuzzers
ctest --test-dir "$fuzz" --output-on-failure --parallel 2
