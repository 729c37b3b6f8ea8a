"""Updating an installed Corvanta while it runs: the setup names the running program before it
replaces anything, asks again while it still runs, and once it is closed installs every file of
the new release."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import CANCEL, IDRETRY, SetupTestCase, state, wait_until  # noqa: E402
from install_scenarios import (Product, click_install, content, files_in,  # noqa: E402
                               install, install_folder, setup_environment, wait_finished,
                               wait_question)
from launching import (INSTALLED_PROGRAM, LAUNCH_TIMEOUT, TARGET,  # noqa: E402
                       end_launched_processes, wait_launch)
from leaving import wait_process_end  # noqa: E402

# The program comes last, so that a setup that replaced files as it went would already have
# replaced the other two when it met the running program.
RELEASE_1 = {
    "readme.txt": content(1_000, 61),
    "Data/samples.dat": content(40_000, 62),
    "Corvanta.exe": TARGET.read_bytes(),
}
RELEASE_2 = {
    "readme.txt": content(1_100, 63),
    "Data/samples.dat": content(50_000, 64),
    "Corvanta.exe": TARGET.read_bytes() + b"release 2",
}
IN_USE_QUESTION = (f"{INSTALLED_PROGRAM}\r\n\r\n"
                   "An error occurred while trying to replace files that are in use:\r\n"
                   "Close each program listed above, then click Retry.\r\n")


class UpdateARunningCorvanta(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.addCleanup(end_launched_processes, self.driver)

    def test_the_setup_asks_to_close_the_running_program_before_replacing_anything(self):
        with Product(RELEASE_1) as release_1:
            wizard = self.start_setup(env=setup_environment())
            install(wizard)
            wizard.click_button(CANCEL)  # Finish, with "Launch Corvanta" checked
            program = wait_launch()
            wait_process_end(wizard)
            installed_1 = release_1.installed()

        with Product(RELEASE_2) as release_2:
            wizard = self.start_setup(env=setup_environment())
            click_install(wizard)
            for _ in range(2):  # Retry while the program still runs asks again
                box = wait_question(wizard)
                self.assertEqual((box["caption"], box["text"]), ("Error", IN_USE_QUESTION))
                self.assertEqual(files_in(install_folder()), installed_1)
                self.assertEqual([release_2.server.count(name) for name in RELEASE_2], [0, 0, 0])
                wizard.answer(box, IDRETRY)

            box = wait_question(wizard)
            self.driver.close_window(program["window"])
            wait_until(lambda: program["pid"] not in
                       [process["pid"] for process in self.driver.processes()],
                       LAUNCH_TIMEOUT, "the program to end")
            wizard.answer(box, IDRETRY)
            wait_finished(wizard)
            self.assertEqual(files_in(install_folder()), release_2.installed())

        log = "\n".join(path.read_text(encoding="latin-1") for path in state.support_logs())
        self.assertIn(f"Running from the installation folder: process {program['pid']}, "
                      f"{INSTALLED_PROGRAM}", log)


if __name__ == "__main__":
    unittest.main(verbosity=2)
