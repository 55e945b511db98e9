#!/usr/bin/python3
"""Writes the scan benchmark's tree on the host, in a folder that run.sh
maps as a Wine drive.

TOP folders of SUB folders each, FILES files in every leaf folder. Of the
files, NAMES names (lib000.dll, lib001.dll, ...) appear COPIES times each,
spread evenly over the leaves; the first VERSIONED names are copies of a
library with a version resource, the others 16-byte files. Every other file
is empty and named uniquely. A stamp beside the folder keeps a finished tree
for the next run with the same parameters.
"""
import argparse
import os
import shutil
import sys


def main():
    p = argparse.ArgumentParser()
    p.add_argument("folder")
    p.add_argument("--dll", required=True, help="library with a version resource")
    p.add_argument("--top", type=int, default=100)
    p.add_argument("--sub", type=int, default=100)
    p.add_argument("--files", type=int, default=10)
    p.add_argument("--names", type=int, default=100)
    p.add_argument("--copies", type=int, default=3)
    p.add_argument("--versioned", type=int, default=50)
    a = p.parse_args()

    folder = os.path.abspath(a.folder)
    stamp_path = folder + ".stamp"
    stamp = repr((a.top, a.sub, a.files, a.names, a.copies, a.versioned, os.path.getsize(a.dll)))
    if os.path.isdir(folder) and os.path.exists(stamp_path) and open(stamp_path).read() == stamp:
        print(f"maketree: reusing {folder}")
        return 0
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)

    leaves = a.top * a.sub
    placed = a.names * a.copies
    if placed > leaves:
        sys.exit("maketree: more catalogued files than leaf folders")
    step = leaves // placed
    catalogued = {}  # leaf index -> catalogued name
    for k in range(a.names):
        for c in range(a.copies):
            catalogued[(k * a.copies + c) * step] = k

    serial = 0
    for t in range(a.top):
        for s in range(a.sub):
            leaf = t * a.sub + s
            d = os.path.join(folder, f"top{t:03d}", f"sub{s:03d}")
            os.makedirs(d)
            for f in range(a.files):
                if f == a.files // 2 and leaf in catalogued:
                    k = catalogued[leaf]
                    target = os.path.join(d, f"lib{k:03d}.dll")
                    if k < a.versioned:
                        shutil.copyfile(a.dll, target)
                    else:
                        with open(target, "wb") as out:
                            out.write(b"x" * 16)
                else:
                    open(os.path.join(d, f"file{serial:06d}.dat"), "wb").close()
                serial += 1
    with open(stamp_path, "w") as out:
        out.write(stamp)
    print(f"maketree: {a.top + leaves} folders, {serial} files, {placed} catalogued, in {folder}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
