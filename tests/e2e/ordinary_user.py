"""Running the rest of a test as an ordinary user, with a Wine prefix of that user's own.

Wine keeps the read-only attribute as the file's Unix write permission, which root ignores, so
a scenario about read-only files means something only when Wine does not run as root. Run as
root (as CI runs), `become_ordinary_user()` creates or reuses the account ACCOUNT, prepares
its prefix next to the shared one and then drops this whole process to that account for good:
everything started afterwards (the driver, the setup, Wine's tools) runs as that user in that
prefix. Anything that needs root, such as listening on port 443, must be started before.

A checkout may lie in a folder that other users cannot enter, such as root's home. Inside the
sandbox's private mount namespace such a folder is opened for the account (see
_let_others_enter); nothing changes outside the sandbox."""

import os
import pwd
import shutil
import stat
import subprocess
import sys
import tempfile
from pathlib import Path

ACCOUNT = "corvanta-tests"
MAKE_PREFIX = Path(__file__).resolve().parents[1] / "wine" / "make-prefix.sh"
# Creating a prefix takes a minute or more under the emulator; reusing one takes a second.
PREFIX_TIMEOUT = 600


def _account():
    try:
        return pwd.getpwnam(ACCOUNT)
    except KeyError:
        useradd = shutil.which("useradd") or "/usr/sbin/useradd"
        subprocess.run([useradd, "--system", "--user-group", "--no-create-home",
                        "--home-dir", "/nonexistent", "--shell", "/usr/sbin/nologin", ACCOUNT],
                       check=True)
        return pwd.getpwnam(ACCOUNT)


def _home(shared_prefix):
    """A folder of the account's own beside the shared prefix, holding its home and prefix."""
    return shared_prefix.parent / f"{shared_prefix.name}-{ACCOUNT}"


def _let_others_enter(path):
    """Makes every folder above path one that others may enter, in this mount namespace only: a
    folder closed to them is covered by a tmpfs that they may enter, holding bind mounts of all
    its entries, so that it lists and holds exactly what it did. Folders are opened top down."""
    if os.environ.get("CORVANTA_IN_SANDBOX") != "1":
        raise RuntimeError("folders are opened to other users only inside the sandbox")
    held = Path("/run/corvanta-sandbox")
    for folder in reversed(Path(path).resolve().parents):
        if os.stat(folder).st_mode & stat.S_IXOTH:
            continue
        original = Path(tempfile.mkdtemp(dir=held, prefix="closed-"))
        subprocess.run(["mount", "--bind", str(folder), str(original)], check=True)
        subprocess.run(["mount", "-t", "tmpfs", "-o", "mode=0755", "tmpfs", str(folder)], check=True)
        for entry in original.iterdir():
            place = folder / entry.name
            if entry.is_symlink():
                place.symlink_to(os.readlink(entry))
                continue
            if entry.is_dir():
                place.mkdir()
            else:
                place.touch()
            subprocess.run(["mount", "--bind", str(entry), str(place)], check=True)


def become_ordinary_user():
    """Makes the rest of this process run as an ordinary user with a prefix of its own; returns
    that prefix. Without root the process already is an ordinary user and keeps its prefix."""
    prefix = Path(os.environ["WINEPREFIX"])
    if os.geteuid() != 0:
        return prefix
    user = _account()
    home = _home(prefix)
    for needed in (MAKE_PREFIX, os.environ["CORVANTA_WIN32_BUILD_DIR"], home, sys.executable):
        _let_others_enter(needed)
    home.mkdir(exist_ok=True)
    os.chown(home, user.pw_uid, user.pw_gid)
    own_prefix = home / "wine-prefix"
    environment = dict(os.environ, HOME=str(home), USER=ACCOUNT, LOGNAME=ACCOUNT,
                       WINEPREFIX=str(own_prefix))
    subprocess.run([str(MAKE_PREFIX), str(own_prefix)], env=environment, user=user.pw_uid,
                   group=user.pw_gid, extra_groups=[], stdin=subprocess.DEVNULL,
                   stdout=subprocess.DEVNULL, check=True, timeout=PREFIX_TIMEOUT)

    # The display's cookie, if it has one, readable by the account alone (mkstemp's mode), in
    # the sandbox's private /tmp.
    cookie = os.environ.get("XAUTHORITY")
    if cookie and Path(cookie).is_file():
        handle, own_cookie = tempfile.mkstemp(prefix="xauthority-")
        os.close(handle)
        shutil.copyfile(cookie, own_cookie)
        os.chown(own_cookie, user.pw_uid, user.pw_gid)
        os.environ["XAUTHORITY"] = own_cookie

    os.setgroups([])
    os.setresgid(user.pw_gid, user.pw_gid, user.pw_gid)
    os.setresuid(user.pw_uid, user.pw_uid, user.pw_uid)
    os.environ.update(HOME=str(home), USER=ACCOUNT, LOGNAME=ACCOUNT, WINEPREFIX=str(own_prefix))
    return own_prefix
