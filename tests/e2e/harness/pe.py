"""Reads what a Windows executable declares about itself, straight from the file: its imported
DLLs and its resources (the manifest, the version resource, the icons). No Windows needed."""

import struct
from pathlib import Path

RT_ICON = 3
RT_GROUP_ICON = 14
RT_VERSION = 16
RT_MANIFEST = 24
_IMPORT_DIRECTORY = 1
_RESOURCE_DIRECTORY = 2
_DELAY_IMPORT_DIRECTORY = 13


class PeFile:
    def __init__(self, path):
        self.data = Path(path).read_bytes()
        if self.data[:2] != b"MZ":
            raise ValueError(f"{path} is not an executable")
        header = struct.unpack_from("<I", self.data, 0x3C)[0]
        if self.data[header:header + 4] != b"PE\0\0":
            raise ValueError(f"{path} has no PE header")
        self.machine, sections, _, _, _, optional_size, self.characteristics = struct.unpack_from(
            "<HHIIIHH", self.data, header + 4)
        optional = header + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        directories = optional + (96 if magic == 0x10B else 112)
        count = struct.unpack_from("<I", self.data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(count)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            name, virtual_size, address, raw_size, raw_offset = struct.unpack_from(
                "<8sIIII", self.data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode(), address,
                                  max(virtual_size, raw_size), raw_offset))

    @property
    def is_32_bit(self):
        return self.machine == 0x14C

    def offset(self, rva):
        for _, address, size, raw_offset in self.sections:
            if address <= rva < address + size:
                return rva - address + raw_offset
        raise ValueError(f"RVA {rva:#x} lies in no section")

    def c_string(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("ascii")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imported_dlls(self):
        """The DLLs of the import table, as named there."""
        return self._dll_names(_IMPORT_DIRECTORY, entry_size=20, name_field=3)

    def delay_imported_dlls(self):
        return self._dll_names(_DELAY_IMPORT_DIRECTORY, entry_size=32, name_field=1)

    def _dll_names(self, directory, entry_size, name_field):
        rva, size = self.directory(directory)
        names = []
        if not rva:
            return names
        entry = self.offset(rva)
        while True:
            fields = struct.unpack_from(f"<{entry_size // 4}I", self.data, entry)
            if not any(fields):
                return names
            names.append(self.c_string(fields[name_field]))
            entry += entry_size

    def resources(self, resource_type):
        """{(name or id, language): bytes} of every resource of that type."""
        rva, _ = self.directory(_RESOURCE_DIRECTORY)
        if not rva:
            return {}
        root = self.offset(rva)
        found = {}
        for type_id, type_entry in self._resource_entries(root, root):
            if type_id != resource_type:
                continue
            for name, name_entry in self._resource_entries(root, type_entry):
                for language, data_entry in self._resource_entries(root, name_entry):
                    data_rva, size = struct.unpack_from("<II", self.data, data_entry)
                    start = self.offset(data_rva)
                    found[(name, language)] = self.data[start:start + size]
        return found

    def _resource_entries(self, root, directory):
        named, numbered = struct.unpack_from("<HH", self.data, directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", self.data, directory + 16 + 8 * i)
            if name & 0x80000000:
                at = root + (name & 0x7FFFFFFF)
                length = struct.unpack_from("<H", self.data, at)[0]
                name = self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le")
            yield name, root + (target & 0x7FFFFFFF)

    def manifest(self):
        """The text of the application manifest (resource type 24, id 1)."""
        manifests = {name: data for (name, _), data in self.resources(RT_MANIFEST).items()}
        return manifests[1].decode("utf-8") if 1 in manifests else None

    def first_icon(self):
        """The images of the first icon group, which the shell shows for the file, as
        [(width, height, image bytes)] in the group's order; None without icons. A width or
        height of 256 is written 0 in the group."""
        groups = list(self.resources(RT_GROUP_ICON).values())
        if not groups:
            return None
        icons = {name: data for (name, _), data in self.resources(RT_ICON).items()}
        group = groups[0]
        count = struct.unpack_from("<H", group, 4)[0]
        images = []
        for i in range(count):
            width, height, _, _, _, _, _, icon_id = struct.unpack_from("<BBBBHHIH", group,
                                                                        6 + 14 * i)
            images.append((width or 256, height or 256, icons[icon_id]))
        return images

    def version_info(self):
        """The version resource as (fixed part, {string name: value})."""
        versions = list(self.resources(RT_VERSION).values())
        if not versions:
            return None
        return parse_version_resource(versions[0])


class FixedVersion:
    def __init__(self, data):
        (signature, _, file_ms, file_ls, product_ms, product_ls) = struct.unpack_from("<6I", data)
        if signature != 0xFEEF04BD:
            raise ValueError("the version resource has no VS_FIXEDFILEINFO")
        self.file_version = _four_parts(file_ms, file_ls)
        self.product_version = _four_parts(product_ms, product_ls)


def _four_parts(most, least):
    return f"{most >> 16}.{most & 0xFFFF}.{least >> 16}.{least & 0xFFFF}"


def _align(offset):
    return (offset + 3) & ~3


def _version_block(data, start):
    """One block of a version resource: (key, value bytes, value type, children, end)."""
    length, value_length, value_type = struct.unpack_from("<HHH", data, start)
    end = start + length
    key_start = start + 6
    key_end = key_start
    while data[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = data[key_start:key_end].decode("utf-16-le")
    value_start = _align(key_end + 2)
    value_size = value_length * 2 if value_type == 1 else value_length
    value = data[value_start:value_start + value_size]
    children = []
    child = _align(value_start + value_size)
    while child < end:
        block = _version_block(data, child)
        children.append(block)
        child = _align(block[4])
    return key, value, value_type, children, end


def parse_version_resource(data):
    key, value, _, children, _ = _version_block(data, 0)
    if key != "VS_VERSION_INFO":
        raise ValueError("not a version resource")
    strings = {}
    for child_key, _, _, tables, _ in children:
        if child_key != "StringFileInfo":
            continue
        for _, _, _, entries, _ in tables:
            for name, text, _, _, _ in entries:
                strings[name] = text.decode("utf-16-le").rstrip("\0")
    return FixedVersion(value), strings
