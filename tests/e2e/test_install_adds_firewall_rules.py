"""Installing adds Windows Firewall rules: the setup's own outbound rule when the user clicks
Install, once however often the user clicks it, and the program's inbound and outbound rules
when the install has succeeded. The firewall objects are the recording stand-in."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from firewall_standin import FirewallStandin  # noqa: E402
from harness import IDCANCEL, NEXT, READY, SetupTestCase, paths  # noqa: E402
from install_scenarios import (PROGRAM, Product, click_install, product_files,  # noqa: E402
                               setup_environment, wait_finished, wait_question, windows_path)

ANY_PROTOCOL, INBOUND, OUTBOUND, ALLOW, TRUE = 256, 1, 2, 1, -1


def allow_rule(name, application, direction):
    """An enabled allow rule for any protocol, its properties in the order the setup sets them."""
    return (("Name", name), ("ApplicationName", application), ("Protocol", ANY_PROTOCOL),
            ("Direction", direction), ("Action", ALLOW), ("Enabled", TRUE))


class InstallAddsFirewallRules(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.firewall = FirewallStandin()
        self.firewall.register()
        self.addCleanup(self.firewall.unregister)

    def test_the_setups_rule_comes_once_and_the_programs_rules_after_success(self):
        setup = paths.windows_path(paths.setup_exe())
        program = windows_path(PROGRAM)
        own_rule = allow_rule("Corvanta Web Setup", setup, OUTBOUND)

        with Product(product_files()) as product:
            # The first attempt fails on the program's file, and the user cancels it.
            product.server.answer_status(PROGRAM, 404)
            wizard = self.start_setup(env=setup_environment())
            click_install(wizard)
            box = wait_question(wizard)
            self.assertIn(f"/{PROGRAM}\r\n", box["text"])
            self.assertEqual([rule.properties for rule in self.firewall.rules()], [own_rule])
            wizard.answer(box, IDCANCEL)
            wizard.wait_page(READY)

            product.server.clear_fault(PROGRAM)
            wizard.click_button(NEXT)
            wait_finished(wizard)

        rules = self.firewall.rules()
        self.assertEqual([rule.properties for rule in rules], [
            own_rule,
            allow_rule("Corvanta - inbound", program, INBOUND),
            allow_rule("Corvanta - outbound", program, OUTBOUND),
        ])
        self.assertEqual({rule.process for rule in rules}, {setup})


if __name__ == "__main__":
    unittest.main()
