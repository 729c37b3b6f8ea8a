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


def reset():
    """Removes the saved choices, the installed folders and the tests' own files."""
    registry.delete_key()
    for path in installed_traces() + [scratch_folder()]:
        remove(path)
