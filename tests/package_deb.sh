#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package with scripts/package.sh (a Release build of its own, which lintian,
# appstreamcli and desktop-file-validate must accept) and checks what the package installs and
# what it declares.
#   tests/package_deb.sh BUILD_FOLDER VERSION PACKAGE_VERSION (the version with the release, 0.20~deb12)
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$1
version=$2
package_version=$3
# The Debian package is built and checked only where Debian's tools are.
for tool in dpkg-deb dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

if ! log=$("$here/../scripts/package.sh" "$build" 2>&1); then
  echo "$log"
  echo "FAIL: scripts/package.sh failed"
  exit 1
fi
deb=$(tail -n 1 <<<"$log")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A package names the Debian release whose Qt it was built against.
. /etc/os-release
if [ "${ID:-}" = debian ] && [ -n "${VERSION_ID:-}" ]; then
  [ "$package_version" = "${version}~deb${VERSION_ID}" ] || fail "package version $package_version on Debian $VERSION_ID"
fi
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "marlo_${package_version}_${arch}.deb" ] || fail "package file name $(basename "$deb")"

expected_files="./usr/bin/marlo
./usr/share/applications/io.github.marlo_editor.marlo.desktop
./usr/share/doc/marlo/changelog.gz
./usr/share/doc/marlo/copyright
./usr/share/icons/hicolor/128x128/apps/marlo.png
./usr/share/icons/hicolor/16x16/apps/marlo.png
./usr/share/icons/hicolor/256x256/apps/marlo.png
./usr/share/icons/hicolor/32x32/apps/marlo.png
./usr/share/icons/hicolor/48x48/apps/marlo.png
./usr/share/icons/hicolor/64x64/apps/marlo.png
./usr/share/icons/hicolor/scalable/apps/marlo.svg
./usr/share/man/man1/marlo.1.gz
./usr/share/metainfo/io.github.marlo_editor.marlo.metainfo.xml"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | LC_ALL=C sort)
if [ "$files" != "$expected_files" ]; then
  fail "file list differs (< expected, > packaged):"
  diff <(echo "$expected_files") <(echo "$files")
fi

field() { dpkg-deb -f "$deb" "$1"; }
for pair in "Package=marlo" "Version=$package_version" "Architecture=$arch" "Section=graphics" "Priority=optional"; do
  [ "$(field "${pair%%=*}")" = "${pair#*=}" ] || fail "${pair%%=*} is '$(field "${pair%%=*}")', not '${pair#*=}'"
done
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# The libraries come from the binary, the rest is loaded at run time and named by hand.
depends=$(field Depends)
# Debian 13 renamed Qt's core library for its 64-bit time (libqt6core6t64).
for wanted in 'libqt6widgets6 \(' 'libqt6gui6 \(' 'libqt6core6(t64)? \(' 'libc6 \(' 'qt6-qpa-plugins' 'fonts-noto-cjk \|'; do
  [[ "$depends" =~ $wanted ]] || fail "Depends lacks $wanted: $depends"
done
[[ "$depends" =~ libasan|libubsan ]] && fail "Depends names a sanitizer runtime: $depends"
recommends=$(field Recommends)
for wanted in qt6-wayland qt6-translations-l10n; do
  [[ "$recommends" == *"$wanted"* ]] || fail "Recommends lacks $wanted: $recommends"
done

# The changelog and the metainfo name the version being packaged.
packaged() { dpkg-deb --fsys-tarfile "$deb" | tar -xO "$1"; }
changelog_version=$(packaged ./usr/share/doc/marlo/changelog.gz | gunzip | sed -n '1s/^marlo (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$package_version" ] || fail "changelog's version is '$changelog_version'"
packaged ./usr/share/metainfo/io.github.marlo_editor.marlo.metainfo.xml | grep -q "<release version=\"$version\"" ||
  fail "the metainfo has no release $version"
packaged ./usr/bin/marlo | file - | grep -q ", stripped" || fail "the binary is not stripped"

# The manual page reads without a warning on a terminal with a UTF-8 locale and on one without
# any locale, where groff has no Japanese glyphs.
if command -v man >/dev/null; then
  page=$(mktemp)
  packaged ./usr/share/man/man1/marlo.1.gz >"$page"
  for locale in C C.UTF-8; do
    warnings=$(env -u LANG -u LANGUAGE LC_ALL=$locale MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "man in the $locale locale warns: $warnings"
  done
  rm -f "$page"
fi

[ "$failures" -eq 0 ] || exit 1
echo "$(basename "$deb"): file list and control fields as expected"
