#!/usr/bin/env bash
# Builds the scan benchmark for 32-bit Windows (the wine preset's i686
# compilers) and runs it under 32-bit Wine (tests/wine/run-wine.sh) over a
# generated tree of about 100,000 files in 10,000 folders, mapped as drive
# T:. Takes a few minutes; the last line it prints is
#   scan_vs_bare_walk=<a/c> big_vs_small_catalogue=<a/b>
#
#   BENCH_BUILD    binary folder (default <source>/build/wine)
#   BENCH_TREE     where the tree is written (default <build>/bench/tree); a
#                  tree made with the same parameters is reused
#   BENCH_REPEATS  timed rounds of the three runs (default 9)
#   BENCH_VERSIONED  how many of the 100 catalogued names are libraries with
#                  a version resource (default 10, so 30 of the 300 files);
#                  Wine takes about 3 ms to read one file's version
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
source_dir=$(dirname "$here")
build=${BENCH_BUILD:-$source_dir/build/wine}
tree=${BENCH_TREE:-$build/bench/tree}
repeats=${BENCH_REPEATS:-9}
names=100   # catalogued names in the tree
copies=3    # copies of each
versioned=${BENCH_VERSIONED:-10}

cd "$source_dir"
cmake --preset wine -B "$build" >/dev/null
cmake --build "$build" -j2 --target scanbench bench_versioned

# A build folder configured for 64-bit Windows before the preset was 32-bit
# keeps its compilers; 32-bit Wine cannot run what it builds.
/usr/bin/python3 - "$build/bench/scanbench.exe" <<'END'
import struct, sys
data = open(sys.argv[1], "rb").read(4096)
(pe,) = struct.unpack_from("<I", data, 0x3C)
(machine,) = struct.unpack_from("<H", data, pe + 4)
if machine != 0x14C:
    sys.exit("run.sh: %s is not an i386 program (machine 0x%x): make the build folder anew"
             % (sys.argv[1], machine))
END

/usr/bin/python3 "$here/maketree.py" "$tree" --dll "$build/bench/bench_versioned.dll" \
    --top 100 --sub 100 --files 10 --names "$names" --copies "$copies" --versioned "$versioned"

bash "$source_dir/tests/wine/run-wine.sh" --root "$build" --name scanbench \
    --drive "t:$tree" --label t:BENCH --timeout 3600 \
    -- "$build/bench/scanbench.exe" T: "$repeats" "$names" "$copies" "$versioned"
