"""Installing with the Start Menu and desktop choices of the destination page: the shortcuts
that the finished install leaves for all users, and what each holds."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import SetupTestCase, paths, state  # noqa: E402
from install_scenarios import (INSTALL_DIR, Product, install, installed_path,  # noqa: E402
                               product_files, setup_environment, windows_path)
from shortcut_files import (HELP_SHORTCUT, PROGRAM_SHORTCUT, WEB_LINK,  # noqa: E402
                            desktop_shortcut, existing_shortcuts, read_shortcuts,
                            start_menu_folder, web_link_bytes)

PROGRAM_LINK = (windows_path("Corvanta.exe"), str(INSTALL_DIR), "Corvanta")
HELP_LINK = (windows_path(r"Help\Corvanta.chm"), windows_path("Help"), "Help")


class InstallWithShortcutChoices(SetupTestCase):
    def install_choosing(self, start_menu, desktop, help_file=True):
        with Product(product_files(help_file)):
            wizard = self.start_setup(env=setup_environment())
            install(wizard, start_menu=start_menu, desktop=desktop)
            wizard.end()

    def test_both_choices_make_the_start_menu_folder_and_the_desktop_shortcut(self):
        self.install_choosing(start_menu=True, desktop=True)

        folder = start_menu_folder()
        self.assertEqual(sorted(path.name for path in folder.iterdir()),
                         sorted([PROGRAM_SHORTCUT, HELP_SHORTCUT, WEB_LINK]))
        self.assertEqual(read_shortcuts(folder / PROGRAM_SHORTCUT, folder / HELP_SHORTCUT,
                                        desktop_shortcut()), {
            folder / PROGRAM_SHORTCUT: PROGRAM_LINK,
            folder / HELP_SHORTCUT: HELP_LINK,
            desktop_shortcut(): PROGRAM_LINK,
        })
        self.assertEqual((folder / WEB_LINK).read_bytes(), web_link_bytes())

    def test_a_choice_left_off_makes_none_of_its_files(self):
        choices = [
            # (Start Menu, desktop): the shortcut files and folder that exist afterwards
            ((False, True), [desktop_shortcut()]),
            ((False, False), []),
        ]
        for (start_menu, desktop), expected in choices:
            with self.subTest(start_menu=start_menu, desktop=desktop):
                state.reset()
                self.install_choosing(start_menu=start_menu, desktop=desktop)
                self.assertEqual(existing_shortcuts(), sorted(map(str, expected)))

    def test_the_help_shortcut_is_made_even_without_a_help_file(self):
        self.install_choosing(start_menu=True, desktop=False, help_file=False)

        self.assertTrue(installed_path("Corvanta.exe").exists())
        self.assertFalse(paths.unix_path(HELP_LINK[0]).exists())
        help_shortcut = start_menu_folder() / HELP_SHORTCUT
        self.assertEqual(read_shortcuts(help_shortcut), {help_shortcut: HELP_LINK})


if __name__ == "__main__":
    unittest.main()
