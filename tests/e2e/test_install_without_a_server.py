"""Clicking Install while the download server is not there: the setup asks about the manifest,
naming the vendor's domain and WinINet's reason for the failed connection (not the reason of a
later call); Retry asks again while the server stays away, Cancel returns to the ready page, and
an Install once the server is back completes."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import BACK, NEXT, SetupTestCase  # noqa: E402
from install_scenarios import (ERROR_INTERNET_CANNOT_CONNECT, IDCANCEL, IDRETRY,  # noqa: E402
                               Product, button_ids, click_install, content, files_in,
                               install_folder, internet_error_text, manifest_question,
                               progress, wait_finished, wait_question, wait_ready)


class InstallWithoutAServer(SetupTestCase):
    def test_the_manifest_question_names_the_failed_connection_and_cancel_returns_to_ready(self):
        reason = internet_error_text(ERROR_INTERNET_CANNOT_CONNECT)
        self.assertTrue(reason, "WinINet has a text for a connection that failed")
        wizard = self.start_setup()
        click_install(wizard)

        box = wait_question(wizard)
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(button_ids(box), [IDCANCEL, IDRETRY])
        self.assertEqual(box["text"], manifest_question(reason))
        self.assertEqual(progress(wizard), (0, 0, 0))

        wizard.answer(box, IDRETRY)
        box = wait_question(wizard)
        self.assertEqual(box["text"], manifest_question(reason), "Retry meets the same fault")

        wizard.answer(box, IDCANCEL)
        window = wait_ready(wizard)
        self.assertEqual(wizard.button(NEXT, window).text, "Install")
        self.assertTrue(wizard.button(NEXT, window).enabled)
        self.assertTrue(wizard.button(BACK, window).visible)
        self.assertEqual(wizard.boxes(), [])
        self.assertEqual(files_in(install_folder()), {})

        files = {"Corvanta.exe": content(20_000, 31), "Help/Corvanta.chm": content(700, 32)}
        with Product(files) as product:
            wizard.click_button(NEXT)
            window = wait_finished(wizard)
            self.assertEqual(files_in(install_folder()), product.installed())
            self.assertEqual(progress(wizard, window), (0, 2, 2))


if __name__ == "__main__":
    unittest.main(verbosity=2)
