"""The headers, sections and imports of a 32-bit PE image, for the product
checks (check_imports.py, pre_gate_instructions.py) and the relay trace
check (tests/e2e/check_relay.py).

    image = PeImage(data)      # bytes of the file; PeError if it is no PE image
    image.machine, image.magic, image.subsystem, image.entry_rva, ...
    image.imports()            # [(dll, [name or int ordinal, ...]), ...]

Only the file header is read from a PE32+ (64-bit) image: its optional
header's fields lie elsewhere. Its magic tells the caller.
"""

import collections
import struct

PE32_MAGIC = 0x10B
DIRECTORY_EXPORT = 0
DIRECTORY_IMPORT = 1
DIRECTORY_BASERELOC = 5
DIRECTORY_TLS = 9
DIRECTORY_DELAY_IMPORT = 13
IMAGE_SCN_MEM_EXECUTE = 0x20000000

# virtual_size and raw_size as the section table gives them; the section
# covers max(virtual_size, raw_size) bytes from rva, of which the first
# raw_size come from the file at raw_offset.
Section = collections.namedtuple("Section", "name rva virtual_size raw_offset raw_size flags")


class PeError(Exception):
    pass


class PeImage:
    """The header fields, sections and imports of a PE image (bytes)."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe_offset,) = self._unpack("<I", 0x3C)
        if data[pe_offset:pe_offset + 4] != b"PE\0\0":
            raise PeError("no PE signature at 0x%x" % pe_offset)
        file_header = pe_offset + 4
        (self.machine, section_count, _, _, _, optional_size,
         self.characteristics) = self._unpack("<HHIIIHH", file_header)
        optional = file_header + 20
        (self.magic,) = self._unpack("<H", optional)
        self.sections = []
        self.directories = []
        if self.magic != PE32_MAGIC:
            return
        self.entry_field = optional + 16   # file offset of AddressOfEntryPoint
        (self.entry_rva,) = self._unpack("<I", optional + 16)
        (self.image_base,) = self._unpack("<I", optional + 28)
        (self.major_os, self.minor_os, self.major_image, self.minor_image,
         self.major_subsystem, self.minor_subsystem) = self._unpack("<6H", optional + 40)
        (self.image_size,) = self._unpack("<I", optional + 56)
        (self.subsystem, self.dll_characteristics) = self._unpack("<HH", optional + 68)
        (directory_count,) = self._unpack("<I", optional + 92)
        self.directories = [self._unpack("<II", optional + 96 + 8 * i)
                            for i in range(min(directory_count, 16))]
        section_table = optional + optional_size
        for i in range(section_count):
            entry = section_table + 40 * i
            name = self.data[entry:entry + 8].rstrip(b"\0").decode("latin-1")
            virtual_size, rva, raw_size, raw_offset = self._unpack("<IIII", entry + 8)
            (flags,) = self._unpack("<I", entry + 36)
            self.sections.append(Section(name, rva, virtual_size, raw_offset, raw_size, flags))

    def _unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise PeError("truncated image: %d bytes wanted at 0x%x" % (size, offset))
        return struct.unpack_from(fmt, self.data, offset)

    def section_of(self, rva):
        """The section that covers `rva`, or None."""
        for s in self.sections:
            if s.rva <= rva < s.rva + max(s.virtual_size, s.raw_size):
                return s
        return None

    def offset(self, rva):
        """The file offset of `rva`, which must lie in a section's raw data."""
        s = self.section_of(rva)
        if s is None:
            raise PeError("RVA 0x%x lies in no section" % rva)
        if rva - s.rva >= s.raw_size:
            raise PeError("RVA 0x%x lies in a section's uninitialised tail" % rva)
        return s.raw_offset + rva - s.rva

    def u32(self, rva):
        return self._unpack("<I", self.offset(rva))[0]

    def string(self, rva):
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError("unterminated name at RVA 0x%x" % rva)
        return self.data[start:end].decode("latin-1")

    def directory(self, index):
        """(rva, size) of data directory `index`; (0, 0) when there is none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def _import_descriptors(self):
        """[(dll, [(name or int ordinal, RVA of its import address table
        slot), ...]), ...] in the table's order."""
        rva, size = self.directory(DIRECTORY_IMPORT)
        result = []
        if rva == 0 or size == 0:
            return result
        descriptor = self.offset(rva)
        while True:
            lookup, _, _, name_rva, address_table = self._unpack("<IIIII", descriptor)
            if (lookup, name_rva, address_table) == (0, 0, 0):
                break
            dll = self.string(name_rva)
            entry = self.offset(lookup or address_table)
            slot = address_table
            functions = []
            while True:
                (thunk,) = self._unpack("<I", entry)
                if thunk == 0:
                    break
                if thunk & 0x80000000:
                    functions.append((thunk & 0xFFFF, slot))
                else:
                    functions.append((self.string(thunk + 2), slot))  # after the hint
                entry += 4
                slot += 4
            result.append((dll, functions))
            descriptor += 20
        return result

    def imports(self):
        """[(dll, [name or int ordinal, ...]), ...] in the table's order."""
        return [(dll, [name for name, _ in functions])
                for dll, functions in self._import_descriptors()]

    def import_slots(self):
        """{RVA of an import address table slot: (dll, name or int ordinal)}."""
        return {slot: (dll, name) for dll, functions in self._import_descriptors()
                for name, slot in functions}
