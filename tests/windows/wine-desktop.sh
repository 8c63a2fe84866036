#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one Windows test program on Qt's real windows platform, on the X server of with-xvfb.sh:
# in a Wine session of its own (Wine's desktop process, which bridges the clipboard, belongs to the
# display it first met), with the X11 bridge beside it, so that the test can drive xdotool and
# xclip, which a Windows program cannot start under Wine.
set -u
here=$(cd "$(dirname "$0")" && pwd)
wineserver=${MARLO_WINESERVER:-/usr/lib/wine/wineserver}
"$wineserver" -k 2>/dev/null
"$wineserver" -w
bridge=$(mktemp -d)
"$here/x11-bridge.sh" "$bridge" &
bridge_pid=$!
cleanup() {
  kill "$bridge_pid" 2>/dev/null
  wait "$bridge_pid" 2>/dev/null
  rm -rf "$bridge"
  "$wineserver" -k 2>/dev/null
  "$wineserver" -w
}
trap cleanup EXIT
MARLO_X11_BRIDGE="Z:$bridge" "$here/wine-run.sh" "$@"
