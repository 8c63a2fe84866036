#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a command of this project on another Debian release, in a minimal root made with
# debootstrap, as a new user of that release would: a copy of the tree at /root/marlo, `../shared`
# beside it (read-only) when it is beside this tree, no locale, and only PATH in the environment.
#   scripts/debian-root.sh RELEASE [COMMAND]     (default command: bash scripts/test.sh)
#   RELEASE: bookworm, trixie, testing, ... (needs root, debootstrap and unshare)
#   scripts/debian-root.sh --tools               only installs debootstrap and unshare
# The root is kept in $MARLO_ROOTS (default ~/.cache/marlo-roots) and checked before each use, so
# the packages the command installs are there the next time; MARLO_ROOT_FRESH=1 makes a new one in
# a temporary folder and removes it afterwards, to measure a first run. The copy of the tree is
# removed after the run whatever happens, but for the folders of the tree named in MARLO_ROOT_KEEP
# (space-separated, e.g. build-windows): those are the host tree's own, mounted into the copy, so
# that what the command builds there stays. MARLO_ROOT_READ names host files or folders the command
# reads, one a line; each is mounted read-only at the same path inside the root. Mounts live in a mount
# namespace of their own and vanish with it; every process started inside ends with the run.
set -euo pipefail
release=${1:?"usage: $0 RELEASE [COMMAND]"}
command=${2:-bash scripts/test.sh}
root_of_tree=$(cd "$(dirname "$0")/.." && pwd)
if [ "$(id -u)" -ne 0 ]; then
  # sudo would drop this script's own settings from the environment.
  settings=()
  for name in MARLO_ROOTS MARLO_ROOT_FRESH MARLO_ROOT_KEEP MARLO_ROOT_READ; do
    [ -n "${!name:-}" ] && settings+=("$name=${!name}")
  done
  exec sudo -- env "${settings[@]}" "$0" "$@"
fi

install_tools() {
  local missing=()
  command -v debootstrap >/dev/null || missing+=(debootstrap)
  command -v unshare >/dev/null || missing+=(util-linux)
  [ ${#missing[@]} -eq 0 ] && return 0
  DEBIAN_FRONTEND=noninteractive apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The Debian archive and the security archive the host's apt already uses.
host_uri() {
  apt-get indextargets --format '$(REPO_URI)' 'Created-By: Packages' 2>/dev/null \
    | grep -E "/$1/?\$" | head -n 1 | sed 's,/$,,'
}

sources_list() {
  local mirror=$1 security=$2 suite
  echo "deb $mirror $release main"
  for suite in "$release-updates" "$release-security"; do
    local base=$mirror
    [[ $suite == *-security ]] && base=$security
    # sid has neither; a release that is still testing has no -updates.
    curl -fsI --max-time 20 "$base/dists/$suite/InRelease" >/dev/null 2>&1 && echo "deb $base $suite main"
  done
  return 0
}

# A kept root is used only when it is whole: made for this release, every package configured and
# apt's dependencies consistent. Otherwise it is made again.
root_is_sound() {
  local root=$1
  [ -f "$root/.marlo-root" ] && [ "$(cat "$root/.marlo-root")" = "$release" ] || return 1
  chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin sh -c \
    'test -z "$(dpkg --audit)" && apt-get check -qq' >/dev/null 2>&1
}

make_root() {
  local root=$1 mirror security
  mirror=$(host_uri debian); mirror=${mirror:-http://deb.debian.org/debian}
  security=$(host_uri debian-security); security=${security:-http://deb.debian.org/debian-security}
  rm -rf "$root"
  mkdir -p "$(dirname "$root")"
  echo "Making a minimal Debian $release root in $root from $mirror"
  debootstrap --variant=minbase "$release" "$root" "$mirror" >"$root.log" 2>&1 \
    || { tail -n 20 "$root.log" >&2; exit 1; }
  rm -f "$root.log"
  sources_list "$mirror" "$security" >"$root/etc/apt/sources.list"
  # Packages installed in the root start no services.
  printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
  chmod 755 "$root/usr/sbin/policy-rc.d"
  echo "$release" >"$root/.marlo-root"
}

install_tools
[ "$release" = --tools ] && exit 0
if [ "${MARLO_ROOT_FRESH:-0}" = 1 ]; then
  root=$(mktemp -d "${TMPDIR:-/tmp}/marlo-root-$release-XXXXXX")/root
else
  root=${MARLO_ROOTS:-${XDG_CACHE_HOME:-$HOME/.cache}/marlo-roots}/$release
fi
tree="$root/root/marlo"
# Never remove a folder that still has something mounted under it (it cannot, but rm -rf over a
# mounted /dev would be a disaster).
remove() {
  if grep -q " $(realpath -m "$1")/" /proc/self/mounts; then
    echo "Something is still mounted under $1: left in place" >&2
    return 0
  fi
  rm -rf "$1"
}
cleanup() {
  remove "$tree"
  [ "${MARLO_ROOT_FRESH:-0}" = 1 ] && remove "$(dirname "$root")"
  return 0
}
trap cleanup EXIT
root_is_sound "$root" || make_root "$root"

# The tree as git sees it, uncommitted changes included, without build folders.
remove "$tree" && mkdir -p "$tree"
(cd "$root_of_tree" && git ls-files -z --cached --others --exclude-standard \
   | while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done \
   | tar --null -T - -cf -) | tar -xf - -C "$tree"
cp /etc/resolv.conf "$root/etc/resolv.conf"
shared="$root_of_tree/../shared"
mkdir -p "$root/root/shared"
# Mount points for what the command keeps and reads, as pairs of host path and path in the root.
binds=()
for dir in ${MARLO_ROOT_KEEP:-}; do
  mkdir -p "$root_of_tree/$dir" "$tree/$dir"
  binds+=("$root_of_tree/$dir" "$tree/$dir" rw)
done
while IFS= read -r path; do
  [ -n "$path" ] || continue
  path=$(realpath -e -- "$path")
  if [ -d "$path" ]; then mkdir -p "$root$path"; else mkdir -p "$root$(dirname "$path")" && touch "$root$path"; fi
  binds+=("$path" "$root$path" ro)
done <<<"${MARLO_ROOT_READ:-}"

echo "Running '$command' on Debian $release ($(cat "$root/etc/debian_version"))"
# A private mount namespace: nothing mounted here is seen outside, and all of it goes when the
# last process inside ends. A process namespace of its own: servers the tests leave behind end too.
unshare --mount --propagation private --pid --fork --kill-child -- bash -c '
  set -e
  root=$1 shared=$2 command=$3
  shift 3
  while [ $# -gt 0 ]; do
    if [ "$3" = ro ]; then mount --bind -o ro "$1" "$2"; else mount --bind "$1" "$2"; fi
    shift 3
  done
  mount --rbind /dev "$root/dev"
  mount -t proc proc "$root/proc"
  mount -t sysfs sysfs "$root/sys"
  mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
  if [ -d "$shared" ]; then mount --bind -o ro "$shared" "$root/root/shared"; fi
  exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/marlo && $command"
' marlo-root "$root" "$shared" "$command" "${binds[@]}"
