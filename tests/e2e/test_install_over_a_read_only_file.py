"""Installing where an earlier install left read-only files of the same names: the setup clears
the read-only attribute and replaces them, byte for byte. Wine runs as an ordinary user here,
for whom read-only means read-only."""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import ordinary_user  # noqa: E402
from harness import SetupTestCase  # noqa: E402
from install_scenarios import (Product, click_install, content, files_in,  # noqa: E402
                               install_folder, installed_path, progress, wait_finished)

FILES = {
    "Corvanta.exe": content(25_000, 51),
    "Help/Corvanta.chm": content(4_000, 52),
}
# Longer than the new files, so that one written over without truncation would show.
EARLIER = {"Corvanta.exe": content(60_000, 53), "Help\\Corvanta.chm": content(9_000, 54)}


class InstallOverAReadOnlyFile(SetupTestCase):
    @classmethod
    def setUpClass(cls):
        # The server listens on port 443 before the test gives up root.
        cls.product = Product(FILES).start()
        cls.addClassCleanup(cls.product.stop)
        ordinary_user.become_ordinary_user()
        super().setUpClass()

    def test_read_only_files_of_the_same_names_are_replaced(self):
        for local, data in EARLIER.items():
            path = installed_path(local)
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
            path.chmod(0o444)
            # The way Wine shows read-only, and it holds for this process too.
            with self.assertRaises(PermissionError):
                path.open("r+b")

        wizard = self.start_setup()
        click_install(wizard)
        window = wait_finished(wizard)

        self.assertEqual(files_in(install_folder()), self.product.installed())
        self.assertEqual(progress(wizard, window), (0, 2, 2))
        self.assertEqual(wizard.boxes(), [])
        for local in EARLIER:
            self.assertTrue(os.access(installed_path(local), os.W_OK),
                            f"{local} is no longer read-only")


if __name__ == "__main__":
    unittest.main(verbosity=2)
