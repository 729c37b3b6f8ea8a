"""Installing a release that the publisher signed, with a setup built with publisher keys: the
keyed setup of tests/e2e/make-keyed-setup.sh, whose keys are made anew for every test run.

It installs a signed release byte for byte, one signed with any of its keys, and takes a
signature whose r or s starts with a zero byte. Whatever the publisher did not sign it asks
about, with the reason, and writes nothing of: a missing document, a manifest changed after
signing, a document signed by another key, made for another manifest or of an older release,
a file changed after signing, and a file the document does not name. Once the release is put
right, Retry (or, for a document the run already holds, a new Install) completes the install
byte for byte."""

import json
import os
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

from harness import NEXT, SetupTestCase, state  # noqa: E402
from install_scenarios import (BASE_PATH, IDCANCEL, IDRETRY, Product, button_ids,  # noqa: E402
                               click_install, content, download_question, files_in,
                               http_status_reason, install_folder, manifest,
                               manifest_question, progress, wait_finished, wait_question,
                               wait_ready)

KEYED_BUILD = Path(os.environ["CORVANTA_KEYED_BUILD_DIR"])
KEYED_SETUP = KEYED_BUILD / "CorvantaWebSetup.exe"
KEYS = KEYED_BUILD / "test-keys"
MAPTOOL = Path(os.environ["CORVANTA_HOST_BUILD_DIR"]) / "maptool"
RELEASE_CHECK = Path(os.environ["CORVANTA_SOURCE_DIR"]) / "release" / "release_check.py"
DEFAULT_SETUP = Path(os.environ["CORVANTA_WIN32_BUILD_DIR"]) / "CorvantaWebSetup.exe"

SIGNATURE = "map.txt.sig"
UNSIGNED_MANIFEST = "The install manifest is not signed by the publisher.\r\n"
UNSIGNED_FILE = "The downloaded file does not match the publisher's signature.\r\n"
# Enough tries to find a signature with a short r or s, which about one in 128 has.
SIGNING_TRIES = 5000

FILES = {
    "Corvanta.exe": content(40_000, 31),
    "Help/Corvanta.chm": content(9_000, 32),
    "Data/Samples/sample.dat": content(3_000, 33),
}
CHANGED = "Help/Corvanta.chm"
BEFORE_CHANGED = {"Corvanta.exe": FILES["Corvanta.exe"]}


def minimum_release():
    with open(KEYED_BUILD / "build-config.json", encoding="utf-8") as config:
        return json.load(config)["minimum_release"]


def sign(product, key="publisher-1", release=None, map_txt=None):
    """map.txt.sig as maptool sign makes it for what the product serves, or for another
    manifest, signed with one of the keys of make-keyed-setup.sh."""
    release = minimum_release() if release is None else release
    with tempfile.NamedTemporaryFile(prefix="map-", suffix=".txt") as other:
        if map_txt is not None:
            other.write(map_txt)
            other.flush()
        manifest_path = other.name if map_txt is not None else product.root / "map.txt"
        return subprocess.run(
            [MAPTOOL, "sign", "--key", KEYS / f"{key}.key.pem", "--release", str(release),
             product.root, manifest_path], check=True, capture_output=True).stdout


def signature_of(document):
    """(r, s) of a document's signature line, in hex."""
    signature = document.decode("ascii").splitlines()[-1].split(" ")[1]
    return signature[:64], signature[64:]


def p256_signature(data, key):
    """r and s of an ECDSA P-256 signature of data, in hex, made with the openssl command."""
    der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", KEYS / f"{key}.key.pem"],
                         input=data, check=True, capture_output=True).stdout
    # SEQUENCE { INTEGER r, INTEGER s }; at this size every length takes one byte.
    values, at = [], 2
    for _ in range(2):
        length = der[at + 1]
        values.append(int.from_bytes(der[at + 2:at + 2 + length], "big"))
        at += 2 + length
    return "".join(value.to_bytes(32, "big").hex() for value in values)


def without_file(document, remote_name, key="publisher-1"):
    """The document without the line of remote_name, signed again: no maptool makes one."""
    lines = document.decode("ascii").splitlines(keepends=True)
    kept = "".join(line for line in lines[:-1]
                   if not line.startswith("file ") or line.split(" ", 3)[3] != remote_name + "\n")
    return f"{kept}signature {p256_signature(kept.encode(), key)}\n".encode("ascii")


class InstallASignedRelease(SetupTestCase):
    def serve(self):
        product = Product(FILES).start()
        self.addCleanup(product.stop)
        return product

    def assertQuestion(self, wizard, box, text):
        self.assertEqual(box["caption"], "Error")
        self.assertEqual(button_ids(box), [IDCANCEL, IDRETRY])
        self.assertEqual(box["text"], text)
        self.assertEqual(box["owner"], wizard.hwnd)

    def assertInstalled(self, wizard, window, product):
        self.assertEqual(files_in(install_folder()), product.installed())
        self.assertEqual(progress(wizard, window), (0, len(FILES), len(FILES)))
        self.assertEqual(wizard.boxes(), [])

    def test_a_signed_release_installs_byte_for_byte(self):
        product = self.serve()
        # Signed with the second of the two built-in keys, as after a change of keys, and with
        # an r or s of fewer than 32 bytes: Wine 8's certificate checks refuse such signatures,
        # the raw verification that the setup uses must not.
        for _ in range(SIGNING_TRIES):
            document = sign(product, key="publisher-2")
            if any(half.startswith("00") for half in signature_of(document)):
                break
        else:
            self.fail(f"no signature with a leading zero byte in {SIGNING_TRIES} tries")
        product.put(SIGNATURE, document)

        wizard = self.start_setup(exe=KEYED_SETUP)
        click_install(wizard)
        self.assertInstalled(wizard, wait_finished(wizard), product)
        self.assertEqual([request.path for request in product.server.requests()],
                         [BASE_PATH + name for name in ["map.txt", SIGNATURE, *FILES]],
                         "the manifest, its signature, then each file once")

    def test_a_manifest_the_publisher_did_not_sign_is_refused_until_it_is_put_right(self):
        def signed_by_another_key(product, good):
            product.put(SIGNATURE, sign(product, key="stranger"))

        def made_for_another_manifest(product, good):
            other = manifest([(name.replace("/", "\\"), name) for name in FILES if name != CHANGED])
            product.put(SIGNATURE, sign(product, map_txt=other))

        def of_an_older_release(product, good):
            product.put(SIGNATURE, sign(product, release=minimum_release() - 1))

        def manifest_changed(product, good):
            product.put("map.txt", manifest(reversed(product.records)))

        def signature_missing(product, good):
            (product.root / SIGNATURE).unlink()

        def put_back(product, good):
            product.put("map.txt", manifest(product.records))
            product.put(SIGNATURE, good)

        # (case, how the release is spoilt, the reason the question gives)
        cases = [
            ("the document is missing", signature_missing, http_status_reason(404, "Not Found")),
            ("map.txt changed after signing", manifest_changed, UNSIGNED_MANIFEST),
            ("signed by a key not built in", signed_by_another_key, UNSIGNED_MANIFEST),
            ("made for another manifest", made_for_another_manifest, UNSIGNED_MANIFEST),
            ("a release below the minimum", of_an_older_release, UNSIGNED_MANIFEST),
        ]
        for case, spoil, reason in cases:
            with self.subTest(case):
                product = Product(FILES).start()
                wizard = None
                try:
                    good = sign(product)
                    product.put(SIGNATURE, good)
                    spoil(product, good)
                    wizard = self.start_setup(exe=KEYED_SETUP)
                    click_install(wizard)
                    box = wait_question(wizard)
                    self.assertQuestion(wizard, box, manifest_question(reason))
                    self.assertEqual(files_in(install_folder()), {})
                    self.assertEqual(progress(wizard), (0, 0, 0))

                    put_back(product, good)
                    wizard.answer(box, IDRETRY)
                    self.assertInstalled(wizard, wait_finished(wizard), product)
                    self.assertEqual([product.server.count(name) for name in ["map.txt", SIGNATURE]],
                                     [2, 2], "Retry fetches the manifest and its signature again")
                finally:
                    if wizard:
                        wizard.end()
                    product.stop()
                    state.reset()

    def test_a_file_changed_after_signing_is_refused_and_retry_takes_it_once_put_back(self):
        product = self.serve()
        product.put(SIGNATURE, sign(product))
        changed = bytearray(FILES[CHANGED])
        changed[len(changed) // 2] ^= 0x01
        product.put(CHANGED, bytes(changed))
        wizard = self.start_setup(exe=KEYED_SETUP)
        click_install(wizard)

        box = wait_question(wizard)
        self.assertQuestion(wizard, box, download_question(product.url(CHANGED), UNSIGNED_FILE))
        self.assertEqual(files_in(install_folder()), BEFORE_CHANGED,
                         "nothing of the changed file is written, nor of any after it")
        self.assertEqual(progress(wizard), (0, len(FILES), 1))

        product.put(CHANGED, FILES[CHANGED])
        wizard.answer(box, IDRETRY)
        self.assertInstalled(wizard, wait_finished(wizard), product)
        self.assertEqual(product.server.count(CHANGED), 2, "Retry downloads the file again")
        self.assertEqual(product.server.count("map.txt"), 1)

    def test_a_file_the_document_does_not_name_is_refused_for_the_whole_run(self):
        product = self.serve()
        good = sign(product)
        product.put(SIGNATURE, without_file(good, CHANGED))
        wizard = self.start_setup(exe=KEYED_SETUP)
        click_install(wizard)

        question = download_question(product.url(CHANGED), UNSIGNED_FILE)
        box = wait_question(wizard)
        self.assertQuestion(wizard, box, question)
        self.assertEqual(files_in(install_folder()), BEFORE_CHANGED)

        # The run keeps the document it took with the manifest: a new one needs a new Install.
        product.put(SIGNATURE, good)
        wizard.answer(box, IDRETRY)
        box = wait_question(wizard)
        self.assertQuestion(wizard, box, question)
        self.assertEqual(files_in(install_folder()), BEFORE_CHANGED)
        wizard.answer(box, IDCANCEL)
        wait_ready(wizard)

        wizard.click_button(NEXT)
        self.assertInstalled(wizard, wait_finished(wizard), product)
        self.assertEqual(product.server.count(SIGNATURE), 2)

    def test_the_release_check_shows_the_built_in_keys_and_the_same_imports(self):
        def release_check(exe):
            checked = subprocess.run([sys.executable, RELEASE_CHECK, exe], capture_output=True,
                                     text=True)
            self.assertEqual(checked.returncode, 0, checked.stdout)
            return {line.split(":", 1)[0]: line for line in checked.stdout.splitlines()}

        keyed = release_check(KEYED_SETUP)
        fingerprints = subprocess.run(
            [MAPTOOL, "fingerprint", KEYS / "publishers.pub.pem"], check=True,
            capture_output=True, text=True).stdout.split()
        self.assertEqual(len(fingerprints), 2)
        self.assertEqual(keyed["PASS publisher keys"],
                         f"PASS publisher keys: 2 built in, minimum release {minimum_release()}, "
                         "fingerprints (SHA-256 of the "
                         f"SubjectPublicKeyInfo): {', '.join(fingerprints)}")
        self.assertEqual(keyed["PASS imports"], release_check(DEFAULT_SETUP)["PASS imports"],
                         "CNG is loaded at run time, not imported")


if __name__ == "__main__":
    unittest.main(verbosity=2)
