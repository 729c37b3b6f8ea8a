"""A certificate authority, a code-signing certificate and a time-stamping service made at test
time with openssl, so that signing is tested without any real key in the repository."""

import http.server
import os
import subprocess
import tempfile
import threading

CA_SUBJECT = "/O=Corvanta Test/CN=Corvanta Throwaway Root CA"
SIGNER_SUBJECT = "/O=Corvanta Test/CN=Corvanta Throwaway Code Signing"
TSA_SUBJECT = "/O=Corvanta Test/CN=Corvanta Throwaway Time Stamping"
DAYS = 2

SIGNER_EXTENSIONS = """\
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""

TSA_EXTENSIONS = """\
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, nonRepudiation
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
"""

TSA_CONFIG = """\
[ tsa ]
default_tsa = throwaway_tsa

[ throwaway_tsa ]
serial = {dir}/tsa-serial
crypto_device = builtin
signer_cert = {dir}/tsa.pem
signer_key = {dir}/tsa.key
certs = {dir}/ca.pem
signer_digest = sha256
default_policy = 1.3.6.1.4.1.55555.1.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = yes
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def _openssl(*args):
    subprocess.run(("openssl",) + args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def _issue(folder, name, subject, extensions):
    key, csr, ext, cert = (os.path.join(folder, name + suffix) for suffix in (".key", ".csr", ".ext", ".pem"))
    with open(ext, "w") as f:
        f.write(extensions)
    _openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-subj", subject, "-out", csr)
    _openssl("x509", "-req", "-in", csr, "-CA", os.path.join(folder, "ca.pem"),
             "-CAkey", os.path.join(folder, "ca.key"), "-CAcreateserial", "-days", str(DAYS),
             "-sha256", "-extfile", ext, "-out", cert)
    return cert, key


def make_pki(folder):
    """Writes ca.pem, signer.pem/.key and tsa.pem/.key into folder; returns their paths."""
    os.makedirs(folder, exist_ok=True)
    ca, ca_key = os.path.join(folder, "ca.pem"), os.path.join(folder, "ca.key")
    _openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", ca_key, "-out", ca,
             "-subj", CA_SUBJECT, "-days", str(DAYS), "-sha256",
             "-addext", "basicConstraints=critical,CA:TRUE",
             "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    signer, signer_key = _issue(folder, "signer", SIGNER_SUBJECT, SIGNER_EXTENSIONS)
    tsa, tsa_key = _issue(folder, "tsa", TSA_SUBJECT, TSA_EXTENSIONS)
    with open(os.path.join(folder, "tsa-serial"), "w") as f:
        f.write("01\n")
    with open(os.path.join(folder, "tsa.cnf"), "w") as f:
        f.write(TSA_CONFIG.format(dir=folder))
    return {"ca": ca, "signer": signer, "signer_key": signer_key, "tsa": tsa, "tsa_key": tsa_key,
            "tsa_config": os.path.join(folder, "tsa.cnf")}


class TimeStampServer:
    """An RFC 3161 time-stamping service on 127.0.0.1 that answers with `openssl ts -reply`."""

    def __init__(self, pki):
        self.requests = 0
        server = self

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_POST(self):
                query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
                with tempfile.TemporaryDirectory() as work:
                    query_file, reply_file = os.path.join(work, "query.tsq"), os.path.join(work, "reply.tsr")
                    with open(query_file, "wb") as f:
                        f.write(query)
                    result = subprocess.run(
                        ["openssl", "ts", "-reply", "-config", pki["tsa_config"], "-queryfile", query_file,
                         "-out", reply_file], capture_output=True)
                    if result.returncode != 0:
                        self.send_error(500, result.stderr.decode(errors="replace")[:200])
                        return
                    with open(reply_file, "rb") as f:
                        reply = f.read()
                server.requests += 1
                self.send_response(200)
                self.send_header("Content-Type", "application/timestamp-reply")
                self.send_header("Content-Length", str(len(reply)))
                self.end_headers()
                self.wfile.write(reply)

            def log_message(self, *_args):
                pass

        self._httpd = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.url = "http://127.0.0.1:%d/" % self._httpd.server_address[1]
        self._thread = threading.Thread(target=self._httpd.serve_forever, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *_exc):
        self._httpd.shutdown()
        self._httpd.server_close()
