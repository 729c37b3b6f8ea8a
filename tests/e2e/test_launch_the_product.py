"""Launching the product at the end: Finish with "Launch Corvanta" checked starts the installed
Corvanta.exe, by its quoted path, in the setup's own current folder, brings its window to the
front and ends the setup, even when the program cannot be started or never becomes idle;
Finish with the box cleared, or closing the window on the finish page, ends the setup without a
question and starts nothing."""

import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import CANCEL, FINISHED, SetupTestCase, paths, state, wine  # noqa: E402
from harness.waiting import STATE_TIMEOUT, wait_until  # noqa: E402
from install_scenarios import click_install, wait_finished  # noqa: E402
from launching import (INSTALLED_PROGRAM, TARGET, ForegroundHolder,  # noqa: E402
                       end_launched_processes, launched_processes, launches,
                       product_with_test_program, wait_launch)
from leaving import TITLE_BAR, ask_to_leave, wait_process_end  # noqa: E402

LAUNCH_AT = (40, 140)
# How long a window left alone is watched for coming to the front by itself.
STAY_BEHIND_SECONDS = 5


class LaunchTheProduct(SetupTestCase):
    def setUp(self):
        super().setUp()
        self.addCleanup(end_launched_processes, self.driver)

    def install(self, program=True, **options):
        """A complete install of the product with the test program (unless told otherwise);
        returns the wizard on the finish page."""
        product = product_with_test_program(program).start()
        self.addCleanup(product.stop)
        wizard = self.start_setup(**options)
        click_install(wizard)
        window = wait_finished(wizard)
        self.assertTrue(wizard.control(FINISHED, "checkbox", *LAUNCH_AT, window).checked,
                        '"Launch Corvanta" is checked at first')
        return wizard

    def describe_foreground(self, holder):
        hwnd = self.driver.foreground()
        if not hwnd:
            return "no window has the foreground"
        window = self.driver.info(hwnd)
        whose = " (the holder)" if hwnd == holder.hwnd else ""
        return (f"the foreground is {hwnd}{whose}, {window.cls} \"{window.text}\" "
                f"of process {window.pid}")

    def assertNothingStarted(self):
        self.assertEqual(launches(), [])
        self.assertEqual(launched_processes(self.driver), [])

    def test_finish_starts_the_installed_program_and_brings_its_window_to_the_front(self):
        folder = state.scratch_folder() / "Setup Folder"
        folder.mkdir(parents=True)
        environment = wine.environment(CORVANTA_LAUNCH_MARK="from the setup")
        wizard = self.install(cwd=folder, env=environment)
        holder = ForegroundHolder(self.driver)
        self.addCleanup(holder.end)

        wizard.click_button(CANCEL)  # it reads "Finish"
        self.assertEqual(wait_process_end(wizard), 0)
        launch = wait_launch()
        self.assertEqual(launch["exe"], INSTALLED_PROGRAM)
        self.assertEqual(launch["command_line"], f'"{INSTALLED_PROGRAM}"', "quoted, no arguments")
        self.assertEqual(launch["folder"], paths.windows_path(folder), "the setup's own folder")
        self.assertEqual(launch["mark"], "from the setup", "the setup's own environment")
        self.assertIs(launch["setup_window_visible"], False, "the setup hid its window first")
        self.assertEqual(launch["foreground_at_show"], holder.hwnd,
                         "the program showed its window behind another window")
        wait_until(lambda: self.driver.foreground() == launch["window"], STATE_TIMEOUT,
                   "the program's window to come to the front",
                   lambda: self.describe_foreground(holder))
        self.assertEqual(len(launches()), 1)

    def test_a_program_exe_at_the_root_of_the_drive_is_never_started(self):
        planted = paths.c_drive() / "Program.exe"
        planted.write_bytes(TARGET.read_bytes())
        self.addCleanup(state.remove, planted)
        wizard = self.install()

        wizard.click_button(CANCEL)
        self.assertEqual(wait_process_end(wizard), 0)
        wait_launch()
        self.assertEqual([launch["exe"] for launch in launches()], [INSTALLED_PROGRAM])
        self.assertEqual([process["exe"] for process in launched_processes(self.driver)],
                         ["Corvanta.exe"])

    def test_finish_with_launch_cleared_starts_nothing(self):
        wizard = self.install()
        wizard.click(wizard.control(FINISHED, "checkbox", *LAUNCH_AT))
        wizard.wait_for(lambda window: not wizard.control(FINISHED, "checkbox", *LAUNCH_AT,
                                                          window).checked,
                        '"Launch Corvanta" to be cleared')

        wizard.click_button(CANCEL)
        self.assertEqual(wait_process_end(wizard), 0)
        self.assertNothingStarted()

    def test_closing_the_window_on_the_finish_page_asks_nothing_and_starts_nothing(self):
        wizard = self.install()

        ask_to_leave(wizard, TITLE_BAR)
        self.assertEqual(wait_process_end(wizard), 0, "the window closes without a question")
        self.assertNothingStarted()

    def test_finish_ends_the_setup_when_the_program_cannot_be_started(self):
        wizard = self.install(program=False)

        wizard.click_button(CANCEL)
        self.assertEqual(wait_process_end(wizard), 0, "no message, no question")
        self.assertNothingStarted()

    def test_finish_ends_the_setup_when_the_program_never_becomes_idle(self):
        wizard = self.install(env=wine.environment(CORVANTA_LAUNCH_BUSY="1"))

        wizard.click_button(CANCEL)
        self.assertEqual(wait_process_end(wizard), 0)
        self.assertEqual([launch["exe"] for launch in launches()], [INSTALLED_PROGRAM])

    def test_the_test_program_stays_behind_unless_someone_brings_it_forward(self):
        # Without this the launch scenario could not tell the setup's doing from the program's.
        holder = ForegroundHolder(self.driver)
        self.addCleanup(holder.end)
        program = wine.start([TARGET])
        self.addCleanup(program.wait, STATE_TIMEOUT)
        launch = wait_launch()
        self.addCleanup(self.driver.terminate, launch["pid"])
        self.assertEqual(launch["foreground_at_show"], holder.hwnd)
        time.sleep(STAY_BEHIND_SECONDS)
        self.assertEqual(self.driver.foreground(), holder.hwnd)


if __name__ == "__main__":
    unittest.main(verbosity=2)
