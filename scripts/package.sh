#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package of Marlo in a Release build of its own and checks it and its desktop
# metadata with lintian, appstreamcli and desktop-file-validate.
#   scripts/package.sh [build folder]    (default: build-package)
# The last line printed is the package's path.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$root/build-package}")
"$root/scripts/setup-debian.sh" test

# Other users must be able to read what is installed, whatever the caller's umask.
umask 022
# Debian's hardening flags, as a Debian package build would use them; dpkg-buildflags maps the
# current folder out of the debugging paths.
cd "$root"
flags() { DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$1"; }
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_FLAGS="$(flags CXXFLAGS) $(flags CPPFLAGS)" \
      -DCMAKE_EXE_LINKER_FLAGS="$(flags LDFLAGS)" >/dev/null
cmake --build "$build"
rm -f "$build"/marlo_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(echo "$build"/marlo_*.deb)

desktop-file-validate "$root"/resources/*.desktop
appstreamcli validate --no-net "$root"/resources/*.metainfo.xml
# A software centre's catalogue must find the component in the installed tree, with its icon.
stage="$build/compose"
rm -rf "$stage" && mkdir -p "$stage" && dpkg-deb -x "$deb" "$stage/tree"
appstreamcli compose --no-net --no-color --result-root="$stage/out" --origin=marlo "$stage/tree" >/dev/null
catalog=$(zcat "$stage"/out/usr/share/swcatalog/xml/marlo.xml.gz 2>/dev/null || true)
if [[ "$catalog" != *"<id>io.github.marlo_editor.marlo</id>"* || "$catalog" != *'<icon type="cached"'* ]]; then
  echo "appstreamcli compose found no Marlo component with an icon in the package" >&2
  exit 1
fi
# Errors fail the script; the warnings left are explained in the README. lintian leaves a cache
# file in TMPDIR: in the stage folder, not in the system's.
TMPDIR="$stage" lintian --fail-on error --display-info "$deb"
echo "$deb"
