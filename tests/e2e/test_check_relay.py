#!/usr/bin/python3
"""The relay trace check on small made-up traces: which calls count as the
program's, and each rule that must fail."""

import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_relay  # noqa: E402

EXE = "demo.exe"
BASE = 0x400000
SIZE = 0x48000


def row(y95, nt4):
    return {"95": y95, "NT4": nt4, "98": "Y", "2K": "Y", "Me": "Y", "source": "test"}


TABLE = {
    ("KERNEL32.DLL", "CreateThread"): row("Y", "Y"),
    ("KERNEL32.DLL", "FindFirstFileA"): row("Y", "Y"),
    ("KERNEL32.DLL", "EnterCriticalSection"): row("Y", "Y"),
    ("KERNEL32.DLL", "GetModuleHandleW"): row("S", "Y"),
    ("KERNEL32.DLL", "GetFileAttributesExA"): row("N", "Y"),
    ("KERNEL32.DLL", "TryEnterCriticalSection"): row("N", "Y"),
    ("USER32.DLL", "PeekMessageA"): row("Y", "Y"),
    ("USER32.DLL", "DefWindowProcA"): row("Y", "Y"),
}
EXCEPTIONS = {
    ("KERNEL32.DLL", "GetModuleHandleW"):
        'the runtime calls GetModuleHandleW(L"msvcrt.dll") once and falls back when it fails',
}
IMPORTS = {key for key in TABLE} - {("KERNEL32.DLL", "TryEnterCriticalSection")}
# kernel32's EnterCriticalSection leads to kernelbase, and that to ntdll.
FORWARDED = {
    ("KERNELBASE.DLL", "EnterCriticalSection"): [("KERNEL32.DLL", "EnterCriticalSection")],
    ("NTDLL.DLL", "RtlEnterCriticalSection"): [("KERNELBASE.DLL", "EnterCriticalSection")],
}
EXPECT = {"CreateThread": 2, "FindFirstFileA": 1}

HEADER = [
    '0020:0024:trace:loaddll:build_module Loaded L"C:\\\\brindle\\\\driver.exe" at 00400000: native',
    '0100:0104:trace:relay:load_list L"RelayInclude" = L"kernel32.*;user32.*"',
    '0100:0104:trace:loaddll:build_module Loaded L"C:\\\\brindle\\\\demo.exe" at 00400000: native',
    '0100:0104:Starting thread proc 004022e0 (arg=003f1000)',
    '0100:0104:Call KERNEL32.FindFirstFileA(0064f000 "M:\\\\*",0064f100) ret=00405000',
    '0100:0104:Ret  KERNEL32.FindFirstFileA() retval=00000044 ret=00405000',
]
THREAD = '0100:0104:Call KERNEL32.CreateThread(00000000,00000000,00402560,0001007e,00000000,0064ee28) ret=00402dc0'
GOOD = HEADER + [THREAD, THREAD]


def check(lines, table=TABLE, expect=EXPECT):
    """The problems the check finds in a trace."""
    process, base, include, raw, _, problems = check_relay.read_trace(lines, EXE)
    if process is None:
        return problems
    calls, _ = check_relay.own_calls(raw, base, SIZE)
    problems += check_relay.relay_gaps(include, {"KERNEL32.DLL", "USER32.DLL"})
    return problems + check_relay.judge(calls, IMPORTS, table, EXCEPTIONS, FORWARDED, expect)[1]


class Rules(unittest.TestCase):
    def test_a_real_looking_run_passes(self):
        self.assertEqual(check(GOOD), [])

    def test_each_rule_fails(self):
        cases = [
            # (what, extra lines, a word of the expected problem)
            ("a function missing on 95",
             ['0100:0104:Call KERNEL32.GetFileAttributesExA(0064f000 "C:\\\\x",00000000,0064f100) ret=00401000'],
             "GetFileAttributesExA (thread 0104, ret=00401000): 95 missing"),
            ("a function the table does not know",
             ['0100:0104:Call KERNEL32.GetTickCount64() ret=00401000'],
             "GetTickCount64 (traced as KERNEL32.GetTickCount64, thread 0104, ret=00401000): not in the table"),
            ("an exception called otherwise than its reason says",
             ['0100:0104:Call KERNEL32.GetModuleHandleW(0042a000 L"kernel32.dll") ret=00401000'],
             'allowed only as the call GetModuleHandleW(L"msvcrt.dll")'),
            ("CreateThread without a thread id pointer",
             ['0100:0104:Call KERNEL32.CreateThread(00000000,00000000,00402560,0001007e,00000000,00000000) ret=00402dc0'],
             "without a thread id pointer"),
            ("PeekMessageA with PM_QS_SENDMESSAGE",
             ['0100:0104:Call user32.PeekMessageA(0064f000,00000000,00000000,00000000,00400001) ret=00401000'],
             "flags beyond PM_REMOVE/PM_NOYIELD"),
            ("a tail call from a window procedure to a function missing on 95",
             ['0100:0104:Call window proc 00401B20 (hwnd=00010068,msg=WM_CREATE,wp=00000000,lp=0064f210)',
              '0100:0104:Call KERNEL32.TryEnterCriticalSection(00430000) ret=688e24cc',
              '0100:0104:Ret  KERNEL32.TryEnterCriticalSection() retval=00000001 ret=688e24cc',
              '0100:0104:Ret  window proc 00401B20 (hwnd=00010068,msg=WM_CREATE,wp=00000000,lp=0064f210) retval=00000000'],
             "TryEnterCriticalSection"),
        ]
        for what, extra, expected in cases:
            with self.subTest(what):
                problems = check(GOOD + extra)
                self.assertEqual(len(problems), 1, problems)
                self.assertIn(expected, problems[0])

    def test_calls_that_are_not_the_programs_are_left_alone(self):
        extra = [
            # The driver's process, at the same addresses.
            '0020:0024:Call KERNEL32.GetFileAttributesExA(0064f000 "C:\\\\x",00000000,0064f100) ret=00401000',
            # Wine's code in the program's process, also inside a Wine window procedure.
            '0100:0104:Call KERNEL32.BaseThreadInitThunk(00000000,004019f0,003f1000) ret=7bc5ca07',
            '0100:0104:Call window proc 688CBB60 (hwnd=00010070,msg=WM_NCCREATE,wp=00000000,lp=0064f8f4)',
            '0100:0104:Call KERNEL32.TryEnterCriticalSection(00430000) ret=688e24cc',
            '0100:0104:Ret  window proc 688CBB60 (hwnd=00010070,msg=WM_NCCREATE,wp=00000000,lp=0064f8f4) retval=00000001',
            # Program code after a return from its window procedure: a return
            # address of Wine's outside any procedure of the program.
            '0100:0104:Call KERNEL32.TryEnterCriticalSection(00430000) ret=688e24cc',
            # The runtime's probe that the exceptions allow, and PeekMessageA
            # with the flags 95 and NT 4 know.
            '0100:0104:Call KERNEL32.GetModuleHandleW(0042a000 L"msvcrt.dll") ret=00401000',
            '0100:0104:Call user32.PeekMessageA(0064f000,00000000,00000000,00000000,00000003) ret=00401000',
        ]
        self.assertEqual(check(GOOD + extra), [])

    def test_a_forwarded_call_is_judged_as_the_import(self):
        line = '0100:0104:Call ntdll.RtlEnterCriticalSection(00430000) ret=00401000'
        self.assertEqual(check(GOOD + [line]), [])
        table = dict(TABLE)
        table[("KERNEL32.DLL", "EnterCriticalSection")] = row("Y", "S")
        problems = check(GOOD + [line], table=table)
        self.assertEqual(len(problems), 1, problems)
        self.assertIn("KERNEL32.DLL!EnterCriticalSection", problems[0])
        self.assertIn("NT4 a failing stub", problems[0])

    def test_a_trace_that_missed_the_run_fails(self):
        cases = [
            ("one CreateThread", HEADER + [THREAD], "CreateThread called 1 times, expected at least 2"),
            ("no loaddll line for the program", [l for l in GOOD if "demo.exe" not in l],
             "0 processes loaded demo.exe"),
            ("the program started twice", GOOD + [GOOD[2].replace("0100:0104", "0200:0204")],
             "2 processes loaded demo.exe"),
            ("a DLL the relay leaves out", [l.replace(";user32.*", "") for l in GOOD],
             'RelayInclude does not trace USER32.DLL'),
        ]
        for what, lines, expected in cases:
            with self.subTest(what):
                problems = check(lines)
                self.assertTrue(any(expected in p for p in problems), problems)

    def test_arguments_split_outside_strings(self):
        self.assertEqual(check_relay.split_arguments('0042a000 "a,\\"b",00000001,0064f000 L"c,d"'),
                         ['0042a000 "a,\\"b"', '00000001', '0064f000 L"c,d"'])
        self.assertEqual(check_relay.split_arguments(''), [])


if __name__ == "__main__":
    unittest.main()
