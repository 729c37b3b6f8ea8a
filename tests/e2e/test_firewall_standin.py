"""The firewall stand-in that the firewall scenarios rely on: while it is registered, a rule
added through the Windows Firewall objects is recorded with every property in the order set,
and once it is removed the prefix's own objects answer again."""

import json
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from firewall_standin import FirewallStandin, registered_servers  # noqa: E402
from harness import paths, wine  # noqa: E402

S_OK = 0


def add_rule(*settings):
    """Runs AddFirewallRule.exe with Property=Value settings; returns its call results."""
    program = paths.win32_build_dir() / "tests" / "firewall_standin" / "AddFirewallRule.exe"
    completed = wine.run([program, *settings])
    return json.loads(completed.stdout.strip().splitlines()[-1])


class FirewallStandinRecordsRules(unittest.TestCase):
    @classmethod
    def tearDownClass(cls):
        wine.stop_server()

    def test_records_each_rule_added_with_its_properties_in_the_order_set(self):
        own_servers = registered_servers()
        with FirewallStandin() as firewall:
            first = add_rule("Protocol=6", 'Name=A "quoted" rule', r"ApplicationName=C:\x\y.exe",
                             "Direction=1", "Enabled=-1", "Action=0", "Description=")
            second = add_rule("Name=Second", "Enabled=0")
            rules = firewall.rules()

        for result in (first, second):
            self.assertEqual(result["policy"], S_OK)
            self.assertEqual(result["rules"], S_OK)
            self.assertEqual(result["rule"], S_OK)
            self.assertEqual(set(result["sets"]), {S_OK})
            self.assertEqual(result["add"], S_OK)
        self.assertEqual([rule.properties for rule in rules], [
            (("Protocol", 6), ("Name", 'A "quoted" rule'), ("ApplicationName", r"C:\x\y.exe"),
             ("Direction", 1), ("Enabled", -1), ("Action", 0), ("Description", "")),
            (("Name", "Second"), ("Enabled", 0)),
        ])
        self.assertTrue(all(rule.process.endswith(r"\AddFirewallRule.exe") for rule in rules))

        # Removed, the prefix's own objects are back: they accept the rule and record nothing.
        self.assertEqual(registered_servers(), own_servers)
        result = add_rule("Name=Unrecorded")
        self.assertEqual(result["add"], S_OK)
        self.assertEqual(firewall.rules(), [])


if __name__ == "__main__":
    unittest.main()
