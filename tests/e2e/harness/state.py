"""Everything the setup can leave in the prefix, and its removal, so that the tests can share
one prefix and each starts from a first run on a clean system."""

import shutil

from . import paths, registry

def scratch_folder():
    """Where the tests put copies of the setup and other files of their own."""
    return paths.c_drive() / "corvanta-tests"


def installed_traces():
    """Folders and files that a run of the setup may create."""
    return [
        paths.program_files_x86() / "Corvanta",
        paths.common_start_menu_programs() / "Corvanta",
        paths.common_desktop() / "Corvanta.lnk",
    ]


def remove(path):
    if path.is_dir() and not path.is_symlink():
        shutil.rmtree(path)
    elif path.exists() or path.is_symlink():
        path.unlink()


def support_logs():
    """The setup's logs in the temp folders of the prefix's users."""
    users = paths.c_drive() / "users"
    return [*users.glob("*/Temp/Corvanta Web Setup *.log"),
            *users.glob("*/AppData/Local/Temp/Corvanta Web Setup *.log")]


def reset():
    """Removes the saved choices, the installed folders, the setup's logs and the tests' own
    files."""
    registry.delete_key()
    for path in installed_traces() + support_logs() + [scratch_folder()]:
        remove(path)
