"""A publisher checks a manifest with `maptool check FILE` before putting it on the server."""

import unittest

from maptool_harness import MaptoolTest, maptool

ACCEPTED = 0
NOTHING_INSTALLED = 1
ERROR = 2


class CheckAManifest(MaptoolTest):
    def check(self, manifest):
        return maptool("check", self.write_file(b"map.txt", manifest))

    def test_lists_each_entry_the_setup_would_install(self):
        run = self.check(
            b'BEGIN\r\n'
            b'"Corvanta.exe","bin/Corvanta.exe","1024"\r\n'
            b'"Help\\Corvanta.chm","help/Corvanta.chm","$FFFFFFFF"\r\n'
            b'"Caf\xe9\\Men\xfc.txt","cafe/menu.txt","  -0x10"\r\n'
            b'END')
        self.assertEqual(run.stdout,
                         b'Corvanta.exe\tbin/Corvanta.exe\t1024\n'
                         b'Help\\Corvanta.chm\thelp/Corvanta.chm\t-1\n'
                         b'Caf\xe9\\Men\xfc.txt\tcafe/menu.txt\t-16\n')
        self.assertEqual(run.stderr, "")
        self.assertEqual(run.status, ACCEPTED)

    def test_refuses_a_file_that_fails_validation_and_says_where(self):
        cases = [
            (b"", "byte 0: the file has 0 bytes"),
            (b"BEGINEND", "byte 0: the file has 8 bytes"),
            (b'begin\r\n"a","b","1"\r\nEND', "byte 0: the file does not start with BEGIN"),
            (b'BEGIN\r\n"a","b","1"\r\nEND\r\n', "byte 22: the file does not end with END"),
        ]
        for manifest, reason in cases:
            with self.subTest(manifest=manifest):
                run = self.check(manifest)
                self.assertIn(reason, run.stderr)
                self.assertIn("the setup would install nothing", run.stderr)
                self.assertEqual(run.stdout, b"")
                self.assertEqual(run.status, NOTHING_INSTALLED)

    def test_refuses_a_file_larger_than_the_setup_can_download(self):
        run = self.check(b"BEGIN" + b" " * 15999992 + b"END")
        self.assertIn("byte 15999999: the file is larger than 15999999 bytes", run.stderr)
        self.assertEqual(run.status, NOTHING_INSTALLED)

    def test_tells_why_each_record_was_dropped_at_its_offset(self):
        records = [
            b'"kept","k","1"',
            b'"' + b"a" * 256 + b'","r","1"',
            b'"..\\evil.dll","r","1"',
            b'"CON.txt","r","1"',
            b'"ok","bad\x7fname","1"',
            b'"ok","r","12 "',
            b'"also kept","k2","2"',
            b'"cut","short',
        ]
        manifest = b"BEGIN\r\n" + b"\r\n".join(records) + b" END"
        offsets = [manifest.index(record) for record in records]
        run = self.check(manifest)
        self.assertEqual(run.stdout, b"kept\tk\t1\nalso kept\tk2\t2\n")
        self.assertEqual(run.status, ACCEPTED)
        for message in [
                f"byte {offsets[1]}: record dropped: a field of 256 bytes",
                f'byte {offsets[2]}: record dropped: LocalName "..\\evil.dll" has a part that '
                "is empty once its trailing dots and spaces are removed",
                f'byte {offsets[3]}: record dropped: LocalName "CON.txt" names a device',
                f'byte {offsets[4] + 5}: record dropped: RemoteName "bad\\x7Fname" contains',
                f'byte {offsets[5] + 9}: record dropped: the third field "12 " is not an integer',
                f"byte {offsets[7] + 6}: record dropped: a field opens here and never closes",
        ]:
            self.assertIn(message, run.stderr)
        self.assertEqual(len(run.stderr.splitlines()), 6, run.stderr)

    def test_tells_of_records_beyond_the_128th(self):
        manifest = b"BEGIN\r\n" + b"".join(
            b'"f%d","r%d","%d"\r\n' % (i, i, i) for i in range(130)) + b"END"
        first_ignored = manifest.index(b'"f128"')
        run = self.check(manifest)
        self.assertEqual(len(run.stdout.splitlines()), 128)
        self.assertIn(f"byte {first_ignored}: record dropped: "
                      "the setup takes only the first 128 entries", run.stderr)
        self.assertEqual(run.status, ACCEPTED)

    def test_warns_of_an_entry_with_an_empty_local_name(self):
        run = self.check(b'BEGIN "","index.html","0" END')
        self.assertEqual(run.stdout, b"\tindex.html\t0\n")
        self.assertIn("byte 6: warning: entry with an empty LocalName", run.stderr)
        self.assertIn("can never write it", run.stderr)
        self.assertEqual(run.status, ACCEPTED)

    def test_says_when_every_record_is_dropped(self):
        run = self.check(b'BEGIN\r\n"C:\\boot.ini","r","1"\r\n"nul","r","1"\r\nEND')
        self.assertEqual(run.stdout, b"")
        self.assertIn("the setup would install nothing", run.stderr)
        self.assertEqual(run.status, NOTHING_INSTALLED)

    def test_explains_its_usage_and_read_errors(self):
        missing = self.scratch + b"/absent.txt"
        cases = [
            ((), "a command is missing"),
            (("validate", "map.txt"), "unknown command 'validate'"),
            (("check",), "check takes exactly one argument"),
            (("check", "a", "b"), "check takes exactly one argument"),
            (("check", missing), "cannot read"),
            (("check", self.scratch), "cannot read"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                run = maptool(*args)
                self.assertIn(message, run.stderr)
                self.assertTrue(run.stderr.startswith("maptool: "), run.stderr)
                self.assertEqual(run.stdout, b"")
                self.assertEqual(run.status, ERROR)

    def test_help(self):
        for args in [("--help",), ("check", "--help")]:
            with self.subTest(args=args):
                run = maptool(*args)
                self.assertIn(b"Usage: maptool check FILE", run.stdout)
                self.assertEqual(run.status, 0)


if __name__ == "__main__":
    unittest.main()
