#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one command under an X server of its own: Xvfb at depth 24 on a display that Xvfb picks
# itself (so tests running side by side never share one), with a window manager that binds no
# keys, so windows become active and keys reach the program.
set -u
here=$(cd "$(dirname "$0")" && pwd)
fifo=$(mktemp -u)
mkfifo "$fifo"
exec 3<>"$fifo"
rm -f "$fifo"
# -noreset: by default the server resets whenever its last client leaves, and one of the checks
# below leaving before openbox has connected made openbox's connection fail in that moment.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "${watch:-}" "${wm:-}" "$xvfb" 2>/dev/null; wait 2>/dev/null; rm -f "${wmlog:-}"; }
trap cleanup EXIT
if ! read -r -t 30 number <&3; then
  echo "Xvfb did not start" >&2
  exit 1
fi
export DISPLAY=":$number"
# The window manager's own words, shown when it is gone by the end: a test that finds no window
# would otherwise not say why.
wmlog=$(mktemp)
start_wm() {
  openbox --config-file "$here/openbox-rc.xml" >"$wmlog" 2>&1 &
  wm=$!
}
# Before openbox has made the atom, xprop says "no such atom on any window.": only a set property
# counts.
wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id #'; }
# On a loaded machine openbox has been seen to give up at once ("Failed to open the display")
# on a server that went on to serve every other client: it is started again, twice at most.
start_wm
for attempt in 1 2 3; do
  for _ in $(seq 1 600); do
    wm_up && break 2
    kill -0 "$wm" 2>/dev/null || break
    sleep 0.05
  done
  kill -0 "$wm" 2>/dev/null && break # still starting after half a minute: the test waits for it
  echo "with-xvfb.sh: openbox ended at start on $DISPLAY (attempt $attempt); it said:" >&2
  cat "$wmlog" >&2
  sleep 0.5
  start_wm
done
wm_up || echo "with-xvfb.sh: openbox is not up yet on $DISPLAY" >&2
# Should openbox end while the command runs, it says why and is started again: it takes over the
# windows there are, and the command's waits for a window go on.
# An openbox it started is its own to end.
(
  trap 'kill "$wm" 2>/dev/null; exit' TERM
  while kill -0 "$xvfb" 2>/dev/null; do
    if ! kill -0 "$wm" 2>/dev/null; then
      echo "with-xvfb.sh: openbox ended on $DISPLAY while the command ran; it said:" >&2
      cat "$wmlog" >&2
      start_wm
    fi
    sleep 0.2
  done
) &
watch=$!
"$@"
status=$?
rm -f "$wmlog"
exit "$status"
