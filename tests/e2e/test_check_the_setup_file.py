"""What the built setup file declares before it runs: the administrator manifest with Common
Controls 6, the version resource, the icon, and imports of system DLLs only. Read from the file
itself."""

import os
import struct
import sys
import unittest
import xml.etree.ElementTree as ElementTree
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness.pe import PeFile  # noqa: E402

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"

# Every size Windows asks for between 100 % and 200 % scaling (16 to 64), and Explorer's
# largest view; each an 8-bit RGBA PNG (colour type 6), which keeps the icon this small.
ICON_SIZES = [16, 20, 24, 32, 40, 48, 64, 256]
PNG_SIGNATURE = b"\x89PNG\r\n\x1a\n"
PNG_RGBA = 6
ICON_BYTES_AT_MOST = 16 * 1024

# The KnownDLLs of 32-bit programs on Windows 7 and later: Windows maps these from the system
# folder whatever the search order, so importing them statically cannot load a planted copy.
KNOWN_DLLS = {
    "advapi32.dll", "clbcatq.dll", "combase.dll", "comdlg32.dll", "coml2.dll", "difxapi.dll",
    "gdi32.dll", "gdiplus.dll", "imagehlp.dll", "imm32.dll", "kernel32.dll", "msctf.dll",
    "msvcrt.dll", "normaliz.dll", "nsi.dll", "ole32.dll", "oleaut32.dll", "psapi.dll",
    "rpcrt4.dll", "sechost.dll", "setupapi.dll", "shcore.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "wldap32.dll", "ws2_32.dll",
}


def setup_exe():
    return Path(os.environ["CORVANTA_WIN32_BUILD_DIR"]) / "CorvantaWebSetup.exe"


class CheckTheSetupFile(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = PeFile(setup_exe())

    def test_it_is_a_32_bit_program(self):
        self.assertTrue(self.exe.is_32_bit)

    def test_the_manifest_asks_for_administrator_rights_and_common_controls_6(self):
        text = self.exe.manifest()
        self.assertIsNotNone(text, "the exe has an application manifest (resource 24, id 1)")
        manifest = ElementTree.fromstring(text)

        levels = manifest.findall(f".//{ASM_V3}requestedExecutionLevel")
        self.assertEqual(len(levels), 1)
        self.assertEqual(levels[0].attrib, {"level": "requireAdministrator", "uiAccess": "false"})

        dependencies = [identity.attrib for identity in manifest.findall(
            f"./{ASM_V1}dependency/{ASM_V1}dependentAssembly/{ASM_V1}assemblyIdentity")]
        common_controls = [identity for identity in dependencies
                           if identity.get("name") == "Microsoft.Windows.Common-Controls"]
        self.assertEqual(len(common_controls), 1, dependencies)
        expected = {"type": "win32", "version": "6.0.0.0", "processorArchitecture": "x86",
                    "publicKeyToken": "6595b64144ccf1df"}
        for field, value in expected.items():
            with self.subTest(field=field):
                self.assertEqual(common_controls[0].get(field), value)

    def test_the_first_icon_has_every_size_as_a_small_png(self):
        images = self.exe.first_icon()
        self.assertIsNotNone(images, "the exe has an icon")
        self.assertEqual(sorted(width for width, _, _ in images), ICON_SIZES)
        for width, height, image in images:
            with self.subTest(size=width):
                self.assertEqual(image[:8], PNG_SIGNATURE, "a PNG")
                # The IHDR chunk: width, height, bit depth, colour type.
                header = struct.unpack_from(">IIBB", image, 16)
                self.assertEqual(header, (width, height, 8, PNG_RGBA), "8-bit RGBA of its size")
        self.assertLessEqual(sum(len(image) for _, _, image in images), ICON_BYTES_AT_MOST)

    def test_the_version_resource_names_the_setup(self):
        version = self.exe.version_info()
        self.assertIsNotNone(version, "the exe has a version resource")
        fixed, strings = version
        self.assertEqual(fixed.file_version, "6.0.0.0")
        self.assertEqual(fixed.product_version, "6.0.0.0")
        expected_strings = [
            ("FileDescription", "Corvanta Web Setup"),
            ("InternalName", "Corvanta Web Setup"),
            ("OriginalFilename", "Corvanta Web Setup"),
            ("ProductName", "Corvanta Web Setup"),
            ("FileVersion", "6.0.0.0"),
            ("ProductVersion", "6.0.0.0"),
        ]
        for name, value in expected_strings:
            with self.subTest(field=name):
                self.assertEqual(strings.get(name), value)

    def test_it_imports_only_known_dlls(self):
        imported = [name.lower() for name in self.exe.imported_dlls()]
        self.assertIn("kernel32.dll", imported)
        self.assertEqual(sorted(set(imported) - KNOWN_DLLS), [],
                         "DLLs that Windows would look for next to the exe first")
        self.assertEqual(self.exe.delay_imported_dlls(), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
