"""Accepting the licence: the two radio buttons decide whether Next can be used."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import BACK, DESTINATION, LICENCE, NEXT, SetupTestCase  # noqa: E402

ACCEPT_AT = (40, 330)
DONT_ACCEPT_AT = (40, 350)


class AcceptTheLicence(SetupTestCase):
    def choose(self, wizard, radio_at):
        wizard.click(wizard.control(LICENCE, "radio", *radio_at))

    def wait_licence_state(self, wizard, accepted):
        def settled(window):
            accept = wizard.control(LICENCE, "radio", *ACCEPT_AT, window)
            dont_accept = wizard.control(LICENCE, "radio", *DONT_ACCEPT_AT, window)
            return (accept.checked == accepted and dont_accept.checked != accepted
                    and wizard.button(NEXT, window).enabled == accepted)
        window = wizard.wait_for(settled, f"Next {'enabled' if accepted else 'disabled'} with "
                                          f"{'I accept' if accepted else 'I do not accept'} chosen")
        self.assertTrue(wizard.button(NEXT, window).visible)
        return window

    def test_each_radio_button_enables_or_disables_next(self):
        wizard = self.start_setup()
        choices = [
            # radio clicked, Next enabled afterwards
            (ACCEPT_AT, True),
            (DONT_ACCEPT_AT, False),
            (ACCEPT_AT, True),
            (ACCEPT_AT, True),
            (DONT_ACCEPT_AT, False),
            (DONT_ACCEPT_AT, False),
        ]
        for step, (radio_at, enabled) in enumerate(choices, 1):
            with self.subTest(step=step, radio=radio_at):
                self.choose(wizard, radio_at)
                self.wait_licence_state(wizard, enabled)

    def test_back_to_the_licence_page_restores_next_from_the_radio_buttons(self):
        wizard = self.start_setup()
        self.choose(wizard, ACCEPT_AT)
        self.wait_licence_state(wizard, True)
        wizard.click_button(NEXT)
        wizard.wait_page(DESTINATION)

        wizard.click_button(BACK)
        wizard.wait_page(LICENCE)
        self.wait_licence_state(wizard, True)

        self.choose(wizard, DONT_ACCEPT_AT)
        self.wait_licence_state(wizard, False)


if __name__ == "__main__":
    unittest.main(verbosity=2)
