"""Running the rest of a test as an ordinary user, with a Wine prefix of that user's own.

Wine keeps the read-only attribute as the file's Unix write permission, which root ignores, so
a scenario about read-only files means something only when Wine does not run as root. Run as
root (as CI runs), `become_ordinary_user()` creates or reuses the account ACCOUNT, prepares
its prefix next to the shared one and then drops this whole process to that account for good:
everything started afterwards (the driver, the setup, Wine's tools) runs as that user in that
prefix. Anything that needs root, such as listening on port 443, must be started before."""

import os
import pwd
import shutil
import subprocess
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


def become_ordinary_user():
    """Makes the rest of this process run as an ordinary user with a prefix of its own; returns
    that prefix. Without root the process already is an ordinary user and keeps its prefix."""
    prefix = Path(os.environ["WINEPREFIX"])
    if os.geteuid() != 0:
        return prefix
    user = _account()
    home = _home(prefix)
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
