#!/usr/bin/python3
"""Shows that pre_gate_instructions.py finds what it must find.

    pre_gate_instructions_fixtures.py IMAGE MAP

Takes a built program that passes the check and patches copies of it in
memory, one fault per case: an instruction the i386 lacks at the entry
point, deep in the gate, and in a TLS callback; CPUID outside its helper,
and the helper called from elsewhere; an indirect call; a call, and a table
entry, that make a guarded indirect call unsafe; a pseudo-relocation of
reached code; an entry point that is the runtime's own. Each copy must fail
with the expected finding at the patched place, and the unpatched image
must pass. Exit code 0 when every case holds.
"""

import os
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pre_gate_instructions as checker  # noqa: E402


def call_rel32(at, target):
    return b"\xE8" + struct.pack("<i", target - (at + 5))


def run(data, link):
    """The findings for `data`, a Finding raised before the walk included."""
    try:
        findings, _ = checker.check(checker.Image(bytes(data)), link)
        return findings
    except checker.Finding as e:
        return ["%s" % e]


def main(argv):
    if len(argv) != 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        original = f.read()
    with open(argv[2], encoding="utf-8", errors="replace") as f:
        map_text = f.read()
    link = checker.LinkMap(map_text)
    image = checker.Image(original)

    entry = image.entry
    identify = link.find("IdentifyProcessor(")
    cpuid_helper = link.find(checker.CPUID_HELPER)
    tls = image.tls_callbacks[0] if image.tls_callbacks else None
    key_dtor = link.symbols.get("__mingwthr_key_dtor")
    handover = link.find(checker.HANDOVER_SYMBOL)

    # (label, [(address, bytes)] or a header patch, expected text, where)
    cases = [
        ("CMOV at the entry point", [(entry, b"\x0F\x44\xC0")], "cmove", entry),
        ("BSWAP (486) at the entry point", [(entry, b"\x0F\xC8")], "bswap", entry),
        ("XADD (486) at the entry point", [(entry, b"\x0F\xC1\xC0")], "xadd", entry),
        ("multi-byte NOP at the entry point", [(entry, b"\x0F\x1F\x00")], "multi-byte NOP", entry),
        ("SSE move at the entry point", [(entry, b"\x0F\x28\xC1")], "movaps", entry),
        ("RDTSC at the entry point", [(entry, b"\x0F\x31")], "rdtsc", entry),
        ("CMOV in IdentifyProcessor, reached through the gate's calls",
         [(identify, b"\x0F\x4C\xC1")], "cmovl", identify),
        ("FCOMI in IdentifyProcessor", [(identify, b"\xDB\xF1")], "fcomi", identify),
        ("CPUID outside its helper", [(entry, b"\x0F\xA2")], "CPUID outside", entry),
        ("the CPUID helper called from outside IdentifyProcessor",
         [(entry, call_rel32(entry, cpuid_helper))], "reaches the CPUID helper", entry),
        ("indirect call at the entry point", [(entry, b"\xFF\xD0")], "indirect transfer", entry),
        ("indirect jump through memory", [(entry, b"\xFF\x25\x00\x00\x40\x00")],
         "indirect transfer", entry),
    ]
    if tls is not None:
        cases.append(("CMOV in the first TLS callback", [(tls, b"\x0F\x44\xC0")], "cmove", tls))
    if key_dtor is not None:
        cases.append(("a thread key destructor registered before the gate",
                      [(entry, call_rel32(entry, key_dtor))],
                      "key_dtor is reachable before the gate", None))

    failures = []

    baseline = run(original, link)
    if baseline:
        failures.append("the unpatched image does not pass: %s" % baseline[:3])

    for label, patches, expected, where in cases:
        data = bytearray(original)
        for va, code in patches:
            off = image.offset(va)
            data[off:off + len(code)] = code
        findings = run(data, link)
        prefix = "0x%08x " % where if where is not None else ""
        if not any(f.startswith(prefix) and expected in f for f in findings):
            failures.append("%s: expected %r%s, got %s"
                            % (label, expected, " at 0x%08x" % where if where else "", findings[:4]))
        else:
            print("ok   %s" % label)

    # An entry point that is the runtime's start-up: everything would run
    # before the gate.
    data = bytearray(original)
    struct.pack_into("<I", data, image.entry_field, handover - image.base)
    findings = run(data, link)
    if not any("entry point" in f for f in findings):
        failures.append("entry point moved to the runtime's start-up: got %s" % findings[:4])
    else:
        print("ok   entry point moved to the runtime's start-up")

    # A thread-local initialiser in the table the TLS callback walks: the
    # slot after .CRT$XDA holds a function, and the map's .CRT$XDZ moves one
    # slot on to take it in.
    xda = [i for i in link.inputs if i[2] == ".CRT$XDA"]
    xdz = [i for i in link.inputs if i[2] == ".CRT$XDZ"]
    if len(xda) == 1 and len(xdz) == 1:
        slot = xda[0][0] + 4
        data = bytearray(original)
        struct.pack_into("<I", data, image.offset(slot), entry)
        moved = checker.LinkMap(map_text.replace(
            "0x%08x" % xdz[0][0], "0x%08x" % (xdz[0][0] + 4)))
        findings = run(data, moved)
        if not any(".CRT$XD holds thread-local initialisers" in f for f in findings):
            failures.append("initialiser in .CRT$XD: got %s" % findings[:4])
        else:
            print("ok   a thread-local initialiser in the table the TLS callback walks")
    else:
        failures.append("the map shows no single .CRT$XDA and .CRT$XDZ")

    # A runtime pseudo-relocation that patches the entry point's code: a
    # list of one entry written into the data section, and the map's list
    # symbols pointing at it.
    data_section = next((s for s in image.sections if s.name == ".data"), None)
    if data_section is not None:
        where = image.base + data_section.rva + 0x100
        entries = struct.pack("<3I", 0, 0, 1) + struct.pack("<3I", 0, entry - image.base, 32)
        data = bytearray(original)
        off = image.offset(where)
        data[off:off + len(entries)] = entries
        relinked = checker.LinkMap(map_text)
        relinked.symbols["__RUNTIME_PSEUDO_RELOC_LIST__"] = where
        relinked.symbols["__RUNTIME_PSEUDO_RELOC_LIST_END__"] = where + len(entries)
        findings = run(data, relinked)
        if not any(f.startswith("0x%08x " % entry) and "pseudo-relocation" in f for f in findings):
            failures.append("pseudo-relocation of the entry point: got %s" % findings[:4])
        else:
            print("ok   a runtime pseudo-relocation that patches the entry point")
    else:
        failures.append("the image has no .data section")

    for f in failures:
        print("FAIL " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
