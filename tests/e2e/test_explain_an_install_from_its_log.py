"""Explaining an install from the support log that every run leaves in the temp folder, dated on
its first line: the free space where the files go, a download that failed and was retried,
served the second time from the address it was redirected to, each text from the server quoted
after the setup's own verdict, each file written, the firewall rules with the results the
firewall gave, the launch at Finish and how the setup ended. The setup, elevated, removes
nothing from the temp folder, older logs of ours included; a temp folder the setup cannot write
to costs the log, not the install."""

import os
import re
import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from firewall_standin import FirewallStandin  # noqa: E402
from harness import CANCEL, IDRETRY, SetupTestCase, paths, state, wine  # noqa: E402
from install_scenarios import (INSTALL_DIR, click_install, download_question,  # noqa: E402
                               files_in, http_status_reason, install_folder,
                               setup_environment, wait_finished, wait_question, windows_path)
from launching import (INSTALLED_PROGRAM, end_launched_processes,  # noqa: E402
                       product_with_test_program, wait_launch)
from leaving import wait_process_end  # noqa: E402

MISSING = "Help/Corvanta.chm"
MOVED = "Help/moved/Corvanta.chm"
REFUSED_RULE = "Corvanta - outbound"
LINE = re.compile(r"^\d\d:\d\d:\d\d\.\d{3} (main  |worker) \S")
# The first line also gives the date and local time's offset from UTC.
FIRST_LINE = re.compile(r"^\d\d:\d\d:\d\d\.\d{3} (\d{4}-\d\d-\d\d) UTC[+-]\d\d:\d\d main   \S")
OLD_LOG = "Corvanta Web Setup 2020-01-{:02d} 10-00-00.log"
ENVIRONMENT_KEY = r"HKCU\Environment"




def escaped(text):
    return text.replace("\r", "\\r").replace("\n", "\\n")


def transfer_line(verdict, url, *texts):
    """A transfer's line: the setup's verdict and numbers first, then the URL and the server's
    texts, quoted."""
    return re.compile(re.escape(f"GET {verdict}, ") + r".* ms: " +
                      re.escape(", ".join([f'"{url}"', *texts])) + "$")


def found_in(expected, line):
    return expected.search(line) if isinstance(expected, re.Pattern) else expected in line


class ExplainAnInstallFromItsLog(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.addCleanup(end_launched_processes, self.driver)

    def test_the_log_tells_the_retry_the_files_the_rules_and_the_launch(self):
        firewall = FirewallStandin()
        firewall.register()
        self.addCleanup(firewall.unregister)
        os.environ["CORVANTA_FIREWALL_REFUSE"] = REFUSED_RULE
        self.addCleanup(os.environ.pop, "CORVANTA_FIREWALL_REFUSE")
        # The temp folder is the user's: the elevated setup deletes nothing there, old logs included.
        temp = paths.unix_path(wine.run(["cmd", "/c", "echo", "%TEMP%"]).stdout.strip())
        planted = [OLD_LOG.format(day) for day in range(1, 13)] + ["Corvanta Web Setup notes.log"]
        for name in planted:
            (temp / name).write_text("planted")
            self.addCleanup((temp / name).unlink, missing_ok=True)

        with product_with_test_program() as product:
            product.server.answer_status(MISSING, 404)
            moved = product.root / MOVED
            moved.parent.mkdir(parents=True)
            moved.write_bytes(product.files[MISSING])
            wizard = self.start_setup(env=setup_environment())
            click_install(wizard)
            box = wait_question(wizard)
            log, = [path for path in state.support_logs() if path.name not in planted]
            product.server.redirect(MISSING, product.url(MOVED))
            wizard.answer(box, IDRETRY)
            wait_finished(wizard)
            wizard.click_button(CANCEL)
            wait_launch()
            wait_process_end(wizard)

        text = log.read_text(encoding="latin-1")
        lines = text.splitlines()
        first = FIRST_LINE.match(lines[0])
        self.assertIsNotNone(first, lines[0])
        self.assertEqual(first.group(1), log.name[len("Corvanta Web Setup "):][:10])
        self.assertEqual([line for line in lines[1:] if not LINE.match(line)], [])
        url = product.url(MISSING)
        reason = http_status_reason(404, "Not Found")
        expected_in_order = [
            re.compile(re.escape(f"Free space on the volume of {INSTALL_DIR}: ") + r"\d+ bytes$"),
            transfer_line("failed", url, 'status text "Not Found"',
                          f'reason "{reason.rstrip()}"'),
            'Message box "Error": ' + escaped(download_question(url, reason)),
            "Answer: Retry",
            transfer_line("complete", url, f'redirected to "{product.url(MOVED)}"',
                          'status text "OK"'),
            *[f"Wrote {windows_path(name.replace('/', chr(92)))}, {len(data)} bytes"
              for name, data in product.files.items()],
            'Firewall rule "Corvanta - inbound": 0x00000000',
            f'Firewall rule "{REFUSED_RULE}": 0x80070005',
            f'Launching "{INSTALLED_PROGRAM}"',
            "; its window was brought to the front",
            "The setup ends on the Finished page, the install complete",
        ]
        position = 0
        for expected in expected_in_order:
            found = next((i for i in range(position, len(lines))
                          if found_in(expected, lines[i])), None)
            self.assertIsNotNone(found, f"{expected!r} after line {position} of:\n{text}")
            position = found + 1
        self.assertIn('Firewall rule "Corvanta Web Setup": 0x00000000', text)
        self.assertEqual(files_in(install_folder()), product.installed())

        self.assertEqual(log.parent, temp)
        self.assertEqual(sorted(path.name for path in temp.glob("Corvanta Web Setup *.log")),
                         sorted([log.name, *planted]))

    def test_a_temp_folder_it_cannot_write_to_costs_the_log_not_the_install(self):
        # Windows takes the temp folder from the user's environment, which Wine keeps here.
        for name in ("TEMP", "TMP"):
            saved = wine.run(["reg", "query", ENVIRONMENT_KEY, "/v", name]).stdout
            value = re.search(r"REG_\w+\s+(.*)", saved).group(1).strip()
            self.addCleanup(wine.run, ["reg", "add", ENVIRONMENT_KEY, "/v", name, "/t",
                                       "REG_EXPAND_SZ", "/d", value, "/f"])
            wine.run(["reg", "add", ENVIRONMENT_KEY, "/v", name, "/d", r"C:\no-such-folder", "/f"])
        with product_with_test_program() as product:
            wizard = self.start_setup(env=setup_environment())
            click_install(wizard)
            wait_finished(wizard)
            self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(list(paths.c_drive().rglob("Corvanta Web Setup *.log")), [])


if __name__ == "__main__":
    unittest.main(verbosity=2)
