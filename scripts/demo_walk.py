"""The demo: the real setup installs the demo product from our download server.

Run inside tests/e2e/sandbox.sh, which gives the download host on a private loopback and the
test certificate authority. With --interactive the wizard opens on the user's display and the
user clicks through it; with --pictures DIR it walks the pages itself and saves a picture of
each page, checking through the driver, as it takes each picture, that the window shows what
the picture is meant to show. It fails when a page is not what it should be, when a picture is
missing, or when Finish did not launch the installed product."""

import argparse
import subprocess
import sys
import time
from pathlib import Path, PureWindowsPath

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from harness import (CANCEL, DESTINATION, FINISHED, INSTALLING, LICENCE, NEXT, READY,  # noqa: E402
                     Driver, DriverError, Wizard, paths, state, wine)
from harness.dpi import prefix_dpi, scale  # noqa: E402
from harness.server import download_server_module, test_certificates  # noqa: E402
from harness.waiting import wait_until  # noqa: E402

PRODUCT_CAPTION = "Corvanta"
INSTALLED_PRODUCT = PureWindowsPath(r"C:\Program Files (x86)\Corvanta\Corvanta.exe")
# Held back until the installing page's picture is taken, so that it shows an install under way.
HELD_FILE = "Data/Samples/measurements.csv"
STATUS_AT = (40, 80)
LAUNCH_AT = (40, 140)
PICTURES = ["1-licence.png", "2-destination.png", "3-ready.png", "4-installing.png",
            "5-finish.png", "6-product.png"]
CLIENT_AREA = (600, 430)  # pixels at 96 DPI


class DemoFailed(Exception):
    pass


def expect(condition, what):
    if not condition:
        raise DemoFailed(what)


def download_server(payload):
    """The server, started by its with-statement."""
    certificates = test_certificates()
    return download_server_module().DownloadServer(
        payload, certificates / "server.pem", certificates / "server.key")


def picture(window_hwnd, driver, path):
    """Saves the screen around the window, as the user sees it."""
    driver.activate(window_hwnd)
    time.sleep(0.5)  # let the window finish painting before the screen is read
    screen = subprocess.run(["xwd", "-root", "-silent"], check=True, capture_output=True).stdout
    subprocess.run(["convert", "xwd:-", "-trim", "+repage", str(path)], input=screen, check=True)
    expect(path.is_file() and path.stat().st_size > 0, f"no picture was written to {path}")
    print(f"  {path}")


def page_picture(wizard, page, path, check=None):
    """The picture of a page, taken only when the wizard shows that page (and passes check)."""
    window = wizard.snapshot()
    expect(wizard.current_page(window) == page,
           f"{path.name}: the {page} page should be shown; {wizard.describe()}")
    if check:
        check(window)
    picture(wizard.hwnd, wizard.driver, path)


def installed_product_window(driver, setup_pid):
    """The product's window, once Finish has started the installed Corvanta.exe."""
    product = driver.find_window(PRODUCT_CAPTION, timeout=120)
    expect(product["pid"] != setup_pid, "the window captioned Corvanta belongs to the setup")
    modules = driver.modules(product["pid"])
    exe = PureWindowsPath(modules[0]["path"]) if modules else None
    expect(exe is not None and str(exe).lower() == str(INSTALLED_PRODUCT).lower(),
           f"the launched program is {exe}, not the installed {INSTALLED_PRODUCT}")
    return product


def walk(payload, pictures):
    pictures.mkdir(parents=True, exist_ok=True)
    for name in PICTURES:
        (pictures / name).unlink(missing_ok=True)
    state.reset()  # every demo starts as a first run on a clean system
    with download_server(payload) as server:
        server.stall(HELD_FILE)
        driver = Driver()
        try:
            wizard = Wizard(driver)
            print("Pictures of the wizard's pages:")
            page_picture(wizard, LICENCE, pictures / PICTURES[0])
            wizard.go_to_destination()
            page_picture(wizard, DESTINATION, pictures / PICTURES[1])
            wizard.click_button(NEXT)
            wizard.wait_for(lambda window: wizard.button(NEXT, window).text == "Install", "the ready page")
            page_picture(wizard, READY, pictures / PICTURES[2])
            wizard.click_button(NEXT)
            wizard.wait_page(INSTALLING)
            wait_until(lambda: server.count(HELD_FILE) > 0, 120, "the held file to be asked for")
            held_path = str(PureWindowsPath(HELD_FILE))
            page_picture(wizard, INSTALLING, pictures / PICTURES[3], lambda window: expect(
                wizard.control(INSTALLING, "label", *STATUS_AT, window).text.endswith(held_path),
                f"the installing page should name {held_path} as the file in progress"))
            server.clear_fault(HELD_FILE)
            wizard.wait_page(FINISHED, timeout=300)
            page_picture(wizard, FINISHED, pictures / PICTURES[4], lambda window: expect(
                wizard.control(FINISHED, "checkbox", *LAUNCH_AT, window).checked,
                '"Launch Corvanta" should be checked on the finish page'))
            wizard.click_button(CANCEL)  # reads "Finish"; "Launch Corvanta" is checked
            product = installed_product_window(driver, wizard.pid)
            picture(product["hwnd"], driver, pictures / PICTURES[5])
            driver.terminate(product["pid"])
        finally:
            driver.close()
            wine.stop_server()
    missing = [name for name in PICTURES if not (pictures / name).is_file()]
    expect(not missing, f"pictures missing: {', '.join(missing)}")


def licence_at_dpi(dpi, pictures):
    """A picture of the licence page on a screen of dpi; the prefix is at 96 DPI again after."""
    path = pictures / f"1-licence-{dpi}dpi.png"
    path.unlink(missing_ok=True)
    with prefix_dpi(dpi):
        driver = Driver()
        try:
            wizard = Wizard(driver, dpi=dpi)
            page_picture(wizard, LICENCE, path, lambda window: expect(
                window.client == tuple(scale(figure, dpi) for figure in CLIENT_AREA),
                f"the client area at {dpi} DPI is {window.client}, not the scaled layout's"))
            wizard.end()
        finally:
            driver.close()


def interactive(payload):
    with download_server(payload):
        print("The setup is open on your display: click through it. The demo ends when the setup"
              " and the product it launches have closed.")
        wine.run([paths.setup_exe()], timeout=None, check=False)
        # The product, if the user launched it, ends the demo when it closes.
        subprocess.run(["wineserver", "-w"], env=wine.environment())


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("payload", type=Path, help="the folder the server serves, with map.txt")
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--interactive", action="store_true")
    mode.add_argument("--pictures", type=Path, metavar="DIR")
    parser.add_argument("--licence-at-dpi", type=int, action="append", default=[], metavar="DPI",
                        help="with --pictures, also a picture of the licence page at DPI")
    options = parser.parse_args()
    if options.interactive:
        interactive(options.payload)
        return
    try:
        walk(options.payload, options.pictures)
        for dpi in options.licence_at_dpi:
            licence_at_dpi(dpi, options.pictures)
    except (DemoFailed, AssertionError, DriverError) as failure:
        sys.exit(f"demo failed: {failure}")


if __name__ == "__main__":
    main()
