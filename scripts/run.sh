#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Marlo (Release) and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup-debian.sh" build
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$root/build"
exec "$root/build/marlo" "$@"
