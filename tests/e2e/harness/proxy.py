"""A real proxy between the setup and the download server: Debian's squid, run with a
configuration of its own on the sandbox's private loopback, open or asking for Basic
credentials, and named in the prefix's Internet Settings as the system's proxy."""

import os
import pwd
import shutil
import socket
import subprocess
import tempfile
from pathlib import Path

from . import wine
from .waiting import wait_until

PORT = 3128
ADDRESS = f"127.0.0.1:{PORT}"
REALM = "Corvanta test proxy"
INTERNET_SETTINGS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Internet Settings"
START_TIMEOUT = 60

CONFIGURATION = """\
http_port {address}
pid_filename {folder}/squid.pid
access_log stdio:{folder}/access.log
cache_log {folder}/cache.log
coredump_dir {folder}
cache deny all
visible_hostname corvanta-test-proxy
shutdown_lifetime 0 seconds
netdb_filename none
pinger_enable off
acl SSL_ports port 443
acl CONNECT method CONNECT
http_access deny CONNECT !SSL_ports
{access}
http_access deny all
"""
OPEN_ACCESS = "http_access allow localhost"
SIGNED_IN_ACCESS = """\
auth_param basic program /usr/lib/squid/basic_ncsa_auth {folder}/passwords
auth_param basic realm {realm}
acl signed_in proxy_auth REQUIRED
http_access allow signed_in"""


class Proxy:
    """squid on 127.0.0.1:3128 while the with-block runs, and the system's proxy in the prefix.
    users: {name: password} makes it ask for Basic credentials; without it, it is open.
    access_log() is complete once the setup that used it has exited."""

    def __init__(self, users=None):
        self.users = users or {}
        self.folder = Path(tempfile.mkdtemp(prefix="proxy-"))
        self.process = None

    def __enter__(self):
        folder = self.folder
        access = OPEN_ACCESS
        if self.users:
            lines = [f"{name}:{self._hash(password)}\n" for name, password in self.users.items()]
            (folder / "passwords").write_text("".join(lines))
            access = SIGNED_IN_ACCESS.format(folder=folder, realm=REALM)
        (folder / "squid.conf").write_text(
            CONFIGURATION.format(address=ADDRESS, folder=folder, access=access))
        # squid drops to its own user, which must write its logs here.
        proxy_user = pwd.getpwnam("proxy")
        for path in [folder, *folder.iterdir()]:
            os.chown(path, proxy_user.pw_uid, proxy_user.pw_gid)
        self.process = subprocess.Popen(["squid", "-N", "-f", str(folder / "squid.conf")],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_until(self._listening, START_TIMEOUT, "squid to listen", self._cache_log)
        set_system_proxy(ADDRESS)
        return self

    def __exit__(self, *exc_info):
        set_system_proxy(None)
        if self.process and self.process.poll() is None:
            self.process.terminate()
            wine.wait_or_kill(self.process, 30)
        shutil.rmtree(self.folder, ignore_errors=True)

    def access_log(self):
        path = self.folder / "access.log"
        return path.read_text(errors="replace") if path.exists() else ""

    def _listening(self):
        if self.process.poll() is not None:
            raise RuntimeError(f"squid ended ({self.process.returncode}): {self._cache_log()}")
        with socket.socket() as probe:
            return probe.connect_ex(("127.0.0.1", PORT)) == 0

    def _cache_log(self):
        path = self.folder / "cache.log"
        return path.read_text(errors="replace")[-2000:] if path.exists() else "(no cache.log)"

    @staticmethod
    def _hash(password):
        return subprocess.run(["openssl", "passwd", "-apr1", password], check=True,
                              capture_output=True, text=True).stdout.strip()


def set_system_proxy(address):
    """Names address as the proxy of the prefix's user, as Internet Options would; None turns
    the proxy off again."""
    if address:
        wine.run(["reg", "add", INTERNET_SETTINGS, "/v", "ProxyServer", "/t", "REG_SZ", "/d",
                  address, "/f"])
        wine.run(["reg", "add", INTERNET_SETTINGS, "/v", "ProxyEnable", "/t", "REG_DWORD", "/d",
                  "1", "/f"])
    else:
        for name in ("ProxyEnable", "ProxyServer"):
            wine.run(["reg", "delete", INTERNET_SETTINGS, "/v", name, "/f"], check=False)


# The system's sign-in dialog, as the setup shows it when the proxy asks.

def wait_sign_in(wizard, timeout):
    """The sign-in dialog once it is on screen: a box of the setup with edits for the user and
    the password."""
    def dialog():
        for box in wizard.boxes():
            edits = [child for child in wizard.driver.tree(box["hwnd"]).children
                     if child.cls.lower() == "edit"]
            if len(edits) == 2:
                return box, edits
        return None
    return wait_until(dialog, timeout, "the proxy sign-in dialog", wizard.describe)


def sign_in(wizard, dialog, user, password):
    """Fills in the dialog of wait_sign_in as a user types, and clicks OK."""
    box, (user_edit, password_edit) = dialog
    wizard.driver.set_text(user_edit.hwnd, user)
    wizard.driver.set_text(password_edit.hwnd, password)
    wizard.answer(box, IDOK)


def cancel_sign_in(wizard, dialog):
    wizard.answer(dialog[0], IDCANCEL)


IDOK, IDCANCEL = 1, 2
