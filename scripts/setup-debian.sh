#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what Marlo needs, only what is missing.
#   scripts/setup-debian.sh build   what building and running the editor needs
#   scripts/setup-debian.sh test    that, plus what the test suite uses
#   scripts/setup-debian.sh windows what the Windows build and its tests under Wine use (Debian only)
# On Debian and its derivatives the packages are installed with apt (with sudo when not root).
# Elsewhere the script names the packages (Debian, Fedora and openSUSE names) and carries on when
# CMake, Ninja, a C++20 compiler and Qt 6 are found.
set -euo pipefail

# One package a line: Debian name, Fedora name, openSUSE name ("-": only Debian needs it, to build
# and check the Debian package; librsvg2-common lets appstreamcli compose read the SVG icon).
build_packages="
cmake                  cmake                        cmake
ninja-build            ninja-build                  ninja
g++                    gcc-c++                      gcc-c++
pkg-config             pkgconf-pkg-config           pkg-config
qt6-base-dev           qt6-qtbase-devel             qt6-base-devel
qt6-qpa-plugins        qt6-qtbase-gui               qt6-gui
qt6-translations-l10n  qt6-qttranslations           qt6-translations
libgl-dev              mesa-libGL-devel             Mesa-libGL-devel
qt6-wayland            qt6-qtwayland                qt6-wayland
libxcb1-dev            libxcb-devel                 libxcb-devel
zlib1g-dev             zlib-devel                   zlib-devel
fonts-noto-cjk         google-noto-sans-cjk-fonts   noto-sans-cjk-fonts
"
test_packages="
libbenchmark-dev       google-benchmark-devel       benchmark-devel
xvfb                   xorg-x11-server-Xvfb         xorg-x11-server-Xvfb
xauth                  xorg-x11-xauth               xauth
x11-utils              xprop                        xprop
openbox                openbox                      openbox
xdotool                xdotool                      xdotool
xclip                  xclip                        xclip
imagemagick            ImageMagick                  ImageMagick
python3-pil            python3-pillow               python3-Pillow
weston                 weston                       weston
xwayland               xorg-x11-server-Xwayland     xwayland
clang                  clang                        clang
libclang-rt-dev        compiler-rt                  compiler-rt
dpkg-dev               -                            -
lintian                -                            -
appstream              appstream                    AppStream
appstream-compose      appstream-compose            appstream-compose
librsvg2-common        -                            -
desktop-file-utils     desktop-file-utils           desktop-file-utils
"

# The Windows build cross-compiles with MinGW-w64 (posix threads: Qt uses std::thread) against a
# Qt for Windows, with the host's moc, rcc and uic; its tests run under Wine on an X server.
windows_packages="
cmake                           -  -
ninja-build                     -  -
qt6-base-dev                    -  -
qt6-base-dev-tools              -  -
qt6-translations-l10n           -  -
mingw-w64                       -  -
g++-mingw-w64-x86-64-posix      -  -
gcc-mingw-w64-x86-64-posix      -  -
libz-mingw-w64-dev              -  -
wine64                          -  -
nsis                            -  -
zip                             -  -
xz-utils                        -  -
dpkg-dev                        -  -
xvfb                            -  -
xauth                           -  -
x11-utils                       -  -
openbox                         -  -
xdotool                         -  -
xclip                           -  -
procps                          -  -
fonts-noto-cjk                  -  -
fonts-dejavu-core               -  -
"

mode=${1:-build}
case "$mode" in
  test) packages="$build_packages$test_packages" ;;
  windows) packages="$windows_packages" ;;
  *) packages="$build_packages" ;;
esac

# The names in one column (1 Debian, 2 Fedora, 3 openSUSE).
names() { awk -v c="$1" 'NF && $c != "-" { print $c }' <<<"$packages"; }

# What a first run on a fresh machine with two cores installs and how long it takes, measured in
# debootstrap --variant=minbase roots of Debian 12 and 13 (13 needs a few more packages).
first_run_note() {
  local release=12
  [ "$(. /etc/os-release 2>/dev/null && echo "${VERSION_ID:-}")" = 13 ] && release=13
  case "$mode/$release" in
    test/12) echo "A first run installs about 530 packages (380 MB to download, 1.5 GB on disk) in 2 to 10" \
                  "minutes, depending on the network; building and running the tests then takes about" \
                  "10 minutes on two cores and 0.7 GB more." ;;
    test/13) echo "A first run installs about 610 packages (420 MB to download, 1.6 GB on disk) in 2 to 10" \
                  "minutes, depending on the network; building and running the tests then takes about" \
                  "12 minutes on two cores and 0.8 GB more." ;;
    windows/*) echo "A first run installs about 330 packages (570 MB to download, 2.7 GB on disk; only 40," \
                    "350 MB and 1.9 GB where the tests' set is in) in 3 to 10 minutes; the Windows build" \
                    "then takes about 10 minutes on two cores." ;;
    */13) echo "A first run installs about 225 packages (250 MB to download, 900 MB on disk) in 1 to 5" \
               "minutes; the build then takes a minute or two on two cores." ;;
    *) echo "A first run installs about 220 packages (230 MB to download, 850 MB on disk) in 1 to 5" \
            "minutes; the build then takes a minute or two on two cores." ;;
  esac
}

install_with_apt() {
  local missing=()
  for p in $(names 1); do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "Needs root or sudo to install: ${missing[*]}" >&2; exit 1; }
    sudo=(sudo)
  fi
  echo "Installing with apt: ${missing[*]}, and what they need."
  first_run_note
  echo "Updating apt's package lists..."
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  # One line a package as it is downloaded, and one as it is set up, as apt goes: read line by
  # line here, since awk may wait for a full buffer of a pipe (Debian 13's mawk does).
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends -o Dpkg::Use-Pty=0 \
    "${missing[@]}" 2>&1 | while IFS= read -r line; do
      case $line in
        *" newly installed, "* | "Need to get "* | "After this operation, "*) echo "$line" ;;
        Get:[0-9]*)
          read -ra f <<<"$line"
          n=${#f[@]}
          echo "  downloaded ${f[n-5]} ${f[n-3]} ${f[n-2]} ${f[n-1]}" ;;
        "Setting up "*) echo "  $line" ;;
        "E: "* | "W: "*) echo "$line" >&2 ;;
      esac
    done
}

# A throw-away CMake project that needs exactly what Marlo's build needs.
build_tools_found() {
  command -v cmake >/dev/null || { echo "CMake is missing" >&2; return 1; }
  command -v ninja >/dev/null || command -v ninja-build >/dev/null || { echo "Ninja is missing" >&2; return 1; }
  local probe status=0
  probe=$(mktemp -d)
  cat >"$probe/CMakeLists.txt" <<'CMAKE'
cmake_minimum_required(VERSION 3.25)
project(probe LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_CXX_STANDARD_REQUIRED ON)
find_package(Qt6 REQUIRED COMPONENTS Widgets)
find_package(ZLIB REQUIRED)
add_executable(probe probe.cpp)
target_link_libraries(probe PRIVATE Qt6::Widgets ZLIB::ZLIB)
CMAKE
  printf '#include <QApplication>\n#include <span>\nint main() { std::span<int> s; return int(s.size()); }\n' >"$probe/probe.cpp"
  if ! cmake -S "$probe" -B "$probe/build" -G Ninja >"$probe/log" 2>&1 || ! cmake --build "$probe/build" >>"$probe/log" 2>&1; then
    echo "CMake 3.25, Ninja, a C++20 compiler, zlib and Qt 6 Widgets are needed; the check said:" >&2
    tail -n 15 "$probe/log" >&2
    status=1
  fi
  rm -rf "$probe"
  return $status
}

if command -v apt-get >/dev/null && command -v dpkg-query >/dev/null; then
  install_with_apt
  exit 0
fi

echo "This is not a Debian system, so nothing is installed. Marlo needs these packages:"
printf '  Debian/Ubuntu: %s\n' "$(names 1 | xargs)"
printf '  Fedora:        %s\n' "$(names 2 | xargs)"
printf '  openSUSE:      %s\n' "$(names 3 | xargs)"
build_tools_found
echo "CMake, Ninja, a C++20 compiler, zlib and Qt 6 are here; going on."
