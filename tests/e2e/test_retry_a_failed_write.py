"""A downloaded file that cannot be written asks the user, naming the file's path and the
system's reason; once the obstacle is gone, Retry writes the same data again without
downloading it again, and the install completes with every file byte for byte. The obstacles:
a folder of the same name, a full disk, and another program holding the file open. An older file
at that path stays whole until the new one is complete, and no temporary file is left."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import NEXT, SetupTestCase  # noqa: E402
from install_scenarios import (ERROR_ACCESS_DENIED, ERROR_DISK_FULL,  # noqa: E402
                               ERROR_SHARING_VIOLATION, IDCANCEL, IDRETRY, HeldFile, Product,
                               button_ids, click_install, content, files_in, install_folder,
                               installed_path, mount_small_disk, plain_system_text, progress,
                               require_sandbox, wait_finished, wait_question, wait_ready,
                               windows_path, write_question)

FILES = {
    "Corvanta.exe": content(30_000, 41),
    "Data/Samples/sample.dat": content(2_000_000, 42),
    "readme.txt": content(1_000, 43),
}
BLOCKED_LOCAL = "Data\\Samples\\sample.dat"
BLOCKED_REMOTE = "Data/Samples/sample.dat"


class RetryAFailedWrite(SetupTestCase):
    def setUp(self):
        super().setUp()
        require_sandbox()
        self.product = Product(FILES).start()
        self.addCleanup(self.product.stop)

    def ask_about_the_blocked_file(self, reason_code):
        """Installs until the question about the blocked file; checks and returns it."""
        wizard = self.start_setup()
        click_install(wizard)
        box = wait_question(wizard)
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(button_ids(box), [IDCANCEL, IDRETRY])
        reason = plain_system_text(reason_code)
        self.assertTrue(reason, f"the system has a text for error {reason_code}")
        self.assertEqual(box["text"], write_question(BLOCKED_LOCAL, reason))
        self.assertEqual(progress(wizard), (0, 3, 1))
        return wizard, box

    def assertCompletesAfterRetryWithoutDownloadingAgain(self, wizard, box, installs=1):
        wizard.answer(box, IDRETRY)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), self.product.installed())
        self.assertEqual(progress(wizard, window), (0, 3, 3))
        self.assertEqual(self.product.server.count(BLOCKED_REMOTE), installs,
                         "Retry writes the data it has")

    def test_a_folder_in_the_way_asks_and_retry_writes_once_it_is_gone(self):
        in_the_way = installed_path(BLOCKED_LOCAL)
        in_the_way.mkdir(parents=True)
        wizard, box = self.ask_about_the_blocked_file(ERROR_ACCESS_DENIED)

        in_the_way.rmdir()
        self.assertCompletesAfterRetryWithoutDownloadingAgain(wizard, box)

    def test_a_full_disk_asks_keeps_the_older_file_and_retry_writes_once_there_is_room(self):
        # A disk of 3 MiB, two of them taken and half a MiB by an older file of the same name:
        # the 2,000,000-byte file fits beside the older one only once the filler has gone.
        disk = installed_path("Data\\Samples")
        unmount = mount_small_disk(disk, 3 * 1024 * 1024)
        self.addCleanup(unmount)
        filler = disk / "filler.bin"
        filler.write_bytes(bytes(2 * 1024 * 1024))
        older = content(512 * 1024, 44)
        installed_path(BLOCKED_LOCAL).write_bytes(older)

        def assertOlderFileWholeAndNoTemporaryFile():
            self.assertEqual(installed_path(BLOCKED_LOCAL).read_bytes(), older)
            self.assertEqual(sorted(path.name for path in disk.iterdir()),
                             ["filler.bin", "sample.dat"])

        wizard, box = self.ask_about_the_blocked_file(ERROR_DISK_FULL)
        assertOlderFileWholeAndNoTemporaryFile()
        wizard.answer(box, IDCANCEL)
        wait_ready(wizard)
        assertOlderFileWholeAndNoTemporaryFile()

        wizard.click_button(NEXT)  # Install again
        box = wait_question(wizard)
        self.assertEqual(box["text"],
                         write_question(BLOCKED_LOCAL, plain_system_text(ERROR_DISK_FULL)))
        filler.unlink()
        self.assertCompletesAfterRetryWithoutDownloadingAgain(wizard, box, installs=2)

    def test_a_file_held_open_by_another_program_asks_and_retry_writes_once_it_lets_go(self):
        installed_path("Data\\Samples").mkdir(parents=True)
        holder = HeldFile(windows_path(BLOCKED_LOCAL))
        self.addCleanup(holder.release)
        wizard, box = self.ask_about_the_blocked_file(ERROR_SHARING_VIOLATION)

        holder.release()
        self.assertCompletesAfterRetryWithoutDownloadingAgain(wizard, box)


if __name__ == "__main__":
    unittest.main(verbosity=2)
