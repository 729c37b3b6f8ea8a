"""The test download server, exercised from Python's own HTTP client on loopback.

CORVANTA_TEST_SERVER_PORT and CORVANTA_TEST_SERVER_HTTP_PORT choose its ports; 0 (the default)
takes free ones.
"""

import http.client
import os
import re
import signal
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import unittest
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
from download_server import DownloadServer  # noqa: E402

MAKE_CERTS = HERE.parent / "e2e" / "make-certs.sh"
HOST = "localhost"
AGENT = "Corvanta Web Setup"
HTTPS_PORT = int(os.environ.get("CORVANTA_TEST_SERVER_PORT", "0"))
HTTP_PORT = int(os.environ.get("CORVANTA_TEST_SERVER_HTTP_PORT", "0"))

FILES = {
    "map.txt": b'BEGIN "Corvanta.exe" "Corvanta.exe" "0" END',
    "Data/Samples/big.bin": bytes(range(256)) * 400,
    "with space/note.txt": b"a name with a space\r\n",
}
SECRET = b"outside the served folder"


class DownloadServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        base = Path(cls.tmp.name)
        cls.certs = base / "certs"
        subprocess.run([str(MAKE_CERTS), str(cls.certs), HOST], check=True,
                       stdout=subprocess.DEVNULL)
        cls.root = base / "root"
        for name, data in FILES.items():
            (cls.root / name).parent.mkdir(parents=True, exist_ok=True)
            (cls.root / name).write_bytes(data)
        (base / "secret.txt").write_bytes(SECRET)
        (cls.root / "outside").symlink_to(base / "secret.txt")

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def setUp(self):
        self.server = DownloadServer(self.root, self.certs / "server.pem",
                                     self.certs / "server.key", port=HTTPS_PORT,
                                     http_port=HTTP_PORT).start()
        self.addCleanup(self.server.stop)

    def connect(self, scheme="https", port=None):
        if scheme == "http":
            connection = http.client.HTTPConnection(HOST, self.server.http_port, timeout=10)
        else:
            context = ssl.create_default_context(cafile=str(self.certs / "ca.pem"))
            connection = http.client.HTTPSConnection(HOST, port or self.server.port,
                                                     context=context, timeout=10)
        self.addCleanup(connection.close)
        return connection

    def fetch(self, connection, target, method="GET"):
        connection.request(method, target, headers={"User-Agent": AGENT})
        response = connection.getresponse()
        return response, response.read()

    def url_path(self, name):
        return "/installs/cvn/" + name

    def test_serves_files_under_the_download_path_on_one_connection(self):
        cases = [
            ("/installs/cvn/map.txt", FILES["map.txt"]),
            ("/installs/cvn/Data/Samples/big.bin", FILES["Data/Samples/big.bin"]),
            ("/installs/cvn/with%20space/note.txt", FILES["with space/note.txt"]),
            ("/installs/cvn/map.txt?fresh=1", FILES["map.txt"]),
        ]
        connection = self.connect()
        for target, expected in cases:
            with self.subTest(target=target):
                response, body = self.fetch(connection, target)
                self.assertEqual(response.status, 200)
                self.assertEqual(response.getheader("Content-Length"), str(len(expected)))
                self.assertEqual(body, expected)
        self.assertEqual({r.connection for r in self.server.requests()}, {1})
        self.assertEqual(self.server.count("map.txt"), 2)
        self.assertEqual(self.server.count("with space/note.txt"), 1)

    def test_serves_nothing_but_files_under_its_folder(self):
        targets = [
            "/installs/cvn/missing.txt",
            "/installs/cvn/Data",
            "/installs/cvn/",
            "/installs/cvn/../secret.txt",
            "/installs/cvn/%2e%2e/secret.txt",
            "/installs/cvn/Data/%2E%2E/%2E%2E/secret.txt",
            "/installs/cvn/%2Fetc%2Fpasswd",
            "/installs/cvn/outside",
            "/installs/cvn/map.txt%00",
            "/map.txt",
            "/installs/map.txt",
        ]
        connection = self.connect()
        for target in targets:
            with self.subTest(target=target):
                response, body = self.fetch(connection, target)
                self.assertEqual((response.status, response.reason), (404, "Not Found"))
                self.assertEqual(body, b"404 Not Found\n")
                self.assertEqual(response.getheader("Content-Length"), str(len(body)))

    def test_head_declares_the_length_without_a_body(self):
        response, body = self.fetch(self.connect(), self.url_path("map.txt"), method="HEAD")
        self.assertEqual(response.status, 200)
        self.assertEqual(response.getheader("Content-Length"), str(len(FILES["map.txt"])))
        self.assertEqual(body, b"")

    def test_other_methods_are_refused_with_a_measured_answer(self):
        connection = self.connect()
        connection.request("DELETE", self.url_path("map.txt"))
        response = connection.getresponse()
        body = response.read()
        self.assertEqual(response.status, 501)
        self.assertEqual(response.getheader("Content-Length"), str(len(body)))
        self.assertEqual(self.server.requests()[0].status, 501)

    def test_a_status_fault_answers_with_its_status_text_until_cleared(self):
        cases = [(404, "Not Found"), (403, "Forbidden"), (500, "Internal Server Error"),
                 (503, "Service Unavailable")]
        connection = self.connect()
        for status, reason in cases:
            with self.subTest(status=status):
                self.server.answer_status("map.txt", status)
                response, body = self.fetch(connection, self.url_path("map.txt"))
                self.assertEqual((response.status, response.reason), (status, reason))
                self.assertEqual(body, f"{status} {reason}\n".encode())
                self.assertEqual(response.getheader("Content-Length"), str(len(body)))
        self.server.clear_fault("map.txt")
        response, body = self.fetch(connection, self.url_path("map.txt"))
        self.assertEqual((response.status, body), (200, FILES["map.txt"]))

    def test_a_status_fault_sends_the_fields_it_is_given(self):
        challenge = 'Basic realm="Corvanta test"'
        self.server.answer_status("map.txt", 407, fields=[("Proxy-Authenticate", challenge)])
        response, body = self.fetch(self.connect(), self.url_path("map.txt"))
        self.assertEqual((response.status, response.reason), (407, "Proxy Authentication Required"))
        self.assertEqual(response.getheader("Proxy-Authenticate"), challenge)
        self.assertEqual(body, b"407 Proxy Authentication Required\n")

    def test_a_fault_with_times_clears_itself(self):
        self.server.answer_status("map.txt", 500, times=2)
        connection = self.connect()
        statuses = [self.fetch(connection, self.url_path("map.txt"))[0].status for _ in range(3)]
        self.assertEqual(statuses, [500, 500, 200])

    def test_faults_are_per_path_and_per_scheme(self):
        self.server.answer_status("map.txt", 500)
        other = self.fetch(self.connect(), self.url_path("with%20space/note.txt"))[0]
        self.assertEqual(other.status, 200)
        self.assertEqual(self.fetch(self.connect("http"), self.url_path("map.txt"))[0].status, 200)
        self.server.answer_status("map.txt", 500, scheme="http")
        self.assertEqual(self.fetch(self.connect("http"), self.url_path("map.txt"))[0].status, 500)

    def test_closing_early_declares_the_whole_length_and_sends_part(self):
        name = "Data/Samples/big.bin"
        self.server.close_after(name, 1000)
        connection = self.connect()
        connection.request("GET", self.url_path(name))
        response = connection.getresponse()
        self.assertEqual(response.getheader("Content-Length"), str(len(FILES[name])))
        with self.assertRaises(http.client.IncompleteRead) as raised:
            response.read()
        self.assertEqual(raised.exception.partial, FILES[name][:1000])
        [record] = self.server.requests(name)
        self.assertEqual((record.status, record.length, record.sent), (200, len(FILES[name]), 1000))

    def test_a_delay_holds_the_answer_and_clearing_it_answers_at_once(self):
        self.server.delay("map.txt", 0.5)
        started = time.monotonic()
        response, body = self.fetch(self.connect(), self.url_path("map.txt"))
        self.assertGreaterEqual(time.monotonic() - started, 0.5)
        self.assertEqual((response.status, body), (200, FILES["map.txt"]))

        self.server.delay("map.txt", 60)
        threading.Timer(0.3, self.server.clear_fault, ["map.txt"]).start()
        started = time.monotonic()
        response, body = self.fetch(self.connect(), self.url_path("map.txt"))
        self.assertLess(time.monotonic() - started, 5)
        self.assertEqual(body, FILES["map.txt"])

    def test_a_slow_body_trickles_and_clearing_it_sends_the_rest(self):
        name = "Data/Samples/big.bin"
        self.server.slow_body(name, 200000)
        started = time.monotonic()
        response, body = self.fetch(self.connect(), self.url_path(name))
        self.assertEqual(body, FILES[name])
        self.assertGreaterEqual(time.monotonic() - started, 0.4)

        self.server.slow_body(name, 1000)
        connection = self.connect()
        connection.request("GET", self.url_path(name))
        response = connection.getresponse()
        time.sleep(0.5)
        sent_while_slow = self.server.requests(name)[-1].sent
        self.assertTrue(0 < sent_while_slow < 2000, sent_while_slow)
        self.server.clear_fault(name)
        self.assertEqual(response.read(), FILES[name])

    def test_a_stall_sends_headers_then_nothing_until_cleared(self):
        self.server.stall("map.txt")
        connection = self.connect()
        connection.request("GET", self.url_path("map.txt"))
        response = connection.getresponse()
        self.assertEqual(response.getheader("Content-Length"), str(len(FILES["map.txt"])))
        time.sleep(0.5)
        self.assertEqual(self.server.requests("map.txt")[0].sent, 0)
        self.server.clear_fault("map.txt")
        self.assertEqual(response.read(), FILES["map.txt"])

    def test_stopping_ends_a_stalled_answer(self):
        self.server.stall("map.txt")
        connection = self.connect()
        connection.request("GET", self.url_path("map.txt"))
        response = connection.getresponse()
        started = time.monotonic()
        self.server.stop()
        self.assertLess(time.monotonic() - started, 5)
        with self.assertRaises(http.client.IncompleteRead):
            response.read()

    def test_a_redirect_can_lead_to_plain_http(self):
        for status in (301, 302, 307):
            with self.subTest(status=status):
                self.server.clear_log()
                location = f"http://{HOST}:{self.server.http_port}/installs/cvn/map.txt"
                self.server.redirect("map.txt", location, status=status)
                response, _ = self.fetch(self.connect(), self.url_path("map.txt"))
                self.assertEqual(response.status, status)
                self.assertEqual(response.getheader("Location"), location)
                response, body = self.fetch(self.connect("http"), self.url_path("map.txt"))
                self.assertEqual((response.status, body), (200, FILES["map.txt"]))
                self.assertEqual([r.scheme for r in self.server.requests("map.txt")],
                                 ["https", "http"])

    def test_restarting_https_changes_the_certificate_and_drops_connections(self):
        self.server.restart_https(self.certs / "other-server.pem", self.certs / "other-server.key")
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.fetch(self.connect(), self.url_path("map.txt"))
        self.assertTrue(self.wait_until(lambda: self.server.connections_without_request == 1))

        self.server.restart_https(self.certs / "server.pem", self.certs / "server.key")
        connection = self.connect()
        self.assertEqual(self.fetch(connection, self.url_path("map.txt"))[1], FILES["map.txt"])

        self.server.restart_https(self.certs / "other-server.pem", self.certs / "other-server.key")
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.fetch(connection, self.url_path("map.txt"))
        with self.assertRaises(ssl.SSLCertVerificationError):
            self.fetch(self.connect(), self.url_path("map.txt"))

    def test_the_log_tells_what_was_asked_and_answered(self):
        before = time.time()
        connection = self.connect()
        self.fetch(connection, "/installs/cvn/with%20space/note.txt?x=1")
        self.fetch(connection, "/installs/cvn/missing.txt")
        # The server counts bytes once its write returns, which may be after the client has
        # read them; the first answer is surely counted, as the second request came after it.
        self.assertTrue(self.wait_until(lambda: self.server.requests()[-1].sent > 0))
        first, second = self.server.requests()
        self.assertEqual((first.scheme, first.connection, first.method), ("https", 1, "GET"))
        self.assertEqual(first.target, "/installs/cvn/with%20space/note.txt?x=1")
        self.assertEqual(first.path, "/installs/cvn/with space/note.txt")
        self.assertEqual(first.headers["user-agent"], AGENT)
        self.assertEqual(first.headers["host"], f"{HOST}:{self.server.port}")
        size = len(FILES["with space/note.txt"])
        self.assertEqual((first.status, first.length, first.sent), (200, size, size))
        self.assertEqual((second.status, second.sent), (404, len(b"404 Not Found\n")))
        self.assertTrue(before <= first.time <= second.time <= time.time())
        self.assertEqual(self.server.count("/installs/cvn/missing.txt"), 1)
        self.assertEqual(self.server.count("missing.txt", scheme="http"), 0)

    def test_waiting_for_requests(self):
        threading.Timer(0.2, self.fetch, [self.connect(), self.url_path("map.txt")]).start()
        self.assertTrue(self.server.wait_for_count("map.txt", 1, timeout=10))
        self.assertFalse(self.server.wait_for_count("map.txt", 2, timeout=0.2))

    def test_the_command_line_serves_until_terminated(self):
        self.server.stop()  # frees a fixed port for the command
        command = [sys.executable, str(HERE / "download_server.py"), "--root", str(self.root),
                   "--cert", str(self.certs / "server.pem"),
                   "--key", str(self.certs / "server.key"), "--port", str(HTTPS_PORT)]
        process = subprocess.Popen(command, stderr=subprocess.PIPE, text=True)
        self.addCleanup(process.kill)
        banner = process.stderr.readline()
        port = int(re.search(r"https port (\d+)", banner).group(1))
        connection = self.connect(port=port)
        self.assertEqual(self.fetch(connection, self.url_path("map.txt"))[1], FILES["map.txt"])
        self.assertIn("GET /installs/cvn/map.txt", process.stderr.readline())
        process.send_signal(signal.SIGTERM)
        self.assertEqual(process.wait(timeout=10), 0)
        process.stderr.close()

    @staticmethod
    def wait_until(condition, timeout=5):
        end = time.monotonic() + timeout
        while not condition():
            if time.monotonic() > end:
                return False
            time.sleep(0.05)
        return True


if __name__ == "__main__":
    unittest.main()
