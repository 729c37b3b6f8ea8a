#!/usr/bin/env python3
"""A publisher signs the built exe with a throwaway certificate and a local time-stamping
server; osslsigncode verifies it against that authority only, the release check accepts it, and
the signed exe still starts under Wine and shows its window.

Runs inside tests/e2e/sandbox.sh (display, Wine prefix, loopback-only network).
"""

import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
RELEASE = os.path.dirname(HERE)
sys.path.insert(0, HERE)
import throwaway_pki  # noqa: E402

BUILD_DIR = os.environ["CORVANTA_WIN32_BUILD_DIR"]
EXE = os.path.join(BUILD_DIR, "CorvantaWebSetup.exe")
SIGN = os.path.join(RELEASE, "sign.sh")
MAIN_WINDOW_CAPTION = "Web Setup - Corvanta"
WINDOW_TIMEOUT_S = 120
STAYS_UP_S = 3

failures = []


def expect(condition, message, detail=""):
    print("%s %s" % ("ok:" if condition else "not ok:", message), flush=True)
    if not condition:
        print(detail, flush=True)
        failures.append(message)


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def verify(path, ca, tsa_ca=None):
    command = ["osslsigncode", "verify", "-in", path, "-CAfile", ca]
    if tsa_ca:
        command += ["-TSA-CAfile", tsa_ca]
    result = subprocess.run(command, capture_output=True, text=True)
    return result.returncode, result.stdout + result.stderr


def sign(out, pki, *options):
    with open(os.path.join(BUILD_DIR, "build-config.json")) as f:
        home_page = json.load(f)["home_page"]
    return subprocess.run([SIGN, "--cert", pki["signer"], "--url", home_page] + list(options) + [EXE, out],
                          capture_output=True, text=True)


def make_stranger_ca(folder):
    ca = os.path.join(folder, "stranger-ca.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                    "-subj", "/CN=An authority nobody asked", "-keyout", os.path.join(folder, "stranger-ca.key"),
                    "-out", ca], check=True, capture_output=True)
    return ca


def test_sign_and_verify(work, pki):
    signed = os.path.join(work, "signed", "CorvantaWebSetup.exe")
    before = sha256(EXE)
    with throwaway_pki.TimeStampServer(pki) as tsa:
        result = sign(signed, pki, "--key", pki["signer_key"], "--timestamp-url", tsa.url)
        expect(result.returncode == 0, "sign.sh signs with a time stamp", result.stdout + result.stderr)
        expect(tsa.requests == 1, "the time-stamping server was asked once (%d)" % tsa.requests)
    expect(sha256(EXE) == before, "the built exe is left as it was")

    code, output = verify(signed, pki["ca"], pki["ca"])
    expect(code == 0, "osslsigncode verify accepts it against the throwaway authority", output)
    for line in ("Message digest algorithm: SHA256", "Text description: Corvanta Web Setup",
                 "Timestamp Server Signature verification: ok", "Signature verification: ok"):
        expect(line in output, "verify reports %r" % line, output)

    code, _ = verify(signed, make_stranger_ca(work))
    expect(code != 0, "verify rejects it against another authority")

    tampered = os.path.join(work, "tampered.exe")
    shutil.copy(signed, tampered)
    with open(tampered, "r+b") as f:
        f.seek(0x1000)
        byte = f.read(1)
        f.seek(0x1000)
        f.write(bytes([byte[0] ^ 0xFF]))
    code, _ = verify(tampered, pki["ca"], pki["ca"])
    expect(code != 0, "verify rejects a signed exe changed after signing")

    check = subprocess.run([sys.executable, os.path.join(RELEASE, "release_check.py"), "--require-signature", signed],
                           capture_output=True, text=True)
    expect(check.returncode == 0, "the release check accepts the signed exe", check.stdout)
    expect("SHA-256, time-stamped" in check.stdout, "the release check sees the time stamp", check.stdout)
    return signed


def test_key_with_password(work, pki):
    password_file = os.path.join(work, "key-password")
    with open(password_file, "w") as f:
        f.write("a throwaway password\n")
    encrypted_key = os.path.join(work, "signer-encrypted.key")
    subprocess.run(["openssl", "pkey", "-in", pki["signer_key"], "-aes256", "-passout", "file:" + password_file,
                    "-out", encrypted_key], check=True, capture_output=True)
    signed = os.path.join(work, "password", "CorvantaWebSetup.exe")
    result = sign(signed, pki, "--key", encrypted_key, "--password-file", password_file)
    expect(result.returncode == 0, "sign.sh reads the key's password from a file", result.stderr)
    code, _ = verify(signed, pki["ca"])
    expect(code == 0, "the exe signed with the protected key verifies")


def window_shown(caption):
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    return '"%s"' % caption in tree


def test_signed_exe_runs(signed):
    process = subprocess.Popen(["wine", signed], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + WINDOW_TIMEOUT_S
        while time.monotonic() < deadline and process.poll() is None and not window_shown(MAIN_WINDOW_CAPTION):
            time.sleep(0.5)
        expect(window_shown(MAIN_WINDOW_CAPTION), "the signed exe shows its window %r" % MAIN_WINDOW_CAPTION)
        time.sleep(STAYS_UP_S)
        expect(process.poll() is None, "the signed exe is still running after %d s" % STAYS_UP_S)
    finally:
        subprocess.run(["wineserver", "-k"], capture_output=True)
        try:
            process.wait(timeout=30)
        except subprocess.TimeoutExpired:
            process.kill()


def main():
    with tempfile.TemporaryDirectory() as work:
        pki = throwaway_pki.make_pki(os.path.join(work, "pki"))
        signed = test_sign_and_verify(work, pki)
        test_key_with_password(work, pki)
        if os.path.exists(signed):
            test_signed_exe_runs(signed)
    print("signing: %s" % ("FAILED" if failures else "ok"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
