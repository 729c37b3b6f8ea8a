"""The system folder dialog that the destination page's Browse button opens, seen and moved from
outside as a user clicking through its tree would, through tests/folder_dialog's FolderDialog.exe.

Wine's dialog shows the namespace as a tree: "Desktop", "My Computer", each drive as " (C:)"
(its empty volume label, then the drive), then the folders."""

import json
import re
import subprocess
from pathlib import PureWindowsPath

from harness import DESTINATION, IDCANCEL, IDOK, paths, wine
from harness.waiting import wait_until

TITLE = "Select a folder in the list below, then click OK."
BROWSE_AT = (480, 108)
EDIT_PATH_AT = (40, 110)
# A helper program's start under the emulator takes a second or two; these only stop a hang.
HELPER_TIMEOUT = 120
DIALOG_TIMEOUT = 60

_DRIVE_ITEM = re.compile(r"^.*\((?P<drive>[A-Za-z]:)\)$")


def tree_names(windows_path):
    """The items to open, from the top of the tree, to reach a folder: C:\\a\\b is Desktop,
    My Computer, " (C:)", a, b."""
    path = PureWindowsPath(windows_path)
    return ["Desktop", "My Computer", f" ({path.drive.upper()})", *path.parts[1:]]


def windows_path(names):
    """The folder that a chain of tree items names, as tree_names gives it."""
    if len(names) < 3 or names[:2] != ["Desktop", "My Computer"]:
        raise AssertionError(f"not a folder on a drive: {names}")
    drive = _DRIVE_ITEM.match(names[2])
    if not drive:
        raise AssertionError(f"not a drive: {names[2]!r}")
    return str(PureWindowsPath(drive["drive"] + "\\", *names[3:]))


def edit_path(wizard, window=None):
    """The destination page's read-only edit: the installation folder the page proposes."""
    return wizard.control(DESTINATION, "edit", *EDIT_PATH_AT, window).text


def _helper(*args):
    program = paths.win32_build_dir() / "tests" / "folder_dialog" / "FolderDialog.exe"
    # Standard input closed: a Wine program that inherits the test's starts slower.
    completed = subprocess.run(["wine", str(program), *map(str, args)], env=wine.environment(),
                               stdin=subprocess.DEVNULL, capture_output=True, text=True,
                               errors="replace", timeout=HELPER_TIMEOUT)
    lines = completed.stdout.splitlines()
    if not lines:
        raise AssertionError(f"FolderDialog {args} answered nothing: {completed.stderr[-500:]}")
    return json.loads(lines[0])


class FolderDialog:
    """The folder dialog of one click on Browse, from its opening to its closing."""

    def __init__(self, wizard):
        self.wizard = wizard
        wizard.click(wizard.control(DESTINATION, "button", *BROWSE_AT))
        self.box = wait_until(self._find, DIALOG_TIMEOUT, "the folder dialog", wizard.describe)
        self.hwnd = self.box["hwnd"]
        self.window = wizard.driver.tree(self.hwnd)
        trees = [child for child in self.window.walk() if child.cls == "SysTreeView32"]
        if len(trees) != 1:
            raise AssertionError(f"the folder dialog has {len(trees)} trees")
        self.tree = trees[0].hwnd

    def _find(self):
        return next((box for box in self.wizard.boxes() if box["text"] == TITLE), None)

    @property
    def open(self):
        return any(box["hwnd"] == self.hwnd for box in self.wizard.boxes())

    def selection(self):
        """The selected item and its ancestors' texts, from the top of the tree."""
        answer = _helper("selection", self.tree)
        if not answer["ok"]:
            raise AssertionError(f"cannot read the folder dialog's selection: {answer['error']}")
        return answer["path"]

    def selected_folder(self):
        return windows_path(self.selection())

    def choose(self, folder):
        """Opens the tree down to folder and selects it, as a user clicking through would."""
        names = tree_names(folder)
        answer = _helper("choose", self.tree, *names)
        if not answer["ok"]:
            raise AssertionError(f"cannot choose {folder} in the folder dialog: {answer['error']};"
                                 f" offered {answer['choices']}")
        if answer["path"] != names:
            raise AssertionError(f"choosing {folder} selected {answer['path']}")

    def ok(self):
        self.wizard.answer(self.box, IDOK, DIALOG_TIMEOUT)

    def cancel(self):
        self.wizard.answer(self.box, IDCANCEL, DIALOG_TIMEOUT)


def browse_to(wizard, folder):
    """Browse, choose folder, OK; returns the edit's text once the dialog has gone."""
    dialog = FolderDialog(wizard)
    dialog.choose(folder)
    dialog.ok()
    return edit_path(wizard)
