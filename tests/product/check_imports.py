#!/usr/bin/python3
"""What the Windows loader of every target system meets in an executable.

    check_imports.py --table win-targets.tsv --exceptions import-exceptions.tsv
                     EXE... [--nm NM --own FILE...]

Reads each EXE's PE headers and import table and fails (exit 1) on:
- a machine other than i386, an image other than PE32, a subsystem other
  than the Windows GUI, subsystem or operating-system version other than
  4.0 (Windows 95 and NT 4 refuse later ones; the build states 4.0);
- an imported DLL that is not one of the system's own (those in the table);
- an import by ordinal, a delay-loaded import;
- an imported function that the table does not list as Y (exported and
  implemented) on all of 95, NT4, 98, 2K and Me, unless the exceptions list
  allows it; an exception that is N on any target is refused all the same.
With --own, also fails when one of those object files or libraries (the
program's own code) refers to an allowed exception: those are for the
runtime, whose fallback was checked, not for new calls of ours.

Prints each DLL's imports with their status on every target.
"""

import argparse
import os
import subprocess
import sys

TARGETS = ("95", "NT4", "98", "2K", "Me")

IMAGE_FILE_MACHINE_I386 = 0x14C
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import (DIRECTORY_DELAY_IMPORT, PE32_MAGIC, PeError,  # noqa: E402,F401
                      PeImage)


def read_table(path, columns):
    """Rows of a tab-separated file with '#' comments and one header line."""
    rows = []
    header = None
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            cells = line.split("\t")
            if header is None:
                header = cells
                if header[:len(columns)] != list(columns):
                    raise SystemExit("%s: header %r, expected %r" % (path, header, columns))
                continue
            if len(cells) != len(header):
                raise SystemExit("%s:%d: %d cells, expected %d" % (path, number, len(cells), len(header)))
            rows.append(dict(zip(header, cells)))
    return rows


def load_targets(path):
    table = {}
    for row in read_table(path, ("dll", "function") + TARGETS + ("source",)):
        key = (row["dll"].upper(), row["function"])
        if key in table:
            raise SystemExit("%s: %s!%s listed twice" % (path, *key))
        table[key] = row
    return table


def load_exceptions(path):
    return {(row["dll"].upper(), row["function"]): row["reason"]
            for row in read_table(path, ("dll", "function", "reason"))}


def check_headers(image):
    problems = []
    if image.machine != IMAGE_FILE_MACHINE_I386:
        problems.append("machine 0x%x, not i386 (0x14c)" % image.machine)
    if image.magic != PE32_MAGIC:
        problems.append("optional header magic 0x%x, not PE32 (0x10b)" % image.magic)
        return problems
    if image.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        problems.append("subsystem %d, not the Windows GUI (2)" % image.subsystem)
    for what, major, minor in (("subsystem", image.major_subsystem, image.minor_subsystem),
                               ("operating system", image.major_os, image.minor_os)):
        if (major, minor) != (4, 0):
            problems.append("%s version %d.%d, not 4.0%s" % (
                what, major, minor,
                " (Windows 95 and NT 4 refuse it)" if (major, minor) > (4, 0) else ""))
    delay_rva, delay_size = image.directory(DIRECTORY_DELAY_IMPORT)
    if delay_rva and delay_size:
        problems.append("delay-loaded imports present: not checked, not expected")
    return problems


def check_imports(imports, table, exceptions):
    """(report lines, problems) for the imports of one image."""
    system_dlls = {dll for dll, _ in table}
    lines = []
    problems = []
    used_exceptions = set()
    for dll, names in imports:
        key_dll = dll.upper()
        lines.append("%s (%d)" % (dll, len(names)))
        if key_dll not in system_dlls:
            problems.append("%s: not one of the system's DLLs (%s)" % (dll, ", ".join(sorted(system_dlls))))
            continue
        for name in names:
            if isinstance(name, int):
                problems.append("%s: import by ordinal %d" % (dll, name))
                lines.append("  #%d  by ordinal" % name)
                continue
            row = table.get((key_dll, name))
            if row is None:
                problems.append("%s!%s: not in the table of what each target exports" % (dll, name))
                lines.append("  %-34s not in the table" % name)
                continue
            states = [row[t] for t in TARGETS]
            lines.append("  %-34s %s  %s" % (name, " ".join("%s:%s" % (t, s) for t, s in zip(TARGETS, states)), row["source"]))
            if all(s == "Y" for s in states):
                continue
            where = ", ".join("%s %s" % (t, {"S": "a failing stub", "N": "missing", "?": "not established"}.get(s, s))
                              for t, s in zip(TARGETS, states) if s != "Y")
            if (key_dll, name) in exceptions:
                if "N" in states:
                    problems.append("%s!%s: allowed as an exception but missing on a target (%s): the loader refuses the program" % (dll, name, where))
                else:
                    used_exceptions.add((key_dll, name))
                    lines.append("    allowed: %s" % exceptions[(key_dll, name)])
                continue
            problems.append("%s!%s: %s" % (dll, name, where))
    return lines, problems, used_exceptions


def own_references(nm, files, exceptions):
    """Problems for each allowed exception that the program's own code uses."""
    problems = []
    wanted = {function for _, function in exceptions}
    for path in files:
        out = subprocess.run([nm, "-u", path], check=True, capture_output=True, text=True).stdout
        for line in out.splitlines():
            symbol = line.split()[-1] if line.split() else ""
            # __imp__Name@n (a call through the import slot) or _Name@n.
            base = symbol
            for prefix in ("__imp__", "__imp_", "_"):
                if base.startswith(prefix):
                    base = base[len(prefix):]
                    break
            base = base.split("@")[0]
            if base in wanted:
                problems.append("%s refers to %s: allowed for the runtime's fallback only" % (path, symbol))
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--table", required=True)
    parser.add_argument("--exceptions", required=True)
    parser.add_argument("--nm")
    parser.add_argument("--own", nargs="+", action="extend", default=[])
    parser.add_argument("images", nargs="+")
    args = parser.parse_args(argv)

    table = load_targets(args.table)
    exceptions = load_exceptions(args.exceptions)
    failed = 0
    for path in args.images:
        with open(path, "rb") as f:
            data = f.read()
        print("== %s (%d bytes)" % (path, len(data)))
        try:
            image = PeImage(data)
            problems = check_headers(image)
            lines, import_problems, _ = check_imports(image.imports(), table, exceptions) if image.magic == PE32_MAGIC else ([], [], set())
            problems += import_problems
        except PeError as e:
            lines, problems = [], ["unreadable image: %s" % e]
        for line in lines:
            print(line)
        for problem in problems:
            print("FAIL %s: %s" % (path, problem))
        if problems:
            failed += 1
        else:
            print("ok: every import present on %s" % ", ".join(TARGETS))
    if args.own:
        if not args.nm:
            parser.error("--own needs --nm")
        # CMake passes an object library's files as one ;-separated argument.
        own = [path for arg in args.own for path in arg.split(";") if path]
        problems = own_references(args.nm, own, exceptions)
        for problem in problems:
            print("FAIL %s" % problem)
        if problems:
            failed += 1
        else:
            print("ok: the program's own code calls none of the exceptions (%d files)" % len(own))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
