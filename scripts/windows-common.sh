# SPDX-License-Identifier: MIT
# What scripts/windows.sh and scripts/test-windows.sh share: Qt for Windows, the cross build and
# the packing of the program. Sourced, not run.

marlo_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
marlo_version=$(sed -n 's/^project(Marlo VERSION \([0-9.]*\).*/\1/p' "$marlo_root/CMakeLists.txt")
qt_windows_version=6.8.2
mingw_libs=/usr/x86_64-w64-mingw32/lib

# Qt for Windows is built, and programs are built against it, with the host's moc, rcc and uic,
# which must be of its very version: Debian 13's. Elsewhere the calling script runs again in a
# Debian 13 root (scripts/debian-root.sh) that keeps the tree's build-windows/ and can read the Qt
# for Windows that MARLO_QT_WINDOWS names.
run_on_debian13() {
  local script=$1 given=${MARLO_QT_WINDOWS:-} command
  (. /etc/os-release && [ "${ID:-}" = debian ] && [ "${VERSION_ID:-}" = 13 ]) && return 0
  command="bash scripts/$script"
  if [ -n "$given" ]; then
    given=$(realpath -e -- "$given") || { echo "MARLO_QT_WINDOWS names nothing: $MARLO_QT_WINDOWS" >&2; exit 1; }
    command="MARLO_QT_WINDOWS=$(printf '%q' "$given") $command"
  fi
  echo "Qt $qt_windows_version for Windows needs Debian 13's Qt tools: $script runs in a Debian 13 root"
  MARLO_ROOT_KEEP=build-windows MARLO_ROOT_READ=$given \
    exec bash "$marlo_root/scripts/debian-root.sh" trixie "$command"
}

# MinGW-w64's C++ runtime DLLs, in the folder of the installed GCC's version.
mingw_runtime_dir() {
  dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)"
}

# A folder outside the tree that keeps Qt for Windows between runs.
windows_cache() {
  local home=${HOME:-$(getent passwd "$(id -u)" | cut -d: -f6)}
  printf '%s/marlo-windows' "${XDG_CACHE_HOME:-$home/.cache}"
}

# Sets qt_windows to the prefix of a Qt 6 for Windows x86-64 (MinGW-w64, shared): MARLO_QT_WINDOWS
# when set (an unpacked prefix, or a .tar.xz holding one), else the one in the cache, else one
# built there once from Debian's qt6-base source (about an hour on two cores).
find_qt_windows() {
  local cache given
  cache=$(windows_cache)
  given=${MARLO_QT_WINDOWS:-}
  if [ -n "$given" ] && [ -d "$given" ]; then
    qt_windows=$(cd "$given" && pwd)
  elif [ -n "$given" ]; then
    [ -f "$given" ] || { echo "MARLO_QT_WINDOWS names nothing: $given" >&2; return 1; }
    local unpacked
    unpacked="$cache/$(basename "$given" .tar.xz)"
    if [ ! -f "$unpacked/.complete" ]; then
      echo "Unpacking $given into $unpacked"
      rm -rf "$unpacked" && mkdir -p "$unpacked"
      tar -xJf "$given" -C "$unpacked"
      touch "$unpacked/.complete"
    fi
    qt_windows=$(find "$unpacked" -mindepth 3 -maxdepth 3 -name Qt6Core.dll -path '*/bin/*' -printf '%h\n' | head -n 1)
    qt_windows=${qt_windows%/bin}
  else
    qt_windows="$cache/qt6-mingw-$qt_windows_version"
    if [ ! -f "$qt_windows/.complete" ]; then
      echo "No Qt for Windows at hand (MARLO_QT_WINDOWS): building it once into $qt_windows"
      bash "$marlo_root/scripts/build-qt-windows.sh" "$qt_windows"
      touch "$qt_windows/.complete"
    fi
  fi
  [ -f "$qt_windows/bin/Qt6Core.dll" ] || { echo "Not a Qt for Windows: $qt_windows" >&2; return 1; }
}

# Configures a cross build of the project in folder $1; further arguments go to CMake.
configure_windows() {
  local build=$1
  shift
  # A folder configured at another path (on the host, before builds moved into the root) is
  # refused by CMake: start it again.
  if [ -f "$build/CMakeCache.txt" ] && ! grep -qx "CMAKE_HOME_DIRECTORY:INTERNAL=$marlo_root" "$build/CMakeCache.txt"; then
    rm -rf "$build"
  fi
  cmake -S "$marlo_root" -B "$build" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$marlo_root/cmake/mingw-w64.cmake" \
    -DCMAKE_PREFIX_PATH="$qt_windows" -DQT_HOST_PATH=/usr \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake "$@" >/dev/null
}

# The licence texts of what the zip ships beside Marlo's own.
copy_licences() {
  local to=$1 qt_source
  qt_source=$(sed -n 's/.*qt6-base \([0-9][^ ]*\).*/\1/p' "$qt_windows/marlo-qt-build.txt" 2>/dev/null | head -n 1)
  qt_source=${qt_source:-$qt_windows_version}
  mkdir -p "$to"
  cp /usr/share/common-licenses/LGPL-3 "$to/Qt-LGPL-3.0.txt"
  cp /usr/share/common-licenses/GPL-3 "$to/GPL-3.0.txt"
  cp /usr/share/doc/qt6-base-dev/copyright "$to/Qt-copyright.txt"
  cp /usr/share/doc/gcc-mingw-w64-base/copyright "$to/GCC-runtime-copyright.txt"
  cp /usr/share/doc/mingw-w64-common/copyright "$to/MinGW-w64-and-winpthreads-copyright.txt"
  cp /usr/share/doc/libz-mingw-w64-dev/copyright "$to/zlib-copyright.txt"
  cat >"$to/README.txt" <<TEXT
Marlo $marlo_version for Windows x64 ships these libraries beside marlo.exe:

- Qt $qt_windows_version (Qt6Core.dll, Qt6Gui.dll, Qt6Widgets.dll, platforms/qwindows.dll,
  styles/qmodernwindowsstyle.dll, translations/qtbase_ja.qm), under the GNU Lesser General Public
  License version 3 (Qt-LGPL-3.0.txt, which adds to GPL-3.0.txt); Qt-copyright.txt lists its
  authors and the bundled libraries (zlib, libpng, FreeType, HarfBuzz, PCRE2 and others) with
  their licences. It was built from Debian's qt6-base $qt_source source package with the
  changes in Marlo's scripts/qt-windows/; you may replace these DLLs with your own build of
  Qt ${qt_windows_version%.*}.
- The GCC runtime (libstdc++-6.dll, libgcc_s_seh-1.dll), under the GNU General Public License
  version 3 with the GCC Runtime Library Exception (GCC-runtime-copyright.txt).
- winpthreads (libwinpthread-1.dll) of MinGW-w64, under the licences in
  MinGW-w64-and-winpthreads-copyright.txt.

marlo.exe itself holds zlib (linked in, to read PNG files), under the zlib licence in
zlib-copyright.txt.
TEXT
}

# Puts the program built in folder $1 together with what it needs in folder $2, as it is zipped.
stage_windows() {
  local build=$1 stage=$2 strip=x86_64-w64-mingw32-strip mingw_runtime
  mingw_runtime=$(mingw_runtime_dir)
  rm -rf "$stage" && mkdir -p "$stage/platforms" "$stage/styles" "$stage/translations"
  cp "$build/marlo.exe" "$stage/"
  cp "$qt_windows"/bin/Qt6{Core,Gui,Widgets}.dll "$stage/"
  cp "$qt_windows/plugins/platforms/qwindows.dll" "$stage/platforms/"
  cp "$qt_windows/plugins/styles/qmodernwindowsstyle.dll" "$stage/styles/"
  cp "$mingw_runtime"/libstdc++-6.dll "$mingw_runtime"/libgcc_s_seh-1.dll "$mingw_libs/libwinpthread-1.dll" "$stage/"
  cp /usr/share/qt6/translations/qtbase_ja.qm "$stage/translations/"
  # Qt finds its translations under its prefix, which without this would lie above the folder.
  printf '[Paths]\r\nPrefix = .\r\n' >"$stage/qt.conf"
  find "$stage" -name '*.exe' -o -name '*.dll' | xargs "$strip" --strip-unneeded
  cp "$marlo_root/LICENSE" "$stage/LICENSE.txt"
  copy_licences "$stage/licences"
}

# Makes the zip and the installer of the program built in folder $1, in folder $2.
pack_windows() {
  local build=$1 out=$2 name="marlo-$marlo_version"
  local stage="$out/$name"
  stage_windows "$build" "$stage"
  rm -f "$out/$name-windows-x64.zip"
  (cd "$out" && zip -q -r -X -9 "$name-windows-x64.zip" "$name")
  # The installer names every file it puts down, so that its uninstaller removes those and no other.
  (cd "$stage" && find . -type f | sed 's|^\./||' | sort) >"$out/files.txt"
  awk '{ dir = $0; if (sub(/\/[^\/]*$/, "", dir) == 0) dir = ""; else dir = "\\" dir; gsub(/\//, "\\", dir);
         printf "  SetOutPath \"$INSTDIR%s\"\n  File \"${STAGE}/%s\"\n", dir, $0 }' "$out/files.txt" >"$out/files.nsh"
  { sed 's|/|\\|g; s|.*|  Delete "$INSTDIR\\&"|' "$out/files.txt"
    (cd "$stage" && find . -mindepth 1 -type d | sed 's|^\./||; s|/|\\|g' | sort -r | sed 's|.*|  RMDir "$INSTDIR\\&"|')
  } >"$out/unfiles.nsh"
  makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$marlo_version" -DSTAGE="$stage" -DLISTS="$out" \
    -DICON="$marlo_root/resources/icons/marlo.ico" \
    -DOUTFILE="$out/$name-setup.exe" "$marlo_root/packaging/windows/marlo.nsi"
}
