"""A complete install through the wizard, against the download server serving a small product,
for the scenarios about what an install leaves in the system."""

import shutil
import tempfile
from pathlib import Path

from harness import DESTINATION, FINISHED, NEXT, READY, wine
from harness.server import download_server_module, test_certificates

INSTALL_DIR = r"C:\Program Files (x86)\Corvanta"
PROGRAM = "Corvanta.exe"
HELP_FILE = "Help/Corvanta.chm"
START_MENU_AT = (40, 150)
DESKTOP_AT = (40, 180)
# Downloads are small and local, but every step of Wine runs under an emulator here.
INSTALL_TIMEOUT = 180


def setup_environment():
    """The setup's environment, without Wine's menu builder: it would copy every shortcut the
    setup makes into the desktop menus of this machine's user, outside the prefix."""
    return wine.environment("winemenubuilder.exe=d")


def product_files(help_file=True):
    """The product as the download server holds it: {path under the base URL: bytes}."""
    files = {PROGRAM: b"MZ" + b"\0" * 62 + b"a stand-in for the program"}
    if help_file:
        files[HELP_FILE] = b"ITSF a stand-in for the help"
    return files


def manifest(files):
    """map.txt listing every file, each put where its URL path says."""
    records = b"".join(b'"%s","%s","%d"\r\n' % (name.replace("/", "\\").encode(), name.encode(),
                                                 len(data))
                       for name, data in files.items())
    return b"BEGIN\r\n" + records + b"END"


class ServedProduct:
    """The download server, in this process, serving the product's files and their manifest on
    the download host (the sandbox points it to 127.0.0.1 and trusts its certificate)."""

    def __init__(self, files):
        self.root = Path(tempfile.mkdtemp(prefix="served-product-"))
        for name, data in {**files, "map.txt": manifest(files)}.items():
            path = self.root / name
            path.parent.mkdir(parents=True, exist_ok=True)
            path.write_bytes(data)
        # Readable by anyone, so that it can still be served after the test gives up root.
        for path in [self.root, *self.root.rglob("*")]:
            path.chmod(0o755 if path.is_dir() else 0o644)
        certificates = test_certificates()
        self.server = download_server_module().DownloadServer(
            self.root, certificates / "server.pem", certificates / "server.key")

    def __enter__(self):
        self.server.start()
        return self.server

    def __exit__(self, *exc_info):
        self.server.stop()
        shutil.rmtree(self.root, ignore_errors=True)


def choose_shortcuts(wizard, start_menu, desktop):
    """On the destination page, sets the two shortcut check boxes as a user clicks them."""
    for place, wanted in ((START_MENU_AT, start_menu), (DESKTOP_AT, desktop)):
        def checked(window=None, place=place):
            return wizard.control(DESTINATION, "checkbox", *place, window).checked

        if checked() != wanted:
            wizard.click(wizard.control(DESTINATION, "checkbox", *place))
            wizard.wait_for(lambda window: checked(window) == wanted,
                            f"the check box at {place} to be {'checked' if wanted else 'cleared'}")


def install(wizard, start_menu=True, desktop=True):
    """From the start: accepts the licence, makes the shortcut choices, clicks Install and waits
    for the finish page."""
    wizard.go_to_destination()
    choose_shortcuts(wizard, start_menu, desktop)
    wizard.click_button(NEXT)
    wizard.wait_page(READY)
    wizard.click_button(NEXT)
    return wizard.wait_page(FINISHED, INSTALL_TIMEOUT)
