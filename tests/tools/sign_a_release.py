"""A publisher signs a release with `maptool sign` and checks it with `maptool verify` before
publishing, the way a setup built with the public keys will check it. Keys are made here with
the openssl command, for each test."""

import os
import subprocess
import unittest

from maptool_harness import MaptoolTest, maptool

MATCHES = 0
MISMATCH = 1
ERROR = 2

FILES = {
    b"Corvanta.exe": b"MZ" + bytes(range(256)) * 40,
    b"Help/Corvanta Guide.chm": b"ITSF a help file",
    b"Data/empty.dat": b"",
}
CHANGED = b"Help/Corvanta Guide.chm"
CHANGED_REMOTE = "Help/Corvanta%20Guide.chm"
# Enough tries to find a signature with a short r or s, which about one in 128 has.
SIGNING_TRIES = 5000


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, capture_output=True)


def read(path):
    with open(path, "rb") as file:
        return file.read()


def signature_of(document):
    """(r, s) of a document's signature line, in hex."""
    signature = document.decode("ascii").splitlines()[-1].split(" ")[1]
    return signature[:64], signature[64:]


class SignARelease(MaptoolTest):
    def setUp(self):
        super().setUp()
        self.product = self.make_tree(FILES)
        self.map_txt = self.write_file(b"map.txt", maptool("make", self.product).stdout)

    def key_pair(self, name, curve="prime256v1"):
        """(private key in SEC1 PEM, public key PEM) of a new key."""
        private = os.path.join(self.scratch, name.encode() + b".key.pem")
        public = os.path.join(self.scratch, name.encode() + b".pub.pem")
        openssl("ecparam", "-name", curve, "-genkey", "-noout", "-out", private)
        openssl("ec", "-in", private, "-pubout", "-out", public)
        return private, public

    def sign(self, key, *options, map_txt=None):
        return maptool("sign", "--key", key, *options, self.product, map_txt or self.map_txt)

    def verify(self, keys, document, *options, map_txt=None):
        signature = self.write_file(b"map.txt.sig", document)
        return maptool("verify", "--key", keys, *options, self.product, map_txt or self.map_txt,
                       signature)

    def fingerprints(self, keys):
        return maptool("fingerprint", keys).stdout.decode().split()

    def test_a_signed_release_verifies_with_any_of_the_keys(self):
        private, public = self.key_pair("publisher")
        _, other = self.key_pair("older")
        signed = self.sign(private, "--release", "7")
        self.assertEqual(signed.status, MATCHES, signed.stderr)
        lines = signed.stdout.decode("ascii").splitlines()
        self.assertEqual(lines[:2], ["corvanta-manifest-signature 1", "release 7"])
        self.assertEqual([line.split(" ", 3)[::3] for line in lines[3:-1]],
                         [["file", "Corvanta.exe"], ["file", "Data/empty.dat"],
                          ["file", CHANGED_REMOTE]], "one line per RemoteName, in the manifest's order")

        keys = self.write_file(b"keys.pem", read(other) + read(public))
        verified = self.verify(keys, signed.stdout, "--minimum-release", "7")
        self.assertEqual(verified.status, MATCHES, verified.stderr)
        fingerprint = self.fingerprints(public)[0]
        self.assertEqual(self.fingerprints(keys), [self.fingerprints(other)[0], fingerprint])
        self.assertEqual(
            verified.stdout.decode(),
            f"{os.fsdecode(self.scratch)}/map.txt.sig: release 7, signed by key {fingerprint}; "
            f"{os.fsdecode(self.map_txt)} and 3 files match\n")

    def test_the_fingerprint_is_the_hash_of_the_subject_public_key_info(self):
        _, public = self.key_pair("publisher")
        der = subprocess.run(["openssl", "pkey", "-pubin", "-in", public, "-outform", "DER"],
                             check=True, capture_output=True).stdout
        digest = subprocess.run(["openssl", "dgst", "-sha256", "-r"], input=der, check=True,
                                capture_output=True).stdout.split()[0].decode()
        self.assertEqual(self.fingerprints(public), [digest])

    def test_an_encrypted_pkcs8_key_signs_with_its_password_file(self):
        private, public = self.key_pair("publisher")
        password = self.write_file(b"password.txt", b"correct horse\n")
        encrypted = os.path.join(self.scratch, b"encrypted.pem")
        openssl("pkcs8", "-topk8", "-in", private, "-out", encrypted, "-v2", "aes-256-cbc",
                "-passout", b"file:" + password)
        signed = self.sign(encrypted, "--key-password-file", password)
        self.assertEqual(signed.status, MATCHES, signed.stderr)
        self.assertEqual(self.verify(public, signed.stdout).status, MATCHES)

    def test_a_signature_with_a_short_r_or_s_keeps_its_leading_zero_bytes(self):
        private, public = self.key_pair("publisher")
        for _ in range(SIGNING_TRIES):
            document = self.sign(private).stdout
            if any(half.startswith("00") for half in signature_of(document)):
                break
        else:
            self.fail(f"no signature with a leading zero byte in {SIGNING_TRIES} tries")
        verified = self.verify(public, document)
        self.assertEqual(verified.status, MATCHES, verified.stderr)

    def test_sign_refuses_what_the_setup_could_not_install_and_keys_that_are_not_p256(self):
        private, public = self.key_pair("publisher")
        p384, _ = self.key_pair("p384", curve="secp384r1")
        rsa = os.path.join(self.scratch, b"rsa.pem")
        openssl("genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", rsa)
        encrypted = os.path.join(self.scratch, b"encrypted.pem")
        openssl("pkcs8", "-topk8", "-in", private, "-out", encrypted, "-passout", "pass:secret")
        wrong_password = self.write_file(b"wrong.txt", b"not the secret\n")
        nothing = self.write_file(b"nothing.txt", b"BEGIN\r\nEND")
        missing = self.write_file(b"missing.txt", b'BEGIN "Gone.exe" "Gone.exe" "1" END')
        # (case, key, options, manifest, what standard error says)
        cases = [
            ("a manifest check refuses", private, [], nothing, "maptool check refuses"),
            ("an entry whose file is missing", private, [], missing, "RemoteName \"Gone.exe\""),
            ("a P-384 key", p384, [], None, "not an ECDSA P-256 key"),
            ("an RSA key", rsa, [], None, "not an ECDSA P-256 key"),
            ("a public key", public, [], None, "holds no private key"),
            ("an encrypted key without its password", encrypted, [], None,
             "an encrypted key needs --key-password-file"),
            ("an encrypted key with a wrong password", encrypted,
             ["--key-password-file", wrong_password], None, "holds no private key"),
        ]
        for case, key, options, map_txt, reason in cases:
            with self.subTest(case):
                run = self.sign(key, *options, map_txt=map_txt)
                self.assertEqual(run.status, ERROR)
                self.assertIn(reason, run.stderr)
                self.assertIn("nothing signed", run.stderr)
                self.assertEqual(run.stdout, b"")

    def test_verify_finds_each_way_a_release_is_not_the_one_signed(self):
        private, public = self.key_pair("publisher")
        stranger, _ = self.key_pair("stranger")
        good = self.sign(private, "--release", "3").stdout
        other_map = self.write_file(b"other.txt", b'BEGIN "Corvanta.exe" "Corvanta.exe" "1" END')
        changed = bytearray(FILES[CHANGED])
        changed[0] ^= 1
        # (case, the document, the change to the release, options, what standard error says)
        cases = [
            ("signed by another key", self.sign(stranger, "--release", "3").stdout, None, [],
             "is signed by none of the keys"),
            ("a release below the minimum", good, None, ["--minimum-release", "4"],
             "is for release 3, below the minimum 4"),
            ("made for another manifest", self.sign(private, map_txt=other_map).stdout, None, [],
             "is not the manifest that"),
            ("a file changed after signing", good, (CHANGED, bytes(changed)), [],
             f"is not the file {os.fsdecode(self.scratch)}/map.txt.sig names for RemoteName "
             f"\"{CHANGED_REMOTE}\""),
            ("a file missing", good, (CHANGED, None), [], f"RemoteName \"{CHANGED_REMOTE}\""),
            ("a RemoteName the document does not name",
             b"".join(line for line in good.splitlines(keepends=True)
                      if not line.endswith(CHANGED_REMOTE.encode() + b"\n")),
             None, [], f"names no file for RemoteName \"{CHANGED_REMOTE}\""),
            ("a document of another version",
             good.replace(b"corvanta-manifest-signature 1", b"corvanta-manifest-signature 2"),
             None, [], "line 1 names another version"),
        ]
        for case, document, change, options, reason in cases:
            with self.subTest(case):
                path = os.path.join(self.product, change[0]) if change else None
                if change:
                    os.remove(path)
                    if change[1] is not None:
                        with open(path, "wb") as f:
                            f.write(change[1])
                try:
                    run = self.verify(public, document, *options)
                finally:
                    if change:
                        with open(path, "wb") as f:
                            f.write(FILES[change[0]])
                self.assertEqual(run.status, MISMATCH)
                self.assertIn(reason, run.stderr)
                self.assertIn("would not install this release", run.stderr)
                self.assertEqual(run.stdout, b"")
        self.assertEqual(self.verify(public, good).status, MATCHES, "the release is whole again")

    def test_verify_without_usable_keys_is_a_usage_error(self):
        private, _ = self.key_pair("publisher")
        document = self.sign(private).stdout
        self.assertEqual(maptool("verify", self.product, self.map_txt, self.map_txt).status, ERROR)
        self.assertEqual(self.verify(private, document).status, ERROR, "a private key file")
        self.assertEqual(self.verify(os.path.join(self.scratch, b"none.pem"), document).status,
                         ERROR)


if __name__ == "__main__":
    unittest.main(verbosity=2)
