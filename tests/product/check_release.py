#!/usr/bin/python3
"""The release archive holds exactly what ships.

    check_release.py --cpack CPACK --config CPackConfig.cmake --work DIR
                     --version-header resource.h --forbid NAME
                     --member NAME=FILE [--member NAME=FILE...]

Makes the archive with CPack into DIR (emptied first), as the build's
`package` target does, then fails (exit 1) when:
- it is not named brindlemark-<version>-win32.zip, the version being the one
  BRINDLE_VERSION_DOTTED gives in the resource header;
- a member is missing, or there is any member beyond those named;
- a member differs from the file it comes from (the program must be the
  product built, not another executable);
- a member is the forbidden one (the simulated-processor program), or any
  executable other than a named member;
- the catalogue (DataFile.txt) does not say in a comment that it is an example.
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import zipfile


def read_version(header):
    with open(header, encoding="latin-1") as f:
        for line in f:
            m = re.match(r'#define\s+BRINDLE_VERSION_DOTTED\s+"([0-9.]+)"', line)
            if m:
                return m.group(1)
    raise SystemExit("%s: no BRINDLE_VERSION_DOTTED" % header)


def inspect(archive, members, forbidden):
    """Problems found in the zip file `archive`; members maps name -> bytes."""
    problems = []
    with zipfile.ZipFile(archive) as z:
        names = [info.filename for info in z.infolist() if not info.is_dir()]
        for name in names:
            base = name.rsplit("/", 1)[-1]
            if base.lower() == forbidden.lower():
                problems.append("%s: the simulated-processor program must never ship" % name)
            elif name not in members:
                problems.append("%s: %s" % (name, "an executable other than the product"
                                            if base.lower().endswith(".exe")
                                            else "not a member of the release"))
        for name, expected in members.items():
            if name not in names:
                problems.append("%s: missing" % name)
                continue
            data = z.read(name)
            if data != expected:
                problems.append("%s: differs from the file it comes from (%d bytes, expected %d)"
                                % (name, len(data), len(expected)))
        if "DataFile.txt" in names:
            comments = [line for line in z.read("DataFile.txt").decode("latin-1").splitlines()
                        if line.startswith("#")]
            if not any("example" in line.lower() for line in comments):
                problems.append("DataFile.txt: no comment says that it is an example")
    return problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cpack", required=True)
    parser.add_argument("--config", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--version-header", required=True)
    parser.add_argument("--forbid", required=True)
    parser.add_argument("--member", action="append", required=True)
    args = parser.parse_args(argv)

    members = {}
    for member in args.member:
        name, _, path = member.partition("=")
        with open(path, "rb") as f:
            members[name] = f.read()

    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    run = subprocess.run([args.cpack, "--config", args.config, "-B", args.work],
                         capture_output=True, text=True)
    if run.returncode != 0:
        print(run.stdout + run.stderr)
        print("FAIL cpack exited with %d" % run.returncode)
        return 1

    expected = "brindlemark-%s-win32.zip" % read_version(args.version_header)
    made = sorted(f for f in os.listdir(args.work) if f.endswith(".zip"))
    if made != [expected]:
        print("FAIL archives made: %s; expected exactly %s" % (made or "none", expected))
        return 1
    archive = os.path.join(args.work, expected)
    problems = inspect(archive, members, args.forbid)
    with zipfile.ZipFile(archive) as z:
        for info in z.infolist():
            print("  %-14s %8d bytes" % (info.filename, info.file_size))
    for problem in problems:
        print("FAIL %s: %s" % (expected, problem))
    if problems:
        return 1
    print("ok: %s (%d bytes) holds %s" % (expected, os.path.getsize(archive), ", ".join(members)))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
