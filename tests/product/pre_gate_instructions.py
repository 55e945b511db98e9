#!/usr/bin/python3
"""Checks that the code a program can run before its processor gate has
passed uses only instructions the i386 has.

    pre_gate_instructions.py IMAGE MAP

IMAGE is a built executable (stripped), MAP the map file its link wrote.
The traversal starts at the image's entry point and at every callback of its
thread-local storage directory (the NT loader runs those before the entry
point, and again when the process ends), and follows every direct call, jump
and branch. It stops at:
  - the hand-over to the C runtime's start-up (WinMainCRTStartup), which the
    entry point reaches only once the gate has passed;
  - calls and jumps through the import address table (system code);
  - returns, unconditional jumps and calls of ExitProcess and the like.
Every other indirect call or jump fails the check, unless the object file it
is in is listed in INDIRECT_CALLS below and the condition given there, which
the check verifies on the image and the map, shows that it cannot be taken
before the gate.

Fails on any instruction the i386 (with its i387) lacks: everything outside
ALLOWED below, so CMOVcc, FCMOVcc, FCOMI, BSWAP, CMPXCHG, XADD, RDTSC, the
multi-byte NOP, MMX, SSE and later; and any instruction with an MMX or vector
register operand. CPUID is allowed only inside the CPUID helper
(ExecuteCpuid), and that helper only when it is called from
IdentifyProcessor alone, which tests the identification flag first.

The map gives what the stripped image no longer names: the entry and
hand-over symbols, the helper's extent and the object file behind each
address. The check fails when the map does not match the image (the entry
point must be the map's BrindleStartup), when the hand-over or the gate's
functions are not reached, and when a runtime pseudo-relocation (applied by
the runtime's start-up, so not yet before the gate) patches reached code.
Exit code 0 when the image passes, 1 with a list of findings otherwise.
"""

import os
import re
import struct
import sys

import capstone
from capstone import x86

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pe_image import PE32_MAGIC, IMAGE_SCN_MEM_EXECUTE, PeError, PeImage  # noqa: E402

ENTRY_SYMBOL = "BrindleStartup"
HANDOVER_SYMBOL = "WinMainCRTStartup"
CPUID_HELPER = "ExecuteCpuid("
CPUID_CALLER = "IdentifyProcessor("
# Functions the traversal must reach: the gate and its messages.
MUST_REACH = ("IdentifyOs(", "CheckProcessors(", "IdentifyProcessor(", "ReportMessage(")

# Mnemonics of the i386 and the i387 (as capstone names them). The 486's
# BSWAP, CMPXCHG, XADD, INVD, WBINVD and INVLPG are not here, nor CPUID,
# which has its own rule. UD2 faults on every processor, the i386 included
# (it is an invalid opcode there too), and the compiler uses it only as a
# trap on paths that must not be reached.
ALLOWED = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bt btc btr bts call cbw cdq
clc cld cli clts cmc cmp cmpsb cmpsw cmpsd cwd cwde daa das dec div enter
hlt idiv imul in inc insb insw insd int int3 into iret iretd
ja jae jb jbe jcxz jecxz je jg jge jl jle jmp jne jno jnp jns jo jp js
lahf lar lds lea leave les lfs lgdt lgs lidt lldt lmsw lodsb lodsw lodsd
loop loope loopne lsl lss ltr ljmp lcall
mov movsb movsw movsd movsx movzx mul neg nop not or out outsb outsw outsd
pop popal popaw popf popfd push pushal pushaw pushf pushfd
rcl rcr ret retf rol ror sahf sal sar sbb scasb scasw scasd
seta setae setb setbe sete setg setge setl setle setne setno setnp setns
seto setp sets sgdt shl shld shr shrd sidt sldt smsw stc std sti
stosb stosw stosd str sub test verr verw wait xchg xlatb xor ud2
f2xm1 fabs fadd faddp fbld fbstp fchs fnclex fcom fcomp fcompp fcos
fdecstp fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild
fimul fincstp fninit fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e
fldl2t fldlg2 fldln2 fldpi fldz fmul fmulp fnop fpatan fprem fprem1 fptan
frndint frstor fnsave fscale fsin fsincos fsqrt fst fnstcw fnstenv fstp
fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp fucompp fxam fxch fxtract
fyl2x fyl2xp1
""".split())

CONDITIONAL = set("""
ja jae jb jbe jcxz jecxz je jg jge jl jle jne jno jnp jns jo jp js
loop loope loopne
""".split())

# Imported functions that do not return: the flow ends at their call (the
# compiler puts nothing after it, so the next bytes are another function's).
NORETURN_IMPORTS = {"kernel32.dll!exitprocess", "kernel32.dll!exitthread",
                    "msvcrt.dll!exit", "msvcrt.dll!_exit", "msvcrt.dll!abort"}

VECTOR_REGISTER = re.compile(r"^(x|y|z)?mm\d+$|^k\d$")


class Finding(Exception):
    pass


# --- the image ---------------------------------------------------------------

class Image:
    """The parts of a 32-bit PE image the traversal needs."""

    def __init__(self, data):
        self.data = data
        try:
            pe = PeImage(data)
            if pe.machine != 0x14C:
                raise Finding("not an i386 image (machine 0x%x)" % pe.machine)
            if pe.magic != PE32_MAGIC:
                raise Finding("not a PE32 image")
            self.entry_field = pe.entry_field  # file offset of AddressOfEntryPoint
            self.entry_rva = pe.entry_rva
            self.base = pe.image_base
            self.dirs = pe.directories
            self.sections = pe.sections
            self.pe = pe
            self.imports = {self.base + slot: "%s!%s" % (dll, ("#%d" % name) if isinstance(name, int) else name)
                            for slot, (dll, name) in pe.import_slots().items()}
        except PeError as e:
            raise Finding("not a readable PE image: %s" % e)
        self.entry = self.base + self.entry_rva
        self.tls_callbacks = self._tls_callbacks()

    def _section_of(self, va):
        return self.pe.section_of(va - self.base)

    def offset(self, va):
        """The file offset of `va`, which must lie in a section's raw data."""
        try:
            return self.pe.offset(va - self.base)
        except PeError:
            raise Finding("address 0x%08x has no bytes in the file" % va)

    def is_code(self, va):
        s = self._section_of(va)
        return s is not None and bool(s.flags & IMAGE_SCN_MEM_EXECUTE)

    def read(self, va, size):
        s = self._section_of(va)
        if s is None:
            raise Finding("address 0x%08x is outside the image" % va)
        off = va - self.base - s.rva
        out = bytearray(size)
        avail = max(0, min(size, s.raw_size - off))
        out[:avail] = self.data[s.raw_offset + off:s.raw_offset + off + avail]
        return bytes(out)  # beyond the raw data the loader gives zeros

    def u32(self, va):
        return struct.unpack("<I", self.read(va, 4))[0]

    def cstring(self, va):
        out = bytearray()
        while len(out) < 512:
            c = self.read(va + len(out), 1)[0]
            if c == 0:
                break
            out.append(c)
        return out.decode("latin-1")

    def _tls_callbacks(self):
        if len(self.dirs) <= 9 or self.dirs[9][0] == 0:
            return []
        callbacks_va = self.u32(self.base + self.dirs[9][0] + 12)  # AddressOfCallBacks
        out = []
        while callbacks_va and len(out) < 64:
            cb = self.u32(callbacks_va + 4 * len(out))
            if cb == 0:
                break
            out.append(cb)
        return out


# --- the map -----------------------------------------------------------------

class LinkMap:
    """Symbols and input sections of the link, from ld's map file."""

    SYMBOL = re.compile(r"^\s+0x([0-9a-f]+)\s+([^=\s].*?)\s*$")
    SECTION = re.compile(r"^ (\S+)\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*?)\s*$")
    SECTION_NAME_ONLY = re.compile(r"^ (\S+)\s*$")
    SECTION_REST = re.compile(r"^\s+0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+(\S.*?)\s*$")

    def __init__(self, text):
        self.symbols = {}          # name -> address
        self.by_address = []       # (address, name), code and data
        self.inputs = []           # (start, end, section, object file)
        pending = None
        for line in text.splitlines():
            if pending is not None:
                m = self.SECTION_REST.match(line)
                if m:
                    self._input(pending, m.group(1), m.group(2), m.group(3))
                pending = None
                continue
            m = self.SECTION.match(line)
            if m:
                self._input(m.group(1), m.group(2), m.group(3), m.group(4))
                continue
            m = self.SECTION_NAME_ONLY.match(line)
            if m and m.group(1).startswith("."):
                pending = m.group(1)   # a long name puts the rest on the next line
                continue
            m = self.SYMBOL.match(line)
            if m and "(size before relaxing)" not in line:
                addr = int(m.group(1), 16)
                name = m.group(2)
                if "=" in name:            # an assignment: "name = expression"
                    name = name.split("=")[0].strip()
                if addr and not name.startswith("0x"):
                    self.symbols.setdefault(name, addr)
                    self.by_address.append((addr, name))
        self.by_address.sort()
        self.inputs.sort()

    def _input(self, section, start, size, obj):
        start, size = int(start, 16), int(size, 16)
        if start and size:
            self.inputs.append((start, start + size, section, obj))

    def find(self, prefix):
        """The one symbol whose name is `prefix` or starts with it."""
        hits = sorted({a for n, a in self.symbols.items() if n == prefix or
                       (prefix.endswith("(") and n.startswith(prefix))})
        if len(hits) != 1:
            raise Finding("the map has %d symbols named %r, not one" % (len(hits), prefix))
        return hits[0]

    def input_of(self, addr):
        for start, end, section, obj in self.inputs:
            if start <= addr < end:
                return (start, end, section, obj)
        return None

    def symbol_of(self, addr):
        """The nearest symbol at or below `addr` in the same input section."""
        inp = self.input_of(addr)
        best = None
        for a, n in self.by_address:
            if a > addr:
                break
            if inp is None or a >= inp[0]:
                best = (a, n)
        return best

    def extent(self, name_prefix):
        """[start, end) of a function: up to the next symbol or its section's end."""
        start = self.find(name_prefix)
        inp = self.input_of(start)
        end = inp[1] if inp else start + 1
        for a, _ in self.by_address:
            if start < a < end:
                end = a
                break
        return start, end

    def describe(self, addr):
        sym = self.symbol_of(addr)
        inp = self.input_of(addr)
        obj = inp[3].split("/")[-1] if inp else "?"
        where = ("%s+0x%x" % (sym[1], addr - sym[0])) if sym else "?"
        return "0x%08x (%s, in %s)" % (addr, where, obj)


# --- indirect calls shown not to be taken before the gate -----------------------

def xd_table_is_empty(image, link):
    """tlssup.o's TLS callback calls, on a thread's start, every pointer of
    the .CRT$XD table (thread-local dynamic initialisers) between .CRT$XDA
    and .CRT$XDZ. With no entry there, it calls nothing."""
    xda = [i for i in link.inputs if i[2] == ".CRT$XDA"]
    xdz = [i for i in link.inputs if i[2] == ".CRT$XDZ"]
    if len(xda) != 1 or len(xdz) != 1:
        return "the map shows no single .CRT$XDA and .CRT$XDZ"
    start, end = xda[0][0] + 4, xdz[0][0]
    if any(image.read(start, end - start)):
        return ".CRT$XD holds thread-local initialisers (0x%08x-0x%08x)" % (start, end)
    return None


def no_key_destructor_registered(image, link, reached):
    """tlsthrd.o calls the destructors that ___w64_mingwthr_add_key_dtor (and
    __mingwthr_key_dtor, which calls it) put on its list, which is kept in
    zero-filled data. If nothing that runs before the gate can reach either,
    the list is empty until the gate has passed."""
    adders = ("___w64_mingwthr_add_key_dtor", "__mingwthr_key_dtor")
    if not any(name in link.symbols for name in adders):
        return "the map does not show the functions that register destructors"
    for name in adders:
        if link.symbols.get(name) in reached:
            return "%s is reachable before the gate" % name
    return None


# object file (its name in the map ends with this) -> the check that makes
# its indirect calls harmless before the gate
INDIRECT_CALLS = {
    "libmingw32_a-tlssup.o)": xd_table_is_empty,
    "libmingw32_a-tlsthrd.o)": no_key_destructor_registered,
}


# --- the traversal -----------------------------------------------------------

def operand_registers(insn):
    regs = []
    for op in insn.operands:
        if op.type == x86.X86_OP_REG:
            regs.append(insn.reg_name(op.reg))
        elif op.type == x86.X86_OP_MEM:
            for r in (op.mem.base, op.mem.index):
                if r:
                    regs.append(insn.reg_name(r))
    return regs


def import_slot(insn):
    """The import table slot of `call/jmp dword ptr [slot]`, or None."""
    if len(insn.operands) != 1:
        return None
    op = insn.operands[0]
    if op.type == x86.X86_OP_MEM and op.mem.base == 0 and op.mem.index == 0 and op.mem.segment == 0:
        return op.mem.disp & 0xFFFFFFFF
    return None


def check(image, link):
    """Returns (findings, summary)."""
    findings = []
    entry_symbol = link.find(ENTRY_SYMBOL)
    handover = link.find(HANDOVER_SYMBOL)
    if image.entry != entry_symbol:
        raise Finding("the image's entry point 0x%08x is not %s (0x%08x): "
                      "wrong map, or the link did not set the entry point"
                      % (image.entry, ENTRY_SYMBOL, entry_symbol))
    if image.entry == handover:
        raise Finding("the entry point is the runtime's start-up itself")
    cpuid_start, cpuid_end = link.extent(CPUID_HELPER)
    caller_start, caller_end = link.extent(CPUID_CALLER)

    md = capstone.Cs(capstone.CS_ARCH_X86, capstone.CS_MODE_32)
    md.detail = True

    roots = [("entry point", image.entry)] + [("TLS callback", cb) for cb in image.tls_callbacks]
    work = [a for _, a in roots]
    reached = {}                # instruction address -> size
    handed_over = False
    imports_used = set()
    indirect_sites = []         # (address, object) accepted by INDIRECT_CALLS
    helper_callers = []

    def fail(addr, what):
        findings.append("%s: %s" % (link.describe(addr), what))

    def follow(src, target):
        nonlocal handed_over
        if target == handover:
            handed_over = True
            return
        if not image.is_code(target):
            fail(src, "branches to 0x%08x, outside the code" % target)
            return
        if cpuid_start <= target < cpuid_end and not cpuid_start <= src < cpuid_end:
            helper_callers.append(src)
        work.append(target)

    while work:
        addr = work.pop()
        # Walks on until the flow ends or joins code already walked.
        while addr not in reached:
            code = image.read(addr, 16)
            insn = next(md.disasm(code, addr, 1), None)
            if insn is None:
                fail(addr, "bytes %s do not decode" % code[:4].hex())
                break
            reached[addr] = insn.size
            name = insn.insn_name()
            text = "%s %s" % (insn.mnemonic, insn.op_str)
            if name == "cpuid":
                if not cpuid_start <= addr < cpuid_end:
                    fail(addr, "CPUID outside the CPUID helper")
            elif name not in ALLOWED:
                fail(addr, "not an i386 instruction: %s" % text)
            elif name == "nop" and insn.size > 1 and 0x0F in insn.bytes:
                fail(addr, "multi-byte NOP (Pentium Pro and later): %s" % text)
            vector = [r for r in operand_registers(insn) if VECTOR_REGISTER.match(r)]
            if vector:
                fail(addr, "MMX or vector register: %s" % text)

            nxt = addr + insn.size
            if name in ("call", "jmp") or name in CONDITIONAL:
                op = insn.operands[0] if insn.operands else None
                if op is not None and op.type == x86.X86_OP_IMM:
                    follow(addr, op.imm & 0xFFFFFFFF)
                else:
                    slot = import_slot(insn)
                    if slot is not None and slot in image.imports:
                        imports_used.add(image.imports[slot])
                        if image.imports[slot].lower() in NORETURN_IMPORTS:
                            break
                    else:
                        inp = link.input_of(addr)
                        rule = next((f for suffix, f in INDIRECT_CALLS.items()
                                     if inp and inp[3].endswith(suffix)), None)
                        if rule is None:
                            fail(addr, "indirect transfer that cannot be followed: %s" % text)
                        else:
                            indirect_sites.append((addr, rule))
                if name == "jmp":
                    break
                if nxt == handover:
                    handed_over = True
                    break
                addr = nxt
                continue
            if name in ("ret", "retf", "iret", "iretd", "ud2", "hlt"):
                break
            if name in ("lcall", "ljmp"):
                fail(addr, "far transfer: %s" % text)
                break
            addr = nxt
            if addr == handover:
                handed_over = True
                break

    # The conditions of the indirect calls accepted above.
    for addr, rule in indirect_sites:
        if rule is no_key_destructor_registered:
            problem = rule(image, link, reached)
        else:
            problem = rule(image, link)
        if problem:
            fail(addr, "indirect call that may run before the gate: %s" % problem)

    for src in helper_callers:
        if not caller_start <= src < caller_end:
            fail(src, "reaches the CPUID helper from outside %s" % CPUID_CALLER.rstrip("("))

    if not handed_over:
        findings.append("the hand-over to %s is never reached" % HANDOVER_SYMBOL)
    for name in MUST_REACH:
        start = link.find(name)
        if start not in reached:
            findings.append("%s is not reached from the entry point" % name.rstrip("("))

    # The runtime applies its pseudo-relocations in its start-up, after the
    # gate: none of them may patch code that runs before it.
    list_start = link.symbols.get("__RUNTIME_PSEUDO_RELOC_LIST__")
    list_end = link.symbols.get("__RUNTIME_PSEUDO_RELOC_LIST_END__")
    if list_start is None or list_end is None:
        findings.append("the map does not show the runtime's pseudo-relocation list")
    else:
        patched = pseudo_relocated(image, list_start, list_end)
        covered = [(a, a + s) for a, s in reached.items()]
        for target, width in patched:
            for a, e in covered:
                if a < target + width and target < e:
                    fail(a, "patched by a runtime pseudo-relocation, which has not run yet")

    objects = sorted({(link.input_of(a) or (0, 0, "", "?"))[3].split("/")[-1] for a in reached})
    summary = {
        "instructions": len(reached),
        "roots": ["%s %s" % (kind, link.describe(a)) for kind, a in roots],
        "objects": objects,
        "imports": sorted(imports_used),
        "indirect": ["%s" % link.describe(a) for a, _ in indirect_sites],
        "cpuid_helper_callers": [link.describe(a) for a in helper_callers],
    }
    return findings, summary


def pseudo_relocated(image, start, end):
    """(address, width) of every place the runtime's pseudo-relocations patch."""
    out = []
    if end - start < 12:
        return out                        # empty list
    words = struct.unpack("<3I", image.read(start, 12))
    if words != (0, 0, 1):
        raise Finding("unknown pseudo-relocation list format %r" % (words,))
    pos = start + 12
    while pos + 12 <= end:
        _, target_rva, flags = struct.unpack("<3I", image.read(pos, 12))
        out.append((image.base + target_rva, max(1, (flags & 0xFF) // 8)))
        pos += 12
    return out


def main(argv):
    if len(argv) != 3:
        print(__doc__.split("\n\n")[1], file=sys.stderr)
        return 2
    with open(argv[1], "rb") as f:
        data = f.read()
    with open(argv[2], encoding="utf-8", errors="replace") as f:
        text = f.read()
    try:
        findings, summary = check(Image(data), LinkMap(text))
    except Finding as e:
        print("FAIL %s: %s" % (argv[1], e))
        return 1
    print("%s: %d instructions reached before the gate" % (argv[1], summary["instructions"]))
    for key in ("roots", "objects", "imports", "indirect", "cpuid_helper_callers"):
        print("  %s: %s" % (key, ", ".join(summary[key]) or "none"))
    if findings:
        print("FAIL: %d instructions or transfers the i386 cannot run before the gate:" % len(findings))
        for f in findings:
            print("  " + f)
        return 1
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
