#!/usr/bin/env bash
# Installs the Debian 12 packages Marlo needs, only those that are missing.
#   scripts/setup-debian.sh build   what building and running the editor needs
#   scripts/setup-debian.sh test    that, plus what the test suite uses
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-qpa-plugins libgl-dev
                libbenchmark-dev fonts-noto-cjk)
test_packages=(xvfb xauth x11-utils openbox xdotool xclip imagemagick python3-pil clang libclang-rt-14-dev)

wanted=("${build_packages[@]}")
[ "${1:-build}" = test ] && wanted+=("${test_packages[@]}")

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
