#!/usr/bin/env bash
# Runs one Windows test program (or a host script that drives Windows
# programs) under Wine, in a prefix of its own, and passes its exit code on.
#
#   run-wine.sh [options] [--] PROGRAM [ARGS...]
#
#   --root DIR        folder that holds wine-template/ and wine-prefixes/
#                     (default: $BRINDLE_WINE_ROOT, else the current folder)
#   --name NAME       name of this test's prefix (default: PROGRAM's base name)
#   --drive L:DIR     map drive L: to DIR; DIR "@empty" is a fresh empty folder
#                     made inside the prefix for this run
#   --label L:TEXT    give drive L: the volume label TEXT (.windows-label)
#   --copy FILE       copy FILE into C:\brindle, beside the program
#   --cwd L:          start the program in the folder of drive L: (C: is
#                     C:\brindle, where the program is)
#   --gui             the program needs a display: run it under xvfb-run -a
#                     when DISPLAY is not set
#   --host            PROGRAM is a host command, run as it is with the
#                     prefix set up; it starts Wine processes itself through
#                     "$BRINDLE_WINE" and finds its files in $BRINDLE_C_DIR
#                     ($BRINDLE_WINVER is the --winver given, if any)
#   --timeout SEC     end the program after SEC seconds (default 240)
#   --winver VER      the Windows version this prefix reports (Wine's names:
#                     win95, win98, winme, nt40, win2k, winxp, ...; default
#                     winxp, as the template has it)
#
# BRINDLE_DRIVES="m:DIR,n:DIR" in the environment adds drives as --drive does.
#
# Everything runs under 32-bit Wine in 32-bit prefixes (WINEARCH=win32): the
# programs tested are the i686 ones that ship.
#
# The template prefix (wine-template/) is made once, under a lock, so that
# tests run in parallel do not both make it. Every run copies it into
# wine-prefixes/NAME (the large builtin libraries as hard links), removes
# every drive but C:, maps the drives asked for, runs the program and ends
# the prefix's wineserver.
set -euo pipefail

die() { echo "run-wine.sh: $*" >&2; exit 125; }

root=${BRINDLE_WINE_ROOT:-$PWD}
name=
gui=0
host=0
timeout_s=240
drives=()
labels=()
copies=()
cwd_drive=c
winver=
while [ $# -gt 0 ]; do
    case $1 in
        --root) root=$2; shift 2 ;;
        --name) name=$2; shift 2 ;;
        --drive) drives+=("$2"); shift 2 ;;
        --label) labels+=("$2"); shift 2 ;;
        --copy) copies+=("$2"); shift 2 ;;
        --cwd) cwd_drive=${2%%:*}; shift 2 ;;
        --gui) gui=1; shift ;;
        --host) host=1; shift ;;
        --timeout) timeout_s=$2; shift 2 ;;
        --winver) winver=$2; shift 2 ;;
        --) shift; break ;;
        -*) die "unknown option $1" ;;
        *) break ;;
    esac
done
[ $# -ge 1 ] || die "no program given"
if [ -n "${BRINDLE_DRIVES:-}" ]; then
    IFS=, read -r -a extra <<<"$BRINDLE_DRIVES"
    drives+=("${extra[@]}")
fi

program=$1
shift
[ -e "$program" ] || [ "$host" = 1 ] || die "no such program: $program"
[ -n "$name" ] || name=$(basename "$program" .exe)

mkdir -p "$root"
root=$(cd "$root" && pwd)
template=$root/wine-template
prefix=$root/wine-prefixes/$name

# 32-bit Wine and the prefix recipe this runner shares with scripts/run.sh.
. "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh"
brindle_wine_env || die "no 32-bit Wine"
wine_cmd=$brindle_wine
export WINEDEBUG=-all

# --- the template, once -------------------------------------------------
# The marker names the Wine version and the recipe: a change of either
# makes the template anew.
make_template() {
    local tmp=$template.tmp
    rm -rf "$tmp" "$template"
    brindle_make_prefix "$tmp" "$root/wine-template.log" ||
        die "could not make the template prefix (see $root/wine-template.log)"
    echo "$brindle_prefix_recipe" >"$tmp/.brindle-template"
    mv "$tmp" "$template"
}
(
    flock 9
    if [ "$(cat "$template/.brindle-template" 2>/dev/null)" != "$brindle_prefix_recipe" ]; then
        make_template
    fi
) 9>"$root/wine-template.lock"

# --- this test's prefix -------------------------------------------------
export WINEPREFIX=$prefix
if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true
    rm -rf "$prefix"
fi
mkdir -p "$root/wine-prefixes"
# Hard links for the builtin libraries and programs, which nothing writes;
# real copies of everything else (registry, ini files, user folders).
cp -a --link "$template" "$prefix"
find "$prefix" -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.drv' \
    -o -iname '*.sys' -o -iname '*.ocx' -o -iname '*.cpl' -o -iname '*.acm' \
    -o -iname '*.ax' -o -iname '*.tlb' -o -iname '*.nls' -o -iname '*.ttf' \) \
    -links +1 -print0 |
    while IFS= read -r -d '' f; do
        cp -p "$f" "$f.copy" && mv -f "$f.copy" "$f"
    done

# Only C: and the drives the test asks for; never a drive that maps "/".
brindle_only_drive_c "$prefix"
declare -A drive_dir=()
for mapping in "${drives[@]}"; do
    letter=$(printf '%s' "${mapping%%:*}" | tr 'A-Z' 'a-z')
    dir=${mapping#*:}
    [[ $letter =~ ^[a-y]$ ]] && [ "$letter" != c ] || die "bad drive $mapping"
    if [ "$dir" = @empty ]; then
        dir=$prefix/drives/$letter
        mkdir -p "$dir"
    fi
    [ -d "$dir" ] || die "drive $letter: has no folder $dir"
    dir=$(cd "$dir" && pwd -P)
    [ "$dir" != / ] || die "drive $letter: may not map /"
    ln -sfn "$dir" "$prefix/dosdevices/$letter:"
    drive_dir[$letter]=$dir
done
for mapping in "${labels[@]}"; do
    letter=$(printf '%s' "${mapping%%:*}" | tr 'A-Z' 'a-z')
    [ -n "${drive_dir[$letter]:-}" ] || die "label for unmapped drive $mapping"
    printf '%s\n' "${mapping#*:}" >"${drive_dir[$letter]}/.windows-label"
done

if [ -n "$winver" ]; then
    "$wine_cmd" reg add 'HKCU\Software\Wine' /v Version /d "$winver" /f >/dev/null 2>&1 ||
        die "could not set the Windows version $winver"
    wineserver -w
fi

cdir=$prefix/drive_c/brindle
mkdir -p "$cdir"
for f in "${copies[@]}"; do
    cp "$f" "$cdir/"
done
if [ "$host" = 0 ]; then
    cp "$program" "$cdir/"
    program=$cdir/$(basename "$program")
fi
case $cwd_drive in
    c|C) workdir=$cdir ;;
    *) workdir=${drive_dir[$(printf '%s' "$cwd_drive" | tr 'A-Z' 'a-z')]:-}
       [ -n "$workdir" ] || die "--cwd names an unmapped drive" ;;
esac

# --- the run ------------------------------------------------------------
export BRINDLE_WINE=$wine_cmd BRINDLE_C_DIR=$cdir BRINDLE_WINVER=$winver
cleanup() { wineserver -k 2>/dev/null || true; }
trap cleanup EXIT
trap 'exit 143' TERM INT

# The prefix's wineserver (and the desktop process it started) ends inside
# the display's lifetime, before xvfb-run takes the display away.
run=(bash -c '"$@"; rc=$?; wineserver -k 2>/dev/null; exit $rc' run-wine
     timeout --kill-after=10 "$timeout_s")
if [ "$host" = 1 ]; then
    run+=("$program")
else
    run+=("$wine_cmd" "$program")
fi
if [ "$gui" = 1 ] && [ -z "${DISPLAY:-}" ]; then
    run=(xvfb-run -a -s "-screen 0 1024x768x24" "${run[@]}")
fi

set +e
(cd "$workdir" && "${run[@]}" "$@")
status=$?
set -e
[ "$status" -ne 124 ] || echo "run-wine.sh: $name timed out after ${timeout_s}s" >&2
exit "$status"
