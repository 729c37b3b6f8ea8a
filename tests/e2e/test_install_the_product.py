"""Installing the product: every file the manifest lists arrives byte for byte where it says,
with the progress bar counting the files, and the wizard ends on the finish page. A manifest
that lists nothing usable installs nothing, and a name that would lead out of the installation
folder is never written."""

import sys
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import NEXT, SetupTestCase, paths, state  # noqa: E402
from install_scenarios import (LARGEST_FILE, Product, click_install, content,  # noqa: E402
                               files_in, install_folder, progress, wait_finished)


class InstallTheProduct(SetupTestCase):
    def serve(self, *args, **options):
        product = Product(*args, **options).start()
        self.addCleanup(product.stop)
        return product

    def test_every_listed_file_arrives_byte_for_byte(self):
        product = self.serve({
            "Corvanta.exe": content(70_000, 1),
            "Help/Guides/Start.htm": content(5_000, 2),
            "Data/empty.dat": b"",
            "Data/Samples/largest.bin": content(LARGEST_FILE, 3),
        }, records=[
            ("Help\\Guides\\Start.htm", "Help/Guides/Start.htm"),
            ("Corvanta.exe", "Corvanta.exe"),
            ("empty.dat", "Data/empty.dat"),
            ("Data\\Samples\\largest.bin", "Data/Samples/largest.bin"),
        ])
        wizard = self.start_setup()
        click_install(wizard)
        window = wait_finished(wizard)

        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, 4, 4))
        self.assertEqual(wizard.boxes(), [])
        log = product.server.requests()
        self.assertEqual([request.path for request in log],
                         ["/installs/cvn/map.txt"] +
                         [f"/installs/cvn/{remote}" for _, remote in product.records],
                         "the manifest, then each file once, in the manifest's order")

    def test_a_manifest_without_a_usable_record_installs_nothing(self):
        files = {"Corvanta.exe": content(1_000, 4)}
        manifests = {
            "a line break after END": b'BEGIN "Corvanta.exe" "Corvanta.exe" "0" END\r\n',
            "no BEGIN": b'START "Corvanta.exe" "Corvanta.exe" "0" END',
            "not a manifest at all": b"<html>Not here</html>",
            "only records that are dropped": (b'BEGIN "Corvanta.exe" "Corvanta.exe" "zero" '
                                              b'"Corvanta.exe" "Corvanta.exe" "" END'),
        }
        for case, map_txt in manifests.items():
            with self.subTest(case):
                product = self.serve(files, map_txt=map_txt)
                wizard = self.start_setup()
                try:
                    click_install(wizard)
                    window = wait_finished(wizard)
                    self.assertEqual(files_in(install_folder()), {})
                    self.assertEqual(progress(wizard, window), (0, 0, 0))
                    self.assertEqual(wizard.boxes(), [])
                    self.assertEqual([request.path for request in product.server.requests()],
                                     ["/installs/cvn/map.txt"])
                finally:
                    wizard.end()
                    product.stop()
                    state.reset()

    def test_names_that_would_lead_out_of_the_installation_folder_are_not_written(self):
        escaping = ["..\\evil.txt", "..\\..\\evil.txt", "Help\\..\\..\\evil.txt",
                    "C:\\evil.txt", "\\evil.txt", "..", "Help\\.."]
        files = {"Corvanta.exe": content(2_000, 5), "Help/Start.htm": content(300, 6),
                 "evil.txt": b"must not be written anywhere"}
        records = [("Corvanta.exe", "Corvanta.exe")]
        records += [(name, "evil.txt") for name in escaping]
        records += [("Help\\Start.htm", "Help/Start.htm")]
        product = self.serve(files, records=records)
        wizard = self.start_setup()
        wizard.go_to_ready()
        outside = [install_folder().parent, paths.c_drive(), paths.c_drive().parent]
        before = {folder: sorted(path.name for path in folder.iterdir()) for folder in outside}
        wizard.click_button(NEXT)
        window = wait_finished(wizard)

        self.assertEqual(files_in(install_folder()),
                         {"Corvanta.exe": files["Corvanta.exe"],
                          "Help\\Start.htm": files["Help/Start.htm"]})
        self.assertEqual(progress(wizard, window), (0, 2, 2))
        for folder in outside:
            self.assertEqual(sorted(path.name for path in folder.iterdir()), before[folder],
                             f"nothing new in {folder}")
        self.assertEqual(product.server.count("evil.txt"), 0, "an unsafe name is not downloaded")


if __name__ == "__main__":
    unittest.main(verbosity=2)
