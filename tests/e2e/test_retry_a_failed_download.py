"""A download that fails asks the user, naming the file's address and the reason; Retry
downloads it again and the install completes, Cancel goes back to the ready page, from where a
new Install starts over with the manifest and rewrites every file. A failed download writes
nothing."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import BACK, CANCEL, NEXT, SetupTestCase  # noqa: E402
from install_scenarios import (IDCANCEL, IDRETRY, LARGEST_FILE, TOO_LARGE_REASON,  # noqa: E402
                               Product, button_ids, click_install, content,
                               download_question, files_in, http_status_reason,
                               install_folder, installed_path, manifest_question, progress,
                               status_text,
                               wait_finished, wait_question, wait_ready, windows_path)

FILES = {
    "Corvanta.exe": content(40_000, 11),
    "Help/Corvanta.chm": content(9_000, 12),
    "Data/Samples/sample.dat": content(3_000, 13),
}
MISSING = "Help/Corvanta.chm"


class RetryAFailedDownload(SetupTestCase):
    def serve(self, files=FILES, **options):
        product = Product(files, **options).start()
        self.addCleanup(product.stop)
        return product

    def assertAsksAboutDownload(self, wizard, box, url, reason):
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(button_ids(box), [IDCANCEL, IDRETRY])
        self.assertEqual(box["text"], download_question(url, reason))
        self.assertEqual(box["owner"], wizard.hwnd)

    def ask_about_the_missing_file(self):
        """Installs while MISSING answers 404 until the question about it; checks the question
        and returns (product, wizard, question)."""
        product = self.serve()
        product.server.answer_status(MISSING, 404)
        wizard = self.start_setup()
        click_install(wizard)

        box = wait_question(wizard)
        self.assertAsksAboutDownload(wizard, box, product.url(MISSING),
                                     http_status_reason(404, "Not Found"))
        return product, wizard, box

    def test_retry_after_a_missing_file_is_put_back_completes_the_install(self):
        product, wizard, box = self.ask_about_the_missing_file()
        window = wizard.snapshot()
        self.assertEqual(status_text(wizard, window), windows_path("Help\\Corvanta.chm"))
        self.assertEqual(progress(wizard, window), (0, 3, 1))
        self.assertEqual(files_in(install_folder()), {"Corvanta.exe": FILES["Corvanta.exe"]},
                         "the file that failed is not written, nor any after it")

        product.server.clear_fault(MISSING)
        wizard.answer(box, IDRETRY)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, 3, 3))
        self.assertEqual(product.server.count(MISSING), 2)
        self.assertEqual(product.server.count("map.txt"), 1, "Retry repeats only the download")

    def test_cancel_returns_to_ready_and_install_starts_over(self):
        product, wizard, box = self.ask_about_the_missing_file()
        wizard.answer(box, IDCANCEL)
        window = wait_ready(wizard)
        self.assertEqual(wizard.button(NEXT, window).text, "Install")
        self.assertTrue(wizard.button(NEXT, window).enabled)
        self.assertTrue(wizard.button(BACK, window).visible)
        self.assertEqual(wizard.button(CANCEL, window).text, "Cancel")
        self.assertEqual(wizard.boxes(), [])
        self.assertEqual(files_in(install_folder()), {"Corvanta.exe": FILES["Corvanta.exe"]})

        # The second Install must fetch everything anew: the server now has a newer program,
        # and the copy on disk has been spoiled.
        product.server.clear_fault(MISSING)
        newer = content(41_000, 14)
        product.put("Corvanta.exe", newer)
        installed_path("Corvanta.exe").write_bytes(b"spoiled")
        wizard.click_button(NEXT)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), {**product.installed(),
                                                      "Corvanta.exe": newer})
        self.assertEqual(progress(wizard, window), (0, 3, 3))
        self.assertEqual(
            {name: product.server.count(name) for name in ["map.txt", *FILES]},
            {"map.txt": 2, "Corvanta.exe": 2, MISSING: 2, "Data/Samples/sample.dat": 1},
            "the second Install asks for the manifest and every file it has not yet got")

    def test_a_missing_manifest_asks_and_retry_completes_once_it_is_back(self):
        product = self.serve()
        product.server.answer_status("map.txt", 404)
        wizard = self.start_setup()
        click_install(wizard)

        box = wait_question(wizard)
        self.assertEqual(button_ids(box), [IDCANCEL, IDRETRY])
        self.assertEqual(box["text"], manifest_question(http_status_reason(404, "Not Found")))
        self.assertEqual(files_in(install_folder()), {}, "an error page is not a manifest")
        self.assertEqual(progress(wizard), (0, 0, 0))

        product.server.clear_fault("map.txt")
        wizard.answer(box, IDRETRY)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, 3, 3))

    def test_a_file_too_large_for_the_buffer_asks_and_retry_completes_once_it_fits(self):
        files = {**FILES, "Data/Samples/huge.bin": content(LARGEST_FILE + 1, 15)}
        product = self.serve(files)
        wizard = self.start_setup()
        click_install(wizard)

        box = wait_question(wizard)
        self.assertAsksAboutDownload(wizard, box, product.url("Data/Samples/huge.bin"),
                                     TOO_LARGE_REASON)
        self.assertFalse(installed_path("Data\\Samples\\huge.bin").exists())
        self.assertEqual(progress(wizard), (0, 4, 3))

        product.put("Data/Samples/huge.bin", content(LARGEST_FILE, 16))
        wizard.answer(box, IDRETRY)
        window = wait_finished(wizard)
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, 4, 4))


if __name__ == "__main__":
    unittest.main(verbosity=2)
