"""Leaving setup before it is complete: closing the window, Alt+F4 or Cancel asks "Setup is not
complete. Exit Setup?"; No keeps the setup as it was, Yes ends it. While the question is open
during an install the worker finishes the transfer under way but then holds: it writes nothing
and asks for no further file until the user has answered. A report that arrives meanwhile runs
inside the question's own message loop. Yes in the middle of a transfer ends the process at
once, without waiting for the worker and without a crash."""

import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import (CANCEL, DESTINATION, FINISHED, IDNO, IDYES, INSTALLING,  # noqa: E402
                     LICENCE, READY, SetupTestCase, wine)
from harness.waiting import wait_until  # noqa: E402
from install_scenarios import (INSTALL_TIMEOUT, PROGRESS_AT, Product,  # noqa: E402
                               click_install, content, files_in, install_folder, progress,
                               status_text, wait_finished, windows_path)
from leaving import (ALT_F4, CANCEL_BUTTON, CRASH_SIGNS, EXIT_BUTTONS, TITLE_BAR,  # noqa: E402
                     LoggedWizard, ask_to_leave, visible_buttons, wait_exit_question,
                     wait_process_end, wait_progress_full)

SLOW, AFTER = "Data/slow.bin", "Data/after.bin"
FILES = {SLOW: content(400_000, 61), AFTER: content(2_000, 62)}
# Slow enough that the question surely opens before the file is complete; the test then lets
# the rest go at once, or never.
SLOW_RATE = 4_000
# How long the worker is watched for a step it must not take while the question is open. Left
# alone it would ask for the next file within a second or two, even under the emulator.
HOLD_SECONDS = 8

# page: how the wizard gets there from its start
WALKS = {
    LICENCE: lambda wizard: None,
    DESTINATION: lambda wizard: wizard.go_to_destination(),
    READY: lambda wizard: wizard.go_to_ready(),
}


class LeaveSetup(SetupTestCase):
    def serve(self, files=FILES):
        product = Product(files).start()
        self.addCleanup(product.stop)
        return product

    def wait_transfer_under_way(self, product, name):
        """The transfer of name, once part of its body has been sent."""
        return wait_until(lambda: next((r for r in product.server.requests(name) if r.sent > 0),
                                       None), INSTALL_TIMEOUT, f"the transfer of {name} to begin")

    def transfer(self, product, name):
        return product.server.requests(name)[-1]

    def open_question_during_slow_transfer(self, wizard, product, way):
        """Asks to leave while SLOW trickles in; returns the exit question."""
        click_install(wizard)
        self.wait_transfer_under_way(product, SLOW)
        ask_to_leave(wizard, way)
        box = wait_exit_question(wizard)
        self.assertLess(self.transfer(product, SLOW).sent, len(FILES[SLOW]),
                        "the question opened during the transfer")
        return box

    def assertHoldsAfterTheTransferUnderWay(self, wizard, product, box):
        """The worker receives the rest of the file it was transferring, and then holds: it
        neither writes that file nor asks for the next while the question is open."""
        product.server.clear_fault(SLOW)  # the rest of the file at once
        wait_until(lambda: self.transfer(product, SLOW).sent == len(FILES[SLOW]),
                   INSTALL_TIMEOUT, "the transfer under way to finish", wizard.describe)
        self.assertFalse(product.server.wait_for_count(AFTER, 1, HOLD_SECONDS),
                         "the next file was requested while the question was open")
        window = wizard.snapshot()
        self.assertEqual(files_in(install_folder()), {}, "nothing is written meanwhile")
        self.assertEqual(progress(wizard, window), (0, 2, 0))
        self.assertEqual(status_text(wizard, window), windows_path("Data\\slow.bin"))
        self.assertEqual([other["hwnd"] for other in wizard.boxes()], [box["hwnd"]])

    def ask_to_leave_during_a_download(self):
        """Clicks Cancel while SLOW trickles in and checks that the worker holds while the
        question is open; returns (product, wizard, question)."""
        product = self.serve()
        product.server.slow_body(SLOW, SLOW_RATE)
        wizard = self.start_setup()
        box = self.open_question_during_slow_transfer(wizard, product, CANCEL_BUTTON)
        self.assertHoldsAfterTheTransferUnderWay(wizard, product, box)
        return product, wizard, box

    def test_closing_or_cancelling_before_the_install_asks_whether_to_exit(self):
        cases = [(LICENCE, TITLE_BAR), (LICENCE, ALT_F4), (DESTINATION, CANCEL_BUTTON),
                 (READY, CANCEL_BUTTON), (READY, TITLE_BAR)]
        for page, way in cases:
            with self.subTest(page=page, way=way):
                wizard = self.start_setup()
                WALKS[page](wizard)

                ask_to_leave(wizard, way)
                box = wait_exit_question(wizard)
                self.assertEqual(visible_buttons(box), EXIT_BUTTONS)
                self.assertEqual(box["owner"], wizard.hwnd)
                wizard.answer(box, IDNO)
                window = wizard.snapshot()
                self.assertTrue(window.visible, "No keeps the window open")
                self.assertEqual(wizard.current_page(window), page)
                self.assertTrue(wizard.running)

                ask_to_leave(wizard, way)
                wizard.answer(wait_exit_question(wizard), IDYES)
                self.assertEqual(wait_process_end(wizard), 0,
                                 "Yes ends the process, with no second question")

    def test_no_during_a_download_lets_the_install_run_on_to_the_finish_page(self):
        product, wizard, box = self.ask_to_leave_during_a_download()
        wizard.answer(box, IDNO)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, 2, 2))
        self.assertEqual([request.path for request in product.server.requests()],
                         ["/installs/cvn/map.txt", f"/installs/cvn/{SLOW}",
                          f"/installs/cvn/{AFTER}"])
        self.assertEqual(wizard.boxes(), [])

    def test_yes_during_a_download_ends_the_setup_without_fetching_more(self):
        product, wizard, box = self.ask_to_leave_during_a_download()
        wizard.answer(box, IDYES)
        self.assertEqual(wait_process_end(wizard), 0, "Yes ends the process, with no question")
        self.assertEqual(product.server.count(AFTER), 0)
        self.assertEqual(files_in(install_folder()), {})

    def test_the_finish_page_arrives_while_the_question_is_open(self):
        files = {"Data/one.bin": content(20_000, 63), "Data/two.bin": content(20_000, 64)}
        self.serve(files)
        wizard = self.start_setup()
        click_install(wizard)
        window = wizard.wait_page(INSTALLING)
        bar = wizard.control(INSTALLING, "progress", *PROGRESS_AT, window)

        # The worker has written the last file and passed its last waiting point: only its
        # closing pause lies between it and the finish page.
        wait_progress_full(wizard, bar, len(files), INSTALL_TIMEOUT)
        ask_to_leave(wizard, TITLE_BAR)
        box = wait_exit_question(wizard)
        # A snapshot is read window by window, and the report may run between two reads: the
        # finish page is there once it shows with its Finish button.
        wizard.wait_for(lambda window: (wizard.current_page(window) == FINISHED and
                                        wizard.button(CANCEL, window).text == "Finish"),
                        "the finish page with its Finish button", INSTALL_TIMEOUT)
        self.assertEqual([other["hwnd"] for other in wizard.boxes()], [box["hwnd"]],
                         "the question is still open on the finish page")

        wizard.answer(box, IDNO)
        window = wizard.snapshot()
        self.assertEqual(wizard.current_page(window), FINISHED)
        ask_to_leave(wizard, TITLE_BAR)
        self.assertEqual(wait_process_end(wizard), 0, "the finish page closes without a question")

    def test_yes_in_the_middle_of_a_transfer_ends_the_process_without_a_crash(self):
        product = self.serve()
        product.server.slow_body(SLOW, 1_000)  # minutes for the whole file
        log = Path(tempfile.mkdtemp(prefix="leave-setup-")) / "wine.log"
        wizard = LoggedWizard(self.driver, log, env=wine.environment(WINEDEBUG="err+all"))
        self.addCleanup(wizard.end)
        click_install(wizard)
        self.wait_transfer_under_way(product, SLOW)

        ask_to_leave(wizard, TITLE_BAR)
        wizard.answer(wait_exit_question(wizard), IDYES)
        self.assertEqual(wait_process_end(wizard), 0)
        self.assertLess(self.transfer(product, SLOW).sent, len(FILES[SLOW]),
                        "the process ended without waiting for the transfer")
        self.assertEqual(product.server.count(AFTER), 0)
        messages = wizard.wine_messages()
        for sign in CRASH_SIGNS:
            self.assertNotIn(sign, messages, f"Wine reported a fault:\n{messages[-3000:]}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
