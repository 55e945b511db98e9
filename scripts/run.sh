#!/usr/bin/env bash
# Builds Brindlemark for Windows and starts its demonstration build under
# Wine, in a prefix of its own, on the example folder:
#
#   bash scripts/run.sh
#
# - installs what is missing (scripts/setup.sh);
# - builds with the wine preset (into build/wine, or $BRINDLE_BUILD_DIR);
# - prepares build/demo/prefix (or $BRINDLE_DEMO_DIR/prefix): a Windows
#   version the program accepts (Windows XP x64, which reports version 5.2),
#   drive E: mapped to the example folder, and no drive mapped to /;
# - copies the program, readme.txt and the example DataFile.txt into
#   C:\Brindlemark and starts the program there.
#
# With a display (DISPLAY set) the program opens on it and the script waits
# until you close it. Without one it runs under Xvfb for a few seconds and
# saves a screenshot of the main window as build/demo/brindlemark.png.
#
# The demonstration build differs from the product VQBRDM32.EXE only in its
# processor check, which answers as the processor the product requires, so
# that the program can be seen on an ordinary machine. The product itself
# (build/wine/bin/VQBRDM32.EXE) tells you on such a machine that it needs
# that processor, and ends.
set -euo pipefail

cd "$(dirname "$0")/.."
repo=$PWD
build=${BRINDLE_BUILD_DIR:-$repo/build/wine}
demo=${BRINDLE_DEMO_DIR:-$repo/build/demo}
program=brindlemark-simulated-cpu-demo.exe

say() { printf 'run.sh: %s\n' "$*"; }

# --- what is needed ------------------------------------------------------
missing=0
for tool in cmake ninja x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-windres wine wineserver; do
    command -v "$tool" >/dev/null 2>&1 || missing=1
done
if [ -z "${DISPLAY:-}" ]; then
    for tool in xvfb-run import; do
        command -v "$tool" >/dev/null 2>&1 || missing=1
    done
fi
if [ "$missing" = 1 ]; then
    say "installing what is missing (scripts/setup.sh)"
    bash scripts/setup.sh
fi

wine_cmd=$(command -v wine64 || true)
[ -n "$wine_cmd" ] || [ ! -x /usr/lib/wine/wine64 ] || wine_cmd=/usr/lib/wine/wine64
[ -n "$wine_cmd" ] || wine_cmd=$(command -v wine)
export WINELOADER=$wine_cmd
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="

# --- the build -----------------------------------------------------------
say "building (wine preset) in $build"
cmake --preset wine -B "$build" >/dev/null
cmake --build "$build" -j2 --target brindlemark_demo brindle_examples

# --- the prefix ----------------------------------------------------------
export WINEPREFIX=$demo/prefix
mkdir -p "$demo"
if [ ! -f "$WINEPREFIX/.brindle-demo" ]; then
    say "preparing the Wine prefix $WINEPREFIX (once; takes a minute)"
    rm -rf "$WINEPREFIX"
    (
        unset DISPLAY
        wineboot -i >"$demo/prefix.log" 2>&1
        "$wine_cmd" winecfg /v winxp64 >>"$demo/prefix.log" 2>&1
        wineserver -w
    )
    touch "$WINEPREFIX/.brindle-demo"
fi
wineserver -k 2>/dev/null || true

# Only C: and the example drive E:. Wine maps Z: to / by default, and a
# ticked Z: would have the scan walk the whole machine.
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name '?:' -type l ! -name 'c:' -delete
find "$WINEPREFIX/dosdevices" -maxdepth 1 -name '?::' -delete
ln -sfn "$build/examples/drive" "$WINEPREFIX/dosdevices/e:"

# --- the working folder -------------------------------------------------
work=$WINEPREFIX/drive_c/Brindlemark
mkdir -p "$work"
cp "$build/bin/$program" "$build/bin/readme.txt" "$build/examples/DataFile.txt" "$work/"

# --- the run ------------------------------------------------------------
cd "$work"
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
