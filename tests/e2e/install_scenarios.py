"""What the install scenarios share: a product served by the download server with a manifest of
the test's own making, the walk through the wizard to Install and to the finish page, the
questions the setup should ask in the words it should use, the system's own texts for error
codes, and a look at the installing page and the installed files.

The questions are built here from their parts, so that a scenario states which subject, which
headline and which reason it expects, and the comparison with the box is exact."""

import json
import os
import random
import shutil
import subprocess
import tempfile
from pathlib import Path, PureWindowsPath

from harness import DESTINATION, FINISHED, INSTALLING, NEXT, READY, paths, wine
from harness.server import download_host, download_server_module, test_certificates

INSTALL_DIR = PureWindowsPath(r"C:\Program Files (x86)\Corvanta")
BASE_PATH = "/installs/cvn/"
# The largest file the setup's transfer buffer holds; one byte more does not fit.
LARGEST_FILE = 15_999_999
# The files of product_files().
PROGRAM = "Corvanta.exe"
HELP_FILE = "Help/Corvanta.chm"
# Where the layout puts the destination page's shortcut boxes and the installing page's status
# and progress bar.
START_MENU_AT = (40, 150)
DESKTOP_AT = (40, 180)
STATUS_AT = (40, 80)
PROGRESS_AT = (40, 110)

# Every step of Wine runs under an emulator here; these only stop a test that hangs.
INSTALL_TIMEOUT = 240
QUESTION_TIMEOUT = 180

IDCANCEL, IDRETRY = 2, 4
ERROR_ACCESS_DENIED = 5
ERROR_SHARING_VIOLATION = 32
ERROR_DISK_FULL = 112
ERROR_INTERNET_TIMEOUT = 12002
ERROR_INTERNET_CANNOT_CONNECT = 12029
ERROR_INTERNET_CONNECTION_ABORTED = 12030
ERROR_INTERNET_SEC_CERT_REV_FAILED = 12057

DOWNLOAD_FILE = "An error occurred while trying to download file:"
WRITE_FILE = "An error occurred while trying to write file:"


# The product and its manifest.

def content(size, seed):
    """size bytes that differ from file to file and from one seed to the next."""
    return random.Random(seed).randbytes(size)


def manifest(records):
    """map.txt for records of (LocalName, RemoteName) or (LocalName, RemoteName, number)."""
    lines = []
    for record in records:
        local, remote, number = (*record, "0") if len(record) == 2 else record
        lines.append(b'"%s" "%s" "%s"' % (local.encode("latin-1"), remote.encode("latin-1"),
                                          str(number).encode()))
    return b"BEGIN\r\n" + b"\r\n".join(lines) + b"\r\nEND"


def server_certificate(name="server"):
    """(certificate, key) for the download host: "server" from the authority the sandbox
    trusts, "other-server" from one that nobody trusts."""
    certificates = test_certificates()
    return certificates / f"{name}.pem", certificates / f"{name}.key"


class Product:
    """The files the download server holds for one scenario, under the base URL, and map.txt.

    files: {RemoteName: bytes}; records: the manifest's records, by default every file installed
    under its RemoteName with "/" turned into "\\"; map_txt replaces the manifest; http also
    serves plain HTTP on port 80; certificate names the server's (see server_certificate)."""

    def __init__(self, files, records=None, map_txt=None, http=False, certificate="server"):
        self.files = dict(files)
        self.records = (list(records) if records is not None else
                        [(name.replace("/", "\\"), name) for name in self.files])
        self.root = Path(tempfile.mkdtemp(prefix="product-"))
        # Readable by anyone, so that it can still be served after the test gives up root.
        self.root.chmod(0o755)
        for name, data in self.files.items():
            self.put(name, data)
        self.put("map.txt", manifest(self.records) if map_txt is None else map_txt)
        self.server = download_server_module().DownloadServer(
            self.root, *server_certificate(certificate), http_port=80 if http else None)

    def put(self, name, data):
        """Serves data as name from now on: a file of the product, map.txt or map.txt.sig."""
        path = self.root / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data)
        if name not in ("map.txt", "map.txt.sig"):
            self.files[name] = data

    def url(self, name, scheme="https"):
        return f"{scheme}://{download_host()}{BASE_PATH}{name}"

    def installed(self):
        """{LocalName: bytes} that a complete install leaves, for the records that name files."""
        return {local: self.files[remote] for local, remote, *_ in self.records}

    def start(self):
        self.server.start()
        return self

    def stop(self):
        self.server.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc_info):
        self.stop()


def product_files(help_file=True):
    """A small product, for scenarios about what an install leaves besides the files: the
    program and, unless told otherwise, its help file."""
    files = {PROGRAM: b"MZ" + b"\0" * 62 + b"a stand-in for the program"}
    if help_file:
        files[HELP_FILE] = b"ITSF a stand-in for the help"
    return files


# The installation folder.

def install_folder():
    return paths.unix_path(INSTALL_DIR)


def installed_path(local_name):
    return paths.unix_path(INSTALL_DIR / PureWindowsPath(local_name))


def windows_path(local_name):
    """The path the setup names a file by: InstallDir + "\\" + LocalName."""
    return f"{INSTALL_DIR}\\{local_name}"


def files_in(folder):
    """{path relative to folder, with backslashes: bytes} of every file below it."""
    folder = Path(folder)
    found = {}
    for path in sorted(folder.rglob("*")):
        if path.is_file():
            found[str(PureWindowsPath(*path.relative_to(folder).parts))] = path.read_bytes()
    return found


# What the system says about an error code, asked in the prefix as the setup would ask.

def _install_tool(name):
    return paths.win32_build_dir() / "tests" / "install_tools" / name


_texts = {}


def _system_texts(code):
    if code not in _texts:
        completed = subprocess.run(["wine", _install_tool("SystemMessage.exe"), str(code)],
                                   env=wine.environment(), stdin=subprocess.DEVNULL,
                                   capture_output=True, text=True, timeout=120, check=True)
        _texts[code] = json.loads(completed.stdout.splitlines()[0])
    return _texts[code]


def plain_system_text(code):
    """The system's message table's text for code, or the code's number where it has none."""
    return _system_texts(code)["system"] or error_code_text(code)


def internet_error_text(code):
    """The system's text for a WinINet error: its message table's, else wininet.dll's, else
    the code's number."""
    texts = _system_texts(code)
    return texts["system"] or texts["wininet"] or error_code_text(code)


def error_code_text(code):
    return f"Error code {code}.\r\n"


# The questions, as the setup should word them.

def manifest_question(reason):
    domain = paths.build_config()["vendor_domain"]
    return f"An error occurred while trying to download files from {domain}:\r\n{reason}"


def download_question(url, reason):
    return f"{url}\r\n\r\n{DOWNLOAD_FILE}\r\n{reason}"


def write_question(local_name, reason):
    return f"{windows_path(local_name)}\r\n\r\n{WRITE_FILE}\r\n{reason}"


def http_status_reason(status, text):
    return f"The server returned HTTP status {status} ({text}).\r\n"


def short_body_reason(received, declared):
    return f"The download ended after {received} of {declared} bytes.\r\n"


INSECURE_REDIRECT_REASON = (
    "The server redirected the download to an address that is not secure.\r\n")
TOO_LARGE_REASON = "The file is larger than 15,999,999 bytes.\r\n"


# The wizard during an install.

def setup_environment():
    """The setup's environment, without Wine's menu builder: it would copy every shortcut the
    setup makes into the desktop menus of this machine's user, outside the prefix."""
    return wine.environment("winemenubuilder.exe=d")


def choose_shortcuts(wizard, start_menu, desktop):
    """On the destination page, sets the two shortcut check boxes as a user clicks them."""
    for place, wanted in ((START_MENU_AT, start_menu), (DESKTOP_AT, desktop)):
        def checked(window=None, place=place):
            return wizard.control(DESTINATION, "checkbox", *place, window).checked

        if checked() != wanted:
            wizard.click(wizard.control(DESTINATION, "checkbox", *place))
            wizard.wait_for(lambda window: checked(window) == wanted,
                            f"the check box at {place} to be {'checked' if wanted else 'cleared'}")


def click_install(wizard, shortcuts=None):
    """From a fresh start: accepts the licence, keeps the proposed folder, makes the shortcut
    choices (start_menu, desktop) when given, and clicks Install."""
    wizard.go_to_destination()
    if shortcuts is not None:
        choose_shortcuts(wizard, *shortcuts)
    wizard.click_button(NEXT)
    wizard.wait_page(READY)
    wizard.click_button(NEXT)


def install(wizard, start_menu=True, desktop=True):
    """From a fresh start to the finish page, with these shortcut choices."""
    click_install(wizard, (start_menu, desktop))
    return wait_finished(wizard)


def wait_question(wizard, timeout=QUESTION_TIMEOUT):
    """The next Retry/Cancel question, once it is on screen."""
    return wizard.wait_box(timeout)


def button_ids(box):
    return sorted(button["id"] for button in box["buttons"] if button["visible"])


def progress(wizard, window=None):
    """The installing page's progress bar: (low, high, position)."""
    bar = wizard.control(INSTALLING, "progress", *PROGRESS_AT, window).progress
    return bar["low"], bar["high"], bar["position"]


def status_text(wizard, window=None):
    return wizard.control(INSTALLING, "label", *STATUS_AT, window).text


def wait_finished(wizard):
    return wizard.wait_page(FINISHED, INSTALL_TIMEOUT)


def wait_ready(wizard):
    return wizard.wait_page(READY, INSTALL_TIMEOUT)


class HeldFile:
    """A file held open for writing, without sharing, by another program in the prefix
    (tests/install_tools' HoldFile.exe) until `release()`."""

    def __init__(self, windows_path):
        self.process = wine.start([_install_tool("HoldFile.exe"), windows_path],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        self.state = self.process.stdout.readline().strip()
        if self.state != "held":
            self.release()
            raise RuntimeError(f"HoldFile could not open {windows_path}: {self.state!r}")

    def release(self):
        if self.process.poll() is None:
            try:
                self.process.stdin.write("\n")
                self.process.stdin.flush()
                self.state = self.process.stdout.readline().strip()
            except OSError:
                pass
            wine.wait_or_kill(self.process, 60)
        for stream in (self.process.stdin, self.process.stdout):
            if stream:
                stream.close()


def mount_small_disk(folder, size):
    """A file system of `size` bytes at folder (tmpfs, in the sandbox's own mount namespace);
    returns a function that unmounts it."""
    folder = Path(folder)
    folder.mkdir(parents=True, exist_ok=True)
    subprocess.run(["mount", "-t", "tmpfs", "-o", f"size={size},mode=0755", "small-disk",
                    str(folder)], check=True)

    def unmount():
        subprocess.run(["umount", "--lazy", str(folder)], check=False)
    return unmount


def require_sandbox():
    if os.environ.get("CORVANTA_IN_SANDBOX") != "1" or os.geteuid() != 0:
        raise RuntimeError("run inside tests/e2e/sandbox.sh")
