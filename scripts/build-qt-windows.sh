#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds Qt 6.8.2 (qtbase only: Core, Gui, Widgets, Test) for Windows x86-64 from Debian 13's own
# qt6-base source package with Debian's MinGW-w64 and installs it into PREFIX. The fallback for
# when no prebuilt Qt for Windows is at hand; it takes about an hour on two cores.
#   scripts/build-qt-windows.sh PREFIX      (e.g. ~/.cache/marlo/qt6-mingw)
# Then configure Marlo with cmake/mingw-w64.cmake, -DCMAKE_PREFIX_PATH=PREFIX -DQT_HOST_PATH=/usr.
#
# Debian 13 only (scripts/windows.sh runs it in a Debian 13 root elsewhere). It expects these
# packages to be installed:
#   mingw-w64 g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix qt6-base-dev-tools cmake
#   ninja-build dpkg-dev xz-utils
# and also qt6-base-dev (the host's Qt6HostInfo and Qt6*Tools CMake packages that QT_HOST_PATH
# leads to), perl (Qt's syncqt, which comes with dpkg-dev), and network access to the
# Debian archive of the machine's apt sources. The posix-thread compilers are needed because Qt
# uses std::thread. The machine's apt configuration is left as it is; root is not needed.
#
# Environment:
#   MARLO_QT_KEEP_WORK=1        keep the sources and the build folder in PREFIX-work, beside
#                               PREFIX (otherwise a temporary folder is used and removed)
#   MARLO_QT_FORCE=1            rebuild even when PREFIX already holds this very build
#   CMAKE_BUILD_PARALLEL_LEVEL  build jobs (default: Ninja's own choice)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
patches=$root/scripts/qt-windows
toolchain=$root/cmake/mingw-w64.cmake

die() {
    echo "build-qt-windows: error: $*" >&2
    exit 1
}
say() {
    echo "build-qt-windows: $*"
}

[[ $# -eq 1 && -n $1 ]] || die "usage: $0 PREFIX"
prefix=$(realpath -m -- "$1")
case "$prefix/" in
    "$root"/*) die "PREFIX $prefix is inside the source tree $root; pick a folder outside it" ;;
esac
[[ $prefix != / ]] || die "PREFIX must not be /"

# --- What the machine must have -------------------------------------------------------------

# shellcheck disable=SC1091
. /etc/os-release
[[ ${ID:-} == debian && ${VERSION_ID:-} == 13 ]] \
    || die "Debian 13 only (this is ${PRETTY_NAME:-an unknown system}): the recipe uses its qt6-base source package and its MinGW-w64"

for tool in x86_64-w64-mingw32-gcc-posix x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres \
    cmake ninja apt-get dpkg-source dpkg-deb dpkg-architecture dpkg-query xz perl realpath sha256sum; do
    command -v "$tool" >/dev/null || die "$tool is missing (see the packages at the top of $0)"
done
[[ -f $toolchain ]] || die "the toolchain file $toolchain is missing"

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
host_cmake_dir=/usr/lib/$multiarch/cmake
# The host's moc, rcc and uic must be the very version that is built: Qt refuses others.
host_tools_version=$(dpkg-query -W -f '${db:Status-Abbrev} ${source:Version}' qt6-base-dev-tools 2>/dev/null || true)
host_dev_version=$(dpkg-query -W -f '${db:Status-Abbrev} ${source:Version}' qt6-base-dev 2>/dev/null || true)
[[ $host_tools_version == "ii "* ]] || die "qt6-base-dev-tools is not installed"
[[ $host_dev_version == "ii "* ]] || die "qt6-base-dev is not installed (Qt6HostInfo for QT_HOST_PATH)"
qt_deb_version=${host_tools_version##* }
[[ ${host_dev_version##* } == "$qt_deb_version" ]] \
    || die "qt6-base-dev (${host_dev_version##* }) and qt6-base-dev-tools ($qt_deb_version) differ"
qt_version=${qt_deb_version%%+*}
qt_version=${qt_version%%-*}
[[ $qt_version == 6.8.2 ]] || die "the host's Qt is $qt_deb_version; this recipe is for 6.8.2"
[[ -d $host_cmake_dir/Qt6HostInfo && -d $host_cmake_dir/Qt6CoreTools ]] \
    || die "the host's Qt CMake packages are not in $host_cmake_dir"

# --- Nothing to do when PREFIX already holds this build -------------------------------------

# Everything that shapes the result, so that a change to the recipe triggers a rebuild (and a
# change to this script's comments does not).
recipe=$({
    echo "qt6-base $qt_deb_version"
    x86_64-w64-mingw32-g++-posix --version | head -n 1
    grep -v '^[[:space:]]*#' "$0"
    cat "$toolchain"
    find "$patches" -type f -print0 | LC_ALL=C sort -z | xargs -0 cat
} | sha256sum | cut -d ' ' -f 1)
stamp_name=marlo-qt-build.txt
stamp=$prefix/$stamp_name

if [[ -e $prefix ]]; then
    [[ -d $prefix ]] || die "PREFIX $prefix exists and is not a folder"
    if [[ -f $stamp ]]; then
        if grep -qx "recipe $recipe" "$stamp" && [[ -z ${MARLO_QT_FORCE:-} ]]; then
            say "$prefix already holds this build (MARLO_QT_FORCE=1 rebuilds it); nothing to do"
            exit 0
        fi
    elif [[ -n $(ls -A "$prefix") ]]; then
        # Only a folder this script made is ever replaced.
        die "PREFIX $prefix is not empty and was not made by this script; remove it or pick another"
    fi
fi

# --- Work folder ----------------------------------------------------------------------------

# Other users (apt's _apt) must be able to read what is created, whatever the caller's umask.
umask 022
marker=.marlo-qt-work
if [[ -n ${MARLO_QT_KEEP_WORK:-} ]]; then
    work=$prefix-work
    if [[ -e $work ]]; then
        [[ -f $work/$marker ]] || die "$work exists and was not made by this script"
        rm -rf -- "$work"
    fi
    mkdir -p -- "$work"
else
    work=$(mktemp -d "${TMPDIR:-/tmp}/marlo-qt6-mingw.XXXXXXXX")
fi
touch "$work/$marker"
finish() {
    local status=$?
    if [[ -n ${MARLO_QT_KEEP_WORK:-} ]]; then
        say "the work folder is kept: $work"
    else
        rm -rf -- "$work"
    fi
    [[ $status -eq 0 ]] || echo "build-qt-windows: FAILED (exit status $status)" >&2
}
trap finish EXIT
# Without these, an interrupted run would leave the work folder behind.
trap 'exit 130' INT
trap 'exit 143' TERM
chmod 755 "$work"
say "work folder: $work"
start=$SECONDS

# --- Sources, from a private apt configuration ----------------------------------------------

# The machine's sources usually have no deb-src entry and are not ours to change: a private
# list names the same archives, for sources and binaries alike (libwine-dev then comes from an
# index of the same age whatever the state of the machine's own lists).
apt_dir=$work/apt
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
apt_opts=(
    -o Dir::Etc::SourceList=/dev/null
    -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
    -o "Dir::State::Lists=$apt_dir/lists"
    -o "Dir::Cache=$apt_dir/cache"
)

# One-line entries: "deb [options] URI suite [components]". Multi-value options are
# comma-separated there and space-separated in deb822.
# shellcheck disable=SC2016 # awk's own $ fields
one_line_to_deb822='
{ sub(/#.*/, "") }
$1 != "deb" { next }
{
    i = 2; signed = ""; trusted = ""
    if ($2 ~ /^\[/) {
        opts = ""
        for (; i <= NF; i++) { opts = opts " " $i; if ($i ~ /\]$/) { i++; break } }
        gsub(/[][]/, " ", opts)
        n = split(opts, o, " ")
        for (k = 1; k <= n; k++)
            if (tolower(o[k]) ~ /^signed-by=/) { signed = substr(o[k], 11); gsub(/,/, " ", signed) }
            else if (tolower(o[k]) ~ /^trusted=/) trusted = substr(o[k], 9)
    }
    if (i + 1 > NF) next
    comps = ""
    for (j = i + 2; j <= NF; j++) comps = comps " " $j
    print "Types: deb deb-src"
    print "URIs: " $i
    print "Suites: " $(i + 1)
    if (comps != "") print "Components:" comps
    if (signed != "") print "Signed-By: " signed
    if (trusted != "") print "Trusted: " trusted
    print ""
}'
# deb822 stanzas: keep those with a "deb" type that are not disabled; field values may go on
# over indented lines (an inline Signed-By key does), which are kept as they are.
# shellcheck disable=SC2016 # awk's own $ fields
deb822_to_deb822='
function flush() {
    if (f["types"] ~ /(^|[ \t\n])deb([ \t\n]|$)/ && tolower(f["enabled"]) !~ /^[ \t]*no/ && f["uris"] != "") {
        print "Types: deb deb-src"
        print "URIs:" f["uris"]
        print "Suites:" f["suites"]
        if (f["components"] != "") print "Components:" f["components"]
        if (f["signed-by"] != "") print "Signed-By:" f["signed-by"]
        if (f["trusted"] != "") print "Trusted:" f["trusted"]
        print ""
    }
    split("", f); last = ""
}
/^#/ { next }
/^[ \t]*$/ { flush(); next }
/^[ \t]/ { if (last != "") f[last] = f[last] "\n" $0; next }
{
    c = index($0, ":")
    if (c == 0) next
    last = tolower(substr($0, 1, c - 1))
    f[last] = substr($0, c + 1)
}
END { flush() }'

machine_list='' machine_parts=''
eval "$(apt-config shell machine_list Dir::Etc::SourceList/f machine_parts Dir::Etc::SourceParts/d)"
private_sources=$apt_dir/sources.list.d/machine-deb-src.sources
{
    [[ ! -f ${machine_list:-} ]] || awk "$one_line_to_deb822" "$machine_list"
    for file in "${machine_parts%/}"/*.list; do
        [[ ! -f $file ]] || awk "$one_line_to_deb822" "$file"
    done
    for file in "${machine_parts%/}"/*.sources; do
        [[ ! -f $file ]] || awk "$deb822_to_deb822" "$file"
    done
} >"$private_sources"
grep -q '^URIs:' "$private_sources" || die "no deb entry found in the machine's apt sources"
say "private apt sources ($private_sources):"
sed 's/^/    /' "$private_sources"

download=$work/download
mkdir -p "$download"
if [[ $EUID -eq 0 ]] && id -u _apt >/dev/null 2>&1; then
    # As root, apt downloads as _apt, which must be able to write there.
    chown _apt "$download"
fi

say "updating the private package lists"
apt-get "${apt_opts[@]}" -q update
say "downloading qt6-base $qt_deb_version (source) and libwine-dev"
(cd "$download" && apt-get "${apt_opts[@]}" -q source --download-only "qt6-base=$qt_deb_version")
(cd "$download" && apt-get "${apt_opts[@]}" -q download libwine-dev)

src=$work/qt6-base-$qt_version
# dpkg-source warns that it cannot check the .dsc's signature without debian-keyring; apt has
# already checked every file against the archive's signed index.
dpkg-source -x "$download/qt6-base_${qt_deb_version#*:}.dsc" "$src"
wine_deb=("$download"/libwine-dev_*.deb)
[[ -f ${wine_deb[0]} ]] || die "libwine-dev was not downloaded"
dpkg-deb -x "${wine_deb[0]}" "$work/libwine-dev"

# --- Fixes to the sources -------------------------------------------------------------------

# Debian's tarball leaves out the Wacom wintab headers; Wine's LGPL ones take their place so that
# tablets keep working (the other way, -DFEATURE_tabletevent=OFF, removes tablet events).
wintab=$src/src/3rdparty/wintab
if [[ ! -f $wintab/wintab.h ]]; then
    wine_headers=$work/libwine-dev/usr/include/wine/wine/windows
    [[ -f $wine_headers/wintab.h && -f $wine_headers/pktdef.h ]] \
        || die "wintab.h and pktdef.h are not in libwine-dev's $wine_headers"
    mkdir -p "$wintab/wine"
    cp "$wine_headers/wintab.h" "$wine_headers/pktdef.h" "$wintab/wine/"
    cp "$patches/wintab/wintab.h" "$patches/wintab/pktdef.h" "$wintab/"
fi

# --- Configure, build, install --------------------------------------------------------------

build=$work/build
features_off=(
    # Qt's bundled copies, so that nothing but the DLLs we ship is needed on Windows.
    # (system_proxies is a network setting, not a library, and system_sqlite belongs to the sql
    # module, which is off: CMake would only warn that it was not used.)
    system_zlib system_png system_jpeg system_freetype system_harfbuzz system_pcre2
    system_doubleconversion system_libb2 system_textmarkdownreader
    # No OpenGL at all: FEATURE_opengl=OFF alone leaves dynamic OpenGL on.
    opengl opengl_dynamic dynamicgl
    # Modules and image formats Marlo does not use.
    network sql dbus printsupport concurrent xml vulkan
    jpeg gif ico icu zstd
    # Debian's cross.patch enables this Android tool whenever cross-compiling.
    androiddeployqt
    pkg_config
)
cmake_args=(
    -G Ninja -S "$src" -B "$build"
    -DCMAKE_TOOLCHAIN_FILE="$toolchain"
    -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX="$prefix"
    -DQT_HOST_PATH=/usr
    -DQT_HOST_PATH_CMAKE_DIR="$host_cmake_dir"
    -DBUILD_SHARED_LIBS=ON
    -DQT_QMAKE_TARGET_MKSPEC=win32-g++
    -DINPUT_opengl=no
    -DQT_BUILD_TESTS=OFF
    -DQT_BUILD_EXAMPLES=OFF
    -DQT_BUILD_BENCHMARKS=OFF
    -DQT_BUILD_MANUAL_TESTS=OFF
    # The SBOM wants the attribution files of every bundled part, and Debian's tarball leaves
    # out wintab's.
    -DQT_GENERATE_SBOM=OFF
)
for feature in "${features_off[@]}"; do
    cmake_args+=("-DFEATURE_$feature=OFF")
done

say "configuring"
cmake "${cmake_args[@]}"
# Configure only warns about features it cannot honour; check the ones Marlo relies on.
for feature in gui widgets testlib png freetype harfbuzz pcre2 tabletevent directwrite \
    style_windowsvista style_windows11; do
    grep -qx "QT_FEATURE_$feature:INTERNAL=ON" "$build/CMakeCache.txt" \
        || die "Qt's feature $feature is not on after configuring"
done
for feature in opengl opengl_dynamic dynamicgl network; do
    grep -qx "QT_FEATURE_$feature:INTERNAL=OFF" "$build/CMakeCache.txt" \
        || die "Qt's feature $feature is not off after configuring"
done

say "building (half an hour to an hour on two cores)"
cmake --build "$build"

# Installed beside the work and moved into place only when complete, so that a failed run never
# leaves a half-filled PREFIX behind. DESTDIR keeps the recorded paths those of PREFIX.
stage=$work/stage
DESTDIR=$stage cmake --install "$build" >"$work/install.log"
staged=$stage$prefix
for file in bin/Qt6Core.dll bin/Qt6Gui.dll bin/Qt6Widgets.dll bin/Qt6Test.dll \
    plugins/platforms/qwindows.dll plugins/platforms/qoffscreen.dll \
    plugins/platforms/qminimal.dll plugins/styles/qmodernwindowsstyle.dll \
    lib/cmake/Qt6/Qt6Config.cmake lib/cmake/Qt6Widgets/Qt6WidgetsConfig.cmake \
    lib/cmake/Qt6Test/Qt6TestConfig.cmake; do
    [[ -f $staged/$file ]] || die "$file was not installed"
done
{
    echo "recipe $recipe"
    echo "Qt $qt_version for Windows x86-64 (MinGW-w64, posix threads), shared, Release"
    echo "built by scripts/build-qt-windows.sh from Debian's qt6-base $qt_deb_version on $(date -u +%Y-%m-%d)"
} >"$staged/$stamp_name"

old=
if [[ -e $prefix ]]; then
    old=$(mktemp -d "$prefix.old.XXXXXXXX")
    mv -- "$prefix" "$old/"
fi
mkdir -p -- "$(dirname "$prefix")"
mv -- "$staged" "$prefix"
[[ -z $old ]] || rm -rf -- "$old"

elapsed=$((SECONDS - start))
say "Qt $qt_version for Windows is in $prefix ($(du -sh "$prefix" | cut -f 1))"
say "took $((elapsed / 60)) min $((elapsed % 60)) s; CPU time (user, system) of the script, then of what it ran:"
# Not in a pipe: a subshell would report its own times.
times
