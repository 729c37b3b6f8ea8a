"""The demo: the real setup installs the demo product from our download server.

Run inside tests/e2e/sandbox.sh, which gives the download host on a private loopback and the
test certificate authority. With --interactive the wizard opens on the user's display and the
user clicks through it; with --pictures DIR it walks the pages itself and saves a picture of
each page."""

import argparse
import subprocess
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "tests" / "e2e"))

from harness import CANCEL, FINISHED, INSTALLING, NEXT, Driver, Wizard, wine  # noqa: E402
from harness.server import download_server_module, test_certificates  # noqa: E402
from harness.waiting import wait_until  # noqa: E402

PRODUCT_CAPTION = "Corvanta"
# Held back so that the installing page stays on screen long enough for its picture.
SLOW_FILE = "Data/Samples/measurements.csv"


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
    print(f"  {path}")


def walk(payload, pictures):
    pictures.mkdir(parents=True, exist_ok=True)
    with download_server(payload) as server:
        server.slow_body(SLOW_FILE, 200)
        driver = Driver()
        try:
            wizard = Wizard(driver)
            print("Pictures of the wizard's pages:")
            picture(wizard.hwnd, driver, pictures / "1-licence.png")
            wizard.go_to_destination()
            picture(wizard.hwnd, driver, pictures / "2-destination.png")
            wizard.click_button(NEXT)
            wizard.wait_for(lambda window: wizard.button(NEXT, window).text == "Install", "the ready page")
            picture(wizard.hwnd, driver, pictures / "3-ready.png")
            wizard.click_button(NEXT)
            wizard.wait_page(INSTALLING)
            wait_until(lambda: server.count(SLOW_FILE) > 0, 120, "the slow file to start")
            picture(wizard.hwnd, driver, pictures / "4-installing.png")
            server.clear_fault(SLOW_FILE)
            wizard.wait_page(FINISHED, timeout=300)
            picture(wizard.hwnd, driver, pictures / "5-finish.png")
            wizard.click_button(CANCEL)  # reads "Finish"; "Launch Corvanta" is checked
            product = driver.find_window(PRODUCT_CAPTION, timeout=120)
            picture(product["hwnd"], driver, pictures / "6-product.png")
            driver.terminate(product["pid"])
        finally:
            driver.close()
            wine.stop_server()


def interactive(payload):
    with download_server(payload):
        print("The setup is open on your display: click through it. The demo ends when the setup"
              " and the product it launches have closed.")
        wine.run([Path(wine_exe())], timeout=None, check=False)
        # The product, if the user launched it, ends the demo when it closes.
        subprocess.run(["wineserver", "-w"], env=wine.environment())


def wine_exe():
    from harness import paths
    return paths.setup_exe()


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("payload", type=Path, help="the folder the server serves, with map.txt")
    mode = parser.add_mutually_exclusive_group(required=True)
    mode.add_argument("--interactive", action="store_true")
    mode.add_argument("--pictures", type=Path, metavar="DIR")
    options = parser.parse_args()
    if options.interactive:
        interactive(options.payload)
    else:
        walk(options.payload, options.pictures)


if __name__ == "__main__":
    main()
