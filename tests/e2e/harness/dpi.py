"""The screen's DPI in the test prefix. Wine takes it from HKCU\\Control Panel\\Desktop
LogPixels when its server starts, so every change restarts the prefix's Wine server, and with
it every Wine program of the prefix, the driver included. The prefix is shared by every test
and stays at 96 between them: a run at another DPI sets 96 again when it ends."""

import contextlib

from . import wine

DEFAULT_DPI = 96
_DESKTOP_KEY = r"HKCU\Control Panel\Desktop"


def scale(value, dpi):
    """A layout figure (pixels at 96 DPI) at dpi, rounded as the setup's MulDiv rounds."""
    return (value * dpi + DEFAULT_DPI // 2) // DEFAULT_DPI


def set_prefix_dpi(dpi):
    """Sets the prefix's DPI; programs started from now on see it."""
    wine.stop_server()
    wine.run(["reg", "add", _DESKTOP_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi),
              "/f"])
    wine.stop_server()


@contextlib.contextmanager
def prefix_dpi(dpi):
    """Runs the body with the prefix at dpi, and sets it back to 96 afterwards, also when the
    body fails. Start the driver and the setup inside the body; they end when it does."""
    set_prefix_dpi(dpi)
    try:
        yield dpi
    finally:
        set_prefix_dpi(DEFAULT_DPI)
