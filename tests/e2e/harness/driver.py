"""The client of CorvantaDriver.exe, which inspects and drives windows of other programs from
inside the prefix. One command per line, one JSON answer per line; see tests/driver/README.md."""

import json
import subprocess
import threading

from . import paths, wine
from .window import Window

DRIVER_EXE = "CorvantaDriver.exe"
# A single answer never takes long; this only stops a test hanging on a dead driver.
ANSWER_TIMEOUT = 120


class DriverError(RuntimeError):
    pass


class Driver:
    def __init__(self):
        self._process = wine.start([paths.test_tool(DRIVER_EXE)], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, text=True, encoding="utf-8")
        self._lock = threading.Lock()
        hello = self.ask("hello")
        self.pid = hello["pid"]
        self.screen = tuple(hello["screen"])

    def ask(self, command):
        """Sends one command and returns its answer, raising DriverError when it failed."""
        answer = self.ask_raw(command)
        if not answer.get("ok"):
            raise DriverError(f"{command}: {answer.get('error')}")
        return answer

    def ask_raw(self, command):
        with self._lock:
            if self._process.poll() is not None:
                raise DriverError(f"the driver has ended ({self._process.returncode})")
            self._process.stdin.write(command + "\n")
            self._process.stdin.flush()
            line = self._read_line()
        if not line:
            raise DriverError(f"{command}: the driver ended without an answer")
        return json.loads(line)

    def _read_line(self):
        result = []
        reader = threading.Thread(target=lambda: result.append(self._process.stdout.readline()),
                                  daemon=True)
        reader.start()
        reader.join(ANSWER_TIMEOUT)
        if reader.is_alive():
            self._process.kill()
            raise DriverError("the driver did not answer in time")
        return result[0]

    def close(self):
        if self._process.poll() is None:
            try:
                self.ask("quit")
            except DriverError:
                pass
            wine.wait_or_kill(self._process, 30)

    # Windows

    def find_window(self, caption, pid=0, timeout=60):
        """The first top-level window with exactly this caption, waiting for it to appear."""
        return self.ask(f"find_window {pid} {int(timeout * 1000)} {caption}")

    def top_windows(self, pid=0):
        return [Window(node) for node in self.ask(f"top_windows {pid}")["windows"]]

    def tree(self, hwnd):
        return Window(self.ask(f"tree {hwnd}")["window"])

    def info(self, hwnd):
        return Window(self.ask(f"info {hwnd}")["window"])

    def font(self, hwnd):
        """The window's font as its process sees it: {"handle", "face", "height", "weight",
        "realized": {"face", "character_height", "weight", ...}, "text_width"}, or None for the
        system font."""
        return self.ask(f"font {hwnd}")["font"]

    def gdi_object(self, pid, handle):
        """GetObjectType of a GDI handle inside process pid: 0 once it names no object."""
        return self.ask(f"gdi_object {pid} {handle}")["type"]

    def icon_width(self, pid, icon):
        """The width of an icon of process pid, 0 when the handle names none."""
        return self.ask(f"icon_width {pid} {icon}")["width"]

    def acc_name(self, hwnd):
        """The window's name as a screen reader reads it (MSAA's get_accName), or None."""
        return self.ask(f"acc_name {hwnd}")["name"]

    def gui(self, hwnd):
        """Focus, active and capture windows of hwnd's thread, and the foreground window."""
        return self.ask(f"gui {hwnd}")

    def foreground(self):
        return self.ask("foreground")["hwnd"]

    def activate(self, hwnd):
        return self.ask(f"activate {hwnd}")["foreground"]

    def send(self, hwnd, message, wparam=0, lparam=0):
        return self.ask(f"send {hwnd} {message} {wparam} {lparam}")["result"]

    def set_text(self, hwnd, text):
        """WM_SETTEXT: what typing into an edit leaves there."""
        self.ask(f"set_text {hwnd} {text}")

    def send_inside(self, hwnd, message, wparam=0, lparam=0):
        """Sends from a thread of the window's own process, for messages that Wine does not
        carry between processes, such as WM_GETICON."""
        return self.ask(f"send_inside {hwnd} {message} {wparam} {lparam}")["result"]

    # Input

    def click(self, hwnd):
        """BM_CLICK, posted, so that a modal box opened by the click does not block us."""
        self.ask(f"click {hwnd}")

    def key(self, hwnd, chord):
        """Keys such as "tab", "shift+tab" or "space", typed into the foreground window, which is
        made hwnd's if another process has it."""
        self.ask(f"key {hwnd} {chord}")

    def close_window(self, hwnd):
        """What the title bar's close box does: WM_SYSCOMMAND SC_CLOSE."""
        self.ask(f"close {hwnd}")

    def post(self, hwnd, message, wparam=0, lparam=0):
        self.ask(f"post {hwnd} {message} {wparam} {lparam}")

    def dpi_changed(self, hwnd, dpi, suggested):
        """WM_DPICHANGED, sent from inside the window's process as Windows sends it; suggested
        is (left, top, right, bottom) on the screen."""
        left, top, right, bottom = suggested
        self.ask(f"dpi_changed {hwnd} {dpi} {left} {top} {right} {bottom}")

    # Message boxes

    def boxes(self, pid):
        """Visible message boxes of the process: hwnd, caption, text, owner, style, buttons."""
        return self.ask(f"boxes {pid}")["boxes"]

    def answer(self, box_hwnd, button_id):
        self.ask(f"answer {box_hwnd} {button_id}")

    # Processes

    def processes(self):
        return self.ask("processes")["processes"]

    def modules(self, pid):
        return self.ask(f"modules {pid}")["modules"]

    def wait_exit(self, pid, timeout):
        return self.ask(f"wait_exit {pid} {int(timeout * 1000)}")

    def terminate(self, pid):
        return self.ask(f"terminate {pid}")["terminated"]
