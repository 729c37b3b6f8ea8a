"""Using the wizard with the keyboard: Tab and Shift+Tab walk each page's controls in tab
order, arrows choose within the licence's radio buttons, and Space works the focused control.
Enter presses the default button, on which every page change puts the focus, and a held Enter
presses once, also at the exit question; Esc closes as the title bar does, and a screen reader
names each edit by its label."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (BACK, CANCEL, DESTINATION, FINISHED, IDCANCEL, IDNO,  # noqa: E402
                     INSTALLING, LICENCE, NEXT, READY, SetupTestCase, wait_until)
from install_scenarios import (HELP_FILE, INSTALL_TIMEOUT, Product, content,  # noqa: E402
                               files_in, install_folder, wait_question)
from launching import (INSTALLED_PROGRAM, end_launched_processes, launched_processes,  # noqa: E402
                       launches, product_with_test_program, wait_launch)
from leaving import wait_exit_question, wait_process_end  # noqa: E402

# A key is handled in moments; this only bounds the wait when the focus goes elsewhere.
KEY_TIMEOUT = 15
WM_KEYDOWN, VK_RETURN = 0x0100, 0x0D
HELD_KEY = 1 << 30 | 1  # a repeat: the key was down before
HELD_REPEATS = 5
# Trickles in for minutes, so that the installing page lasts until the fault is cleared.
SLOW_FILE, SLOW_RATE = "Data/slow.bin", 1_000

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

# page, control, the name a screen reader reads for it
NAMES = [
    (LICENCE, LICENCE_TEXT, "License Agreement"),
    (LICENCE, ACCEPT, "I accept this agreement"),
    (DESTINATION, EDIT_PATH, "Setup will install Corvanta into the following folder."),
    (DESTINATION, START_MENU_BOX, "Create a Start Menu folder"),
]


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

    def start_with_product(self):
        product = product_with_test_program().start()
        self.addCleanup(product.stop)
        self.addCleanup(end_launched_processes, self.driver)
        return product, self.start_setup()

    def expect_page(self, wizard, page, button):
        """Waits for page, with the focus on its button BACK, NEXT or CANCEL."""
        hwnd = wizard.button(button, wizard.wait_page(page, INSTALL_TIMEOUT)).hwnd
        wizard.wait_focus(lambda focus: focus == hwnd, f"{button} focused on the {page} page")

    def test_enter_goes_from_the_accepted_licence_to_the_launch(self):
        _, wizard = self.start_with_product()
        dont_accept = wizard.control(LICENCE, *DONT_ACCEPT).hwnd
        self.press_and_expect_focus(wizard, "shift+tab", dont_accept, "I do not accept")
        wizard.press("enter")  # Next is disabled: nothing happens
        self.press_and_expect_focus(wizard, "up", wizard.control(LICENCE, *ACCEPT).hwnd, "I accept")
        window = wizard.wait_for(lambda now: wizard.button(NEXT, now).enabled, "Next enabled")
        self.assertEqual((wizard.current_page(window), wizard.boxes()), (LICENCE, []))

        for page, button in ((DESTINATION, NEXT), (READY, NEXT)):
            wizard.press("enter")
            self.expect_page(wizard, page, button)
        # A held Enter's repeats press nothing: Back, clicked after one, still finds this page.
        self.driver.post(wizard.focus(), WM_KEYDOWN, VK_RETURN, HELD_KEY)
        wizard.click_button(BACK)
        self.expect_page(wizard, DESTINATION, NEXT)
        for page, button in ((READY, NEXT), (FINISHED, CANCEL)):
            wizard.press("enter")
            self.expect_page(wizard, page, button)
        wizard.press("enter")  # Finish, with "Launch Corvanta" checked
        self.assertEqual(wait_process_end(wizard), 0)
        self.assertEqual(wait_launch()["exe"], INSTALLED_PROGRAM)

    def test_esc_asks_before_the_install_and_closes_after_it_without_a_launch(self):
        product, wizard = self.start_with_product()
        product.server.answer_status(HELP_FILE, 404)
        wizard.go_to_ready()
        wizard.press("enter")
        wizard.answer(wait_question(wizard), IDCANCEL)
        self.expect_page(wizard, READY, NEXT)  # Install again, after the failed install
        wizard.press("escape")
        wizard.answer(wait_exit_question(wizard), IDNO)
        self.expect_page(wizard, READY, NEXT)

        product.server.clear_fault(HELP_FILE)
        wizard.press("enter")
        self.expect_page(wizard, FINISHED, CANCEL)
        wizard.press("escape")
        self.assertEqual(wait_process_end(wizard), 0)
        self.assertEqual((launches(), launched_processes(self.driver)), ([], []))

    def test_a_held_enter_leaves_the_exit_question_open(self):
        product = Product({SLOW_FILE: content(400_000, 71)}).start()
        self.addCleanup(product.stop)
        product.server.slow_body(SLOW_FILE, SLOW_RATE)
        wizard = self.start_setup()
        wizard.go_to_ready()
        wizard.press("enter")
        self.expect_page(wizard, INSTALLING, CANCEL)
        wizard.press("enter")  # on Cancel: the exit question, whose default answer is Yes
        box = wait_exit_question(wizard)
        focus = wizard.focus()
        self.assertIn(focus, [button["hwnd"] for button in box["buttons"]])

        for _ in range(HELD_REPEATS):
            self.driver.post(focus, WM_KEYDOWN, VK_RETURN, HELD_KEY)
        # Posted after the repeats, so the box handles it after them: a repeat that pressed Yes
        # would have ended the setup by then.
        wizard.answer(box, IDNO)
        product.server.clear_fault(SLOW_FILE)
        self.expect_page(wizard, FINISHED, CANCEL)
        self.assertEqual(wizard.boxes(), [])
        self.assertEqual(files_in(install_folder()), product.installed())

    def test_a_screen_reader_names_each_control(self):
        wizard = self.start_setup()
        window = wizard.snapshot()
        for page, control, name in NAMES:
            with self.subTest(name=name):
                hwnd = wizard.control(page, *control, window).hwnd
                self.assertEqual(self.driver.acc_name(hwnd), name)


if __name__ == "__main__":
    unittest.main(verbosity=2)
