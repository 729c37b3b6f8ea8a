#!/usr/bin/env python3
"""The release check passes the built exe, and fails exactly the right check for each defect a
publisher must not ship, planted into a copy of that exe. Our PE reader agrees with objdump."""

import os
import re
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
RELEASE = os.path.dirname(HERE)
sys.path.insert(0, RELEASE)
import pe_image as pe  # noqa: E402

CHECKER = os.path.join(RELEASE, "release_check.py")
EXE = os.path.join(os.environ["CORVANTA_WIN32_BUILD_DIR"], "CorvantaWebSetup.exe")
LINKER_MAP = os.path.join(os.environ["CORVANTA_WIN32_BUILD_DIR"], "CorvantaWebSetup.map")
SOURCE_DIR = os.environ["CORVANTA_SOURCE_DIR"]
OBJDUMP = "i686-w64-mingw32-objdump"

ALL_CHECKS = ["32-bit PE", "GUI subsystem", "execution level", "Common Controls 6", "version resource", "ASLR",
              "DEP", "imports", "KnownDLLs only", "no debug paths", "no build time", "header checksum",
              "publisher keys"]
RESULT_LINE = re.compile(r"^(PASS|FAIL) ([^:]+): (.*)$")

failures = []


def expect(condition, message):
    if not condition:
        failures.append(message)
        print("not ok: " + message)


def run_checker(path, *options, env_extra=None):
    env = dict(os.environ)
    env.pop("SOURCE_DATE_EPOCH", None)
    env.update(env_extra or {})
    result = subprocess.run([sys.executable, CHECKER, path, "--build-path", SOURCE_DIR] + list(options),
                            capture_output=True, text=True, env=env)
    lines = result.stdout.splitlines()
    verdicts = {}
    for line in lines[:-1]:
        match = RESULT_LINE.match(line)
        if match:
            verdicts[match.group(2)] = match.group(1)
    return result.returncode, lines, verdicts


# Each defect is planted the way a build would produce it: the header checksum is recomputed
# afterwards, so that only the check under test has a reason to fail.
def with_checksum(image, data):
    struct.pack_into("<I", data, image.checksum_offset, pe.pe_checksum(bytes(data), image.checksum_offset))
    return data


def set_u16(offset_of, value):
    def mutate(image, data):
        struct.pack_into("<H", data, offset_of(image), value)
        return with_checksum(image, data)
    return mutate


def or_u16(offset_of, bits):
    def mutate(image, data):
        (old,) = struct.unpack_from("<H", data, offset_of(image))
        struct.pack_into("<H", data, offset_of(image), old | bits)
        return with_checksum(image, data)
    return mutate


def clear_u16(offset_of, bits):
    def mutate(image, data):
        (old,) = struct.unpack_from("<H", data, offset_of(image))
        struct.pack_into("<H", data, offset_of(image), old & ~bits)
        return with_checksum(image, data)
    return mutate


def set_u32(offset_of, value):
    def mutate(image, data):
        struct.pack_into("<I", data, offset_of(image), value)
        return with_checksum(image, data)
    return mutate


def coff(field):
    return lambda image: image.coff_offset + field


def optional(field):
    return lambda image: image.optional_offset + field


def directory(index):
    return lambda image: image.optional_offset + pe.OPTIONAL_DATA_DIRECTORIES + 8 * index


def resource_offset(image, type_):
    (resource,) = image.resources_of_type(type_)
    return image.rva_to_offset(resource.rva), resource.data


def edit_manifest(pattern, replacement):
    """Rewrites the manifest text in place; a shorter text is padded with trailing blanks."""
    def mutate(image, data):
        offset, raw = resource_offset(image, pe.RT_MANIFEST)
        text, count = re.subn(pattern, replacement, raw.decode("utf-8"), flags=re.S)
        assert count, "pattern %r not in the manifest" % pattern
        new = text.encode("utf-8")
        assert len(new) <= len(raw), "edited manifest is longer than the resource"
        data[offset:offset + len(raw)] = new + b" " * (len(raw) - len(new))
        return with_checksum(image, data)
    return mutate


def edit_fixed_file_info(field_offset, value):
    def mutate(image, data):
        offset, raw = resource_offset(image, pe.RT_VERSION)
        fixed = raw.index(struct.pack("<I", pe.VS_FIXEDFILEINFO_SIGNATURE))
        struct.pack_into("<I", data, offset + fixed + field_offset, value)
        return with_checksum(image, data)
    return mutate


def edit_version_string(key, new_value):
    def mutate(image, data):
        offset, raw = resource_offset(image, pe.RT_VERSION)
        key_at = raw.index((key + "\0").encode("utf-16-le"))
        value_at = raw.index(b"\0\0", key_at + 2 * len(key)) + 2
        value_at += (-value_at) % 4  # values start on a 32-bit boundary
        encoded = new_value.encode("utf-16-le")
        data[offset + value_at:offset + value_at + len(encoded)] = encoded
        return with_checksum(image, data)
    return mutate


def rename_import(old, new):
    def mutate(image, data):
        (name_rva,) = [rva for name, rva in image.import_descriptors() if name == old]
        assert len(new) == len(old)
        at = image.rva_to_offset(name_rva)
        data[at:at + len(new)] = new.encode("ascii")
        return with_checksum(image, data)
    return mutate


def append(payload):
    def mutate(image, data):
        return with_checksum(image, data + payload)
    return mutate


def plant_in_section(name, payload):
    """Overwrites the start of a section's data; the exe is only read, never run."""
    def mutate(image, data):
        (section,) = [s for s in image.sections if s.name == name]
        data[section.raw_offset:section.raw_offset + len(payload)] = payload
        return with_checksum(image, data)
    return mutate


def corrupt_checksum(image, data):
    struct.pack_into("<I", data, image.checksum_offset, image.checksum ^ 0x10)
    return data


FIXED_FILE_VERSION_LS = 12
FIXED_FILE_FLAGS = 28
VS_FF_DEBUG = 0x1
PLANTED_BUILD_FOLDER = "/corvanta-build-7f3a/obj"

# (what is wrong, how to plant it, extra options, environment, the checks that must fail)
DEFECTS = [
    ("64-bit machine type", set_u16(coff(pe.COFF_MACHINE), 0x8664), [], {}, {"32-bit PE"}),
    ("marked as a DLL", or_u16(coff(pe.COFF_CHARACTERISTICS), pe.IMAGE_FILE_DLL), [], {}, {"32-bit PE"}),
    ("console subsystem", set_u16(optional(pe.OPTIONAL_SUBSYSTEM), pe.IMAGE_SUBSYSTEM_WINDOWS_CUI), [], {},
     {"GUI subsystem"}),
    ("no DYNAMIC_BASE", clear_u16(optional(pe.OPTIONAL_DLL_CHARACTERISTICS), pe.IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE),
     [], {}, {"ASLR"}),
    ("relocations stripped", or_u16(coff(pe.COFF_CHARACTERISTICS), pe.IMAGE_FILE_RELOCS_STRIPPED), [], {}, {"ASLR"}),
    ("no NX_COMPAT", clear_u16(optional(pe.OPTIONAL_DLL_CHARACTERISTICS), pe.IMAGE_DLLCHARACTERISTICS_NX_COMPAT),
     [], {}, {"DEP"}),
    ("runs as invoker", edit_manifest(r'level="requireAdministrator"', 'level="asInvoker"'), [], {},
     {"execution level"}),
    ("asks for UI access", edit_manifest(r'uiAccess="false"', 'uiAccess="true"'), [], {}, {"execution level"}),
    ("no Common Controls dependency", edit_manifest(r"<dependency>.*?</dependency>", ""), [], {},
     {"Common Controls 6"}),
    ("Common Controls of another publisher", edit_manifest(r"6595b64144ccf1df", "0123456789abcdef"), [], {},
     {"Common Controls 6"}),
    ("manifest not well-formed", edit_manifest(r"</assembly>", "</assemblz>"), [], {},
     {"execution level", "Common Controls 6"}),
    ("binary file version 6.0.0.1", edit_fixed_file_info(FIXED_FILE_VERSION_LS, 1), [], {}, {"version resource"}),
    ("debug build flag", edit_fixed_file_info(FIXED_FILE_FLAGS, VS_FF_DEBUG), [], {}, {"version resource"}),
    ("wrong product name", edit_version_string("ProductName", "Corvanta Web Setux"), [], {}, {"version resource"}),
    ("wrong file version text", edit_version_string("FileVersion", "6.0.0.9"), [], {}, {"version resource"}),
    ("imports a DLL not on the list", rename_import("SHELL32.dll", "SHFOLDER.dl"), [], {}, {"imports"}),
    ("debug directory", set_u32(directory(pe.DIRECTORY_DEBUG), 0x1000), [], {}, {"no debug paths"}),
    ("COFF symbol table", set_u32(coff(pe.COFF_POINTER_TO_SYMBOL_TABLE), 0x200), [], {}, {"no debug paths"}),
    ("absolute source path", append(b"/home/builder/corvanta/src/shell/Unit1.cpp\0"), [], {}, {"no debug paths"}),
    ("PDB path in UTF-16", append("C:\\Users\\builder\\CorvantaWebSetup.pdb\0".encode("utf-16-le")), [], {},
     {"no debug paths"}),
    ("path of the build folder", append((PLANTED_BUILD_FOLDER + "/Main.o\0").encode()),
     ["--build-path", PLANTED_BUILD_FOLDER], {}, {"no debug paths"}),
    ("build time in the header", set_u32(coff(pe.COFF_TIME_DATE_STAMP), 1733650000), [], {}, {"no build time"}),
    ("header time other than SOURCE_DATE_EPOCH", set_u32(coff(pe.COFF_TIME_DATE_STAMP), 1733650000), [],
     {"SOURCE_DATE_EPOCH": "1700000000"}, {"no build time"}),
    ("wrong header checksum", corrupt_checksum, [], {}, {"header checksum"}),
    ("unsigned where a signature is required", lambda image, data: data, ["--require-signature"], {},
     {"signature"}),
    ("a publisher key that is no point of the curve",
     plant_in_section(".rdata", bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d03010703420004") + b"\x01" * 64),
     [], {}, {"publisher keys"}),
]


def write_list(folder, names):
    path = os.path.join(folder, "imports.txt")
    with open(path, "w") as f:
        f.write("# a list under test\n" + "".join(n + "\n" for n in names))
    return path


def test_built_exe_passes(work):
    code, lines, verdicts = run_checker(EXE)
    expect(code == 0, "the built exe passes the release check:\n  " + "\n  ".join(lines))
    expect(list(verdicts) == ALL_CHECKS, "one line per check, in order: %s" % list(verdicts))
    expect(set(verdicts.values()) == {"PASS"}, "every check passes")
    expect("PASS publisher keys: none built in: the setup checks no signature" in lines,
           "the default build has no publisher keys")
    expect(lines[-1].startswith("release check passed"), "a closing line says it passed")


def test_each_defect_fails_its_check(work):
    original = pe.PeImage.from_file(EXE)
    for name, plant, options, env, must_fail in DEFECTS:
        path = os.path.join(work, "defect.exe")
        with open(path, "wb") as f:
            f.write(plant(original, bytearray(original.data)))
        code, lines, verdicts = run_checker(path, *options, env_extra=env)
        failed = {check for check, verdict in verdicts.items() if verdict == "FAIL"}
        expect(code == 1 and failed == must_fail,
               "%s: expected exactly %s to fail, got %s (exit %d)\n  %s"
               % (name, sorted(must_fail), sorted(failed), code, "\n  ".join(lines)))


def test_time_stamp_follows_source_date_epoch(work):
    image = pe.PeImage.from_file(EXE)
    stamped = set_u32(coff(pe.COFF_TIME_DATE_STAMP), 1700000000)(image, bytearray(image.data))
    path = os.path.join(work, "stamped.exe")
    with open(path, "wb") as f:
        f.write(stamped)
    code, lines, _ = run_checker(path, env_extra={"SOURCE_DATE_EPOCH": "1700000000"})
    expect(code == 0, "a header stamped with SOURCE_DATE_EPOCH passes:\n  " + "\n  ".join(lines))
    code, _, verdicts = run_checker(EXE, env_extra={"SOURCE_DATE_EPOCH": "1700000000"})
    expect(code == 1 and verdicts.get("no build time") == "FAIL",
           "an unstamped exe fails when SOURCE_DATE_EPOCH asks for a stamp")


def test_import_list_rules(work):
    image = pe.PeImage.from_file(EXE)
    imported = image.imported_dlls()
    cases = [
        ("the list as kept", imported, set()),
        ("a listed DLL the exe does not import", imported + ["SHLWAPI.dll"], {"imports"}),
        ("comctl32 added to the list", imported + ["COMCTL32.dll"], {"imports", "KnownDLLs only"}),
        ("an imported DLL missing from the list", imported[1:], {"imports"}),
        ("names differing only in case", [n.upper() for n in imported], set()),
    ]
    for name, names, must_fail in cases:
        code, lines, verdicts = run_checker(EXE, "--imports", write_list(work, names))
        failed = {check for check, verdict in verdicts.items() if verdict == "FAIL"}
        expect(failed == must_fail and code == (1 if must_fail else 0),
               "%s: expected %s to fail, got %s\n  %s" % (name, sorted(must_fail), sorted(failed), "\n  ".join(lines)))


def test_unreadable_files_fail_every_check(work):
    cases = [
        ("a text file", b"not an executable\n"),
        ("a truncated exe", open(EXE, "rb").read()[:200]),
    ]
    for name, content in cases:
        path = os.path.join(work, "broken.exe")
        with open(path, "wb") as f:
            f.write(content)
        code, lines, verdicts = run_checker(path)
        expect(code == 1 and list(verdicts) == ALL_CHECKS and set(verdicts.values()) == {"FAIL"},
               "%s: every check fails\n  %s" % (name, "\n  ".join(lines)))


def test_reader_agrees_with_objdump(work):
    dump = subprocess.run([OBJDUMP, "-p", EXE], capture_output=True, text=True, check=True).stdout
    image = pe.PeImage.from_file(EXE)

    def field(label):
        match = re.search(r"^%s\s+(?:0x)?([0-9a-fA-F]+)" % label, dump, re.M)
        return int(match.group(1), 16)

    expect(re.findall(r"DLL Name: (\S+)", dump) == image.imported_dlls(),
           "imported DLLs: objdump %s, ours %s" % (re.findall(r"DLL Name: (\S+)", dump), image.imported_dlls()))
    for label, ours in [("Subsystem", image.subsystem), ("DllCharacteristics", image.dll_characteristics),
                        ("CheckSum", image.checksum), ("ImageBase", image.image_base),
                        ("Characteristics", image.characteristics)]:
        expect(field(label) == ours, "%s: objdump 0x%x, ours 0x%x" % (label, field(label), ours))
    headers = subprocess.run([OBJDUMP, "-h", EXE], capture_output=True, text=True, check=True).stdout
    sections = re.findall(r"^\s*\d+\s+(\S+)\s+[0-9a-f]{8}\s+([0-9a-f]{8})\s+[0-9a-f]{8}\s+([0-9a-f]{8})", headers, re.M)
    theirs = [(name, int(vma, 16), int(offset, 16)) for name, vma, offset in sections]
    ours = [(s.name, image.image_base + s.virtual_address, s.raw_offset) for s in image.sections]
    expect(theirs == ours, "sections (name, address, file offset): objdump %s, ours %s" % (theirs, ours))


# What a link with the posix thread model adds to the map's list of archive members.
MAP_MEMBERS_HEADING = "Archive member included to satisfy reference by file (symbol)\n\n"
WINPTHREADS_MEMBER = ("/usr/i686-w64-mingw32/lib/libpthread.a(libwinpthread_la-mutex.o)\n"
                      "                              /usr/lib/gcc/i686-w64-mingw32/12-posix/libstdc++.a(eh_alloc.o)"
                      " (pthread_mutex_lock)\n")


def test_linker_map_without_a_thread_library(work):
    with open(LINKER_MAP) as f:
        built = f.read()
    expect(MAP_MEMBERS_HEADING in built, "the build's linker map lists the archive members it took")
    cases = [
        ("the build's own map", built, 0, "PASS thread library: no winpthreads object in"),
        ("a map that names winpthreads", built.replace(MAP_MEMBERS_HEADING, MAP_MEMBERS_HEADING + WINPTHREADS_MEMBER),
         1, "FAIL thread library: winpthreads is linked in: libwinpthread_la-mutex.o, first for "
            "pthread_mutex_lock in libstdc++.a(eh_alloc.o)"),
    ]
    for name, text, exit_code, verdict in cases:
        path = os.path.join(work, "CorvantaWebSetup.map")
        with open(path, "w") as f:
            f.write(text)
        code, lines, verdicts = run_checker(EXE, "--map", path)
        failed = {check for check, result in verdicts.items() if result == "FAIL"}
        expect(code == exit_code and failed <= {"thread library"} and any(l.startswith(verdict) for l in lines),
               "%s: expected exit %d and a line starting %r\n  %s" % (name, exit_code, verdict, "\n  ".join(lines)))


def main():
    with tempfile.TemporaryDirectory() as work:
        for test in (test_built_exe_passes, test_each_defect_fails_its_check,
                     test_time_stamp_follows_source_date_epoch, test_import_list_rules,
                     test_unreadable_files_fail_every_check, test_reader_agrees_with_objdump,
                     test_linker_map_without_a_thread_library):
            before = len(failures)
            test(work)
            print("%s %s" % ("ok" if len(failures) == before else "FAILED", test.__name__))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
