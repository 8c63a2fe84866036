#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The installer end to end, in a Wine prefix of its own on the X server of with-xvfb.sh: a silent
# install for the current user that offers Marlo under "Open with" for .bmp and .png, the
# installed program started as "Open with" starts it, with a PNG, and used (both file dialogs, the
# PNG saved as a BMP, a chip, closed with Alt+F4) without writing anything to the registry, then a
# silent uninstall that leaves no file, shortcut or registry key behind.
#   installed-program.sh SETUP_EXE
set -u
setup=$1
wine=${MARLO_WINE:-/usr/lib/wine/wine64}
wineserver=${MARLO_WINESERVER:-/usr/lib/wine/wineserver}
WINEPREFIX=$(mktemp -d)
export WINEPREFIX WINEDEBUG=-all
unset WINEPATH
trap '"$wineserver" -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# The registry as values, without the times Wine stamps on every key it touches and without
# Wine's own bookkeeping (its font cache, the devices it enumerates at each start, the console
# defaults its console host writes on first use, which Windows has from the start). Wine 10 names
# the control set by its own name, ControlSet001, where Wine 8 wrote CurrentControlSet.
registry() {
  "$wineserver" -w
  cat "$WINEPREFIX/user.reg" "$WINEPREFIX/system.reg" | awk '
    /^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key)
            skip = key ~ /^\[(Software\\\\Wine|Console)[\]\\]/ || key ~ /^\[System\\\\(CurrentControlSet|ControlSet[0-9]+)\\\\(Control\\\\(Class|DeviceClasses)|Enum)\\\\/
            if (!skip) print key; next }
    /^#time=/ || skip { next }
    { print key " " $0 }' | sort
}

wait_for_window() { # name
  for _ in $(seq 1 300); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}

# Wine 10 sends keys to the window it last made the foreground one. A dialog that the program
# shows has X's focus at once but becomes that window only when the window manager activates it,
# as a click on it would; until then its keys go to the blocked main window and are lost.
# (Wine 8, and Windows itself, make it the foreground window as it appears.)
steps() { # xdotool steps, each given time to take effect
  for step in "$@"; do
    xdotool $step
    sleep 1.5
  done
}

open_dialog() { # title, then the xdotool steps that open it
  local title=$1
  shift
  steps "$@"
  wait_for_window "^$title\$" || return 1
  timeout 10 xdotool windowactivate --sync "$(xdotool search --onlyvisible --name "^$title\$" | tail -n 1)" 2>/dev/null
}

"$wine" wineboot --init >/dev/null 2>&1
"$wineserver" -w
home=$("$wine" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null | tr -d '\r')
before_install=$(registry)

"$wine" "$(winepath -w "$setup" 2>/dev/null || echo "Z:${setup//\//\\}")" /S || fail "the silent install failed"
"$wineserver" -w
installed=$(WINEDEBUG=-all "$wine" winepath -u "$home\\Programs\\Marlo" 2>/dev/null)
[ -f "$installed/marlo.exe" ] || fail "no marlo.exe in $installed"
[ -f "$installed/uninstall.exe" ] || fail "no uninstaller"
menu=$(WINEDEBUG=-all "$wine" winepath -u "$("$wine" cmd /c 'echo %APPDATA%' | tr -d '\r')\\Microsoft\\Windows\\Start Menu\\Programs\\Marlo.lnk" 2>/dev/null)
[ -f "$menu" ] || fail "no Start-menu shortcut at $menu"
"$wine" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlo' /v UninstallString >/dev/null 2>&1 ||
  fail "the uninstaller is not registered under Apps"
# "Open with": Marlo's own file type opens a picture with the installed program and is named among
# the programs of .bmp and .png, whose default program stays the user's choice.
value() { # key, then /ve or /v NAME: the value's data, empty when it is not set
  "$wine" reg query "$@" 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p' | grep -vx '(value not set)'
}
command=$(value 'HKCU\Software\Classes\Marlo.Picture\shell\open\command' /ve)
[ "$command" = "\"$home\\Programs\\Marlo\\marlo.exe\" \"%1\"" ] || fail "Marlo's file type opens with: $command"
[ "$(value 'HKCU\Software\Classes\Applications\marlo.exe\shell\open\command' /ve)" = "$command" ] ||
  fail "marlo.exe is not registered as an application"
for ext in .bmp .png; do
  "$wine" reg query "HKCU\\Software\\Classes\\$ext\\OpenWithProgids" /v Marlo.Picture >/dev/null 2>&1 ||
    fail "Marlo is not offered for $ext"
  "$wine" reg query 'HKCU\Software\Classes\Applications\marlo.exe\SupportedTypes' /v "$ext" >/dev/null 2>&1 ||
    fail "marlo.exe does not name $ext among its types"
  [ -z "$(value "HKCU\\Software\\Classes\\$ext" /ve)" ] || fail "the installer took the default program of $ext"
done
after_install=$(registry)

# The program as a person uses it; nothing of it may reach the registry. "Open with" runs the
# command of Marlo's file type with a PNG of 3 by 2 pixels of one colour (#906030), which Save As
# writes back as a BMP.
cd "$WINEPREFIX/drive_c"
base64 -d >picture.png <<<'iVBORw0KGgoAAAANSUhEUgAAAAMAAAACCAIAAAASFvFNAAAAFUlEQVQI12OckGDAwMDAwMDAxAADABTcASTjuyMmAAAAAElFTkSuQmCC'
program_file=${command#\"}
program_file=${program_file%%\"*}
"$wine" "$program_file" 'C:\picture.png' &
program=$!
wait_for_window '^Marlo$' || fail "the installed program showed no main window"
main=$(xdotool search --name '^Marlo$' | head -n 1)
xdotool windowactivate --sync "$main" 2>/dev/null
sleep 1
open_dialog 名前を付けて保存 "key alt+f" "key a" ||
  fail "the PNG given on the command line made no chip, or Save As did not open"
steps 'type C:\saved.bmp' "key Return"
# 24-bit BMP: width and height at 18, rows from the bottom at 54, blue, green, red.
[ "$(od -An -tu4 -j18 -N8 saved.bmp 2>/dev/null | xargs)" = "3 2" ] || fail "the saved chip is not 3 by 2 pixels"
[ "$(od -An -tx1 -j54 -N3 saved.bmp | xargs)" = "30 60 90" ] || fail "the saved chip is not the PNG's colour"
# A second start with a file hands it to the Marlo running and ends; no second main window opens.
timeout 60 "$wine" "$program_file" 'C:\picture.png' || fail "a second start did not hand its file over and end"
[ "$(xdotool search --onlyvisible --name '^Marlo$' | wc -l)" = 1 ] || fail "a second start opened a window of its own"
xdotool windowactivate --sync "$main" 2>/dev/null
# Open names a file that is not there (a white chip of that name); Save As, which needs a chip,
# is left with Esc.
open_dialog 開く "key ctrl+o" || fail "Open did not open"
open_dialog 名前を付けて保存 "type new.bmp" "key Return" "key alt+f" "key a" ||
  fail "no chip was opened, or Save As did not open"
steps "key Escape" "key alt+F4"
for _ in $(seq 1 100); do kill -0 "$program" 2>/dev/null || break; sleep 0.1; done
kill -0 "$program" 2>/dev/null && fail "the program did not end on Alt+F4"
diff <(echo "$after_install") <(registry) >&2 || fail "the program wrote to the registry (above)"

quiet=$("$wine" reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Marlo' /v QuietUninstallString |
  tr -d '\r' | sed -n 's/.*REG_SZ *//p')
[[ $quiet == *'/S _?='* ]] || fail "unexpected QuietUninstallString: $quiet"
"$wine" "$installed/uninstall.exe" /S "_?=${quiet#*_?=}" || fail "the silent uninstall failed"
"$wineserver" -w
[ -e "$installed" ] && fail "left behind: $(find "$installed")"
[ -e "$menu" ] && fail "the Start-menu shortcut is left"
diff <(echo "$before_install") <(registry) >&2 || fail "the registry is not as before the install (above)"
echo "installed, used, uninstalled: nothing left behind"
