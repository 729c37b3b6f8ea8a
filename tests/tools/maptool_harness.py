"""Runs build/host/maptool on files and folders made for each test."""

import os
import subprocess
import tempfile
import unittest

MAPTOOL = os.environ["MAPTOOL"]


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.stdout = completed.stdout
        self.stderr = completed.stderr.decode("utf-8", "replace")


def maptool(*args):
    return Run(subprocess.run([MAPTOOL, *args], capture_output=True, timeout=60))


class MaptoolTest(unittest.TestCase):
    """A test case with a scratch folder that goes away after each test."""

    def setUp(self):
        scratch = tempfile.TemporaryDirectory(prefix="maptool-")
        self.addCleanup(scratch.cleanup)
        self.scratch = os.fsencode(scratch.name)

    def write_file(self, name, content):
        path = os.path.join(self.scratch, name)
        with open(path, "wb") as f:
            f.write(content)
        return path

    def make_tree(self, files, name=b"product"):
        """files maps relative paths (bytes, "/" between folders) to sizes or contents."""
        root = os.path.join(self.scratch, name)
        os.makedirs(root)
        for relative, content in files.items():
            path = os.path.join(root, relative)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                if isinstance(content, int):
                    f.truncate(content)  # sparse: large files cost nothing
                else:
                    f.write(content)
        return root
