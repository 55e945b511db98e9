#!/usr/bin/env bash
# Installs what Brindlemark's builds and tests need on Debian 12, and
# nothing when all of it is there already:
#
#   bash scripts/setup.sh
#
# - cmake, ninja-build, g++ and clang (with its sanitizer and fuzzer
#   runtimes), GoogleTest (the library for native builds, the sources for
#   the MinGW builds);
# - the MinGW-w64 compilers for 32-bit (the product) and 64-bit Windows
#   (the programs run under Wine), in their -posix variants;
# - Wine (64-bit: Debian's 32-bit Wine cannot be installed beside it),
#   Xvfb and xauth for a display without a screen, x11-utils and
#   imagemagick for looking at and taking screenshots of windows.
#
# Runs apt-get only when a package is missing, so it needs root (or sudo)
# only then. Recommended packages come too: Wine's display driver uses the X
# extension libraries and fonts that it recommends.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev googletest
    g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
    wine wine64
    xvfb xauth x11-utils imagemagick
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
    echo "setup: all ${#packages[@]} packages are installed"
    exit 0
fi

echo "setup: installing ${missing[*]}"
sudo=
if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install packages" >&2; exit 1; }
    sudo=sudo
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q "${missing[@]}"
echo "setup: done"
