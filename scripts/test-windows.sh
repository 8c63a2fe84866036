#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Cross-builds Marlo and its test programs for Windows x64 and runs them under Wine through CTest:
# the offscreen tests, the tests on Qt's windows platform under an X server of their own, and the
# installer (installed, used and uninstalled in a fresh Wine prefix). Qt for Windows comes as for
# scripts/windows.sh. Fails when CTest ran fewer tests than the tree holds, or a test program
# ran no test function.
set -euo pipefail
source "$(dirname "$0")/windows-common.sh"
run_on_debian13 test-windows.sh
"$marlo_root/scripts/setup-debian.sh" windows
find_qt_windows
build="$marlo_root/build-windows/test"
started=$(date +%s)
# No optimisation: the tests build in half the time, and check the same code.
configure_windows "$build" -DCMAKE_BUILD_TYPE=None -DMARLO_TESTS=ON \
  -DCMAKE_CROSSCOMPILING_EMULATOR="$marlo_root/tests/windows/wine-run.sh"
cmake --build "$build"
pack_windows "$build" "$build/pack" >/dev/null
echo "Windows build and packing: $(($(date +%s) - started)) s"

# Wine for the test programs: a prefix of this run, Qt's and MinGW's DLLs on the path, fonts for
# Qt's offscreen platform, and Qt's Japanese catalogue where the test programs' Qt looks for it.
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
# Wine 10 aborts at start ("free(): invalid pointer") when neither HOME nor USER is set, as in a
# chroot entered with env -i; a login would set both.
export HOME=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)} USER=${USER:-$(id -un)}
# Wine names Unix files in the locale's character set: without a UTF-8 locale no Japanese file
# name can be made, and Windows always has them.
export LC_ALL=C.UTF-8
rm -rf "$WINEPREFIX"
# Debian 13's Wine keeps each server's socket in a folder /tmp/wine-XXXXXX that it never removes,
# and aborts at start ("free(): invalid pointer") when TMPDIR is set at all: the folders that
# appear during this run are removed at its end.
unset TMPDIR
wine_folders_before=$(find /tmp -maxdepth 1 -name 'wine-*' -user "$(id -u)" | sort)
remove_wine_folders() {
  comm -13 <(echo "$wine_folders_before") <(find /tmp -maxdepth 1 -name 'wine-*' -user "$(id -u)" | sort) \
    | while IFS= read -r folder; do [ -z "$folder" ] || rm -rf -- "$folder"; done
}
trap '/usr/lib/wine/wineserver -k 2>/dev/null || true; remove_wine_folders' EXIT
/usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
/usr/lib/wine/wineserver -w
winpath() { printf 'Z:%s' "${1//\//\\}"; }
export WINEPATH="$(winpath "$qt_windows/bin");$(winpath "$(mingw_runtime_dir)");$(winpath "$mingw_libs")"
export MARLO_WINE_FONTDIR="$build/fonts"
rm -rf "$MARLO_WINE_FONTDIR"
mkdir -p "$MARLO_WINE_FONTDIR"
# That platform reads only files named *.ttf, *.otf, *.pfa and *.pfb there, and FreeType reads
# the Japanese collection whatever its name.
ln -s /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf "$MARLO_WINE_FONTDIR/"
ln -s /usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc "$MARLO_WINE_FONTDIR/NotoSansCJK-Regular.ttf"
printf '[Paths]\nPrefix=%s\nTranslations=Z:/usr/share/qt6/translations\n' "Z:$qt_windows" >"$build/tests/qt.conf"
unset DISPLAY

# Every test of the tree must run, and every Qt Test program must run test functions.
expected=$(ctest --test-dir "$build" -N | sed -n 's/^Total Tests: //p')
status=0
ctest --test-dir "$build" --output-on-failure --parallel 2 || status=$?
/usr/lib/wine/wineserver -k 2>/dev/null || true
log="$build/Testing/Temporary/LastTest.log"
ran=$(grep -c '^Test time = ' "$log" || true)
programs=$(find "$build/tests" -maxdepth 1 -name '*.exe' | wc -l)
totals=$(grep -E '^Totals: [1-9][0-9]* passed' "$log" | wc -l || true)
echo "Windows tests: $ran of $expected ran; $totals of $programs test programs reported passing functions"
if [ "$ran" -ne "$expected" ] || [ "$expected" -lt $((programs + 1)) ] || [ "$totals" -ne "$programs" ]; then
  echo "The Windows tests did not all run" >&2
  status=1
fi
echo "Windows part: $(($(date +%s) - started)) s"
exit "$status"
