#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs xdotool and xclip for a Windows test program under Wine, which cannot start Unix programs.
# The program writes a request NAME.req into the folder: the program's name, then one argument a
# line; standard input is NAME.in when there is one. Each request runs at once, beside the others;
# when it ends, its standard output is NAME.out and then its exit status NAME.rc. A request whose
# program is "stop" ends the request named by its argument (an xclip serving the clipboard until
# another program takes it). Arguments that are Windows paths (C:\..., Z:\...) become the Unix
# paths Wine maps them to.
set -u
folder=$1
declare -A running=()

unix_path() {
  local p=${1//\\//}
  local drive=${p:0:1}
  case ${drive,,} in
    z) printf '%s' "${p:2}" ;;
    *) printf '%s' "$WINEPREFIX/dosdevices/${drive,,}:${p:2}" ;;
  esac
}

answer() { # name status
  printf '%s\n' "$2" >"$folder/$1.rc.tmp" && mv "$folder/$1.rc.tmp" "$folder/$1.rc"
}

serve() { # name
  local name=$1 program args=() line input=/dev/null
  { read -r program; while IFS= read -r line; do args+=("$line"); done; } <"$folder/$name.req"
  rm -f "$folder/$name.req"
  for i in "${!args[@]}"; do
    [[ ${args[$i]} =~ ^[A-Za-z]:[\\/] ]] && args[$i]=$(unix_path "${args[$i]}")
  done
  [ -f "$folder/$name.in" ] && input=$folder/$name.in
  case $program in
    xdotool | xclip)
      ( "$program" "${args[@]}" <"$input" >"$folder/$name.out" 2>/dev/null; answer "$name" $? ) 2>/dev/null &
      running[$name]=$! ;;
    stop)
      local pid=${running[${args[0]:-}]:-}
      [ -n "$pid" ] && pkill -P "$pid" 2>/dev/null
      answer "$name" 0 ;;
    *) answer "$name" 127 ;;
  esac
}

trap 'for pid in "${running[@]}"; do pkill -P "$pid" 2>/dev/null; done; exit 0' TERM INT
shopt -s nullglob
while :; do
  for request in "$folder"/*.req; do
    serve "$(basename "$request" .req)"
  done
  sleep 0.02
done
