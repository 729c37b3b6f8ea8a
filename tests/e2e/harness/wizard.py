"""The setup's wizard as a user sees it, driven from outside through the driver.

Controls are found by where the layout tables put them (page, kind and top-left corner, in
pixels at 96 DPI, scaled for the DPI the setup runs at), never by control IDs, which are the
product's own business. Pages are known by their titles."""

import subprocess
from pathlib import Path

from . import paths, wine
from .dpi import DEFAULT_DPI, scale
from .waiting import STATE_TIMEOUT, wait_until

CAPTION = "Web Setup - Corvanta"
START_TIMEOUT = 120

LICENCE, DESTINATION, READY, INSTALLING, FINISHED = (
    "licence", "destination", "ready", "installing", "finished")
PAGE_TITLES = {
    LICENCE: "License Agreement",
    DESTINATION: "Select Destination Location",
    READY: "Ready To Install",
    INSTALLING: "Installing",
    FINISHED: "Completing the Corvanta Setup Wizard",
}
PAGE_TITLE_AT = (20, 10)

BACK, NEXT, CANCEL = "back", "next", "cancel"
BUTTON_AT = {BACK: (340, 394), NEXT: (420, 394), CANCEL: (510, 394)}

IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO = 1, 2, 3, 4, 5, 6, 7


def setup_processes(driver, exe_name=None):
    name = (exe_name or paths.setup_exe().name).lower()
    return [process["pid"] for process in driver.processes() if process["exe"].lower() == name]


class Wizard:
    """One run of the setup, from its start to its end. Its standard error, where Wine reports
    faults, goes where stderr says (a file, say); by default nowhere. dpi is the prefix's (see
    harness.dpi), for which the layout's figures are scaled."""

    def __init__(self, driver, exe=None, env=None, cwd=None, stderr=subprocess.DEVNULL,
                 dpi=DEFAULT_DPI):
        self.driver = driver
        self.dpi = dpi
        self.exe = Path(exe or paths.setup_exe())
        before = set(setup_processes(driver, self.exe.name))
        self.process = wine.start([self.exe], env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                                  stderr=stderr)
        self.pid = wait_until(
            lambda: next(iter(set(setup_processes(driver, self.exe.name)) - before), None),
            START_TIMEOUT, f"{self.exe.name} to start")
        found = driver.find_window(CAPTION, pid=self.pid, timeout=START_TIMEOUT)
        self.hwnd = found["hwnd"]
        self.thread_id = found["tid"]
        # The window has its caption from its creation on, but is shown only when complete.
        wait_until(lambda: driver.info(self.hwnd).visible, START_TIMEOUT, "the wizard to show")

    # Looking

    def snapshot(self):
        """The main window and everything in it, as it is now."""
        return self.driver.tree(self.hwnd)

    def pages(self, window=None):
        """{page name: page window}, each page known by its title."""
        window = window or self.snapshot()
        found = {}
        for child in window.children:
            if child.kind != "page":
                continue
            title = child.at("label", *self.scaled(PAGE_TITLE_AT))
            for name, text in PAGE_TITLES.items():
                if title is not None and title.text == text:
                    found[name] = child
        return found

    def page(self, name, window=None):
        pages = self.pages(window)
        if name not in pages:
            raise AssertionError(f"no page titled {PAGE_TITLES[name]!r}")
        return pages[name]

    def visible_pages(self, window=None):
        return sorted(name for name, page in self.pages(window).items() if page.visible)

    def current_page(self, window=None):
        """The one visible page, or None when not exactly one is visible."""
        visible = self.visible_pages(window)
        return visible[0] if len(visible) == 1 else None

    def scaled(self, figures):
        """Layout figures (pixels at 96 DPI) as the setup has them at its DPI."""
        return tuple(scale(value, self.dpi) for value in figures)

    def button(self, name, window=None):
        window = window or self.snapshot()
        button = window.at("button", *self.scaled(BUTTON_AT[name]))
        if button is None:
            raise AssertionError(f"no {name} button at {self.scaled(BUTTON_AT[name])}")
        return button

    def control(self, page, kind, left, top, window=None):
        """The control that a page's layout row places at (left, top)."""
        control = self.page(page, window).at(kind, *self.scaled((left, top)))
        if control is None:
            raise AssertionError(f"no {kind} at {self.scaled((left, top))} on the {page} page")
        return control

    def focus(self):
        """The control with the keyboard focus, as a handle."""
        return self.driver.gui(self.hwnd)["focus"]

    def font(self, window):
        return self.driver.font(window.hwnd)

    def describe(self):
        """A one-line account of the wizard's state, for failure messages."""
        try:
            window = self.snapshot()
            buttons = {}
            for name, place in BUTTON_AT.items():
                button = window.at("button", *self.scaled(place))
                if button is not None:
                    buttons[name] = (button.text, button.visible, button.enabled)
            return (f"pages {self.visible_pages(window)}, buttons {buttons}, "
                    f"boxes {[(box['caption'], box['text']) for box in self.boxes()]}")
        except Exception as error:  # the description must never hide the real failure
            return f"(no description: {error})"

    # Acting

    def click(self, control):
        """Clicks a control as a user can: only when it is visible and enabled."""
        control = self.driver.info(control.hwnd)
        if not (control.visible and control.enabled):
            raise AssertionError(f"{control} cannot be clicked: visible {control.visible}, "
                                 f"enabled {control.enabled}")
        self.driver.click(control.hwnd)

    def click_button(self, name):
        self.click(self.button(name))

    def press(self, chord):
        """Types a key chord ("tab", "shift+tab", "space") into the focused control."""
        self.driver.key(self.hwnd, chord)

    def close(self):
        """The title bar's close box."""
        self.driver.close_window(self.hwnd)

    # Waiting

    def wait_for(self, condition, what, timeout=STATE_TIMEOUT):
        """Waits until condition(snapshot) holds on two snapshots in a row that agree; returns
        the second. A snapshot reads one window at a time, and a report of the install worker
        may run between two reads, so a single one can show a change half made."""
        def check():
            window = self.snapshot()
            if not condition(window):
                return None
            again = self.snapshot()
            unchanged = visible_state(again) == visible_state(window)
            return again if condition(again) and unchanged else None
        return wait_until(check, timeout, what, self.describe)

    def wait_page(self, name, timeout=STATE_TIMEOUT):
        return self.wait_for(lambda window: self.current_page(window) == name,
                             f"the {name} page", timeout)

    def wait_focus(self, condition, what, timeout=STATE_TIMEOUT):
        """Waits until condition(focused handle) holds; returns that handle."""
        def check():
            focus = self.focus()
            return focus if condition(focus) else None
        return wait_until(check, timeout, what, lambda: f"the focus on {self.focus()}")

    # Message boxes

    def boxes(self):
        return self.driver.boxes(self.pid)

    def wait_box(self, timeout=STATE_TIMEOUT):
        return wait_until(lambda: next(iter(self.boxes()), None), timeout, "a message box",
                          self.describe)

    def answer(self, box, button_id, timeout=STATE_TIMEOUT):
        self.driver.answer(box["hwnd"], button_id)
        wait_until(lambda: all(other["hwnd"] != box["hwnd"] for other in self.boxes()),
                   timeout, f"the box {box['caption']!r} to close")

    # The common walks

    def accept_licence(self):
        self.click(self.control(LICENCE, "radio", 40, 330))
        self.wait_for(lambda window: self.button(NEXT, window).enabled, "Next to be enabled")

    def go_to_destination(self):
        self.accept_licence()
        self.click_button(NEXT)
        return self.wait_page(DESTINATION)

    def go_to_ready(self):
        self.go_to_destination()
        self.click_button(NEXT)
        return self.wait_page(READY)

    # Ending

    @property
    def running(self):
        return self.process.poll() is None

    def end(self, timeout=STATE_TIMEOUT):
        """Ends the setup's process, however far it got, and waits until it has gone."""
        if self.running:
            self.driver.terminate(self.pid)
        wine.wait_or_kill(self.process, timeout)
        wait_until(lambda: self.pid not in setup_processes(self.driver, self.exe.name), timeout,
                   f"process {self.pid} to end")


def visible_state(window):
    """What a user could see change in a window tree, apart from where things are."""
    return [(node.hwnd, node.text, node.visible, node.enabled, node.check, node.progress)
            for node in window.walk()]
