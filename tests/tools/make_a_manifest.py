"""A publisher makes map.txt for a product folder with `maptool make DIR`."""

import os
import unittest

from maptool_harness import MaptoolTest, maptool

ACCEPTED = 0
REFUSED = 2
LARGEST_FILE = 15999999


class MakeAManifest(MaptoolTest):
    def test_lists_every_file_sorted_by_local_name(self):
        root = self.make_tree({
            b"Corvanta.exe": b"MZ program",
            b"Help/Corvanta.chm": b"help",
            b"Help.txt": b"",
            b"lib/core.dll": b"12345",
            b"lib2.dll": b"1",
            b"lib_extra.dat": b"22",
            b"data/my file (1).dat": b"333",
            b"data/a+b&c%d=e,f;g'h@i#j!k$l.txt": b"4444",
            b"data/x~y_z-1.2": b"55555",
        })
        run = maptool("make", root)
        # Sorted by the bytes of LocalName, where "\" (0x5C) comes after "2" and before "_".
        self.assertEqual(
            run.stdout,
            b'BEGIN\r\n'
            b'"Corvanta.exe","Corvanta.exe","10"\r\n'
            b'"Help.txt","Help.txt","0"\r\n'
            b'"Help\\Corvanta.chm","Help/Corvanta.chm","4"\r\n'
            b'"data\\a+b&c%d=e,f;g\'h@i#j!k$l.txt",'
            b'"data/a%2Bb%26c%25d%3De%2Cf%3Bg%27h%40i%23j%21k%24l.txt","4"\r\n'
            b'"data\\my file (1).dat","data/my%20file%20%281%29.dat","3"\r\n'
            b'"data\\x~y_z-1.2","data/x~y_z-1.2","5"\r\n'
            b'"lib2.dll","lib2.dll","1"\r\n'
            b'"lib\\core.dll","lib/core.dll","5"\r\n'
            b'"lib_extra.dat","lib_extra.dat","2"\r\n'
            b'END')
        self.assertEqual(run.stderr, "")
        self.assertEqual(run.status, ACCEPTED)

    def test_check_accepts_what_make_writes_with_the_same_entries(self):
        trees = {
            "a small product": {
                b"Corvanta.exe": 10,
                b"Help/Corvanta.chm": 0,
                b"Sounds/Start up.wav": 3,
                b"a/b/c/d/e.txt": 7,
            },
            "the limits": {
                b"largest.bin": LARGEST_FILE,
                b"d" * 200 + b"/" + b"f" * 54: 1,
                **{b"n%03d" % i: i for i in range(126)},
            },
        }
        for name, files in trees.items():
            with self.subTest(name):
                root = self.make_tree(files, name=name.replace(" ", "-").encode())
                made = maptool("make", root)
                self.assertEqual(made.status, ACCEPTED, made.stderr)
                manifest = self.write_file(b"map.txt", made.stdout)
                checked = maptool("check", manifest)
                expected = sorted(
                    (path.replace(b"/", b"\\"), path.replace(b" ", b"%20"), size)
                    for path, size in files.items())
                self.assertEqual(
                    checked.stdout,
                    b"".join(b"%s\t%s\t%d\n" % entry for entry in expected))
                self.assertEqual(checked.stderr, "")
                self.assertEqual(checked.status, ACCEPTED)

    def test_refuses_a_folder_the_setup_could_not_install_as_it_is(self):
        cases = [
            ("a file too large", {b"big.bin": LARGEST_FILE + 1},
             '"big.bin": it has 16000000 bytes; the setup cannot download a file of 16000000'),
            ("too many files", {b"f%03d" % i: 1 for i in range(129)},
             "holds 129 files; the setup installs at most 128"),
            ("no files", {},
             "holds no files; the setup would install nothing"),
            ("a long LocalName", {b"d" * 200 + b"/" + b"f" * 55: 1},
             "its LocalName has 256 bytes; a field has at most 255"),
            ("a long RemoteName", {b"a " * 70 + b"a": 1},
             "its percent-encoded RemoteName has 281 bytes; a field has at most 255"),
            ("a device name", {b"CON.txt": 1},
             '"CON.txt": the setup would drop it: its name names a device'),
            ("a device folder", {b"bin/aux/x.dll": 1},
             '"bin/aux/x.dll": the setup would drop it: its name names a device'),
            ("a name of dots", {b"...": 1},
             '"...": the setup would drop it: its name has a part that is empty'),
            ("a name of a space", {b"sub/ ": 1},
             '"sub/ ": the setup would drop it: its name has a part that is empty'),
            ("a colon", {b"a:b": 1},
             '"a:b": the setup would drop it: its name contains ":" or "/"'),
            ("a control byte", {b"bell\x07": 1},
             '"bell\\x07": the setup would drop it: its name contains a byte below 0x20'),
            ("a backslash", {b"back\\slash": 1},
             '"back\\slash": the name holds a backslash'),
            ("UTF-8", {"Café/menü.txt".encode(): 1},
             '"Caf\\xC3\\xA9/men\\xC3\\xBC.txt": the name holds a byte of 0x80 or more'),
            ("Latin-1", {b"caf\xe9": 1},
             '"caf\\xE9": the name holds a byte of 0x80 or more'),
            *[(f"a {c}", {b"x" + c.encode() + b"y": 1},
               f'"x{c}y": the name holds one of < > | ? * ", which Windows does not allow')
              for c in '<>|?*"'],
            ("names differing in case", {b"Readme.txt": 1, b"README.TXT": 2},
             '"README.TXT" and "Readme.txt" are one file on Windows'),
            ("folders differing in case", {b"Data/a.bin": 1, b"data/A.BIN": 2},
             '"Data/a.bin" and "data/A.BIN" are one file on Windows'),
            ("a trailing dot", {b"notes": 1, b"notes.": 2},
             '"notes" and "notes." are one file on Windows'),
            ("a file where a folder goes", {b"Docs": 1, b"docs/guide.txt": 2},
             '"docs/guide.txt" needs a folder where Windows finds the file "Docs"'),
        ]
        for name, files, message in cases:
            with self.subTest(name):
                root = self.make_tree(files, name=name.replace(" ", "-").encode())
                run = maptool("make", root)
                self.assertIn(message, run.stderr)
                self.assertIn("no manifest written", run.stderr)
                self.assertEqual(run.stdout, b"")
                self.assertEqual(run.status, REFUSED)

    def test_names_every_problem_at_once(self):
        root = self.make_tree({b"ok.txt": 1, b"nul": 1, b"what?": 1})
        run = maptool("make", root)
        self.assertIn('"nul": the setup would drop it', run.stderr)
        self.assertIn('"what?": the name holds one of', run.stderr)
        self.assertEqual(run.status, REFUSED)

    def test_skips_what_is_not_a_regular_file(self):
        root = self.make_tree({b"real/file.txt": 3})
        os.symlink(b"real", os.path.join(root, b"linked"))
        os.mkfifo(os.path.join(root, b"pipe"))
        run = maptool("make", root)
        self.assertEqual(run.stdout, b'BEGIN\r\n"real\\file.txt","real/file.txt","3"\r\nEND')
        self.assertIn('"linked": skipped: not a regular file or folder', run.stderr)
        self.assertIn('"pipe": skipped: not a regular file or folder', run.stderr)
        self.assertEqual(run.status, ACCEPTED)

    def test_explains_its_usage_and_read_errors(self):
        cases = [
            (("make",), "make takes exactly one argument"),
            (("make", "a", "b"), "make takes exactly one argument"),
            (("make", self.scratch + b"/absent"), "is not a folder"),
            (("make", self.write_file(b"plain.txt", b"x")), "is not a folder"),
        ]
        for args, message in cases:
            with self.subTest(args=args):
                run = maptool(*args)
                self.assertIn(message, run.stderr)
                self.assertEqual(run.stdout, b"")
                self.assertEqual(run.status, REFUSED)

    def test_help(self):
        run = maptool("make", "--help")
        self.assertIn(b"Usage: maptool make DIR", run.stdout)
        self.assertEqual(run.status, 0)


if __name__ == "__main__":
    unittest.main()
