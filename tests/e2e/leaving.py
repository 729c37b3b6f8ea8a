"""Leaving the setup: the exit question in the words the setup should use, the ways a user asks
to leave, and a run of the setup whose Wine messages are kept, to see how its process ended."""

import subprocess
import time

from harness import CANCEL, IDNO, IDYES, Wizard
from harness.waiting import STATE_TIMEOUT

EXIT_CAPTION = "Exit Setup"
EXIT_TEXT = "Setup is not complete. Exit Setup?"
EXIT_BUTTONS = [IDYES, IDNO]
# The process ends soon after the answer; this only stops a test that hangs.
EXIT_TIMEOUT = 120

TITLE_BAR, CANCEL_BUTTON, ALT_F4 = "the title bar's close box", "Cancel", "Alt+F4"

# What Wine writes when a program crashes ("wine: Unhandled page fault at ..., starting
# debugger...", with err:seh lines before it) and the debugger's account of it.
CRASH_SIGNS = ("Unhandled exception", "wine: Unhandled", "starting debugger", "Backtrace:",
               "err:seh")

PBM_GETPOS = 0x0408


def ask_to_leave(wizard, way):
    """Asks to leave setup as a user does: the close box, the Cancel button or Alt+F4."""
    if way == TITLE_BAR:
        wizard.close()
    elif way == CANCEL_BUTTON:
        wizard.click_button(CANCEL)
    elif way == ALT_F4:
        wizard.press("alt+f4")
    else:
        raise ValueError(way)


def visible_buttons(box):
    return sorted(button["id"] for button in box["buttons"] if button["visible"])


def wait_exit_question(wizard, timeout=STATE_TIMEOUT):
    """The exit question, once it is on screen; fails on any other box."""
    box = wizard.wait_box(timeout)
    if (box["caption"], box["text"]) != (EXIT_CAPTION, EXIT_TEXT):
        raise AssertionError(f"expected the exit question, got {box['caption']!r}: {box['text']!r}")
    return box


def wait_process_end(wizard, timeout=EXIT_TIMEOUT):
    """Waits until the setup's process has ended; returns its exit code."""
    try:
        return wizard.process.wait(timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError(f"the setup still runs {timeout} s later: {wizard.describe()}")


def leave(wizard):
    """Leaves setup the ordinary way: Cancel, then Yes; returns the exit code."""
    ask_to_leave(wizard, CANCEL_BUTTON)
    wizard.answer(wait_exit_question(wizard), IDYES)
    return wait_process_end(wizard)


def progress_position(wizard, bar):
    """The progress bar's position, asked with one message (quicker than a window tree)."""
    return wizard.driver.send(bar.hwnd, PBM_GETPOS)


class LoggedWizard(Wizard):
    """A run of the setup whose standard error (where Wine reports faults) goes to a file."""

    def __init__(self, driver, log_path, env=None):
        self.log_path = log_path
        with open(log_path, "wb") as log:
            super().__init__(driver, env=env, stderr=log)

    def wine_messages(self):
        return self.log_path.read_text(errors="replace")


def wait_progress_full(wizard, bar, high, timeout):
    """Polls the progress bar without pausing until it reaches high: the closing pause after
    the last file is short, and whoever waits for it must know at once."""
    deadline = time.monotonic() + timeout
    while progress_position(wizard, bar) < high:
        if time.monotonic() >= deadline:
            raise AssertionError(f"the progress bar did not reach {high}: {wizard.describe()}")
