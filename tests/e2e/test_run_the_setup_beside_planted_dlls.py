"""Running the setup from a folder where someone has planted DLLs under the names of system
DLLs it uses (a downloads folder, say): the setup must take every DLL from the system."""

import shutil
import sys
import unittest
from pathlib import Path, PureWindowsPath

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import IDCANCEL, INSTALLING, NEXT, READY, SetupTestCase, paths, state, wine  # noqa: E402

# The DLLs the setup uses that are not KnownDLLs: WinINet, loaded for Install, and Common
# Controls, loaded at start. Wine prefers its own DLLs unless told to resolve these names as
# Windows does, native first, which is what makes a planted copy a threat here.
PLANTED = ["wininet.dll", "comctl32.dll"]
OVERRIDES = "wininet,comctl32=n,b"
MARKER_SUFFIX = ".loaded"


class RunTheSetupBesidePlantedDlls(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.folder = state.scratch_folder() / "Downloads"
        self.folder.mkdir(parents=True)
        for name in (paths.setup_exe().name, "PlainLoader.exe"):
            source = paths.setup_exe() if name == paths.setup_exe().name else paths.test_tool(name)
            shutil.copy2(source, self.folder / name)
        for name in PLANTED:
            shutil.copy2(paths.test_tool("CorvantaLoadMarker.dll"), self.folder / name)
        self.environment = wine.environment(OVERRIDES)

    def markers(self):
        return sorted(marker.name for marker in self.folder.glob(f"*{MARKER_SUFFIX}"))

    def test_the_setup_takes_no_dll_from_its_own_folder(self):
        exe = self.folder / paths.setup_exe().name
        wizard = self.start_setup(exe=exe, env=self.environment)
        wizard.go_to_ready()
        wizard.click_button(NEXT)
        wizard.wait_page(INSTALLING)
        # The worker's question shows that WinINet was loaded and did its work.
        box = wizard.wait_box()
        self.assertTrue(box["text"].startswith("An error occurred while trying to download files"),
                        box["text"])

        own_folder = PureWindowsPath(paths.windows_path(self.folder))
        modules = self.driver.modules(wizard.pid)
        loaded = {module["name"].lower(): PureWindowsPath(module["path"]) for module in modules}
        self.assertIn("wininet.dll", loaded)
        from_own_folder = [str(path) for name, path in loaded.items()
                           if str(path.parent).lower() == str(own_folder).lower()
                           and name != exe.name.lower()]
        self.assertEqual(from_own_folder, [])
        self.assertEqual(self.markers(), [], "no planted DLL ran")

        wizard.answer(box, IDCANCEL)
        wizard.wait_page(READY)

    def test_a_plain_load_from_that_folder_takes_the_planted_dll(self):
        # Proves that the test above can fail: the unsafe way finds the planted copies.
        for name in PLANTED:
            with self.subTest(dll=name):
                completed = wine.run([self.folder / "PlainLoader.exe", name], env=self.environment,
                                     check=False)
                self.assertEqual(completed.returncode, 0, completed.stdout + completed.stderr)
                self.assertEqual(completed.stdout.strip().lower(),
                                 paths.windows_path(self.folder / name).lower())
                self.assertIn(name + MARKER_SUFFIX, self.markers())


if __name__ == "__main__":
    unittest.main(verbosity=2)
