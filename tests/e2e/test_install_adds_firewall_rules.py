"""Installing adds Windows Firewall rules: the setup's own outbound rule when the user clicks
Install, once however often the user clicks it, and the program's inbound and outbound rules
when the install has succeeded. The firewall objects are the recording stand-in."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from firewall_standin import FirewallStandin  # noqa: E402
from harness import FINISHED, IDCANCEL, NEXT, READY, SetupTestCase, paths  # noqa: E402
from installing import (INSTALL_DIR, INSTALL_TIMEOUT, PROGRAM, ServedProduct,  # noqa: E402
                        product_files, setup_environment)

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
        program = INSTALL_DIR + r"\Corvanta.exe"
        own_rule = allow_rule("Corvanta Web Setup", setup, OUTBOUND)

        with ServedProduct(product_files()) as server:
            # The first attempt fails on the program's file, and the user cancels it.
            server.answer_status(PROGRAM, 404)
            wizard = self.start_setup(env=setup_environment())
            wizard.go_to_ready()
            wizard.click_button(NEXT)
            box = wizard.wait_box(INSTALL_TIMEOUT)
            self.assertIn(f"/{PROGRAM}\r\n", box["text"])
            self.assertEqual([rule.properties for rule in self.firewall.rules()], [own_rule])
            wizard.answer(box, IDCANCEL)
            wizard.wait_page(READY)

            server.clear_fault(PROGRAM)
            wizard.click_button(NEXT)
            wizard.wait_page(FINISHED, INSTALL_TIMEOUT)

        rules = self.firewall.rules()
        self.assertEqual([rule.properties for rule in rules], [
            own_rule,
            allow_rule("Corvanta - inbound", program, INBOUND),
            allow_rule("Corvanta - outbound", program, OUTBOUND),
        ])
        self.assertEqual({rule.process for rule in rules}, {setup})


if __name__ == "__main__":
    unittest.main()
