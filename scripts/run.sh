#!/usr/bin/env bash
# Builds Brindlemark for Windows and starts its demonstration build, the
# shipped 32-bit one, under 32-bit Wine, in a prefix of its own, on the
# example folder:
#
#   bash scripts/run.sh
#
# - installs what is missing (scripts/setup.sh);
# - builds with the win32 preset, the product build (into build/win32, or
#   $BRINDLE_BUILD_DIR), and the example folder with the wine preset, the
#   Windows test build (into build/wine, or $BRINDLE_TESTS_BUILD_DIR);
# - prepares build/demo/prefix (or $BRINDLE_DEMO_DIR/prefix), a 32-bit
#   prefix made as the Wine tests make theirs (tests/wine/wine-prefix.sh): a
#   Windows version the program accepts (Windows XP, version 5.1), one
#   virtual desktop, drive E: mapped to the example folder, and no drive
#   mapped to /;
# - copies the program, readme.txt and the example DataFile.txt into
#   C:\Brindlemark and starts the program there.
#
# With a display (DISPLAY set) the program opens on it and the script waits
# until you close it. Without one it runs under Xvfb for a few seconds and
# saves a screenshot of the main window as build/demo/brindlemark.png.
#
#   bash scripts/run.sh --screenshots DIR
#
# instead takes the README's screenshots under Xvfb (the main window idle,
# while scanning, and the About box) and saves them as PNG files in DIR.
#
# The demonstration build differs from the product VQBRDM32.EXE only in its
# processor check, which answers as the processor the product requires, so
# that the program can be seen on an ordinary machine. The product itself
# (build/win32/bin/VQBRDM32.EXE) tells you on such a machine that it needs
# that processor, and ends.
set -euo pipefail

cd "$(dirname "$0")/.."
repo=$PWD
build=${BRINDLE_BUILD_DIR:-$repo/build/win32}
# The example folder and the pictures' driver are made by the Windows test
# build.
tests_build=${BRINDLE_TESTS_BUILD_DIR:-$repo/build/wine}
demo=${BRINDLE_DEMO_DIR:-$repo/build/demo}
program=brindlemark-simulated-cpu-demo.exe
shots=
if [ "${1:-}" = --screenshots ]; then
    [ -n "${2:-}" ] || { echo "usage: bash scripts/run.sh [--screenshots DIR]" >&2; exit 2; }
    mkdir -p "$2"
    shots=$(cd "$2" && pwd)
fi

say() { printf 'run.sh: %s\n' "$*"; }

# --- what is needed ------------------------------------------------------
missing=0
for tool in cmake ninja i686-w64-mingw32-g++-win32 i686-w64-mingw32-g++-posix \
    i686-w64-mingw32-windres wineserver; do
    command -v "$tool" >/dev/null 2>&1 || missing=1
done
[ -x /usr/lib/wine/wine ] || missing=1
[ -f /usr/src/googletest/CMakeLists.txt ] || missing=1
if [ -z "${DISPLAY:-}" ] || [ -n "$shots" ]; then
    for tool in xvfb-run import; do
        command -v "$tool" >/dev/null 2>&1 || missing=1
    done
fi
if [ "$missing" = 1 ]; then
    say "installing what is missing (scripts/setup.sh)"
    bash scripts/setup.sh
fi

# 32-bit Wine, and the prefix recipe of the Wine tests.
. "$repo/tests/wine/wine-prefix.sh"
brindle_wine_env
wine_cmd=$brindle_wine
export WINEDEBUG=${WINEDEBUG:--all}

# --- the build -----------------------------------------------------------
say "building (win32 preset) in $build"
cmake --preset win32 -B "$build" >/dev/null
cmake --build "$build" -j2 --target brindlemark_demo
targets=(brindle_examples)
what="the example folder"
if [ -n "$shots" ]; then
    targets+=(brindle_e2e_driver)
    what="$what and the pictures' driver"
fi
say "building $what (wine preset) in $tests_build"
cmake --preset wine -B "$tests_build" -DBRINDLE_PRODUCT_DIR="$build/bin" >/dev/null
cmake --build "$tests_build" -j2 --target "${targets[@]}"
examples=$tests_build/examples

# --- the prefix ----------------------------------------------------------
export WINEPREFIX=$demo/prefix
mkdir -p "$demo"
if [ "$(cat "$WINEPREFIX/.brindle-demo" 2>/dev/null)" != "$brindle_prefix_recipe" ]; then
    say "preparing the Wine prefix $WINEPREFIX (once; takes a minute)"
    rm -rf "$WINEPREFIX"
    brindle_make_prefix "$WINEPREFIX" "$demo/prefix.log" ||
        { say "could not make the Wine prefix (see $demo/prefix.log)"; exit 1; }
    echo "$brindle_prefix_recipe" >"$WINEPREFIX/.brindle-demo"
fi
wineserver -k 2>/dev/null || true

# Only C: and the example drive E:.
brindle_only_drive_c "$WINEPREFIX"
ln -sfn "$examples/drive" "$WINEPREFIX/dosdevices/e:"

# --- the working folder -------------------------------------------------
# The pictures are taken in a folder of their own, so that their scans do
# not go into the demo's log.
folder=Brindlemark
[ -z "$shots" ] || folder=BrindlemarkPictures
work=$WINEPREFIX/drive_c/$folder
mkdir -p "$work"
cp "$build/bin/$program" "$build/bin/readme.txt" "$examples/DataFile.txt" "$work/"

# --- the run ------------------------------------------------------------
cd "$work"
if [ -n "$shots" ]; then
    # A large drive N: keeps the scan going while its picture is taken.
    tree=$demo/large-drive
    if [ ! -f "$tree/.complete" ]; then
        say "making a large drive for the scanning picture"
        rm -rf "$tree"
        bash "$repo/tests/e2e/make-large-drive.sh" "$tree" "$examples/drive/Apps/Viewer/brdcodec.dll"
        touch "$tree/.complete"
    fi
    cp "$tests_build/tests/e2e/brindle_e2e_driver.exe" "$work/"
    shoot() {  # shoot STATE FILE [DRIVE...]
        local state=$1 file=$2
        shift 2
        rm -f "$work/ready.flag" "$work/done.flag"
        xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
            "$1" explorer /desktop=shot,1024x768 brindle_e2e_driver.exe pose "$2" "$3" \
                "C:\\$5\\ready.flag" "C:\\$5\\done.flag" "${@:6}" &
            for _ in $(seq 600); do [ -f ready.flag ] && break; sleep 0.1; done
            [ -f ready.flag ] && import -window root -crop 680x480+0+0 +repage "$4"
            touch done.flag
            wait
            wineserver -w
        ' shoot "$wine_cmd" "C:\\$folder\\$program" "$state" "$shots/$file" "$folder" "$@"
        [ -s "$shots/$file" ] || { say "no picture of the $state state"; exit 1; }
        say "saved $shots/$file"
    }
    shoot idle main-window-idle.png
    ln -sfn "$tree" "$WINEPREFIX/dosdevices/n:"
    shoot scanning main-window-scanning.png E: N:
    rm -f "$WINEPREFIX/dosdevices/n:"
    shoot about about-box.png
    rm -f "$work/ready.flag" "$work/done.flag" "$work/brindle_e2e_driver.exe"
    exit 0
fi
if [ -n "${DISPLAY:-}" ]; then
    say "starting $program in C:\\Brindlemark (E: is the example folder)"
    set +e
    "$wine_cmd" "$program"
    status=$?
    set -e
    wineserver -w
    say "the program ended with exit code $status"
    exit "$status"
fi

shot=$demo/brindlemark.png
say "no display: running under Xvfb and saving a screenshot to $shot"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    "$1" explorer /desktop=shot,1024x768 "$2" &
    sleep 12
    import -window root "$3"
    wineserver -k
    wait
' run "$wine_cmd" "$program" "$shot" || true
[ -s "$shot" ] || { say "no screenshot was taken"; exit 1; }
say "screenshot saved: $shot"
