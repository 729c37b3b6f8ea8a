#!/usr/bin/env python3
"""Examines the built CorvantaWebSetup.exe as a release engineer would before publishing it.

Prints one line per check, PASS or FAIL, and exits 1 when any check fails.
"""

import argparse
import hashlib
import os
import re
import struct
import sys
import xml.etree.ElementTree as ET

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_image as pe  # noqa: E402

DEFAULT_IMPORT_LIST = os.path.join(os.path.dirname(os.path.abspath(__file__)), "allowed-imports.txt")

PRODUCT_NAME = "Corvanta Web Setup"
PRODUCT_VERSION = "6.0.0.0"
NAMED_VERSION_FIELDS = ("FileDescription", "InternalName", "OriginalFilename", "ProductName")
NUMBER_VERSION_FIELDS = ("FileVersion", "ProductVersion")
VENDOR_VERSION_FIELDS = ("CompanyName", "LegalCopyright", "Comments")
VFT_APP = 0x1
VOS_NT_WINDOWS32 = 0x40004

# The loader reads the process manifest from RT_MANIFEST resource 1 of an exe.
CREATEPROCESS_MANIFEST_RESOURCE_ID = 1
VS_VERSION_INFO_ID = 1

ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
# Windows accepts trustInfo in either namespace.
TRUST_INFO_NAMESPACES = ("urn:schemas-microsoft-com:asm.v2", "urn:schemas-microsoft-com:asm.v3")
COMMON_CONTROLS = {
    "type": "win32",
    "name": "Microsoft.Windows.Common-Controls",
    "version": "6.0.0.0",
    "publicKeyToken": "6595b64144ccf1df",
}
COMMON_CONTROLS_ARCHITECTURES = ("x86", "*")

# DLLs that Windows 7 to Windows 11 all list under KnownDLLs, so the loader maps them from the
# system folder and never from the folder a downloaded setup sits in. Deliberately short: a DLL
# missing here fails the check, which is the safe way to be wrong.
KNOWN_DLLS = frozenset(name.lower() for name in (
    "advapi32.dll", "comdlg32.dll", "gdi32.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll",
    "msctf.dll", "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll",
    "psapi.dll", "setupapi.dll", "shell32.dll", "shlwapi.dll", "user32.dll", "wldap32.dll",
    "ws2_32.dll"))

SOURCE_SUFFIXES = r"(?:c|cc|cpp|cxx|h|hh|hpp|hxx|inl|ipp|tcc|s|asm|o|obj|a|lib|pdb|dwo|debug)"
# Folders where build machines keep sources and build trees; a path into one identifies the
# machine that built the exe.
BUILD_MACHINE_PATH = re.compile(
    r"(?<![\w.~:/\\-])/(?:home|root|tmp|work|build|builds|usr|opt|var|srv|mnt|media|nix|Users|private)/\S*")
ABSOLUTE_SOURCE_PATH = re.compile(
    r"(?:(?<![\w.~:/\\-])/|\b[A-Za-z]:[\\/]|\\\\)[^\0\n\"<>|]*\." + SOURCE_SUFFIXES + r"\b", re.IGNORECASE)
PDB_NAME = re.compile(r"\.pdb\b", re.IGNORECASE)
ASCII_STRING = re.compile(rb"[\x20-\x7e]{4,}")
UTF16_STRING = re.compile(rb"(?:[\x20-\x7e]\x00){4,}")

WIN_CERT_REVISION_2_0 = 0x0200
WIN_CERT_TYPE_PKCS_SIGNED_DATA = 0x0002
# DER encodings of the object identifiers that mark an Authenticode SHA-256 signature.
OID_SIGNED_DATA = bytes.fromhex("06092a864886f70d010702")
OID_SPC_INDIRECT_DATA = bytes.fromhex("060a2b060104018237020104")
OID_SHA256 = bytes.fromhex("0609608648016503040201")
OID_RFC3161_TIME_STAMP = bytes.fromhex("060a2b060104018237030301")


# A publisher key built into the setup is the DER SubjectPublicKeyInfo of an ECDSA P-256 key with
# an uncompressed point: these 27 bytes (ecPublicKey, prime256v1, 0x04), then x and y.
P256_KEY_PREFIX = bytes.fromhex("3059301306072a8648ce3d020106082a8648ce3d03010703420004")
P256_COORDINATE_SIZE = 32
P256_KEY_SIZE = len(P256_KEY_PREFIX) + 2 * P256_COORDINATE_SIZE
# The curve y^2 = x^3 - 3x + b over the prime field of P-256.
P256_PRIME = 2 ** 256 - 2 ** 224 + 2 ** 192 + 2 ** 96 - 1
P256_B = 0x5AC635D8AA3A93E7B3EBBD55769886BC651D06B0CC53B0F63BCE3C3E27D2604B


# The linker map (ld -Map) names each archive member the link took, at the start of a line, with
# the file and symbol that needed it on the same line or the next. winpthreads is libpthread.a
# (libwinpthread.a, or the import library of its DLL); the win32 thread model needs none of it.
MAP_MEMBERS_HEADING = "Archive member included to satisfy reference by file (symbol)"
MAP_MEMORY_HEADING = "Linker script and memory map"
WINPTHREADS_MEMBER = re.compile(r"(?:^|[\s/])lib(?:win)?pthread(?:\.dll)?\.a\(([^()\s]+)\)")
NEEDED_BY = re.compile(r"\s(\S+) \((.+)\)$")


class CheckFailed(Exception):
    pass


def require(condition, message):
    if not condition:
        raise CheckFailed(message)


def read_import_list(path):
    names = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.split("#", 1)[0].strip()
            if line:
                names.append(line)
    return names


def check_pe32(image):
    require(image.machine == pe.IMAGE_FILE_MACHINE_I386, "machine is 0x%04x, not i386 (0x014c)" % image.machine)
    require(image.characteristics & pe.IMAGE_FILE_EXECUTABLE_IMAGE, "not marked as an executable image")
    require(image.characteristics & pe.IMAGE_FILE_32BIT_MACHINE, "not marked as a 32-bit machine image")
    require(not image.characteristics & pe.IMAGE_FILE_DLL, "marked as a DLL")
    return "i386 machine, PE32 optional header, executable image, %d sections" % len(image.sections)


def check_gui_subsystem(image):
    require(image.subsystem == pe.IMAGE_SUBSYSTEM_WINDOWS_GUI,
            "subsystem is %d, not Windows GUI (%d)" % (image.subsystem, pe.IMAGE_SUBSYSTEM_WINDOWS_GUI))
    return "Windows GUI (2)"


def process_manifest(image):
    manifests = image.resources_of_type(pe.RT_MANIFEST)
    require(len(manifests) == 1, "%d manifest resources, expected exactly one" % len(manifests))
    manifest = manifests[0]
    require(manifest.name == CREATEPROCESS_MANIFEST_RESOURCE_ID,
            "manifest resource is %r, the loader reads only ID 1" % (manifest.name,))
    try:
        root = ET.fromstring(manifest.data)
    except ET.ParseError as e:
        raise CheckFailed("manifest is not well-formed XML: %s" % e)
    require(root.tag == "{%s}assembly" % ASM_V1, "manifest root is %s, not asm.v1 assembly" % root.tag)
    require(root.get("manifestVersion") == "1.0", "manifestVersion is %r" % root.get("manifestVersion"))
    return root


def check_execution_level(image):
    root = process_manifest(image)
    levels = []
    for ns in TRUST_INFO_NAMESPACES:
        path = "{%s}trustInfo/{%s}security/{%s}requestedPrivileges/{%s}requestedExecutionLevel" % (ns, ns, ns, ns)
        levels += root.findall(path)
    require(len(levels) == 1, "%d requestedExecutionLevel elements, expected one" % len(levels))
    level = levels[0].get("level")
    ui_access = levels[0].get("uiAccess", "false")
    require(level == "requireAdministrator", "level is %r, not requireAdministrator" % level)
    require(ui_access == "false", "uiAccess is %r, not false" % ui_access)
    return 'requireAdministrator, uiAccess="false"'


def check_common_controls(image):
    root = process_manifest(image)
    path = "{%s}dependency/{%s}dependentAssembly/{%s}assemblyIdentity" % (ASM_V1, ASM_V1, ASM_V1)
    found = [a for a in root.findall(path) if a.get("name") == COMMON_CONTROLS["name"]]
    require(len(found) == 1, "%d dependencies on %s, expected one" % (len(found), COMMON_CONTROLS["name"]))
    identity = found[0]
    for attribute, expected in COMMON_CONTROLS.items():
        require(identity.get(attribute) == expected,
                "%s is %r, expected %r" % (attribute, identity.get(attribute), expected))
    architecture = identity.get("processorArchitecture")
    require(architecture in COMMON_CONTROLS_ARCHITECTURES,
            "processorArchitecture is %r, expected x86 or *" % architecture)
    return "%s %s, %s, token %s" % (COMMON_CONTROLS["name"], COMMON_CONTROLS["version"], architecture,
                                    COMMON_CONTROLS["publicKeyToken"])


def check_version_resource(image):
    resources = image.resources_of_type(pe.RT_VERSION)
    require(len(resources) == 1, "%d version resources, expected exactly one" % len(resources))
    require(resources[0].name == VS_VERSION_INFO_ID, "version resource is %r, not ID 1" % (resources[0].name,))
    root = pe.parse_version_info(resources[0].data)
    require(root.key == "VS_VERSION_INFO", "root key is %r" % root.key)
    require(len(root.value) == 52, "fixed file info is %d bytes, not 52" % len(root.value))
    fixed = pe.FixedFileInfo(root.value)
    require(fixed.signature == pe.VS_FIXEDFILEINFO_SIGNATURE, "fixed file info signature 0x%08x" % fixed.signature)
    require(fixed.file_version == PRODUCT_VERSION, "binary file version %s, not %s" % (fixed.file_version, PRODUCT_VERSION))
    require(fixed.product_version == PRODUCT_VERSION,
            "binary product version %s, not %s" % (fixed.product_version, PRODUCT_VERSION))
    require(fixed.file_type == VFT_APP, "file type %d, not an application" % fixed.file_type)
    require(fixed.file_os == VOS_NT_WINDOWS32, "file OS 0x%x, not VOS_NT_WINDOWS32" % fixed.file_os)
    flags = fixed.file_flags & fixed.file_flags_mask
    require(flags == 0, "file flags 0x%x mark a debug, pre-release, patched or private build" % flags)

    string_info = root.child("StringFileInfo")
    require(string_info is not None and len(string_info.children) == 1, "expected one StringFileInfo string table")
    table = string_info.children[0]
    require(re.fullmatch(r"[0-9A-Fa-f]{8}", table.key), "string table key %r is not language+code page" % table.key)
    fields = {c.key: c.value for c in table.children}
    for name in NAMED_VERSION_FIELDS:
        require(fields.get(name) == PRODUCT_NAME, "%s is %r, not %r" % (name, fields.get(name), PRODUCT_NAME))
    for name in NUMBER_VERSION_FIELDS:
        require(fields.get(name) == PRODUCT_VERSION, "%s is %r, not %r" % (name, fields.get(name), PRODUCT_VERSION))
    for name in VENDOR_VERSION_FIELDS:
        require(fields.get(name, "").strip(), "%s is empty" % name)

    var_info = root.child("VarFileInfo")
    translation = var_info.child("Translation") if var_info is not None else None
    require(translation is not None and len(translation.value) % 4 == 0 and translation.value,
            "no VarFileInfo Translation")
    pairs = ["%04X%04X" % (int.from_bytes(translation.value[i:i + 2], "little"),
                           int.from_bytes(translation.value[i + 2:i + 4], "little"))
             for i in range(0, len(translation.value), 4)]
    require(table.key.upper() in pairs, "string table %s is not among the translations %s" % (table.key, pairs))
    return "%s, file and product version %s, language %s" % (PRODUCT_NAME, PRODUCT_VERSION, table.key)


def check_aslr(image):
    require(image.dll_characteristics & pe.IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE,
            "DllCharacteristics 0x%04x lacks DYNAMIC_BASE" % image.dll_characteristics)
    # Without relocations the loader cannot move the image, whatever the flag says.
    require(not image.characteristics & pe.IMAGE_FILE_RELOCS_STRIPPED, "relocations are stripped")
    reloc_rva, reloc_size = image.directory(pe.DIRECTORY_BASERELOC)
    require(reloc_rva and reloc_size, "no base relocation directory")
    return "DYNAMIC_BASE, %d bytes of base relocations" % reloc_size


def check_dep(image):
    require(image.dll_characteristics & pe.IMAGE_DLLCHARACTERISTICS_NX_COMPAT,
            "DllCharacteristics 0x%04x lacks NX_COMPAT" % image.dll_characteristics)
    return "NX_COMPAT"


def check_imports(image, allowed):
    imported = image.imported_dlls()
    by_name = {name.lower(): name for name in imported}
    wanted = {name.lower(): name for name in allowed}
    unexpected = sorted(by_name[n] for n in set(by_name) - set(wanted))
    missing = sorted(wanted[n] for n in set(wanted) - set(by_name))
    problems = []
    if unexpected:
        problems.append("imports DLLs not on the list: " + ", ".join(unexpected))
    if missing:
        problems.append("listed DLLs not imported: " + ", ".join(missing))
    if len(by_name) != len(imported):
        problems.append("a DLL has more than one import descriptor")
    delayed = image.delay_imported_dlls()
    if delayed:
        problems.append("delay-loaded DLLs: " + ", ".join(delayed))
    if image.directory(pe.DIRECTORY_BOUND_IMPORT)[0]:
        problems.append("has bound imports")
    require(not problems, "; ".join(problems))
    return ", ".join(imported)


def check_import_list(allowed):
    unknown = [name for name in allowed if name.lower() not in KNOWN_DLLS]
    require(not unknown, "not KnownDLLs: " + ", ".join(unknown))
    return "all %d listed DLLs are KnownDLLs" % len(allowed)


def text_strings(data):
    for match in ASCII_STRING.finditer(data):
        yield match.group().decode("ascii")
    for match in UTF16_STRING.finditer(data):
        yield match.group().decode("utf-16-le")


def check_no_debug_paths(image, build_paths):
    problems = []
    debug_rva, _ = image.directory(pe.DIRECTORY_DEBUG)
    if debug_rva:
        problems.append("has a debug directory")
    if image.pointer_to_symbol_table or image.number_of_symbols:
        problems.append("has a COFF symbol table")
    debug_sections = [s.name for s in image.sections if s.name.startswith((".debug", ".zdebug", ".stab"))]
    if debug_sections:
        problems.append("debug sections " + ", ".join(debug_sections))
    # The signature's certificates are not part of the build; everything else is scanned.
    cert_offset, cert_size = image.certificate_table()
    data = image.data[:cert_offset] + image.data[cert_offset + cert_size:] if cert_size else image.data
    needles = sorted({p.rstrip("/") for p in build_paths if len(p.rstrip("/")) > 1}, key=len, reverse=True)
    found = set()
    count = 0
    for text in text_strings(data):
        count += 1
        for needle in needles:
            if needle in text:
                found.add(text.strip())
        for pattern in (BUILD_MACHINE_PATH, ABSOLUTE_SOURCE_PATH, PDB_NAME):
            if pattern.search(text):
                found.add(text.strip())
    if found:
        problems.append("build paths: " + "; ".join(repr(f[:120]) for f in sorted(found)[:5]))
    require(not problems, "; ".join(problems))
    return "no debug directory, symbols or debug sections; no build path in %d strings" % count


def check_no_build_time(image, source_date_epoch):
    expected = source_date_epoch if source_date_epoch is not None else 0
    require(image.time_date_stamp == expected,
            "file header time stamp is %d, expected %d%s" % (
                image.time_date_stamp, expected,
                " (SOURCE_DATE_EPOCH)" if source_date_epoch is not None else ""))
    _leaves, stamps = image.resources()
    require(not any(stamps), "a resource directory carries time stamp %d" % max(stamps))
    return "header time stamp %d%s, resource directories 0" % (
        expected, " = SOURCE_DATE_EPOCH" if source_date_epoch is not None else "")


def check_header_checksum(image):
    actual = pe.pe_checksum(image.data, image.checksum_offset)
    require(image.checksum == actual, "CheckSum is 0x%08x, the image sums to 0x%08x" % (image.checksum, actual))
    return "0x%08x" % actual


def first_winpthreads_need(text):
    """The symbol and the file for which the link first took a winpthreads member, or None."""
    lines = text.split(MAP_MEMBERS_HEADING, 1)[-1].splitlines()
    for at, line in enumerate(lines):
        if line[:1].strip() and WINPTHREADS_MEMBER.search(line.split()[0]):
            needed = NEEDED_BY.search(line) or (NEEDED_BY.search(lines[at + 1]) if at + 1 < len(lines) else None)
            return (needed.group(2), os.path.basename(needed.group(1))) if needed else None
    return None


def check_thread_library(map_path):
    try:
        with open(map_path, encoding="utf-8", errors="replace") as f:
            text = f.read()
    except OSError as e:
        raise CheckFailed("cannot read the linker map: %s" % e)
    require(MAP_MEMORY_HEADING in text, "%s is no linker map (ld -Map writes one)" % map_path)
    members = sorted(set(WINPTHREADS_MEMBER.findall(text)))
    if members:
        need = first_winpthreads_need(text)
        raise CheckFailed("winpthreads is linked in: %s%s; the setup needs no thread library: build it with the "
                          "win32 thread model (i686-w64-mingw32-g++-win32) and call no pthread function"
                          % (", ".join(members), ", first for %s in %s" % need if need else ""))
    return "no winpthreads object in %s" % os.path.basename(map_path)


def built_in_publisher_keys(image):
    """The DER SubjectPublicKeyInfo of each publisher key in the exe's sections, in their order."""
    keys = []
    for section in image.sections:
        data = image.data[section.raw_offset:section.raw_offset + section.raw_size]
        at = data.find(P256_KEY_PREFIX)
        while at != -1 and at + P256_KEY_SIZE <= len(data):
            keys.append(data[at:at + P256_KEY_SIZE])
            at = data.find(P256_KEY_PREFIX, at + P256_KEY_SIZE)
    return keys


# A setup with keys holds its minimum release in words, for its log: "minimum release 7".
MINIMUM_RELEASE_TEXT = re.compile(rb"minimum release (0|[1-9][0-9]*)\x00")


def built_in_minimum_releases(image):
    """Every minimum release the exe's sections name, as numbers."""
    found = set()
    for section in image.sections:
        data = image.data[section.raw_offset:section.raw_offset + section.raw_size]
        found.update(int(match.group(1)) for match in MINIMUM_RELEASE_TEXT.finditer(data))
    return sorted(found)


def is_p256_point(key):
    x = int.from_bytes(key[len(P256_KEY_PREFIX):-P256_COORDINATE_SIZE], "big")
    y = int.from_bytes(key[-P256_COORDINATE_SIZE:], "big")
    return x < P256_PRIME and y < P256_PRIME and (y * y - (x * x * x - 3 * x + P256_B)) % P256_PRIME == 0


def check_publisher_keys(image):
    keys = built_in_publisher_keys(image)
    if not keys:
        return "none built in: the setup checks no signature"
    unusable = [str(number) for number, key in enumerate(keys, 1) if not is_p256_point(key)]
    require(not unusable, "key %s of %d is no point of P-256, so the setup can verify nothing with it"
            % (", ".join(unusable), len(keys)))
    minimums = built_in_minimum_releases(image)
    require(len(minimums) == 1, "%d keys built in, but the exe names %s minimum release"
            % (len(keys), "no" if not minimums else "more than one"))
    fingerprints = [hashlib.sha256(key).hexdigest() for key in keys]
    return "%d built in, minimum release %d, fingerprints (SHA-256 of the SubjectPublicKeyInfo): %s" % (
        len(keys), minimums[0], ", ".join(fingerprints))


def check_signature(image):
    offset, size = image.certificate_table()
    require(offset and size, "not signed: no certificate table")
    require(offset + size == len(image.data), "certificate table does not end the file")
    require(size >= 8, "certificate table of %d bytes" % size)
    (length, revision, cert_type) = struct.unpack_from("<IHH", image.data, offset)
    require(8 < length <= size, "certificate entry of %d bytes in a table of %d" % (length, size))
    require(revision == WIN_CERT_REVISION_2_0, "certificate revision 0x%04x" % revision)
    require(cert_type == WIN_CERT_TYPE_PKCS_SIGNED_DATA, "certificate type %d, not PKCS#7 signed data" % cert_type)
    blob = image.data[offset + 8:offset + length]
    require(OID_SIGNED_DATA in blob[:32], "certificate is not PKCS#7 signed data")
    require(OID_SPC_INDIRECT_DATA in blob, "no Authenticode indirect data")
    require(OID_SHA256 in blob, "no SHA-256 digest")
    stamped = "time-stamped" if OID_RFC3161_TIME_STAMP in blob else "not time-stamped"
    return "Authenticode PKCS#7, SHA-256, %s, %d bytes (osslsigncode verify checks the chain)" % (stamped, length)


def run_checks(path, import_list, build_paths, source_date_epoch, require_signature, map_path=None,
               out=sys.stdout):
    allowed = read_import_list(import_list)
    checks = [
        ("32-bit PE", check_pe32),
        ("GUI subsystem", check_gui_subsystem),
        ("execution level", check_execution_level),
        ("Common Controls 6", check_common_controls),
        ("version resource", check_version_resource),
        ("ASLR", check_aslr),
        ("DEP", check_dep),
        ("imports", lambda image: check_imports(image, allowed)),
        ("KnownDLLs only", lambda _image: check_import_list(allowed)),
        ("no debug paths", lambda image: check_no_debug_paths(image, build_paths)),
        ("no build time", lambda image: check_no_build_time(image, source_date_epoch)),
        ("header checksum", check_header_checksum),
        ("publisher keys", check_publisher_keys),
    ]
    if map_path is not None:
        checks.append(("thread library", lambda _image: check_thread_library(map_path)))
    if require_signature:
        checks.append(("signature", check_signature))

    image = None
    unreadable = None
    try:
        image = pe.PeImage.from_file(path)
    except (OSError, pe.PeFormatError) as e:
        unreadable = str(e)
    failures = 0
    for name, check in checks:
        if image is None:
            ok, detail = False, "cannot read %s: %s" % (path, unreadable)
        else:
            try:
                ok, detail = True, check(image)
            except CheckFailed as e:
                ok, detail = False, str(e)
            except (pe.PeFormatError, struct.error, UnicodeDecodeError) as e:
                ok, detail = False, "malformed image: %s" % e
        failures += not ok
        print("%s %s: %s" % ("PASS" if ok else "FAIL", name, detail), file=out)
    if failures:
        print("release check FAILED: %d of %d checks of %s" % (failures, len(checks), path), file=out)
    else:
        print("release check passed: %d checks of %s" % (len(checks), path), file=out)
    return failures == 0


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("exe", help="the CorvantaWebSetup.exe to examine")
    parser.add_argument("--imports", default=DEFAULT_IMPORT_LIST,
                        help="the list of DLLs the exe must import, one a line (default: %(default)s)")
    parser.add_argument("--build-path", action="append", default=[],
                        help="a source or build folder whose path must not appear in the exe (repeatable)")
    parser.add_argument("--map",
                        help="the linker map of the exe's link: also require that no winpthreads object is linked in")
    parser.add_argument("--require-signature", action="store_true",
                        help="also require an Authenticode SHA-256 signature")
    args = parser.parse_args(argv)
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if epoch is not None and not epoch.isdigit():
        parser.error("SOURCE_DATE_EPOCH must be a number of seconds, got %r" % epoch)
    build_paths = set()
    for p in args.build_path:
        build_paths.update({os.path.abspath(p), os.path.realpath(p)})
    ok = run_checks(args.exe, args.imports, sorted(build_paths), int(epoch) if epoch is not None else None,
                    args.require_signature, args.map)
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
