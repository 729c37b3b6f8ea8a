"""Browsing for the parent folder: Browse opens the system folder dialog on the current parent
folder; the folder chosen there, or the root of a drive, becomes the parent of "Corvanta" in the
proposed path, and cancelling the dialog changes nothing."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, DESTINATION, NEXT, READY, SetupTestCase, paths,  # noqa: E402
                     registry, state)
from folder_dialog import TITLE, FolderDialog, browse_to, edit_path  # noqa: E402

SCRATCH = r"C:\corvanta-tests"


class BrowseForAFolder(SetupTestCase):
    def make_folders(self, *folders):
        for folder in folders:
            paths.unix_path(folder).mkdir(parents=True)

    def test_the_dialog_opens_on_the_current_parent_folder(self):
        # Wine's dialog, the first time a process opens it, does not find every folder it is
        # asked to select (C:\users\Public\Anything, for one); the folders used here it does.
        planted = r"C:\users\Public"
        chosen = SCRATCH + r"\Chosen"
        self.make_folders(chosen)
        registry.add("StartFolder", "REG_SZ", planted)
        wizard = self.start_setup()
        wizard.go_to_destination()

        dialog = FolderDialog(wizard)
        self.assertEqual(dialog.box["text"], TITLE)
        self.assertEqual(dialog.box["owner"], 0, "the dialog has no owner window")
        self.assertEqual(dialog.selected_folder(), planted, "the saved parent folder")
        dialog.choose(chosen)
        dialog.ok()
        self.assertEqual(edit_path(wizard), chosen + r"\Corvanta")

        dialog = FolderDialog(wizard)
        self.assertEqual(dialog.selected_folder(), chosen, "the folder chosen last")
        dialog.cancel()

    def test_a_first_run_opens_the_dialog_on_the_program_files_folder(self):
        wizard = self.start_setup()
        wizard.go_to_destination()
        dialog = FolderDialog(wizard)
        self.assertEqual(dialog.selected_folder(), r"C:\Program Files (x86)")
        dialog.cancel()

    def test_the_chosen_folder_becomes_the_parent_of_the_installation_folder(self):
        chosen = SCRATCH + r"\Apps\Tools"
        self.make_folders(chosen)
        wizard = self.start_setup()
        wizard.go_to_destination()

        self.assertEqual(browse_to(wizard, chosen), chosen + r"\Corvanta")
        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertTrue(paths.unix_path(chosen + r"\Corvanta").is_dir())
        self.assertEqual(registry.query()["StartFolder"], ("REG_SZ", chosen))

    def test_the_root_of_a_drive_gives_the_drive_and_colon_as_the_parent(self):
        self.addCleanup(state.remove, paths.unix_path(r"C:\Corvanta"))
        wizard = self.start_setup()
        wizard.go_to_destination()
        for drive in ("Z:", "C:"):
            with self.subTest(drive):
                self.assertEqual(browse_to(wizard, drive + "\\"), drive + r"\Corvanta")

        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertEqual(registry.query()["StartFolder"], ("REG_SZ", "C:"),
                         "the drive without its backslash")

        # A drive root as the current parent folder: the dialog opens on the drive itself.
        wizard.click_button(BACK)
        wizard.wait_page(DESTINATION)
        dialog = FolderDialog(wizard)
        self.assertEqual(dialog.selected_folder(), "C:\\")
        dialog.cancel()

    def test_cancel_leaves_the_proposed_folder_as_it_was(self):
        elsewhere = SCRATCH + r"\Elsewhere"
        self.make_folders(elsewhere)
        wizard = self.start_setup()
        wizard.go_to_destination()
        before = edit_path(wizard)

        dialog = FolderDialog(wizard)
        dialog.choose(elsewhere)
        dialog.cancel()
        self.assertFalse(dialog.open)
        self.assertEqual(edit_path(wizard), before)

        wizard.click_button(NEXT)
        wizard.wait_page(READY)
        self.assertEqual(registry.query()["StartFolder"], ("REG_SZ", r"C:\Program Files (x86)"),
                         "the cancelled choice is not saved either")


if __name__ == "__main__":
    unittest.main(verbosity=2)
