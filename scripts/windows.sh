#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds Marlo for Windows x64 against Qt 6.8 on Debian 13 (elsewhere in a Debian 13 root)
# and leaves in build-windows/ the zip (marlo-<version>-windows-x64.zip) and the installer
# (marlo-<version>-setup.exe). Qt for Windows comes from MARLO_QT_WINDOWS (a prefix, or a .tar.xz
# of one), else from a cache folder outside the tree, else it is built there once from Debian's
# source.
set -euo pipefail
source "$(dirname "$0")/windows-common.sh"
run_on_debian13 windows.sh
"$marlo_root/scripts/setup-debian.sh" windows
find_qt_windows
out="$marlo_root/build-windows"
configure_windows "$out/release" -DCMAKE_BUILD_TYPE=Release
cmake --build "$out/release" --target marlo
pack_windows "$out/release" "$out"
ls -l "$out/marlo-$marlo_version-windows-x64.zip" "$out/marlo-$marlo_version-setup.exe"
