"""Choosing the destination: the page proposes the Program Files folder with both shortcut boxes
checked on a first run, remembers the user's choices in the registry for the next run, reads
whatever an earlier run left there with care, and says so when the chosen parent folder does not
exist."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, DESTINATION, IDOK, NEXT, READY, SetupTestCase,  # noqa: E402
                     paths, registry, state)
from folder_dialog import browse_to, edit_path  # noqa: E402
from install_scenarios import (DESKTOP_AT, START_MENU_AT, choose_shortcuts,  # noqa: E402
                               plain_system_text)
from leaving import leave  # noqa: E402

DEFAULT_FOLDER = r"C:\Program Files (x86)"
DEFAULT_EDIT = r"C:\Program Files (x86)\Corvanta"
CREATE_DIRECTORY = "An error occurred while trying to create a directory:"
ERROR_PATH_NOT_FOUND = 3
ES_READONLY = 0x0800

SCRATCH = r"C:\corvanta-tests"
# 258 characters are the longest saved folder the page takes; with its terminating zero, one
# more fills the 260-byte buffer and is ignored.
FOLDER_258 = SCRATCH + "\\" + "a" * (258 - len(SCRATCH) - 1)
FOLDER_259 = FOLDER_258 + "b"


def shortcut_boxes(wizard, window=None):
    """(Start Menu box checked, desktop box checked) on the destination page."""
    return tuple(wizard.control(DESTINATION, "checkbox", *place, window).checked
                 for place in (START_MENU_AT, DESKTOP_AT))


def saved_choices(folder, start_menu, desktop):
    return {"StartFolder": ("REG_SZ", folder),
            "CreateStartMenu": ("REG_DWORD", start_menu),
            "CreateDesktopShortcut": ("REG_DWORD", desktop)}


class ChooseTheDestination(SetupTestCase):
    def test_a_first_run_proposes_the_program_files_folder_with_both_boxes_checked(self):
        self.assertIsNone(registry.query(), "a first run finds no saved choices")
        wizard = self.start_setup()
        window = wizard.go_to_destination()

        self.assertEqual(edit_path(wizard, window), DEFAULT_EDIT)
        edit = wizard.control(DESTINATION, "edit", 40, 110, window)
        self.assertTrue(edit.has_style(ES_READONLY), "the user never types a path")
        self.assertEqual(shortcut_boxes(wizard, window), (True, True))
        self.assertIsNone(registry.query(), "nothing is saved before Next")

    def test_the_choices_survive_a_restart(self):
        chosen = paths.unix_path(SCRATCH + r"\Chosen")
        chosen.mkdir(parents=True)
        first = self.start_setup()
        first.go_to_destination()
        self.assertEqual(browse_to(first, SCRATCH + r"\Chosen"), SCRATCH + r"\Chosen\Corvanta")
        choose_shortcuts(first, start_menu=False, desktop=False)
        first.click_button(NEXT)
        first.wait_page(READY)
        self.assertEqual(registry.query(), saved_choices(SCRATCH + r"\Chosen", 0, 0))
        self.assertEqual(leave(first), 0)

        second = self.start_setup()
        window = second.go_to_destination()
        self.assertEqual(edit_path(second, window), SCRATCH + r"\Chosen\Corvanta")
        self.assertEqual(shortcut_boxes(second, window), (False, False))

    def test_back_and_next_again_rewrite_all_three_values(self):
        wizard = self.start_setup()
        wizard.go_to_destination()
        choose_shortcuts(wizard, start_menu=False, desktop=True)
        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertEqual(registry.query(), saved_choices(DEFAULT_FOLDER, 0, 1))

        # Someone else changes the values meanwhile; the next pass forwards writes them all anew.
        registry.add("StartFolder", "REG_SZ", r"C:\elsewhere")
        registry.add("CreateStartMenu", "REG_DWORD", 7)
        registry.add("CreateDesktopShortcut", "REG_DWORD", 7)
        wizard.click_button(BACK)
        wizard.wait_page(DESTINATION)
        choose_shortcuts(wizard, start_menu=True, desktop=False)
        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertEqual(registry.query(), saved_choices(DEFAULT_FOLDER, 1, 0))

    def test_values_left_by_an_earlier_run_are_read_with_care(self):
        # planted values: (edit text, (Start Menu box, desktop box))
        cases = {
            "a folder ending in a backslash": (
                {"StartFolder": ("REG_SZ", SCRATCH + "\\planted\\"),
                 "CreateStartMenu": ("REG_DWORD", 0), "CreateDesktopShortcut": ("REG_DWORD", 2)},
                (SCRATCH + r"\planted\Corvanta", (False, True))),
            "the root of a drive": (
                {"StartFolder": ("REG_SZ", "C:\\"),
                 "CreateStartMenu": ("REG_DWORD", 2), "CreateDesktopShortcut": ("REG_DWORD", 0)},
                (r"C:\Corvanta", (True, False))),
            "a folder of 258 characters": (
                {"StartFolder": ("REG_SZ", FOLDER_258),
                 "CreateStartMenu": ("REG_DWORD", 1), "CreateDesktopShortcut": ("REG_DWORD", 1)},
                (FOLDER_258 + r"\Corvanta", (True, True))),
            "a folder of 259 characters": (
                {"StartFolder": ("REG_SZ", FOLDER_259)},
                (DEFAULT_EDIT, (True, True))),
            "an empty folder": (
                {"StartFolder": ("REG_SZ", "")},
                (DEFAULT_EDIT, (True, True))),
            "a folder stored as another type of text": (
                {"StartFolder": ("REG_EXPAND_SZ", SCRATCH + r"\expandable")},
                (SCRATCH + r"\expandable\Corvanta", (True, True))),
            "both boxes off and no folder": (
                {"CreateStartMenu": ("REG_DWORD", 0), "CreateDesktopShortcut": ("REG_DWORD", 0)},
                (DEFAULT_EDIT, (False, False))),
        }
        for case, (planted, (edit, boxes)) in cases.items():
            with self.subTest(case):
                state.reset()
                for name, (kind, data) in planted.items():
                    registry.add(name, kind, data)
                self.assertEqual(registry.query(), planted, "the values as planted")
                wizard = self.start_setup()
                window = wizard.go_to_destination()
                self.assertEqual(edit_path(wizard, window), edit)
                self.assertEqual(shortcut_boxes(wizard, window), boxes)
                wizard.end()

    def test_a_saved_parent_folder_that_does_not_exist_is_reported_and_the_page_stays(self):
        missing = SCRATCH + r"\nowhere"
        self.assertFalse(paths.unix_path(SCRATCH).exists())
        registry.add("StartFolder", "REG_SZ", missing)
        wizard = self.start_setup()
        window = wizard.go_to_destination()
        self.assertEqual(edit_path(wizard, window), missing + r"\Corvanta")

        wizard.click_button(NEXT)
        box = wizard.wait_box()
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(box["text"], f"{missing}\\Corvanta\r\n\r\n{CREATE_DIRECTORY}\r\n"
                                      f"{plain_system_text(ERROR_PATH_NOT_FOUND)}")
        self.assertEqual(sorted(b["id"] for b in box["buttons"] if b["visible"]), [IDOK])
        self.assertEqual(box["owner"], wizard.hwnd)
        wizard.answer(box, IDOK)

        window = wizard.snapshot()
        self.assertEqual(wizard.current_page(window), DESTINATION)
        self.assertTrue(wizard.button(NEXT, window).enabled)
        self.assertEqual(edit_path(wizard, window), missing + r"\Corvanta")
        self.assertEqual(registry.query(), {"StartFolder": ("REG_SZ", missing)},
                         "nothing is saved while the page stays")

        # Once the parent folder exists, the same Next goes on.
        paths.unix_path(missing).mkdir(parents=True)
        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertTrue(paths.unix_path(missing + r"\Corvanta").is_dir())
        self.assertEqual(registry.query(), saved_choices(missing, 1, 1))


if __name__ == "__main__":
    unittest.main(verbosity=2)
