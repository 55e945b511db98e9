#!/usr/bin/python3
"""What the program called in a run under Wine's relay trace.

    check_relay.py --trace FILE --exe EXE --system-dir DIR
                   --table win-targets.tsv --exceptions import-exceptions.tsv
                   [--expect FUNCTION=MIN ...]

The trace is Wine's standard error under WINEDEBUG=+pid,+relay,+loaddll,
with lines such as

    0110:0114:trace:loaddll:build_module Loaded L"C:\\brindle\\x.exe" at 00400000: native
    0110:0114:Call KERNEL32.CreateThread(00000000,00000000,00404640,...) ret=00402f3c
    0110:0114:Ret  KERNEL32.CreateThread() retval=00000088 ret=00402f3c
    0110:0114:Call window proc 00401B20 (hwnd=00010068,msg=WM_CREATE,...)

(process id, thread id, then the event). The program's process is the one
whose loaddll line loads EXE; its image spans SizeOfImage bytes from where
it was loaded. The program's own calls are the calls of that process whose
return address lies in the image, and the calls made directly inside one of
its window procedures, dialog procedures or TLS callbacks (a call made as
the procedure's last act, a jump through the import slot, returns straight
to the procedure's caller in Wine).

Fails (exit 1) when:
- the trace has no process that loaded EXE, or more than one, or its relay
  settings leave out a DLL that EXE imports;
- a function the program called is not Y (exported and implemented) on both
  Windows 95 and NT 4 in the table, unless import-exceptions.tsv allows it
  and the call is the one its reason describes: the reason quotes the call
  as Function(L"argument"), and the traced first argument must be that;
- CreateThread is called with no thread id pointer (its last argument 0:
  Windows 95 and 98 then fail the call);
- PeekMessageA is given a flag other than PM_REMOVE (1) and PM_NOYIELD (2)
  (the PM_QS_* flags do not exist on Windows 95 and NT 4);
- a function in --expect was called fewer times than its minimum (default
  CreateThread=2 and FindFirstFileA=1): a trace that missed the program's
  calls cannot pass.

Calls that reach a function of another DLL through a forwarding export
(kernel32's EnterCriticalSection is ntdll's RtlEnterCriticalSection) are
named after the export the program imports, found in the export tables of
the DLLs in --system-dir.

Prints every function the program called, with its count and its status on
95 and NT 4, the program's threads and the names it looked up with
GetProcAddress.
"""

import argparse
import collections
import os
import re
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "product"))
from check_imports import load_exceptions, load_targets  # noqa: E402
from pe_image import (DIRECTORY_BASERELOC, DIRECTORY_EXPORT, PE32_MAGIC,  # noqa: E402
                      PeError, PeImage)

CHECKED_TARGETS = ("95", "NT4")
PM_REMOVE = 1
PM_NOYIELD = 2
DEFAULT_EXPECT = {"CreateThread": 2, "FindFirstFileA": 1}
IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040

PREFIX = re.compile(r"^([0-9a-f]{4,8}):([0-9a-f]{4,8}):(.*)$")
CALL = re.compile(r"^Call ([A-Za-z0-9_]+)\.([^\s(]+)\((.*)\) ret=([0-9a-f]{8})$")
RET = re.compile(r"^Ret  ([A-Za-z0-9_]+)\.([^\s(]+)\(\) retval=([0-9a-f]{8}) ret=([0-9a-f]{8})$")
CALLBACK_CALL = re.compile(r"^Call (window proc|dialog proc) ([0-9A-Fa-f]{8}) ")
CALLBACK_RET = re.compile(r"^Ret  (window proc|dialog proc) ([0-9A-Fa-f]{8}) ")
TLS_CALL = re.compile(r"^Call TLS callback \(proc=([0-9A-Fa-f]{8}),")
TLS_RET = re.compile(r"^Ret  TLS callback \(proc=([0-9A-Fa-f]{8}),")
THREAD_START = re.compile(r"^Starting thread proc ([0-9A-Fa-f]{8}) ")
LOADED = re.compile(r'^trace:loaddll:\w+ Loaded L"(.*)" at ([0-9A-Fa-f]{8}): ')
RELAY_INCLUDE = re.compile(r'^trace:relay:load_list L"RelayInclude" = L"(.*)"$')


class Image:
    """What the check needs of the program's executable."""

    def __init__(self, path):
        with open(path, "rb") as f:
            data = f.read()
        pe = PeImage(data)
        if pe.magic != PE32_MAGIC:
            raise PeError("not a PE32 image")
        self.base = pe.image_base
        self.size = pe.image_size
        self.dll_characteristics = pe.dll_characteristics
        self.relocations = (not pe.characteristics & IMAGE_FILE_RELOCS_STRIPPED
                            and pe.directory(DIRECTORY_BASERELOC)[1] > 0)
        self.name = os.path.basename(path)
        self.imports = {(dll.upper(), name) for dll, names in pe.imports()
                        for name in names if isinstance(name, str)}
        self.dlls = {dll for dll, _ in self.imports}


def forwarders(path):
    """{(target DLL, target function): [export name, ...]} of one DLL."""
    with open(path, "rb") as f:
        pe = PeImage(f.read())
    rva, size = pe.directory(DIRECTORY_EXPORT)
    result = collections.defaultdict(list)
    if not rva:
        return result
    start = pe.offset(rva)
    (_, count_names, functions, names, ordinals) = struct.unpack_from("<IIIII", pe.data, start + 20)
    for i in range(count_names):
        name_rva = pe.u32(names + 4 * i)
        (index,) = struct.unpack_from("<H", pe.data, pe.offset(ordinals) + 2 * i)
        address = pe.u32(functions + 4 * index)
        if rva <= address < rva + size:  # a forwarder: "DLL.Function"
            target = pe.string(address)
            dll, _, function = target.partition(".")
            result[(dll.upper() + ".DLL", function)].append(pe.string(name_rva))
    return result


def load_forwarders(system_dir, dlls):
    """{(target DLL, function): [(exporting DLL, export), ...]} over dlls
    and the DLLs their forwarders lead to (kernel32 to kernelbase to ntdll)."""
    result = collections.defaultdict(list)
    files = {name.lower(): name for name in os.listdir(system_dir)}
    pending = sorted(dlls)
    done = set()
    while pending:
        dll = pending.pop()
        if dll in done:
            continue
        done.add(dll)
        name = files.get(dll.lower())
        if name is None:
            if dll in dlls:
                raise SystemExit("%s: no %s" % (system_dir, dll))
            continue  # a 16-bit module, say: nothing the program imports
        for target, exports in forwarders(os.path.join(system_dir, name)).items():
            result[target] += [(dll, export) for export in exports]
            if target[0] not in done:
                pending.append(target[0])
    return result


def split_arguments(text):
    """A relay argument list split at its top-level commas (strings such as
    "a,b" or L"a,b" stay whole)."""
    arguments = []
    current = []
    quoted = False
    escaped = False
    for c in text:
        if quoted:
            current.append(c)
            if escaped:
                escaped = False
            elif c == "\\":
                escaped = True
            elif c == '"':
                quoted = False
        elif c == '"':
            quoted = True
            current.append(c)
        elif c == ",":
            arguments.append("".join(current))
            current = []
        else:
            current.append(c)
    if current or arguments:
        arguments.append("".join(current))
    return arguments


def argument_value(argument):
    """The number an argument starts with (a pointer or a value)."""
    return int(argument.split()[0], 16)


def argument_string(argument):
    """The string the relay shows beside a pointer argument, as written
    (L"msvcrt.dll" or "VQBRDM32ClASS"), or None."""
    match = re.search(r'(L?"(?:[^"\\]|\\.)*")', argument)
    return match.group(1) if match else None


class Call:
    def __init__(self, thread, dll, function, arguments, ret, tail):
        self.thread = thread
        self.dll = dll
        self.function = function
        self.arguments = arguments
        self.ret = ret
        self.tail = tail


def read_trace(lines, exe_name):
    """(process, load address, RelayInclude setting, raw calls, threads,
    problems) for the one process that loaded exe_name. A raw call is
    (thread, dll, function, arguments, return address, innermost frame)."""
    loads = []
    parsed = []
    for line in lines:
        match = PREFIX.match(line.rstrip("\r\n"))
        if not match:
            continue
        process, thread, event = match.groups()
        parsed.append((process, thread, event))
        loaded = LOADED.match(event)
        if loaded and loaded.group(1).split("\\")[-1].lower() == exe_name.lower():
            loads.append((process, int(loaded.group(2), 16)))
    if len(loads) != 1:
        return None, None, None, [], {}, [
            "%d processes loaded %s in the trace, expected exactly one "
            "(is +loaddll on, was the program started once?)" % (len(loads), exe_name)]
    process, base = loads[0]
    include, calls, threads = _read_process(parsed, process)
    return process, base, include, calls, threads, []


def _read_process(parsed, process):
    include = None
    calls = []
    threads = {}
    stacks = collections.defaultdict(list)  # thread: [(kind, name or address)]
    for pid, thread, event in parsed:
        if pid != process:
            continue
        stack = stacks[thread]
        match = CALL.match(event)
        if match:
            dll, function, arguments, ret = match.groups()
            calls.append((thread, dll, function, split_arguments(arguments), int(ret, 16),
                          stack[-1] if stack else None))
            stack.append(("call", dll.upper() + "." + function))
            continue
        match = RET.match(event)
        if match:
            name = match.group(1).upper() + "." + match.group(2)
            while stack and stack.pop() != ("call", name):
                pass
            continue
        match = CALLBACK_CALL.match(event) or TLS_CALL.match(event)
        if match:
            stack.append(("callback", int(match.groups()[-1], 16)))
            continue
        match = CALLBACK_RET.match(event) or TLS_RET.match(event)
        if match:
            frame = ("callback", int(match.groups()[-1], 16))
            while stack and stack.pop() != frame:
                pass
            continue
        match = THREAD_START.match(event)
        if match:
            threads[thread] = int(match.group(1), 16)
            continue
        match = RELAY_INCLUDE.match(event)
        if match and include is None:
            include = match.group(1)
    return include, calls, threads


def own_calls(raw_calls, base, size):
    """([Call] the program made, number of other calls in its process)."""
    inside = lambda address: base <= address < base + size  # noqa: E731
    own = []
    foreign = 0
    for thread, dll, function, arguments, ret, frame in raw_calls:
        if inside(ret):
            own.append(Call(thread, dll, function, arguments, ret, False))
        elif frame is not None and frame[0] == "callback" and inside(frame[1]):
            own.append(Call(thread, dll, function, arguments, ret, True))
        else:
            foreign += 1
    return own, foreign


def relay_gaps(include, dlls):
    """The imported DLLs that the RelayInclude list does not trace."""
    if include is None:
        return ["no RelayInclude setting in the trace (is +relay on?)"]
    entries = [entry.strip().lower() for entry in include.split(";")]
    gaps = []
    for dll in sorted(dlls):
        module = dll.lower()[:-4] if dll.lower().endswith(".dll") else dll.lower()
        if not any(entry in (module + ".*", dll.lower() + ".*") for entry in entries):
            gaps.append("RelayInclude does not trace %s (it needs \"%s.*\")" % (dll, module))
    return gaps


def resolve(call, imports, table, forwarded):
    """[(dll, function)] the call may stand for: the import it came through.
    A function reached through forwarding exports stands for the exports
    that lead to it: those the program imports, else those the table knows."""
    key = (call.dll.upper() + ".DLL", call.function)
    if key in imports or key in table:
        return [key]
    leading = []
    pending = [key]
    while pending:
        for export in forwarded.get(pending.pop(), []):
            if export not in leading:
                leading.append(export)
                pending.append(export)
    return ([k for k in leading if k in imports] or [k for k in leading if k in table]
            or [key])


def exception_allows(reason, function, call):
    """Whether the reason quotes this call: Function(L"argument") with the
    traced first argument."""
    quoted = re.findall(r"\b%s\((L?\"[^\"]*\")\)" % re.escape(function), reason)
    if not quoted or not call.arguments:
        return False, quoted
    seen = argument_string(call.arguments[0])
    return seen is not None and seen.lower() in (q.lower() for q in quoted), quoted


def judge(calls, imports, table, exceptions, forwarded, expect):
    """(report lines, problems) for the program's calls."""
    lines = []
    problems = []
    counts = collections.Counter()
    tails = collections.Counter()
    meant = {}
    for call in calls:
        keys = resolve(call, imports, table, forwarded)
        for key in keys:
            counts[key] += 1
            meant.setdefault(key, "%s.%s" % (call.dll, call.function))
            if call.tail:
                tails[key] += 1
        names = {function for _, function in keys}
        where = "thread %s, ret=%08x" % (call.thread, call.ret)
        if "CreateThread" in names and (len(call.arguments) != 6 or argument_value(call.arguments[5]) == 0):
            problems.append((("CreateThread",), "CreateThread(%s) without a thread id pointer (%s): fails on 95 and 98"
                             % (",".join(call.arguments), where)))
        if "PeekMessageA" in names:
            flags = argument_value(call.arguments[4]) if len(call.arguments) == 5 else None
            if flags is None or flags & ~(PM_REMOVE | PM_NOYIELD):
                problems.append((("PeekMessageA",), "PeekMessageA(%s): flags beyond PM_REMOVE/PM_NOYIELD (%s)"
                                 % (",".join(call.arguments), where)))
        for key in keys:
            row = table.get(key)
            states = [row[t] for t in CHECKED_TARGETS] if row else None
            if states == ["Y"] * len(CHECKED_TARGETS):
                continue
            if key in exceptions and states is not None and "N" not in states:
                allowed, quoted = exception_allows(exceptions[key], key[1], call)
                if allowed:
                    continue
                problems.append((key, "%s!%s(%s) (%s): allowed only as the call %s (import-exceptions.tsv)"
                                 % (key[0], key[1], ",".join(call.arguments), where,
                                    " or ".join("%s(%s)" % (key[1], q) for q in quoted) or
                                    "that its reason quotes, and it quotes none")))
                continue
            if row is None:
                problems.append((key, "%s!%s (traced as %s.%s, %s): not in the table of what each target exports"
                                 % (key[0], key[1], call.dll, call.function, where)))
            else:
                problems.append((key, "%s!%s (%s): %s" % (key[0], key[1], where, ", ".join(
                    "%s %s" % (t, {"S": "a failing stub", "N": "missing", "?": "not established"}[s])
                    for t, s in zip(CHECKED_TARGETS, states) if s != "Y"))))
    # Each kind of problem once, the first call shown, with how often it recurred.
    recurring = collections.Counter(group for group, _ in problems)
    shown = set()
    unique = []
    for group, message in problems:
        if group not in shown:
            shown.add(group)
            more = recurring[group] - 1
            unique.append(message + (" [and %d more such calls]" % more if more else ""))
    problems = unique

    by_name = collections.Counter()
    for (dll, function), n in counts.items():
        by_name[function] += n
    for function, minimum in sorted(expect.items()):
        if by_name[function] < minimum:
            problems.append("%s called %d times, expected at least %d: the trace missed the program's calls"
                            % (function, by_name[function], minimum))

    lines.append("%-14s %-34s %7s  %-3s %-3s  %s" % ("dll", "function", "calls", "95", "NT4", "traced as"))
    for key in sorted(counts):
        row = table.get(key)
        status = [row[t] if row else "-" for t in CHECKED_TARGETS]
        traced = meant[key]
        note = " (%d as a tail call)" % tails[key] if tails[key] else ""
        lines.append("%-14s %-34s %7d  %-3s %-3s  %s%s" % (key[0], key[1], counts[key], status[0],
                                                           status[1], traced, note))
    lines.append("%d calls to %d functions" % (sum(counts.values()), len(counts)))
    return lines, problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--trace", required=True)
    parser.add_argument("--exe", required=True)
    parser.add_argument("--system-dir", required=True)
    parser.add_argument("--table", required=True)
    parser.add_argument("--exceptions", required=True)
    parser.add_argument("--expect", action="append", default=[], metavar="FUNCTION=MIN")
    args = parser.parse_args(argv)
    expect = dict(DEFAULT_EXPECT)
    for item in args.expect:
        function, _, minimum = item.partition("=")
        expect[function] = int(minimum)

    image = Image(args.exe)
    table = load_targets(args.table)
    exceptions = load_exceptions(args.exceptions)
    forwarded = load_forwarders(args.system_dir, image.dlls)
    with open(args.trace, encoding="latin-1") as f:
        process, base, include, raw_calls, threads, problems = read_trace(f, image.name)
    if process is not None:
        print("%s: process %s, loaded at %08x (linked at %08x), %d bytes"
              % (image.name, process, base, image.base, image.size))
        if base != image.base:
            # Where the loader put it is what counts; say so, since return
            # addresses then differ from a disassembly's.
            print("note: the image was relocated (relocations %s, dynamic base %s)"
                  % ("present" if image.relocations else "absent",
                     "on" if image.dll_characteristics & IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE else "off"))
        problems += relay_gaps(include, image.dlls)
        calls, foreign = own_calls(raw_calls, base, image.size)
        lines, call_problems = judge(calls, image.imports, table, exceptions, forwarded, expect)
        problems += call_problems
        for line in lines:
            print(line)
        print("calls in the process from outside the image (Wine's own): %d" % foreign)
        own_threads = sorted(t for t, proc in threads.items() if base <= proc < base + image.size)
        print("threads started at a procedure of the image: %d (%s)"
              % (len(own_threads), ", ".join(own_threads)))
        looked_up = sorted({argument_string(c.arguments[1]) or c.arguments[1] for c in calls
                            if c.function == "GetProcAddress" and len(c.arguments) == 2})
        print("looked up with GetProcAddress: %s" % (", ".join(looked_up) or "nothing"))
    for problem in problems:
        print("FAIL %s" % problem)
    if problems:
        return 1
    print("ok: every call of the program exists and works on %s" % " and ".join(CHECKED_TARGETS))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
