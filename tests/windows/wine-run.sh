#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# CTest's emulator for the Windows test build: runs one Windows program under Wine. Wine hides the
# Unix QT_* variables from Windows programs and hands on WINEQT_* ones instead; Qt Test writes its
# log to the debugger unless told to use stderr; Qt's offscreen platform on Windows finds fonts
# only in a folder (MARLO_WINE_FONTDIR). WINEPREFIX and WINEPATH come from scripts/test-windows.sh.
set -u
: "${WINEPREFIX:?WINEPREFIX is not set}"
while IFS= read -r name; do
  case $name in QT_*) export "WINE$name=${!name}" ;; esac
done < <(compgen -e)
export WINEQT_FORCE_STDERR_LOGGING=1
export WINEDEBUG=${WINEDEBUG:--all}
if [ -n "${MARLO_WINE_FONTDIR:-}" ]; then
  export WINEQT_QPA_FONTDIR="Z:$MARLO_WINE_FONTDIR"
fi
exec "${MARLO_WINE:-/usr/lib/wine/wine64}" "$@"
