#!/usr/bin/env bash
# Builds Marlo with AddressSanitizer and UndefinedBehaviorSanitizer and runs the whole test suite.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh" test
build="$root/build-test"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
      -DMARLO_TESTS=ON -DMARLO_SANITIZE=ON -DMARLO_BENCH=ON >/dev/null
cmake --build "$build"
ctest --test-dir "$build" --output-on-failure --parallel 2
