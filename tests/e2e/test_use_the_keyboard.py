"""Using the wizard with the keyboard: Tab and Shift+Tab walk each page's controls in tab
order, arrows choose within the licence's radio buttons, and Space works the focused control."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, CANCEL, DESTINATION, LICENCE, NEXT, READY,  # noqa: E402
                     SetupTestCase, wait_until)

# A key is handled in moments; this only bounds the wait when the focus goes elsewhere.
KEY_TIMEOUT = 15

ACCEPT = ("radio", 40, 330)
DONT_ACCEPT = ("radio", 40, 350)
LICENCE_TEXT = ("memo", 40, 110)
BROWSE = ("button", 480, 108)
EDIT_PATH = ("edit", 40, 110)
START_MENU_BOX = ("checkbox", 40, 150)
DESKTOP_BOX = ("checkbox", 40, 180)

# The controls that Tab stops at, in order, on each page the wizard shows before Install:
# the window's buttons (Cancel, Next, Back by their tab order 0 to 2, skipping a disabled or
# hidden one) and then the page's controls by their own tab order. A radio group is one stop,
# at its checked button.
TAB_CYCLES = {
    LICENCE: [CANCEL, LICENCE_TEXT, DONT_ACCEPT],
    DESTINATION: [CANCEL, NEXT, BACK, BROWSE, EDIT_PATH, START_MENU_BOX, DESKTOP_BOX],
    READY: [CANCEL, NEXT, BACK],
}


class UseTheKeyboard(SetupTestCase):
    def resolve(self, wizard, page, control, window):
        if isinstance(control, str):
            return wizard.button(control, window).hwnd
        return wizard.control(page, *control, window).hwnd

    def name_of(self, wizard, hwnd):
        found = wizard.snapshot().find(hwnd)
        return repr(found) if found else f"window {hwnd} outside the wizard"

    def press_and_expect_focus(self, wizard, chord, hwnd, what):
        wizard.press(chord)
        wait_until(lambda: wizard.focus() == hwnd, KEY_TIMEOUT, f"{chord} to focus {what}",
                   lambda: f"the focus is on {self.name_of(wizard, wizard.focus())}")

    def walk_tab_cycle(self, wizard, page):
        window = wizard.snapshot()
        cycle = [self.resolve(wizard, page, control, window) for control in TAB_CYCLES[page]]
        names = [control if isinstance(control, str) else control[0] + f" at {control[1:]}"
                 for control in TAB_CYCLES[page]]
        focus = wizard.focus()
        self.assertIn(focus, cycle, f"the focus is on {self.name_of(wizard, focus)}")
        start = cycle.index(focus)
        count = len(cycle)
        for step in range(1, count + 1):
            index = (start + step) % count
            self.press_and_expect_focus(wizard, "tab", cycle[index], names[index])
        for step in range(1, count + 1):
            index = (start - step) % count
            self.press_and_expect_focus(wizard, "shift+tab", cycle[index], names[index])

    def test_tab_and_shift_tab_follow_the_tab_order_of_each_page(self):
        walks = [
            (LICENCE, lambda wizard: None),
            (DESTINATION, lambda wizard: wizard.go_to_destination()),
            (READY, lambda wizard: wizard.go_to_ready()),
        ]
        for page, reach in walks:
            with self.subTest(page=page):
                wizard = self.start_setup()
                try:
                    reach(wizard)
                    self.walk_tab_cycle(wizard, page)
                finally:
                    wizard.end()

    def test_arrows_choose_the_licence_answer_and_space_on_next_moves_on(self):
        wizard = self.start_setup()
        window = wizard.snapshot()
        accept = wizard.control(LICENCE, *ACCEPT, window).hwnd
        dont_accept = wizard.control(LICENCE, *DONT_ACCEPT, window).hwnd
        next_button = wizard.button(NEXT, window).hwnd
        self.assertEqual(wizard.focus(), wizard.button(CANCEL, window).hwnd)

        def expect(accepted):
            wizard.wait_for(
                lambda now: (wizard.control(LICENCE, *ACCEPT, now).checked == accepted
                             and wizard.control(LICENCE, *DONT_ACCEPT, now).checked != accepted
                             and wizard.button(NEXT, now).enabled == accepted),
                f"Next {'enabled' if accepted else 'disabled'}", KEY_TIMEOUT)

        self.press_and_expect_focus(wizard, "shift+tab", dont_accept, "I do not accept")
        self.press_and_expect_focus(wizard, "up", accept, "I accept")
        expect(True)
        wizard.press("space")
        expect(True)
        self.assertEqual(wizard.focus(), accept)
        self.press_and_expect_focus(wizard, "down", dont_accept, "I do not accept")
        expect(False)
        self.press_and_expect_focus(wizard, "up", accept, "I accept")
        expect(True)

        self.press_and_expect_focus(wizard, "tab", wizard.button(CANCEL, window).hwnd, "Cancel")
        self.press_and_expect_focus(wizard, "tab", next_button, "Next")
        wizard.press("space")
        wizard.wait_page(DESTINATION, KEY_TIMEOUT)

    def test_space_toggles_the_focused_check_box(self):
        wizard = self.start_setup()
        window = wizard.go_to_destination()
        start_menu = wizard.control(DESTINATION, *START_MENU_BOX, window)
        desktop = wizard.control(DESTINATION, *DESKTOP_BOX, window)
        self.assertTrue(start_menu.checked and desktop.checked)

        focus = wizard.focus()
        cycle = TAB_CYCLES[DESTINATION]
        steps = [self.resolve(wizard, DESTINATION, control, window) for control in cycle]
        index = steps.index(focus)
        while steps[index] != start_menu.hwnd:
            index = (index + 1) % len(steps)
            self.press_and_expect_focus(wizard, "tab", steps[index], cycle[index])

        toggles = [
            # key, control focused, Start Menu box checked, Desktop box checked
            ("space", start_menu, False, True),
            ("space", start_menu, True, True),
            ("tab", desktop, True, True),
            ("space", desktop, True, False),
        ]
        for step, (key, control, start_menu_checked, desktop_checked) in enumerate(toggles, 1):
            with self.subTest(step=step, key=key):
                wizard.press(key)
                wizard.wait_for(
                    lambda now: (wizard.focus() == control.hwnd
                                 and now.find(start_menu.hwnd).checked == start_menu_checked
                                 and now.find(desktop.hwnd).checked == desktop_checked),
                    f"Start Menu box {start_menu_checked}, Desktop box {desktop_checked}",
                    KEY_TIMEOUT)


if __name__ == "__main__":
    unittest.main(verbosity=2)
