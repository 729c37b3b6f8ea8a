"""The installed program of the launch scenarios: tests/launch_target's LaunchTarget.exe, served
as Corvanta.exe. Started, it shows its window without activating it and appends a record of how
it was started to C:\\corvanta-tests\\launches.txt: its exe, command line and current folder,
the CORVANTA_LAUNCH_MARK of its environment, whether the setup's window was visible, its own
window, and the foreground window at the moment it showed. With CORVANTA_LAUNCH_BUSY=1 it never
becomes idle for input. Started with "hold-foreground" it is a window that keeps the foreground
until a launched program shows its window, and leaves it alone from then on."""

import json
import subprocess

from harness import paths, state, wine
from harness.waiting import STATE_TIMEOUT, wait_until
from install_scenarios import Product

TARGET = paths.win32_build_dir() / "tests" / "launch_target" / "LaunchTarget.exe"
TARGET_CAPTION = "Corvanta launch target"
HOLDER_CAPTION = "Foreground holder"
INSTALLED_PROGRAM = r"C:\Program Files (x86)\Corvanta\Corvanta.exe"
# A program started from it, the exe names the setup could start.
LAUNCHABLE_NAMES = ("corvanta.exe", "program.exe")
# Starting a program under the emulator takes seconds; this only stops a test that hangs.
LAUNCH_TIMEOUT = 120


def records_file():
    return state.scratch_folder() / "launches.txt"


def launches():
    """Every start of the test program so far, oldest first."""
    path = records_file()
    if not path.exists():
        return []
    return [json.loads(line) for line in path.read_text().splitlines() if line.strip()]


def wait_launch(timeout=LAUNCH_TIMEOUT):
    return wait_until(lambda: next(iter(launches()), None), timeout,
                      "the installed program to start")


def product_with_test_program(program=True):
    """The product with the test program as Corvanta.exe (or without it), and a help file."""
    files = {"Help/Corvanta.chm": b"ITSF help"}
    if program:
        files["Corvanta.exe"] = TARGET.read_bytes()
    return Product(files)


def launched_processes(driver):
    """Processes of the prefix that the setup could have started."""
    return [process for process in driver.processes()
            if process["exe"].lower() in LAUNCHABLE_NAMES]


def end_launched_processes(driver):
    for process in launched_processes(driver):
        driver.terminate(process["pid"])


class ForegroundHolder:
    """Another program's window, holding the foreground."""

    def __init__(self, driver):
        self.driver = driver
        self.process = wine.start([TARGET, "hold-foreground"], stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL)
        found = driver.find_window(HOLDER_CAPTION, timeout=LAUNCH_TIMEOUT)
        self.hwnd, self.pid = found["hwnd"], found["pid"]
        wait_until(lambda: driver.foreground() == self.hwnd, STATE_TIMEOUT,
                   "the holder to take the foreground")

    def end(self):
        if self.process.poll() is None:
            self.driver.terminate(self.pid)
            wine.wait_or_kill(self.process, STATE_TIMEOUT)
