"""Using the setup on a screen of more than 96 DPI: the window, every control and every font
are scaled from the layout's 96-DPI figures, also when the window moves to a monitor of
another DPI, and the window shows its own icon in the sizes of its DPI.

Run on a 1280 x 1024 screen, on which the window fits at 192 DPI."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import test_look_at_each_page as layout  # noqa: E402
from harness import DESTINATION, LICENCE, SetupTestCase  # noqa: E402
from harness.dpi import scale  # noqa: E402
from harness.wizard import visible_state  # noqa: E402

CLIENT_AREA = (600, 430)
WINDOW_FONT, LICENCE_FONT = 11, 13
# The licence page's Label3 wraps its words within its width; every other label sizes itself
# to its one line of text.
WRAPPED_LABEL = (LICENCE, (40, 60))
WM_GETICON, ICON_SMALL, ICON_BIG = 0x007F, 0, 1
# The title bar's and Alt+Tab's icon sizes at 96 DPI (SM_CXSMICON, SM_CXICON).
SMALL_ICON, BIG_ICON = 16, 32
DESKTOP_BOX = ("checkbox", 40, 180)


class ScaledLayout(SetupTestCase):
    """Checks shared by the scenarios: the layout as it must be at a DPI."""

    def assertControlScaled(self, wizard, control, row, dpi, where, wraps=False):
        """The control's rectangle and font at dpi; returns its font handle, if it has one."""
        kind, rect, _, properties, _ = row
        scaled = tuple(scale(value, dpi) for value in rect)
        self.assertEqual(control.kind, kind, where)
        if kind != "label":
            self.assertEqual(control.rect, scaled, f"{where}: rectangle")
        elif wraps:
            self.assertEqual(control.rect[:3], scaled[:3], f"{where}: position and width")
        else:
            self.assertEqual(control.rect[:2], scaled[:2], f"{where}: position")
        if kind in ("bevel", "progress"):
            return None
        height = scale(LICENCE_FONT if "font 13" in properties else WINDOW_FONT, dpi)
        weight = layout.BOLD if "bold" in properties else layout.REGULAR
        font = wizard.font(control)
        self.assertEqual((font["face"], font["height"], font["weight"]),
                         (layout.TAHOMA, -height, weight), f"{where}: font asked for")
        self.assertEqual(font["realized"]["character_height"], height, f"{where}: font drawn with")
        return font["handle"]

    def assertLaidOutFor(self, wizard, dpi):
        """Every control of the window and of each page, shown or not, has its scaled rectangle
        and its scaled font; returns the font handles in use."""
        window = wizard.snapshot()
        fonts = set()
        for index, row in enumerate(layout.MAIN_WINDOW):
            where = f"window row {index + 1} ({row[2] or row[0]})"
            with self.subTest(where, dpi=dpi):
                control = window.at(row[0], *wizard.scaled(row[1][:2]))
                self.assertIsNotNone(control, f"{where}: not at its scaled place")
                fonts.add(self.assertControlScaled(wizard, control, row, dpi, where))
        pages = wizard.pages(window)
        self.assertEqual(sorted(pages), sorted(layout.PAGE_ORDER), "every page, by its title")
        for name, rows in layout.PAGES.items():
            page = pages[name]
            self.assertEqual(page.rect, wizard.scaled(layout.PAGE_RECT), f"{name} page")
            for index, row in enumerate(rows):
                where = f"{name} page, row {index + 1} ({(row[2] or row[0])[:30]})"
                with self.subTest(where, dpi=dpi):
                    control = page.at(row[0], *wizard.scaled(row[1][:2]))
                    self.assertIsNotNone(control, f"{where}: not at its scaled place")
                    fonts.add(self.assertControlScaled(wizard, control, row, dpi, where,
                                                       wraps=(name, row[1][:2]) == WRAPPED_LABEL))
        return fonts - {None}

    def assertIconsFor(self, wizard, dpi):
        for which, size in ((ICON_BIG, BIG_ICON), (ICON_SMALL, SMALL_ICON)):
            icon = self.driver.send_inside(wizard.hwnd, WM_GETICON, which)
            self.assertNotEqual(icon, 0, f"WM_GETICON {which} answers an icon")
            self.assertEqual(self.driver.icon_width(wizard.pid, icon), scale(size, dpi),
                             f"WM_GETICON {which}: the icon's size at {dpi} DPI")


class UseA144DpiScreen(ScaledLayout):
    dpi = 144

    def test_the_window_every_control_and_every_font_are_scaled(self):
        wizard = self.start_setup()
        self.assertEqual(wizard.snapshot().client, wizard.scaled(CLIENT_AREA), "client area")
        self.assertLaidOutFor(wizard, self.dpi)

    def test_the_window_shows_its_icons_in_the_sizes_of_its_dpi(self):
        self.assertIconsFor(self.start_setup(), self.dpi)


class UseA192DpiScreen(UseA144DpiScreen):
    dpi = 192


class MoveTheWindowToAMonitorOfAnotherDpi(ScaledLayout):
    def test_the_layout_follows_the_new_dpi_and_the_wizard_stays_as_it_was(self):
        wizard = self.start_setup()
        wizard.go_to_destination()
        wizard.click(wizard.control(DESTINATION, *DESKTOP_BOX))
        before = wizard.wait_for(
            lambda window: not wizard.control(DESTINATION, *DESKTOP_BOX, window).checked,
            "the desktop shortcut box to be cleared")
        focus = wizard.focus()
        old_fonts = self.assertLaidOutFor(wizard, 96)
        self.assertIconsFor(wizard, 96)

        new_dpi = 144
        frame_width = before.width - before.client[0]
        frame_height = before.height - before.client[1]
        suggested = (before.left, before.top,
                     before.left + scale(CLIENT_AREA[0], new_dpi) + frame_width,
                     before.top + scale(CLIENT_AREA[1], new_dpi) + frame_height)
        self.driver.dpi_changed(wizard.hwnd, new_dpi, suggested)
        wizard.dpi = new_dpi

        after = wizard.snapshot()
        # The frame is the system's business: under Wine it keeps the system's DPI after a
        # synthetic message, so the window's rectangle is checked and its client area is not.
        self.assertEqual(
            (after.left, after.top, after.left + after.width, after.top + after.height),
            suggested, "the window takes the suggested rectangle")
        new_fonts = self.assertLaidOutFor(wizard, new_dpi)
        self.assertIconsFor(wizard, new_dpi)
        self.assertEqual(wizard.current_page(after), DESTINATION)
        self.assertEqual(wizard.focus(), focus, "the focus stays where it was")
        self.assertEqual(visible_state(after), visible_state(before),
                         "every control's text, visibility and state")
        self.assertTrue(old_fonts.isdisjoint(new_fonts), "new fonts for the new DPI")
        for font in old_fonts:
            self.assertEqual(self.driver.gdi_object(wizard.pid, font), 0,
                             f"the font {font} of 96 DPI has been deleted")


if __name__ == "__main__":
    unittest.main(verbosity=2)
