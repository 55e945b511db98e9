#!/usr/bin/env bash
# Installs what Brindlemark's builds and tests need on Debian 12, and
# nothing when all of it is there already:
#
#   bash scripts/setup.sh
#
# - cmake, ninja-build, g++ and clang (with its sanitizer and fuzzer
#   runtimes), GoogleTest (the library for native builds, the sources for
#   the MinGW builds);
# - the MinGW-w64 compilers for 32-bit Windows: the win32 thread-model ones
#   build the product, the posix ones (whose C++ library has std::mutex,
#   which GoogleTest needs) build the Windows test programs;
# - 32-bit Wine (wine32:i386, after adding the i386 architecture), which
#   runs those programs and the product itself, with Xvfb and xauth for a
#   display without a screen, x11-utils and imagemagick for looking at and
#   taking screenshots of windows;
# - Python 3 with Debian's capstone module, for the checks that read the
#   built executables' headers and disassemble their start-up code.
#
# Runs apt-get only when a package is missing, so it needs root (or sudo)
# only then. Recommended packages come too: Wine's display driver uses the X
# extension libraries and fonts that it recommends.
set -euo pipefail

packages=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev googletest
    g++-mingw-w64-i686-win32 g++-mingw-w64-i686-posix
    wine wine32:i386
    xvfb xauth x11-utils imagemagick
    python3 python3-capstone
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
# Wine's 32-bit half comes from the i386 architecture.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -q
$sudo apt-get install -y -q "${missing[@]}"
echo "setup: done"
