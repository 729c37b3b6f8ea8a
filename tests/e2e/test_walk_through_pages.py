"""Walking through the wizard with Next and Back: licence, destination, ready, and Install."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, CANCEL, DESTINATION, IDCANCEL, INSTALLING, LICENCE, NEXT,  # noqa: E402
                     PAGE_TITLES, READY, SetupTestCase, paths)

EDIT_PATH_AT = (40, 110)
STATUS_AT = (40, 80)
PROGRESS_AT = (40, 110)

# How the window looks once the wizard has entered a page.
#   page: (Back visible, Next visible, Next caption, Next enabled, Cancel caption)
# On the licence page Next is enabled exactly when "I accept this agreement" is checked, which
# these walks always have done before they come back to it.
PAGE_STATES = {
    LICENCE: (False, True, "Next", True, "Cancel"),
    DESTINATION: (True, True, "Next", True, "Cancel"),
    READY: (True, True, "Install", True, "Cancel"),
    INSTALLING: (False, False, None, None, "Cancel"),
}


class WalkThroughPages(SetupTestCase):
    def assertShowsPage(self, wizard, page, window):
        self.assertEqual(wizard.visible_pages(window), [page])
        for name, other in wizard.pages(window).items():
            self.assertEqual(other.ws_visible, name == page,
                             f"the {name} page's own visibility on the {page} page")
        back_visible, next_visible, next_caption, next_enabled, cancel_caption = PAGE_STATES[page]
        back, next_, cancel = (wizard.button(name, window) for name in (BACK, NEXT, CANCEL))
        self.assertEqual(back.visible, back_visible, "Back visible")
        self.assertEqual(next_.visible, next_visible, "Next visible")
        if next_visible:
            self.assertEqual(next_.text, next_caption)
            self.assertEqual(next_.enabled, next_enabled, "Next enabled")
        self.assertTrue(cancel.visible)
        self.assertEqual(cancel.text, cancel_caption)

    def test_next_and_back_show_each_page_with_its_buttons(self):
        wizard = self.start_setup()
        wizard.accept_licence()
        walk = [
            (NEXT, DESTINATION),
            (BACK, LICENCE),
            (NEXT, DESTINATION),
            (NEXT, READY),
            (BACK, DESTINATION),
            (NEXT, READY),
            (BACK, DESTINATION),
            (BACK, LICENCE),
        ]
        for step, (button, page) in enumerate(walk, 1):
            with self.subTest(step=step, click=button, expected=PAGE_TITLES[page]):
                wizard.click_button(button)
                window = wizard.wait_page(page)
                self.assertShowsPage(wizard, page, window)
        self.assertEqual(wizard.boxes(), [])

    def test_next_on_the_destination_page_creates_the_installation_folder(self):
        folder = paths.program_files_x86() / "Corvanta"
        self.assertFalse(folder.exists())
        wizard = self.start_setup()
        window = wizard.go_to_destination()
        self.assertEqual(wizard.control(DESTINATION, "edit", *EDIT_PATH_AT, window).text,
                         r"C:\Program Files (x86)\Corvanta")

        wizard.click_button(NEXT)
        self.assertShowsPage(wizard, READY, wizard.wait_page(READY))
        self.assertTrue(folder.is_dir())

        wizard.click_button(BACK)
        wizard.wait_page(DESTINATION)
        self.assertTrue(folder.is_dir(), "Back from the ready page keeps the folder")

    def test_next_when_the_folder_exists_moves_on_without_a_message(self):
        folder = paths.program_files_x86() / "Corvanta"
        folder.mkdir(parents=True)
        (folder / "kept.txt").write_text("from an earlier install")
        wizard = self.start_setup()
        wizard.go_to_destination()

        wizard.click_button(NEXT)
        self.assertShowsPage(wizard, READY, wizard.wait_page(READY))
        self.assertEqual(wizard.boxes(), [])
        self.assertEqual((folder / "kept.txt").read_text(), "from an earlier install")

    def test_install_shows_the_installing_page_connecting(self):
        wizard = self.start_setup()
        wizard.go_to_ready()

        wizard.click_button(NEXT)
        window = wizard.wait_page(INSTALLING)
        self.assertShowsPage(wizard, INSTALLING, window)
        self.assertEqual(wizard.control(INSTALLING, "label", *STATUS_AT, window).text, "Connection")
        progress = wizard.control(INSTALLING, "progress", *PROGRESS_AT, window).progress
        self.assertEqual(progress, {"low": 0, "high": 0, "position": 0})

        # Nothing listens on the download host here: the worker asks whether to retry.
        box = wizard.wait_box()
        self.assertEqual(box["caption"], "Error")
        self.assertTrue(box["text"].startswith("An error occurred while trying to download files"),
                        box["text"])
        wizard.answer(box, IDCANCEL)
        self.assertShowsPage(wizard, READY, wizard.wait_page(READY))


if __name__ == "__main__":
    unittest.main(verbosity=2)
