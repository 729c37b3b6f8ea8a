"""Starting the setup: the wizard opens on the licence agreement, which must be accepted first;
a second setup started meanwhile brings the first one back to the front and ends."""

import subprocess
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, CANCEL, LICENCE, NEXT, SetupTestCase, paths, wait_until,  # noqa: E402
                     wine)
from harness.wizard import CAPTION, START_TIMEOUT  # noqa: E402
from install_scenarios import Product, install, product_files  # noqa: E402

ACCEPT_AT = (40, 330)
DONT_ACCEPT_AT = (40, 350)
WM_SYSCOMMAND, SC_MINIMIZE, WS_MINIMIZE = 0x0112, 0xF020, 0x20000000


class StartTheSetup(SetupTestCase):
    def test_the_wizard_opens_on_the_licence_page_with_the_licence_not_accepted(self):
        wizard = self.start_setup()
        window = wizard.snapshot()

        self.assertEqual(window.text, "Web Setup - Corvanta")
        self.assertTrue(window.visible)
        self.assertEqual(wizard.visible_pages(window), [LICENCE])

        expected_buttons = [
            # button, caption, visible, enabled
            (BACK, "Back", False, True),
            (NEXT, "Next", True, False),
            (CANCEL, "Cancel", True, True),
        ]
        for name, caption, visible, enabled in expected_buttons:
            with self.subTest(button=name):
                button = wizard.button(name, window)
                self.assertEqual(button.text, caption)
                self.assertEqual(button.visible, visible)
                if visible:
                    self.assertEqual(button.enabled, enabled)

        accept = wizard.control(LICENCE, "radio", *ACCEPT_AT, window)
        dont_accept = wizard.control(LICENCE, "radio", *DONT_ACCEPT_AT, window)
        self.assertEqual(accept.text, "I accept this agreement")
        self.assertFalse(accept.checked)
        self.assertEqual(dont_accept.text, "I do not accept this agreement")
        self.assertTrue(dont_accept.checked)

    def test_the_wizard_has_the_foreground_and_no_message_box(self):
        wizard = self.start_setup()
        wait_until(lambda: self.driver.foreground() == wizard.hwnd, what="the wizard in front",
                   describe=lambda: f"the foreground window is {self.driver.foreground()}")
        self.assertEqual(wizard.boxes(), [])

    def test_a_second_setup_brings_the_first_back_and_ends_by_itself(self):
        product = Product(product_files()).start()
        self.addCleanup(product.stop)
        wizard = self.start_setup()
        self.driver.post(wizard.hwnd, WM_SYSCOMMAND, SC_MINIMIZE)
        wait_until(lambda: self.driver.info(wizard.hwnd).has_style(WS_MINIMIZE), what="minimised")

        second = wine.start([paths.setup_exe()], stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
        self.addCleanup(wine.wait_or_kill, second, 0)
        self.assertEqual(second.wait(START_TIMEOUT), 0)
        wizards = [window.hwnd for window in self.driver.top_windows()
                   if window.text == CAPTION and window.visible]
        self.assertEqual(wizards, [wizard.hwnd])
        self.assertFalse(self.driver.info(wizard.hwnd).has_style(WS_MINIMIZE), "restored")
        install(wizard)


if __name__ == "__main__":
    unittest.main(verbosity=2)
