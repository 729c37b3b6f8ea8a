"""Looking at the window and each of its pages: every control where the layout puts it, with
its text, visibility, state and font, and the tab order."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import DESTINATION, FINISHED, INSTALLING, LICENCE, READY, SetupTestCase  # noqa: E402
from harness.window import (ES_READONLY, WS_CAPTION, WS_MAXIMIZEBOX, WS_MINIMIZEBOX,  # noqa: E402
                            WS_SYSMENU, WS_TABSTOP, WS_THICKFRAME, WS_VSCROLL)

# Tahoma 8 is a character height of 11 pixels; the licence text uses 13.
TAHOMA = "Tahoma"
REGULAR, BOLD = 400, 700
DEFAULT_PROGRAM_FILES_FOLDER = r"C:\Program Files (x86)\Corvanta"

# A layout row: kind, (left, top, width, height), text, properties, tab order.
#   text None: not compared here.
#   properties: "hidden", "disabled", "checked", "bold", "read-only", "tab stop",
#   "vertical scroll", "font 13" (the licence text's size), "max 230" (edit's length limit).
#   Labels size themselves to their text, so only their position is compared.
MAIN_WINDOW = [
    ("bevel", (0, 380, 600, 4), None, set(), None),
    ("button", (420, 394, 75, 25), "Next", {"disabled"}, 1),
    ("button", (510, 394, 75, 25), "Cancel", set(), 0),
    ("button", (340, 394, 75, 25), "Back", {"hidden"}, 2),
]
# The pages, stacked in one place, in their tab order 3 to 7.
PAGE_ORDER = [LICENCE, DESTINATION, READY, INSTALLING, FINISHED]
PAGE_RECT = (0, 0, 600, 380)
FIRST_PAGE_TAB_ORDER = 3

PAGES = {
    LICENCE: [
        ("label", (20, 10, 109, 13), "License Agreement", {"bold"}, None),
        ("label", (40, 30, 317, 13),
         "Please read the following important information before continuing.", set(), None),
        ("label", (40, 60, 475, 13),
         "Please read the following License Agreement. You must accept the terms of this "
         "agreement before ", set(), None),
        ("label", (40, 80, 149, 13), "continuing with the installation.", set(), None),
        ("memo", (40, 110, 500, 210), None, {"read-only", "vertical scroll", "font 13"}, 0),
        ("radio", (40, 330, 150, 17), "I accept this agreement", set(), 1),
        ("radio", (40, 350, 180, 17), "I do not accept this agreement", {"checked", "tab stop"}, 2),
    ],
    DESTINATION: [
        ("label", (20, 10, 154, 13), "Select Destination Location", {"bold"}, None),
        ("label", (40, 30, 194, 13), "Where should Corvanta be installed?", set(), None),
        ("label", (40, 60, 261, 13), "Setup will install Corvanta into the following folder.",
         set(), None),
        ("label", (40, 80, 390, 13),
         "To continue, click Next. If you would like to select a different folder, click Browse.",
         set(), None),
        ("edit", (40, 110, 430, 21), DEFAULT_PROGRAM_FILES_FOLDER, {"read-only", "max 230"}, 1),
        ("button", (480, 108, 75, 25), "Browse...", set(), 0),
        ("checkbox", (40, 150, 160, 17), "Create a Start Menu folder", {"checked"}, 2),
        ("checkbox", (40, 180, 160, 17), "Create a Desktop shortcut", {"checked"}, 3),
        ("label", (40, 350, 214, 13), "At least 12 MB of free disk space is required.", set(), None),
    ],
    READY: [
        ("label", (20, 10, 92, 13), "Ready To Install", {"bold"}, None),
        ("label", (40, 30, 332, 13),
         "Setup is now ready to begin installing Corvanta on you computer.", set(), None),
        ("label", (40, 60, 444, 13),
         "Click Install to continue with the installation, or click Back if you want to change "
         "any settings.", set(), None),
    ],
    INSTALLING: [
        ("label", (20, 10, 53, 13), "Installing", {"bold"}, None),
        ("label", (40, 30, 305, 13), "Please wait while Setup installs Corvanta on your computer.",
         set(), None),
        ("label", (40, 60, 160, 13), "Downloading and installing files...", set(), None),
        ("label", (40, 80, 54, 13), "Connection", set(), None),
        ("progress", (40, 110, 500, 17), "", set(), 0),
    ],
    FINISHED: [
        ("label", (20, 10, 242, 13), "Completing the Corvanta Setup Wizard", {"bold"}, None),
        ("label", (40, 30, 290, 13), "Setup has finished installing Corvanta on your computer.",
         set(), None),
        ("label", (40, 80, 329, 13),
         "The application may be launched by selecting the installed shortcuts.", set(), None),
        ("label", (40, 100, 120, 13), "Click Finish to exit Setup.", set(), None),
        ("checkbox", (40, 140, 140, 17), "Launch Corvanta", {"checked"}, 0),
    ],
}

EM_GETLIMITTEXT = 0x00D5
# The licence text is the product's own; what matters here is that it is all there.
LICENCE_LINES_AT_LEAST = 60


class LookAtEachPage(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.wizard = self.start_setup()
        self.window = self.wizard.snapshot()

    def assertRow(self, control, row, where, container_shown=True):
        kind, rect, text, properties, _ = row
        self.assertEqual(control.kind, kind, where)
        if kind == "label":
            self.assertEqual(control.rect[:2], rect[:2], f"{where}: position")
        else:
            self.assertEqual(control.rect, rect, f"{where}: rectangle")
        if text is not None:
            self.assertEqual(control.text, text, f"{where}: text")
        self.assertEqual(control.ws_visible, "hidden" not in properties, f"{where}: visible")
        self.assertEqual(control.visible, control.ws_visible and container_shown,
                         f"{where}: visible on screen")
        self.assertEqual(control.enabled, "disabled" not in properties, f"{where}: enabled")
        if kind in ("radio", "checkbox"):
            self.assertEqual(control.checked, "checked" in properties, f"{where}: checked")
        if kind in ("edit", "memo"):
            self.assertEqual(control.has_style(ES_READONLY), "read-only" in properties,
                             f"{where}: read-only")
        if kind == "radio":
            self.assertEqual(control.has_style(WS_TABSTOP), "tab stop" in properties,
                             f"{where}: tab stop")
        if "vertical scroll" in properties:
            self.assertTrue(control.has_style(WS_VSCROLL), f"{where}: vertical scroll bar")
        if "max 230" in properties:
            self.assertEqual(self.driver.send(control.hwnd, EM_GETLIMITTEXT), 230,
                             f"{where}: length limit")

    def assertFont(self, control, row, where):
        kind, _, _, properties, _ = row
        if kind in ("bevel", "progress"):
            return
        height = 13 if "font 13" in properties else 11
        weight = BOLD if "bold" in properties else REGULAR
        font = self.wizard.font(control)
        self.assertIsNotNone(font, f"{where}: has a font of its own")
        self.assertEqual((font["face"], font["height"], font["weight"]), (TAHOMA, -height, weight),
                         f"{where}: font asked for")
        realized = font["realized"]
        self.assertEqual((realized["face"], realized["character_height"], realized["weight"]),
                         (TAHOMA, height, weight), f"{where}: font drawn with")

    def assertTabOrder(self, container, rows, where, extra=()):
        """Siblings with a tab order are stacked in that order (the dialog manager's Tab
        follows the z-order); extra adds (tab order, window) pairs found otherwise."""
        expected = sorted([(row[4], container.at(row[0], *row[1][:2]).hwnd)
                           for row in rows if row[4] is not None] + list(extra))
        tabbed = {hwnd for _, hwnd in expected}
        stacked = [repr(child) for child in container.children if child.hwnd in tabbed]
        self.assertEqual(stacked, [repr(container.find(hwnd)) for _, hwnd in expected],
                         f"{where}: tab order")

    def test_the_window(self):
        window = self.window
        self.assertEqual(window.text, "Web Setup - Corvanta")
        self.assertEqual(window.client, (600, 430))
        self.assertTrue(window.has_style(WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX),
                        "caption, system menu and minimise box")
        self.assertFalse(window.has_style(WS_MAXIMIZEBOX), "no maximise box")
        self.assertTrue(window.has_style(WS_THICKFRAME), "sizeable border")
        self.assertEqual(window.node["owner"], 0, "no owner, so the window has the taskbar button")
        screen_width, screen_height = self.driver.screen
        self.assertAlmostEqual(window.left + window.width / 2, screen_width / 2, delta=1,
                               msg="centred across the desktop")
        self.assertAlmostEqual(window.top + window.height / 2, screen_height / 2, delta=1,
                               msg="centred down the desktop")

    def test_the_controls_of_the_window(self):
        window = self.window
        pages = self.wizard.pages(window)
        self.assertEqual(sorted(pages), sorted(PAGE_ORDER), "every page is there, by its title")
        for index, row in enumerate(MAIN_WINDOW):
            where = f"window row {index + 1} ({row[2] or row[0]})"
            with self.subTest(where):
                control = window.at(row[0], *row[1][:2])
                self.assertIsNotNone(control, f"{where}: no {row[0]} at {row[1][:2]}")
                self.assertRow(control, row, where)
                self.assertFont(control, row, where)
        for order, name in enumerate(PAGE_ORDER):
            with self.subTest(page=name):
                page = pages[name]
                self.assertEqual(page.rect, PAGE_RECT)
                self.assertEqual(page.ws_visible, name == LICENCE, "only the licence page is shown")
                self.assertTrue(page.enabled)
        self.assertEqual(len(window.children), len(MAIN_WINDOW) + len(PAGE_ORDER),
                         "no other controls on the window")
        pages_in_tab_order = [(FIRST_PAGE_TAB_ORDER + order, pages[name].hwnd)
                              for order, name in enumerate(PAGE_ORDER)]
        self.assertTabOrder(window, MAIN_WINDOW, "window", pages_in_tab_order)

    def test_the_controls_of_each_page(self):
        pages = self.wizard.pages(self.window)
        for name, rows in PAGES.items():
            page = pages[name]
            for index, row in enumerate(rows):
                where = f"{name} page, row {index + 1} ({(row[2] or row[0])[:30]})"
                with self.subTest(where):
                    control = page.at(row[0], *row[1][:2])
                    self.assertIsNotNone(control, f"{where}: no {row[0]} at {row[1][:2]}")
                    self.assertRow(control, row, where, container_shown=name == LICENCE)
                    self.assertFont(control, row, where)
            with self.subTest(f"{name} page: its controls and tab order"):
                self.assertEqual(len(page.children), len(rows), "no other controls on the page")
                self.assertTabOrder(page, rows, f"{name} page")

    def test_the_licence_text_is_shown_in_full(self):
        memo = self.wizard.control(LICENCE, "memo", 40, 110, self.window)
        self.assertGreaterEqual(len(memo.text.splitlines()), LICENCE_LINES_AT_LEAST)


if __name__ == "__main__":
    unittest.main(verbosity=2)
