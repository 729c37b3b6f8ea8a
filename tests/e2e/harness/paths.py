"""Where things are: the Windows build, the Wine prefix and its drive C:, and the
translation between the prefix's Windows paths and this machine's paths."""

import json
import os
from pathlib import Path, PureWindowsPath


def win32_build_dir():
    return Path(os.environ["CORVANTA_WIN32_BUILD_DIR"])


def setup_exe():
    return win32_build_dir() / "CorvantaWebSetup.exe"


def test_tool(name):
    """A program or DLL of tests/driver, as built by the Windows build."""
    return win32_build_dir() / "tests" / "driver" / name


def build_config():
    """The vendor's names fixed into the exe at build time (download host and so on)."""
    with open(win32_build_dir() / "build-config.json", encoding="utf-8") as config:
        return json.load(config)


def prefix():
    return Path(os.environ["WINEPREFIX"])


def c_drive():
    return prefix() / "drive_c"


def program_files_x86():
    """What a 32-bit program in a 64-bit prefix gets for CSIDL_PROGRAM_FILES."""
    return c_drive() / "Program Files (x86)"


def common_start_menu_programs():
    return c_drive() / "ProgramData" / "Microsoft" / "Windows" / "Start Menu" / "Programs"


def common_desktop():
    return c_drive() / "users" / "Public" / "Desktop"


def unix_path(windows_path):
    """C:\\x\\y in the prefix as a path on this machine; other drives are not mapped."""
    path = PureWindowsPath(windows_path)
    if path.drive.upper() == "C:":
        return c_drive().joinpath(*path.parts[1:])
    if path.drive.upper() == "Z:":
        return Path("/").joinpath(*path.parts[1:])
    raise ValueError(f"no mapping for {windows_path}")


def windows_path(path):
    """A path on this machine as the programs in the prefix name it."""
    path = Path(path).absolute()
    try:
        relative = path.relative_to(c_drive())
        return str(PureWindowsPath("C:\\", *relative.parts))
    except ValueError:
        return str(PureWindowsPath("Z:\\", *path.parts[1:]))
