#!/usr/bin/env python3
"""The download server that tests and the demo put behind the setup's download host.

Serves the files of one folder under /installs/cvn/ over HTTPS, and over plain HTTP when given a
port for it, as HTTP/1.1 with keep-alive and a Content-Length on every answer. A test runs it in a
thread of its own process and steers it while the setup talks to it: per path it can answer with
an error status, with header fields of the test's choosing, cut a body short, delay, trickle or
stall an answer, or redirect. Every request is logged so that the test can count them.

As a command it serves until it is stopped:
    download_server.py --root DIR --cert server.pem --key server.key [--port 443] [--http-port 80]
"""

import argparse
import dataclasses
import os
import select
import signal
import socket
import socketserver
import ssl
import sys
import threading
import time
import urllib.parse
from dataclasses import dataclass, field
from http.server import BaseHTTPRequestHandler, HTTPServer
from typing import Optional

BASE_PATH = "/installs/cvn/"
# How often a held answer looks again at its fault, the server and the client.
POLL_SECONDS = 0.05


@dataclass(frozen=True)
class Fault:
    """What goes wrong with the answers for one path; fields left at their default do nothing."""

    status: Optional[int] = None  # this status with its usual text and a short body
    fields: tuple = ()  # (name, value) header fields sent with that status
    location: Optional[str] = None  # a redirect there, with `status` or 302
    close_after: Optional[int] = None  # the whole length declared, this many bytes sent, closed
    delay: float = 0.0  # seconds before the answer
    rate: Optional[int] = None  # body bytes per second
    stall: bool = False  # the headers, then nothing while the fault stands


@dataclass
class Request:
    """One request as the server saw it, and what it sent back so far."""

    time: float  # time.time() when it arrived
    scheme: str  # "https" or "http"
    connection: int  # the connection it came on, numbered from 1 across both listeners
    method: str
    target: str  # as sent, before percent-decoding
    path: str  # percent-decoded, without the query
    headers: dict = field(default_factory=dict)  # names in lower case
    status: int = 0  # 0 until the status line has been sent
    length: Optional[int] = None  # the Content-Length declared
    sent: int = 0  # body bytes sent


class _FaultEntry:
    def __init__(self, fault, times):
        self.fault = fault
        self.remaining = times
        # Set when the test clears or replaces the fault: answers held by it then go on normally.
        self.cleared = False


def _full_path(path):
    return path if path.startswith("/") else BASE_PATH + path


def _request_path(target):
    raw = target.split("?", 1)[0]
    scheme_end = raw.find("://")
    if scheme_end != -1 and "/" not in raw[:scheme_end]:
        slash = raw.find("/", scheme_end + 3)
        raw = raw[slash:] if slash != -1 else "/"
    return os.fsdecode(urllib.parse.unquote_to_bytes(raw))


def _tls_context(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    return context


class DownloadServer:
    """Serves ROOT/a/b.txt as /installs/cvn/a/b.txt on host:port over HTTPS, and on http_port over
    plain HTTP when that is given. Port 0 takes a free port; `port` and `http_port` tell which.

    Fault setters take the path as the decoded URL path or as a name under /installs/cvn/
    ("map.txt"), and two options: `scheme`, the listener the fault is for ("https" unless said),
    and `times`, how many requests it spoils before it clears itself (None: until cleared).
    """

    def __init__(self, root, cert, key, host="127.0.0.1", port=443, http_port=None, verbose=False):
        self.root = os.path.realpath(root)
        self.verbose = verbose
        self._address = (host, port)
        self._http_port = http_port
        self._context = _tls_context(cert, key)
        self._lock = threading.RLock()
        self._logged = threading.Condition(self._lock)
        self._faults = {}
        self._log = []
        self._connections = {}  # connection number -> (scheme, socket)
        self._connection_count = 0
        self._asked_on = set()  # numbers of the connections that carried a request
        self._connections_without_request = 0
        self._stopping = threading.Event()
        self._listeners = []
        self._threads = []

    # Running.

    def start(self):
        self._stopping.clear()
        addresses = [("https", self._address)]
        if self._http_port is not None:
            addresses.append(("http", (self._address[0], self._http_port)))
        try:
            for scheme, address in addresses:
                listener = _Listener(self, scheme, address)
                thread = threading.Thread(target=listener.serve_forever, args=(POLL_SECONDS,),
                                          name=f"download-server-{scheme}", daemon=True)
                self._listeners.append(listener)
                self._threads.append(thread)
                thread.start()
        except OSError:
            self.stop()  # the HTTPS listener may be up while the HTTP port is taken
            raise
        return self

    def stop(self):
        self._stopping.set()
        for listener in self._listeners:
            listener.shutdown()
            listener.server_close()
        self._drop_connections(None)
        for thread in self._threads:
            thread.join()
        self._listeners.clear()
        self._threads.clear()

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc_info):
        self.stop()

    @property
    def port(self):
        return self._listener("https").server_address[1]

    @property
    def http_port(self):
        return self._listener("http").server_address[1]

    @property
    def connections_without_request(self):
        """How many connections closed before a request came, as when a client refuses the
        certificate: Python's client refuses in the TLS handshake, WinINet right after it."""
        with self._lock:
            return self._connections_without_request

    def restart_https(self, cert, key):
        """Serves HTTPS with another certificate from now on. Open HTTPS connections are closed,
        so the next request of any client makes a new one and meets the new certificate."""
        context = _tls_context(cert, key)
        with self._lock:
            self._context = context
        self._drop_connections("https")

    # Faults.

    def set_fault(self, path, fault, scheme="https", times=None):
        with self._lock:
            key = (scheme, _full_path(path))
            old = self._faults.pop(key, None)
            if old:
                old.cleared = True
            self._faults[key] = _FaultEntry(fault, times)

    def answer_status(self, path, status, fields=(), **options):
        """Answers with `status`, its usual status text and a short body, and the header `fields`
        given as (name, value) pairs, such as a 407's Proxy-Authenticate."""
        self.set_fault(path, Fault(status=status, fields=tuple(fields)), **options)

    def close_after(self, path, body_bytes, **options):
        """Declares the whole Content-Length, sends `body_bytes` of the body and closes the
        connection."""
        self.set_fault(path, Fault(close_after=body_bytes), **options)

    def delay(self, path, seconds, **options):
        """Waits `seconds` before answering; clearing the fault answers at once."""
        self.set_fault(path, Fault(delay=seconds), **options)

    def slow_body(self, path, bytes_per_second, **options):
        """Sends the body at `bytes_per_second`; clearing the fault sends the rest at once."""
        self.set_fault(path, Fault(rate=bytes_per_second), **options)

    def stall(self, path, **options):
        """Sends the headers, then nothing until the fault is cleared (then the body follows), the
        client gives up or the server stops."""
        self.set_fault(path, Fault(stall=True), **options)

    def redirect(self, path, location, status=302, **options):
        """Answers `status` with Location: `location`, for example an http:// address."""
        self.set_fault(path, Fault(status=status, location=location), **options)

    def clear_fault(self, path, scheme="https"):
        with self._lock:
            entry = self._faults.pop((scheme, _full_path(path)), None)
            if entry:
                entry.cleared = True

    def clear_faults(self):
        with self._lock:
            for entry in self._faults.values():
                entry.cleared = True
            self._faults.clear()

    # The request log.

    def requests(self, path=None, scheme=None):
        """Copies of the logged requests, oldest first, for one path and scheme if given."""
        with self._lock:
            return [dataclasses.replace(r, headers=dict(r.headers)) for r in self._log
                    if self._matches(r, path, scheme)]

    def count(self, path, scheme=None):
        with self._lock:
            return sum(1 for r in self._log if self._matches(r, path, scheme))

    def wait_for_count(self, path, count, timeout, scheme=None):
        """Waits until `count` requests for `path` have arrived; False if `timeout` passed first."""
        with self._logged:
            return self._logged.wait_for(lambda: self.count(path, scheme) >= count, timeout)

    def clear_log(self):
        with self._lock:
            self._log.clear()

    @staticmethod
    def _matches(request, path, scheme):
        return ((path is None or request.path == _full_path(path)) and
                (scheme is None or request.scheme == scheme))

    # Used by the request handlers.

    def _listener(self, scheme):
        return next(listener for listener in self._listeners if listener.scheme == scheme)

    def _open_connection(self, scheme, sock):
        with self._lock:
            self._connection_count += 1
            self._connections[self._connection_count] = (scheme, sock)
            return self._connection_count, self._context

    def _replace_connection_socket(self, number, sock):
        with self._lock:
            if number in self._connections:
                self._connections[number] = (self._connections[number][0], sock)

    def _close_connection(self, number):
        with self._lock:
            self._connections.pop(number, None)
            if number not in self._asked_on:
                self._connections_without_request += 1

    def _drop_connections(self, scheme):
        with self._lock:
            doomed = [sock for s, sock in self._connections.values() if scheme in (None, s)]
        for sock in doomed:
            try:
                sock.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass  # already closed by its client

    def _log_request(self, record):
        with self._logged:
            self._log.append(record)
            self._asked_on.add(record.connection)
            self._logged.notify_all()

    def _update(self, record, **changes):
        with self._lock:
            for name, value in changes.items():
                setattr(record, name, value)

    def _take_fault(self, scheme, path):
        with self._lock:
            entry = self._faults.get((scheme, path))
            if entry and entry.remaining is not None:
                entry.remaining -= 1
                if entry.remaining <= 0:
                    del self._faults[(scheme, path)]
            return entry

    def _file_bytes(self, path):
        if not path.startswith(BASE_PATH):
            return None
        try:
            candidate = os.path.realpath(os.path.join(self.root, path[len(BASE_PATH):]))
            if os.path.commonpath([candidate, self.root]) != self.root:
                return None
            with open(candidate, "rb") as file:
                return file.read()
        except (OSError, ValueError):
            return None  # a folder, a missing file or a name with a NUL byte: not found


class _Listener(socketserver.ThreadingMixIn, HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, owner, scheme, address):
        self.owner = owner
        self.scheme = scheme
        super().__init__(address, _Handler)

    def server_bind(self):
        # HTTPServer would look up its own host name, which can hang without a network.
        socketserver.TCPServer.server_bind(self)
        self.server_name, self.server_port = self.server_address[:2]

    def handle_error(self, request, client_address):
        if not isinstance(sys.exc_info()[1], OSError):
            super().handle_error(request, client_address)
        # A client that went away mid-answer is what some tests do on purpose.


class _Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "CorvantaTestServer/1"
    # An answer's head and body go out in two writes; with Nagle's algorithm every client would
    # wait about 40 ms for the body against its own delayed acknowledgement.
    disable_nagle_algorithm = True

    def setup(self):
        owner = self.server.owner
        self.connection_number, context = owner._open_connection(self.server.scheme, self.request)
        self.usable = True
        if self.server.scheme == "https":
            try:
                self.request = context.wrap_socket(self.request, server_side=True)
            except (ssl.SSLError, OSError):
                # The client refused the certificate or went away: nothing to answer.
                self.usable = False
                owner._close_connection(self.connection_number)
                return
            owner._replace_connection_socket(self.connection_number, self.request)
        super().setup()

    def handle(self):
        if self.usable:
            super().handle()

    def finish(self):
        if not self.usable:
            return
        super().finish()
        self.server.owner._close_connection(self.connection_number)
        self.request.close()

    def log_message(self, format, *args):
        if self.server.owner.verbose:
            sys.stderr.write(f"{self.server.scheme} #{self.connection_number} {format % args}\n")

    def do_GET(self):
        self._answer(send_body=True)

    def do_HEAD(self):
        self._answer(send_body=False)

    def send_error(self, code, message=None, explain=None):
        # Requests that http.server itself refuses still get a logged, measured answer.
        self.close_connection = True
        self._send_short(self._new_record(), code, [], self.command != "HEAD")

    def _new_record(self):
        target = getattr(self, "path", "") or ""
        headers = getattr(self, "headers", None) or {}
        record = Request(time=time.time(), scheme=self.server.scheme,
                         connection=self.connection_number,
                         method=getattr(self, "command", "") or "", target=target,
                         path=_request_path(target),
                         headers={name.lower(): value for name, value in headers.items()})
        self.server.owner._log_request(record)
        return record

    def _answer(self, send_body):
        owner = self.server.owner
        record = self._new_record()
        entry = owner._take_fault(self.server.scheme, record.path)
        fault = entry.fault if entry else Fault()
        if fault.delay:
            if not self._hold(entry, fault.delay):
                return self._drop()
            if entry.cleared:
                fault = Fault()
        if fault.location is not None:
            self._send_short(record, fault.status or 302, [("Location", fault.location)], send_body)
        elif fault.status is not None:
            self._send_short(record, fault.status, list(fault.fields), send_body)
        else:
            body = owner._file_bytes(record.path)
            if body is None:
                self._send_short(record, 404, [], send_body)
            else:
                self._send_file(record, body, entry, fault, send_body)

    def _send_head(self, record, status, length, headers):
        self.send_response(status)
        self.send_header("Content-Length", str(length))
        for name, value in headers:
            self.send_header(name, value)
        self.end_headers()
        self.server.owner._update(record, status=status, length=length)

    def _send_short(self, record, status, headers, send_body):
        reason = self.responses.get(status, ("",))[0]
        body = f"{status} {reason}\n".encode()
        self._send_head(record, status, len(body), headers + [("Content-Type", "text/plain")])
        if send_body:
            self._write(record, body)

    def _send_file(self, record, body, entry, fault, send_body):
        self._send_head(record, 200, len(body), [("Content-Type", "application/octet-stream")])
        if not send_body:
            return
        if fault.stall and not self._hold(entry, None):
            return self._drop()
        if fault.close_after is not None and not entry.cleared:
            self._write(record, body[:fault.close_after])
            return self._drop()
        sent = 0
        while sent < len(body):
            if fault.rate is None or entry.cleared:
                self._write(record, body[sent:])
                break
            chunk = max(1, int(fault.rate * POLL_SECONDS))
            self._write(record, body[sent:sent + chunk])
            sent += chunk
            if self.server.owner._stopping.wait(chunk / fault.rate):
                return self._drop()

    def _write(self, record, data):
        self.wfile.write(data)
        with self.server.owner._lock:
            record.sent += len(data)

    def _hold(self, entry, seconds):
        """Waits while the fault stands, `seconds` at most if given. False when the answer is
        to be abandoned: the server is stopping or the client has gone."""
        end = None if seconds is None else time.monotonic() + seconds
        while not entry.cleared and (end is None or time.monotonic() < end):
            if self.server.owner._stopping.wait(POLL_SECONDS) or self._client_gone():
                return False
        return True

    def _client_gone(self):
        readable, _, _ = select.select([self.request], [], [], 0)
        if not readable:
            return False
        # A client waiting for an answer sends nothing, so readable means closed.
        try:
            return self.request.recv(1) == b""
        except (ssl.SSLWantReadError, BlockingIOError):
            return False
        except OSError:
            return True

    def _drop(self):
        self.close_connection = True
        try:
            self.request.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass  # the client closed it first


def main():
    parser = argparse.ArgumentParser(description="Serves a folder under /installs/cvn/ over HTTPS.")
    parser.add_argument("--root", required=True, help="folder served as /installs/cvn/")
    parser.add_argument("--cert", required=True, help="server certificate (PEM)")
    parser.add_argument("--key", required=True, help="its private key (PEM)")
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=443)
    parser.add_argument("--http-port", type=int, help="also serve plain HTTP on this port")
    parser.add_argument("--quiet", action="store_true", help="do not log requests on stderr")
    args = parser.parse_args()

    stop = threading.Event()
    for signum in (signal.SIGINT, signal.SIGTERM):
        signal.signal(signum, lambda *_: stop.set())
    server = DownloadServer(args.root, args.cert, args.key, args.host, args.port, args.http_port,
                            verbose=not args.quiet).start()
    plain = f" and http port {server.http_port}" if args.http_port is not None else ""
    print(f"serving {server.root} as {BASE_PATH} on {args.host} https port {server.port}{plain}",
          file=sys.stderr, flush=True)
    while not stop.wait(1):
        pass
    server.stop()


if __name__ == "__main__":
    main()
