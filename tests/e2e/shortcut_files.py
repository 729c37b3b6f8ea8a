"""The shortcut files an install leaves for all users, where they belong and what they hold."""

import json

from harness import paths, wine

PRODUCT_FOLDER = "Corvanta"
PROGRAM_SHORTCUT = "Corvanta.lnk"
HELP_SHORTCUT = "Help.lnk"
WEB_LINK = "Corvanta on the Web.url"


def start_menu_folder():
    return paths.common_start_menu_programs() / PRODUCT_FOLDER


def desktop_shortcut():
    return paths.common_desktop() / PROGRAM_SHORTCUT


def every_shortcut():
    folder = start_menu_folder()
    return [folder / PROGRAM_SHORTCUT, folder / HELP_SHORTCUT, folder / WEB_LINK,
            desktop_shortcut()]


def existing_shortcuts():
    """The shortcut files and the product's Start Menu folder that exist now."""
    return sorted(str(path) for path in [start_menu_folder(), *every_shortcut()] if path.exists())


def web_link_bytes():
    """The internet shortcut file, byte for byte, with the vendor's home page."""
    home_page = paths.build_config()["home_page"].encode("ascii")
    return b"[InternetShortcut]\r\nURL=" + home_page + b"\r\n"


def read_shortcuts(*files):
    """{file: (target, working folder, description)} of shell links, as the shell-link object
    loads them back."""
    program = paths.win32_build_dir() / "tests" / "shortcut_reader" / "ReadShortcut.exe"
    completed = wine.run([program, *[paths.windows_path(file) for file in files]])
    read = {}
    for file, line in zip(files, completed.stdout.splitlines()):
        entry = json.loads(line)
        if entry["load"] != 0:
            raise AssertionError(f"{file} does not load as a shell link: {entry['load']:#x}")
        read[file] = (entry["target"], entry["working_folder"], entry["description"])
    return read
