"""Installing again where an earlier install left a read-only "Corvanta on the Web.url": the
setup replaces it. Wine runs as an ordinary user here, for whom read-only means read-only."""

import os
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import ordinary_user  # noqa: E402
from harness import SetupTestCase  # noqa: E402
from install_scenarios import Product, install, product_files, setup_environment  # noqa: E402
from shortcut_files import WEB_LINK, start_menu_folder, web_link_bytes  # noqa: E402

# Longer than the new link, so that a link written over it without truncation would show.
EARLIER_WEB_LINK = (b"[InternetShortcut]\r\nURL=https://old.corvanta.example/welcome\r\n"
                    b"IconIndex=0\r\n")


class InstallOverAReadOnlyWebLink(SetupTestCase):
    @classmethod
    def setUpClass(cls):
        # The server listens on port 443 before the test gives up root.
        product = Product(product_files()).start()
        cls.addClassCleanup(product.stop)
        ordinary_user.become_ordinary_user()
        super().setUpClass()

    def test_the_setup_replaces_a_read_only_web_link(self):
        link = start_menu_folder() / WEB_LINK
        link.parent.mkdir(parents=True)
        link.write_bytes(EARLIER_WEB_LINK)
        link.chmod(0o444)
        # The way Wine shows read-only, and it holds for this process too.
        with self.assertRaises(PermissionError):
            link.open("r+b")

        install(self.start_setup(env=setup_environment()), start_menu=True, desktop=False)

        self.assertEqual(link.read_bytes(), web_link_bytes())
        self.assertTrue(os.access(link, os.W_OK), "the new link is not read-only")


if __name__ == "__main__":
    unittest.main()
