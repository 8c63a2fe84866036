#!/usr/bin/env bash
# Runs one command under an X server of its own: Xvfb at depth 24 on a free display, with a
# window manager that binds no keys, so windows become active and keys reach the program.
set -u
here=$(cd "$(dirname "$0")" && pwd)
for n in $(seq 90 190); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=":$n"; break; fi
done
[ -n "${display:-}" ] || { echo "no free X display" >&2; exit 1; }
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "${wm:-}" "$xvfb" 2>/dev/null; wait 2>/dev/null; }
trap cleanup EXIT
export DISPLAY="$display"
for _ in $(seq 1 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
openbox --config-file "$here/openbox-rc.xml" >/dev/null 2>&1 &
wm=$!
for _ in $(seq 1 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q window && break; sleep 0.05; done
"$@"
