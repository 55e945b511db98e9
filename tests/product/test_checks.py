#!/usr/bin/python3
"""The product checks' own parts, on crafted PE images and zip archives:
each fault they are there to catch makes them fail, and a sound file passes."""

import io
import os
import struct
import sys
import unittest
import zipfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import check_imports  # noqa: E402
import check_release  # noqa: E402

SECTION_RVA = 0x1000
SECTION_OFFSET = 0x200


def craft_pe(imports=(("KERNEL32.dll", ["CloseHandle", "GetLastError"]),),
             machine=0x14C, magic=0x10B, subsystem=2, subsystem_version=(4, 0),
             os_version=(4, 0), delay_imports=False):
    """A minimal image: headers and one section holding the import table."""
    # The section: descriptors, then each DLL's lookup table, names and
    # hint/name entries.
    descriptors_size = 20 * (len(imports) + 1)
    body = bytearray(descriptors_size)
    descriptors = []
    for dll, names in imports:
        name_rva = SECTION_RVA + len(body)
        body += dll.encode() + b"\0"
        entries = []
        for name in names:
            if isinstance(name, int):
                entries.append(0x80000000 | name)
            else:
                entries.append(SECTION_RVA + len(body))
                body += struct.pack("<H", 0) + name.encode() + b"\0"
        while len(body) % 4:
            body += b"\0"
        lookup_rva = SECTION_RVA + len(body)
        body += struct.pack("<%dI" % (len(entries) + 1), *entries, 0)
        descriptors.append((lookup_rva, name_rva))
    for i, (lookup_rva, name_rva) in enumerate(descriptors):
        struct.pack_into("<IIIII", body, 20 * i, lookup_rva, 0, 0, name_rva, lookup_rva)

    image = bytearray(SECTION_OFFSET)
    image[0:2] = b"MZ"
    struct.pack_into("<I", image, 0x3C, 0x40)
    image[0x40:0x44] = b"PE\0\0"
    optional_size = 96 + 16 * 8
    struct.pack_into("<HHIIIHH", image, 0x44, machine, 1, 0, 0, 0, optional_size, 0x0102)
    optional = 0x44 + 20
    struct.pack_into("<H", image, optional, magic)
    struct.pack_into("<6H", image, optional + 40, os_version[0], os_version[1], 0, 0,
                     subsystem_version[0], subsystem_version[1])
    struct.pack_into("<H", image, optional + 68, subsystem)
    struct.pack_into("<I", image, optional + 92, 16)
    struct.pack_into("<II", image, optional + 96 + 8 * 1, SECTION_RVA, descriptors_size)
    if delay_imports:
        struct.pack_into("<II", image, optional + 96 + 8 * 13, SECTION_RVA, 32)
    section = optional + optional_size
    image[section:section + 8] = b".idata\0\0"
    raw_size = (len(body) + 0x1FF) & ~0x1FF
    struct.pack_into("<IIII", image, section + 8, len(body), SECTION_RVA, raw_size, SECTION_OFFSET)
    return bytes(image + body + bytes(raw_size - len(body)))


TABLE = check_imports.load_targets(os.path.join(HERE, "win-targets.tsv"))
EXCEPTIONS = {("KERNEL32.DLL", "GetModuleHandleW"): "the runtime falls back",
              ("KERNEL32.DLL", "GetTickCount64"): "wrongly allowed"}


def problems_of(data):
    image = check_imports.PeImage(data)
    problems = check_imports.check_headers(image)
    if image.magic == check_imports.PE32_MAGIC:
        problems += check_imports.check_imports(image.imports(), TABLE, EXCEPTIONS)[1]
    return problems


class ImageChecks(unittest.TestCase):
    def test_reads_the_crafted_imports(self):
        imports = [("KERNEL32.dll", ["CloseHandle", 7]), ("msvcrt.dll", ["malloc"])]
        self.assertEqual(check_imports.PeImage(craft_pe(imports)).imports(),
                         [("KERNEL32.dll", ["CloseHandle", 7]), ("msvcrt.dll", ["malloc"])])

    def test_sound_images_pass(self):
        for label, imports in [
            ("A functions", (("KERNEL32.dll", ["CreateSemaphoreA", "GetVersionExA"]),
                             ("USER32.dll", ["MessageBoxA"]))),
            ("C runtime of NT 4", (("msvcrt.dll", ["__getmainargs", "_iob", "malloc"]),)),
            ("allowed runtime fallback", (("KERNEL32.dll", ["GetModuleHandleW"]),)),
            ("DLL name in another case", (("kernel32.DLL", ["CloseHandle"]),)),
        ]:
            with self.subTest(label):
                self.assertEqual(problems_of(craft_pe(imports)), [])

    def test_each_fault_fails_and_is_named(self):
        for label, pe, expected in [
            ("64-bit machine", dict(machine=0x8664), "machine 0x8664"),
            ("PE32+", dict(magic=0x20B), "magic 0x20b"),
            ("console subsystem", dict(subsystem=3), "subsystem 3"),
            ("subsystem 5.0", dict(subsystem_version=(5, 0)), "subsystem version 5.0"),
            ("system 4.10", dict(os_version=(4, 10)), "operating system version 4.10"),
            ("system 3.10", dict(os_version=(3, 10)), "operating system version 3.10"),
            ("delay-loaded", dict(delay_imports=True), "delay-loaded"),
            ("by ordinal", dict(imports=(("KERNEL32.dll", [12]),)), "by ordinal 12"),
            ("runtime DLL", dict(imports=(("libwinpthread-1.dll", ["pthread_create"]),)),
             "libwinpthread-1.dll: not one of the system's DLLs"),
            ("stub on 9x", dict(imports=(("KERNEL32.dll", ["CreateSemaphoreW"]),)),
             "CreateSemaphoreW: 95 a failing stub, 98 a failing stub, Me a failing stub"),
            ("Vista function", dict(imports=(("KERNEL32.dll", ["GetTickCount64"]),)),
             "missing on a target"),
            ("missing on 95", dict(imports=(("KERNEL32.dll", ["TryEnterCriticalSection"]),)),
             "95 missing"),
            ("not established", dict(imports=(("KERNEL32.dll", ["GetProcessTimes"]),)),
             "95 not established"),
            ("XP C runtime", dict(imports=(("msvcrt.dll", ["__iob_func"]),)), "__iob_func: 95 missing"),
            ("unknown function", dict(imports=(("USER32.dll", ["MessageBoxW2"]),)),
             "MessageBoxW2: not in the table"),
        ]:
            with self.subTest(label):
                problems = problems_of(craft_pe(**pe))
                self.assertTrue(any(expected in p for p in problems), (expected, problems))

    def test_truncated_image_is_an_error(self):
        data = craft_pe()
        for label, cut in [("headers", 0x60), ("import table", SECTION_OFFSET + 8)]:
            with self.subTest(label):
                with self.assertRaises(check_imports.PeError):
                    check_imports.PeImage(data[:cut]).imports()


def craft_zip(members):
    buffer = io.BytesIO()
    with zipfile.ZipFile(buffer, "w") as z:
        for name, data in members.items():
            z.writestr(name, data)
    buffer.seek(0)
    return buffer


class ReleaseChecks(unittest.TestCase):
    MEMBERS = {"VQBRDM32.EXE": b"MZ product", "readme.txt": b"read me",
               "DataFile.txt": b"http://support.example.com/\n# EXAMPLE CATALOGUE\n"}
    DEMO = "brindlemark-simulated-cpu-demo.exe"

    def inspect(self, members):
        return check_release.inspect(craft_zip(members), self.MEMBERS, self.DEMO)

    def test_the_release_as_it_should_be_passes(self):
        self.assertEqual(self.inspect(self.MEMBERS), [])

    def test_each_fault_fails(self):
        without_readme = {k: v for k, v in self.MEMBERS.items() if k != "readme.txt"}
        for label, members, expected in [
            ("demo beside", {**self.MEMBERS, self.DEMO: b"MZ demo"}, "must never ship"),
            ("demo in a folder", {**self.MEMBERS, "x/" + self.DEMO.upper(): b"MZ"}, "must never ship"),
            ("demo as the product", {**self.MEMBERS, "VQBRDM32.EXE": b"MZ demo"}, "VQBRDM32.EXE: differs"),
            ("readme missing", without_readme, "readme.txt: missing"),
            ("another executable", {**self.MEMBERS, "scanbench.exe": b"MZ"}, "an executable other"),
            ("another file", {**self.MEMBERS, "Brindlog.html": b"<html>"}, "not a member"),
            ("catalogue not marked", {**self.MEMBERS, "DataFile.txt": b"http://x/\na.dll;2;1;<;0;-;0;-;0;-;\n"},
             "no comment says"),
        ]:
            with self.subTest(label):
                problems = self.inspect(members)
                self.assertTrue(any(expected in p for p in problems), (expected, problems))


if __name__ == "__main__":
    unittest.main(verbosity=1)
