#!/usr/bin/env python3
"""Writes a compiled HTML help file holding HTML pages, the first of them its default topic.

    make_chm.py OUT.chm TITLE PAGE.htm [MORE.htm ...]

The file is the container that the Windows help viewer reads: an ITSF header, a directory of a
single listing chunk, the uncompressed section with the format's own files and #SYSTEM (default
topic and title), and the LZX section with the pages, stored in one uncompressed LZX block. It
has no contents tree, index or full-text search, which the viewer does not need to show a page.
The pages together must fit in one LZX frame (32,768 bytes). The output depends only on the
inputs: no time stamp is written.
"""

import struct
import sys
import uuid
from pathlib import Path

LANGUAGE_ID = 0x0409
CHUNK_SIZE = 0x1000
QUICKREF_DENSITY = 2
FRAME_SIZE = 0x8000
LZX_TRANSFORM = "{7FC28940-9D31-11D0-9B27-00A0C91E9C7C}"
STORAGE = "::DataSpace/Storage/MSCompressed/"
INSTANCE_DATA = f"{STORAGE}Transform/{LZX_TRANSFORM}/InstanceData/"


def guid(text):
    return uuid.UUID(text).bytes_le


def encint(value):
    """The directory's variable-length integer: 7 bits a byte, most significant first."""
    groups = [value & 0x7F]
    value >>= 7
    while value:
        groups.append(0x80 | (value & 0x7F))
        value >>= 7
    return bytes(reversed(groups))


def utf16(text):
    return text.encode("utf-16-le")


def lzx_stored_frame(data):
    """One LZX frame made of one uncompressed block, for a window of 64 KiB.

    The bit stream is 16-bit little-endian words filled from the top bit: no Intel E8
    translation (1 bit), block type 3 (3 bits), the block length in 24 bits (16, then 8), and
    padding to the word boundary. The block then holds the repeated-offset registers R0 to R2
    and the bytes themselves.
    """
    assert len(data) == FRAME_SIZE
    fields = [(0, 1), (3, 3), (len(data) >> 8, 16), (len(data) & 0xFF, 8), (0, 4)]
    bits = "".join(format(value, f"0{width}b") for value, width in fields)
    words = [int(bits[i:i + 16], 2) for i in range(0, len(bits), 16)]
    return struct.pack(f"<{len(words)}H", *words) + struct.pack("<3I", 1, 1, 1) + data


def system_file(title, default_topic, compiled_name):
    def record(code, data):
        return struct.pack("<HH", code, len(data)) + data

    def text(value):
        return value.encode("cp1252") + b"\0"

    # Language, no DBCS, no full-text search, no keyword or associative links, time stamp 0.
    language = struct.pack("<5IQ2I", LANGUAGE_ID, 0, 0, 0, 0, 0, 0, 0)
    return struct.pack("<I", 3) + b"".join([
        record(4, language),
        record(2, text(default_topic)),
        record(3, text(title)),
        record(6, text(compiled_name)),
    ])


def name_list():
    names = ["Uncompressed", "MSCompressed"]
    body = struct.pack("<H", len(names)) + b"".join(
        struct.pack("<H", len(name)) + utf16(name) + b"\0\0" for name in names)
    return struct.pack("<H", (len(body) + 2) // 2) + body


def listing_chunk(entries):
    """The one directory listing chunk: the entries, sorted without regard to case, and the
    quickref area written backwards from the chunk's end."""
    every = 1 + (1 << QUICKREF_DENSITY)
    body = b""
    quickrefs = []
    for index, (name, section, offset, length) in enumerate(entries):
        if index and index % every == 0:
            quickrefs.append(len(body))
        encoded = name.encode("utf-8")
        body += encint(len(encoded)) + encoded + encint(section) + encint(offset) + encint(length)
    tail = b"".join(struct.pack("<H", q) for q in reversed(quickrefs))
    tail += struct.pack("<H", len(entries))
    free = CHUNK_SIZE - 0x14 - len(body)
    if free < len(tail):
        raise ValueError("too many pages for one directory chunk")
    header = b"PMGL" + struct.pack("<IIii", free, 0, -1, -1)
    return header + body + bytes(free - len(tail)) + tail


def make_chm(title, pages):
    # The LZX section: the pages one after another, padded to one full frame so that every
    # reader decodes exactly one frame, whatever it assumes about a short last frame.
    compressed_files = []
    section = b""
    for name, data in pages:
        compressed_files.append((f"/{name}", 1, len(section), len(data)))
        section += data
    if len(section) > FRAME_SIZE:
        raise ValueError(f"the pages take {len(section)} bytes; at most {FRAME_SIZE} fit")
    content = lzx_stored_frame(section + bytes(FRAME_SIZE - len(section)))

    reset_table = struct.pack("<4I3Q", 2, 1, 8, 0x28, FRAME_SIZE, len(content), FRAME_SIZE)
    reset_table += struct.pack("<Q", 0)
    # LZXC version 2: reset interval and window size in units of 32 KiB.
    control_data = struct.pack("<I4s5I", 6, b"LZXC", 2, 2, 2, 1, 0)
    default_topic = pages[0][0]
    plain_files = {
        "/#ITBITS": b"",
        "/#SYSTEM": system_file(title, default_topic, Path(default_topic).stem.lower()),
        "::DataSpace/NameList": name_list(),
        f"{STORAGE}Content": content,
        f"{STORAGE}ControlData": control_data,
        f"{STORAGE}SpanInfo": struct.pack("<Q", FRAME_SIZE),
        f"{STORAGE}Transform/List": utf16(LZX_TRANSFORM),
        f"{INSTANCE_DATA}ResetTable": reset_table,
    }
    folders = ["/", "::DataSpace/", "::DataSpace/Storage/", STORAGE, f"{STORAGE}Transform/",
               f"{STORAGE}Transform/{LZX_TRANSFORM}/", INSTANCE_DATA]

    entries = [(name, 0, 0, 0) for name in folders] + compressed_files
    plain = b""
    for name, data in plain_files.items():
        entries.append((name, 0, len(plain), len(data)))
        plain += data
    entries.sort(key=lambda entry: entry[0].lower())
    chunk = listing_chunk(entries)

    directory_header = b"ITSP" + struct.pack(
        "<IIIIIIiIIiII", 1, 0x54, 0x0A, CHUNK_SIZE, QUICKREF_DENSITY, 1, -1, 0, 0, -1, 1,
        LANGUAGE_ID) + guid("{5D02926A-212E-11D0-9DF9-00A0C922E6EC}") + struct.pack(
        "<Iiii", 0x54, -1, -1, -1)
    directory = directory_header + chunk

    header_size = 0x60
    section0_size = 0x18
    directory_offset = header_size + section0_size
    content_offset = directory_offset + len(directory)
    file_size = content_offset + len(plain)
    header = b"ITSF" + struct.pack("<IIIII", 3, header_size, 1, 0, LANGUAGE_ID)
    header += guid("{7C01FD10-7BAA-11D0-9E0C-00A0C922E6EC}")
    header += guid("{7C01FD11-7BAA-11D0-9E0C-00A0C922E6EC}")
    header += struct.pack("<5Q", header_size, section0_size, directory_offset, len(directory),
                          content_offset)
    section0 = struct.pack("<IIQII", 0x1FE, 0, file_size, 0, 0)
    return header + section0 + directory + plain


def main():
    if len(sys.argv) < 4:
        sys.exit("usage: make_chm.py OUT.chm TITLE PAGE.htm [MORE.htm ...]")
    out, title, page_paths = Path(sys.argv[1]), sys.argv[2], [Path(p) for p in sys.argv[3:]]
    pages = [(path.name, path.read_bytes()) for path in page_paths]
    out.parent.mkdir(parents=True, exist_ok=True)
    out.write_bytes(make_chm(title, pages))


if __name__ == "__main__":
    main()
