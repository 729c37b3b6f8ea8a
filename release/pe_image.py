"""A small reader of 32-bit PE images: headers, sections, imports, resources and version info.

It reads only what a publisher's check needs, and it reads it strictly: a field that points
outside the file raises PeFormatError instead of yielding garbage.
"""

import struct

IMAGE_FILE_MACHINE_I386 = 0x014C
IMAGE_NT_OPTIONAL_HDR32_MAGIC = 0x010B

IMAGE_FILE_RELOCS_STRIPPED = 0x0001
IMAGE_FILE_EXECUTABLE_IMAGE = 0x0002
IMAGE_FILE_32BIT_MACHINE = 0x0100
IMAGE_FILE_DLL = 0x2000

IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
IMAGE_SUBSYSTEM_WINDOWS_CUI = 3

IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE = 0x0040
IMAGE_DLLCHARACTERISTICS_NX_COMPAT = 0x0100

DIRECTORY_IMPORT = 1
DIRECTORY_RESOURCE = 2
DIRECTORY_SECURITY = 4
DIRECTORY_BASERELOC = 5
DIRECTORY_DEBUG = 6
DIRECTORY_BOUND_IMPORT = 11
DIRECTORY_DELAY_IMPORT = 13

RT_VERSION = 16
RT_MANIFEST = 24

VS_FIXEDFILEINFO_SIGNATURE = 0xFEEF04BD

# Byte offsets of the optional header's fields that the checks and their tests touch.
OPTIONAL_IMAGE_BASE = 28
OPTIONAL_CHECKSUM = 64
OPTIONAL_SUBSYSTEM = 68
OPTIONAL_DLL_CHARACTERISTICS = 70
OPTIONAL_NUMBER_OF_DIRECTORIES = 92
OPTIONAL_DATA_DIRECTORIES = 96
# Byte offsets inside the COFF file header, which follows the "PE\0\0" signature.
COFF_MACHINE = 0
COFF_TIME_DATE_STAMP = 4
COFF_POINTER_TO_SYMBOL_TABLE = 8
COFF_NUMBER_OF_SYMBOLS = 12
COFF_CHARACTERISTICS = 18

# Resource directories and names nest only a few levels; deeper means a loop in a corrupt file.
MAX_RESOURCE_DEPTH = 3


class PeFormatError(Exception):
    pass


class Section:
    def __init__(self, name, virtual_address, virtual_size, raw_offset, raw_size, characteristics):
        self.name = name
        self.virtual_address = virtual_address
        self.virtual_size = virtual_size
        self.raw_offset = raw_offset
        self.raw_size = raw_size
        self.characteristics = characteristics


class Resource:
    """One leaf of the resource tree: type and name are an int ID or a str name."""

    def __init__(self, type_, name, language, rva, data):
        self.type = type_
        self.name = name
        self.language = language
        self.rva = rva
        self.data = data


class VersionNode:
    """One node of a VS_VERSIONINFO tree: key, value (bytes or str) and children."""

    def __init__(self, key, value, children):
        self.key = key
        self.value = value
        self.children = children

    def child(self, key):
        found = [c for c in self.children if c.key == key]
        return found[0] if len(found) == 1 else None


class FixedFileInfo:
    def __init__(self, raw):
        (self.signature, self.struct_version, file_ms, file_ls, product_ms, product_ls,
         self.file_flags_mask, self.file_flags, self.file_os, self.file_type,
         self.file_subtype, _date_ms, _date_ls) = struct.unpack_from("<13I", raw)
        self.file_version = _dotted(file_ms, file_ls)
        self.product_version = _dotted(product_ms, product_ls)


def _dotted(ms, ls):
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def _align4(value):
    return (value + 3) & ~3


class PeImage:
    def __init__(self, data):
        self.data = bytes(data)
        self._read_headers()

    @classmethod
    def from_file(cls, path):
        with open(path, "rb") as f:
            return cls(f.read())

    def _unpack(self, fmt, offset):
        size = struct.calcsize(fmt)
        if offset < 0 or offset + size > len(self.data):
            raise PeFormatError("structure at file offset 0x%x runs past the end of the file" % offset)
        return struct.unpack_from(fmt, self.data, offset)

    def _read_headers(self):
        if self.data[:2] != b"MZ":
            raise PeFormatError("no MZ signature")
        (self.pe_offset,) = self._unpack("<I", 0x3C)
        if self._unpack("<4s", self.pe_offset)[0] != b"PE\0\0":
            raise PeFormatError("no PE signature at 0x%x" % self.pe_offset)
        self.coff_offset = self.pe_offset + 4
        (self.machine, section_count, self.time_date_stamp, self.pointer_to_symbol_table,
         self.number_of_symbols, optional_size, self.characteristics) = self._unpack("<HHIIIHH", self.coff_offset)
        self.optional_offset = self.coff_offset + 20
        (self.magic,) = self._unpack("<H", self.optional_offset)
        if self.magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC:
            raise PeFormatError("optional header magic is 0x%03x, not PE32 (0x10b)" % self.magic)
        if optional_size < OPTIONAL_DATA_DIRECTORIES:
            raise PeFormatError("optional header of %d bytes is too short" % optional_size)
        o = self.optional_offset
        (self.image_base,) = self._unpack("<I", o + OPTIONAL_IMAGE_BASE)
        (self.checksum, self.subsystem, self.dll_characteristics) = self._unpack("<IHH", o + OPTIONAL_CHECKSUM)
        (directory_count,) = self._unpack("<I", o + OPTIONAL_NUMBER_OF_DIRECTORIES)
        directory_count = min(directory_count, (optional_size - OPTIONAL_DATA_DIRECTORIES) // 8)
        self.directories = [self._unpack("<II", o + OPTIONAL_DATA_DIRECTORIES + 8 * i) for i in range(directory_count)]
        self.sections = []
        table = o + optional_size
        for i in range(section_count):
            (raw_name, virtual_size, virtual_address, raw_size, raw_offset, _relocs, _lines,
             _nrelocs, _nlines, flags) = self._unpack("<8sIIIIIIHHI", table + 40 * i)
            name = raw_name.rstrip(b"\0").decode("latin-1")
            self.sections.append(Section(name, virtual_address, virtual_size, raw_offset, raw_size, flags))

    @property
    def checksum_offset(self):
        return self.optional_offset + OPTIONAL_CHECKSUM

    def directory(self, index):
        """(rva, size) of a data directory, (0, 0) when the header has no such entry."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def rva_to_offset(self, rva):
        for s in self.sections:
            span = max(s.virtual_size, s.raw_size)
            if s.virtual_address <= rva < s.virtual_address + span:
                delta = rva - s.virtual_address
                if delta >= s.raw_size:
                    raise PeFormatError("RVA 0x%x lies in the uninitialised part of %s" % (rva, s.name))
                return s.raw_offset + delta
        raise PeFormatError("RVA 0x%x is in no section" % rva)

    def bytes_at_rva(self, rva, size):
        offset = self.rva_to_offset(rva)
        if offset + size > len(self.data):
            raise PeFormatError("%d bytes at RVA 0x%x run past the end of the file" % (size, rva))
        return self.data[offset:offset + size]

    def c_string_at_rva(self, rva):
        offset = self.rva_to_offset(rva)
        end = self.data.find(b"\0", offset)
        if end < 0:
            raise PeFormatError("unterminated name at RVA 0x%x" % rva)
        return self.data[offset:end].decode("latin-1")

    def import_descriptors(self):
        """(DLL name, RVA of the name) of each import descriptor, in table order."""
        rva, _size = self.directory(DIRECTORY_IMPORT)
        if rva == 0:
            return []
        found = []
        descriptor = self.rva_to_offset(rva)
        while True:
            fields = self._unpack("<5I", descriptor)
            if not any(fields):
                return found
            name_rva = fields[3]
            found.append((self.c_string_at_rva(name_rva), name_rva))
            descriptor += 20

    def imported_dlls(self):
        return [name for name, _rva in self.import_descriptors()]

    def delay_imported_dlls(self):
        rva, _size = self.directory(DIRECTORY_DELAY_IMPORT)
        if rva == 0:
            return []
        names = []
        descriptor = self.rva_to_offset(rva)
        while True:
            fields = self._unpack("<8I", descriptor)
            if not any(fields):
                return names
            # Descriptors without the RVA attribute (bit 0) hold virtual addresses.
            name = fields[1] if fields[0] & 1 else fields[1] - self.image_base
            names.append(self.c_string_at_rva(name))
            descriptor += 32

    def certificate_table(self):
        """(file offset, size) of the Authenticode certificate table; its address is a file offset."""
        return self.directory(DIRECTORY_SECURITY)

    def _resource_directory(self, base, offset, depth, seen_stamps):
        if depth > MAX_RESOURCE_DEPTH:
            raise PeFormatError("resource tree nests too deep")
        (_flags, stamp, _major, _minor, named, ids) = self._unpack("<IIHHHH", base + offset)
        seen_stamps.append(stamp)
        entries = []
        for i in range(named + ids):
            (name_field, target) = self._unpack("<II", base + offset + 16 + 8 * i)
            if name_field & 0x80000000:
                string_offset = base + (name_field & 0x7FFFFFFF)
                (length,) = self._unpack("<H", string_offset)
                raw = self.data[string_offset + 2:string_offset + 2 + 2 * length]
                key = raw.decode("utf-16-le")
            else:
                key = name_field
            entries.append((key, target))
        return entries

    def resources(self):
        """Every resource leaf, and the time stamps of every resource directory seen."""
        rva, _size = self.directory(DIRECTORY_RESOURCE)
        if rva == 0:
            return [], []
        base = self.rva_to_offset(rva)
        stamps = []
        leaves = []

        def walk(offset, path, depth):
            for key, target in self._resource_directory(base, offset, depth, stamps):
                if target & 0x80000000:
                    walk(target & 0x7FFFFFFF, path + [key], depth + 1)
                    continue
                (data_rva, data_size, _codepage, _reserved) = self._unpack("<IIII", base + target)
                full = path + [key]
                if len(full) != 3:
                    raise PeFormatError("resource leaf at depth %d, expected type/name/language" % len(full))
                leaves.append(Resource(full[0], full[1], full[2], data_rva, self.bytes_at_rva(data_rva, data_size)))

        walk(0, [], 1)
        return leaves, stamps

    def resources_of_type(self, type_):
        leaves, _stamps = self.resources()
        return [r for r in leaves if r.type == type_]


def parse_version_info(raw):
    """The VS_VERSIONINFO tree of an RT_VERSION resource."""
    node, _end = _version_node(raw, 0, len(raw))
    return node


def _version_node(raw, offset, limit):
    if offset + 6 > limit:
        raise PeFormatError("version node header at %d runs past its parent" % offset)
    (length, value_length, value_type) = struct.unpack_from("<HHH", raw, offset)
    end = offset + length
    if length < 6 or end > limit:
        raise PeFormatError("version node at %d claims %d bytes, parent ends at %d" % (offset, length, limit))
    key_start = offset + 6
    key_end = key_start
    while key_end + 1 < end and raw[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    if key_end + 1 >= end:
        raise PeFormatError("version node key at %d is not terminated" % offset)
    key = raw[key_start:key_end].decode("utf-16-le")
    value_start = _align4(key_end + 2)
    if value_type == 1:
        # Text values count characters, including the terminating zero.
        value_bytes = 2 * value_length
        text = raw[value_start:value_start + value_bytes].decode("utf-16-le")
        value = text[:-1] if text.endswith("\0") else text
    else:
        value_bytes = value_length
        value = raw[value_start:value_start + value_bytes]
    if value_start + value_bytes > end:
        raise PeFormatError("value of version node %r runs past the node" % key)
    children = []
    child = _align4(value_start + value_bytes)
    while child < end:
        node, child_end = _version_node(raw, child, end)
        children.append(node)
        child = _align4(child_end)
    return VersionNode(key, value, children), end


def pe_checksum(data, checksum_offset):
    """The optional header's CheckSum as the Windows image loader computes it."""
    padded = data + (b"\0" if len(data) % 2 else b"")
    words = struct.unpack("<%dH" % (len(padded) // 2), padded)
    total = sum(words) - words[checksum_offset // 2] - words[checksum_offset // 2 + 1]
    while total > 0xFFFF:
        total = (total & 0xFFFF) + (total >> 16)
    return (total + len(data)) & 0xFFFFFFFF
