"""Installing through the system's proxy: an open proxy carries the install unasked; a proxy
that asks who is there gets the system's sign-in dialog, again after a wrong password, and a
Cancel there is a failed download like any other. The password is kept nowhere. With no proxy
configured, a server that asks for proxy credentials gets the ordinary question, never the
system's dialog."""

import secrets
import sys
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import IDRETRY, SetupTestCase, paths, state, wine  # noqa: E402
from harness.proxy import Proxy, cancel_sign_in, sign_in, wait_sign_in  # noqa: E402
from harness.server import download_host  # noqa: E402
from install_scenarios import (QUESTION_TIMEOUT, Product, click_install,  # noqa: E402
                               content, files_in, http_status_reason, install_folder,
                               manifest_question, wait_finished, wait_question)

FILES = {
    "Corvanta.exe": content(30_000, 31),
    "Help/Corvanta.chm": content(7_000, 32),
}
TUNNEL = "TCP_TUNNEL/200"
PROXY_AUTHENTICATE = ("Proxy-Authenticate", 'Basic realm="Corvanta download"')


def holds_secret(path, secret):
    """Whether a file holds secret as text, UTF-16 or registry hex, also in a .reg export
    (UTF-16, its long values wrapped over lines)."""
    data = path.read_bytes()
    if path.suffix == ".reg":
        data += data.decode("utf-16", errors="replace").replace("\\\r\n  ", "").encode()
    forms = [secret.encode(), secret.encode("utf-16-le")]
    forms += [",".join(f"{byte:02x}" for byte in form).encode() for form in list(forms)]
    return any(form in data for form in forms)


class InstallBehindAProxy(SetupTestCase):
    def serve(self):
        product = Product(FILES).start()
        self.addCleanup(product.stop)
        return product

    def assertTunnelled(self, proxy):
        """squid logs a tunnel when it closes, so only once the setup has gone."""
        tunnels = [line for line in proxy.access_log().splitlines()
                   if TUNNEL in line and f"CONNECT {download_host()}:443" in line]
        self.assertTrue(tunnels, f"no tunnel in squid's log:\n{proxy.access_log()}")

    def test_an_open_proxy_carries_the_install_without_a_dialog(self):
        product = self.serve()
        with Proxy() as proxy:
            wizard = self.start_setup()
            click_install(wizard)
            wait_finished(wizard)
            self.assertEqual(wizard.boxes(), [])
            self.assertEqual(files_in(install_folder()), product.installed())
            wizard.end()
            self.assertTunnelled(proxy)

    def test_a_proxy_that_asks_gets_the_sign_in_dialog_until_it_lets_the_setup_through(self):
        product = self.serve()
        password = "pw-" + secrets.token_hex(8)
        started = time.time()
        with Proxy({"alice": password}) as proxy:
            wizard = self.start_setup()
            click_install(wizard)

            cancel_sign_in(wizard, wait_sign_in(wizard, QUESTION_TIMEOUT))
            question = manifest_question(http_status_reason(407, "Proxy Authentication Required"))
            box = wait_question(wizard)
            self.assertEqual(box["text"], question)
            self.assertEqual(files_in(install_folder()), {},
                             "nothing is written before the proxy lets the setup through")

            # A wrong password shows the dialog again, but not for ever: after three refused
            # sign-ins the question comes back, and Retry shows the dialog once more.
            wizard.answer(box, IDRETRY)
            for _ in range(3):
                sign_in(wizard, wait_sign_in(wizard, QUESTION_TIMEOUT), "alice", "wrong-" + password)
            self.assertEqual(wait_question(wizard)["text"], question)
            wizard.answer(wait_question(wizard), IDRETRY)
            sign_in(wizard, wait_sign_in(wizard, QUESTION_TIMEOUT), "alice", password)
            wait_finished(wizard)
            self.assertEqual(wizard.boxes(), [], "one sign-in serves every later download")
            self.assertEqual(files_in(install_folder()), product.installed())
            wizard.end()
            self.assertTunnelled(proxy)
            self.assertEqual(product.server.count("map.txt"), 1)

        # Wine's registry reaches its files only from time to time; its exports show it now.
        exports = state.scratch_folder()
        exports.mkdir(parents=True, exist_ok=True)
        for hive in ("HKCU", "HKLM"):
            wine.run(["reg", "export", hive, paths.windows_path(exports / f"{hive}.reg"), "/y"])
        keeping = [str(path) for path in paths.prefix().rglob("*")
                   if path.is_file() and not path.is_symlink() and path.stat().st_mtime >= started
                   and holds_secret(path, password)]
        self.assertEqual(keeping, [], "the password is kept nowhere in the prefix")

    def test_a_servers_407_without_a_proxy_is_a_failed_download_without_a_dialog(self):
        product = self.serve()
        product.server.answer_status("map.txt", 407, fields=[PROXY_AUTHENTICATE])
        wizard = self.start_setup()
        click_install(wizard)
        box = wait_question(wizard)
        self.assertEqual(box["text"], manifest_question(
            http_status_reason(407, "Proxy Authentication Required")))
        self.assertEqual([other["hwnd"] for other in wizard.boxes()], [box["hwnd"]],
                         "the question, and no sign-in dialog")
        log, = state.support_logs()
        self.assertIn("No proxy sign-in for the 407: the system's settings name no proxy",
                      log.read_text(encoding="latin-1"))
        product.server.clear_fault("map.txt")
        wizard.answer(box, IDRETRY)
        wait_finished(wizard)
        self.assertEqual(wizard.boxes(), [])
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(product.server.count("map.txt"), 2)


if __name__ == "__main__":
    unittest.main(verbosity=2)
