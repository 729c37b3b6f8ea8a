#!/usr/bin/env python3
"""Two clean builds of the same sources, in folders at different paths, give a byte-identical
CorvantaWebSetup.exe. The second build is then reconfigured with SOURCE_DATE_EPOCH and a
throwaway signing certificate, to show what those release options change and nothing more.

usage: reproducible_build.py WORK_FOLDER   (needs CORVANTA_SOURCE_DIR; CMAKE_COMMAND optional)
"""

import os
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
RELEASE = os.path.dirname(HERE)
sys.path.insert(0, RELEASE)
sys.path.insert(0, HERE)
import pe_image as pe  # noqa: E402
import throwaway_pki  # noqa: E402

SOURCE_DIR = os.environ["CORVANTA_SOURCE_DIR"]
CMAKE = os.environ.get("CMAKE_COMMAND", "cmake")
EXE_NAME = "CorvantaWebSetup.exe"
BUILD_SUBDIR = os.path.join("build", "win32")
EPOCH = 1700000000
JOBS = "2"

# The two builds differ in everything that must not matter: path, path length, time zone,
# locale and umask.
BUILDS = [
    ("a/corvanta", {"TZ": "UTC", "LC_ALL": "C"}, 0o022),
    ("second-tree-with-a-longer-path/src", {"TZ": "Pacific/Chatham", "LC_ALL": "C.UTF-8"}, 0o077),
]


def step(message):
    print("== " + message, flush=True)


def fail(message):
    print("FAILED: " + message, flush=True)
    sys.exit(1)


def source_files():
    """The files git knows of, tracked or new and not ignored; outside git, all but build/."""
    top = subprocess.run(["git", "-C", SOURCE_DIR, "rev-parse", "--show-toplevel"], capture_output=True, text=True)
    # A copy of the sources inside another repository's ignored folder is not that repository.
    if top.returncode == 0 and os.path.realpath(top.stdout.strip()) == os.path.realpath(SOURCE_DIR):
        listed = subprocess.run(["git", "-C", SOURCE_DIR, "ls-files", "-z", "--cached", "--others",
                                 "--exclude-standard"], capture_output=True, check=True).stdout
        return sorted({n.decode() for n in listed.split(b"\0") if n})
    names = []
    for folder, subfolders, files in os.walk(SOURCE_DIR):
        subfolders[:] = [d for d in subfolders if d not in ("build", "__pycache__", ".git")]
        names += [os.path.relpath(os.path.join(folder, f), SOURCE_DIR) for f in files]
    return sorted(names)


def export_tree(destination):
    """The source files as they are on disk now."""
    count = 0
    for name in source_files():
        source = os.path.join(SOURCE_DIR, name)
        if not os.path.lexists(source):
            continue  # deleted in the working tree
        target = os.path.join(destination, name)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        shutil.copy2(source, target, follow_symlinks=False)
        count += 1
    return count


def build_env(extra):
    env = {k: v for k, v in os.environ.items() if k not in ("SOURCE_DATE_EPOCH", "CMAKE_BUILD_PARALLEL_LEVEL")}
    env.update(extra)
    return env


def run(command, cwd, env, umask=None):
    def set_umask():
        if umask is not None:
            os.umask(umask)
    result = subprocess.run(command, cwd=cwd, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                            text=True, preexec_fn=set_umask)
    if result.returncode != 0:
        fail("%s (in %s):\n%s" % (" ".join(command), cwd, result.stdout[-4000:]))
    return result.stdout


def configure_and_build(tree, env, umask=None, cache_options=(), targets=("CorvantaWebSetup",), configure_env=None):
    run([CMAKE, "--preset", "win32"] + list(cache_options), tree, configure_env or env, umask)
    run([CMAKE, "--build", "--preset", "win32", "-j", JOBS, "--target"] + list(targets), tree, env, umask)
    with open(os.path.join(tree, BUILD_SUBDIR, EXE_NAME), "rb") as f:
        return f.read()


def where(image, offset):
    for s in image.sections:
        if s.raw_offset <= offset < s.raw_offset + s.raw_size:
            return "%s+0x%x" % (s.name, offset - s.raw_offset)
    if offset < image.optional_offset:
        return "file header+0x%x" % (offset - image.coff_offset)
    if offset < image.optional_offset + pe.OPTIONAL_DATA_DIRECTORIES + 8 * len(image.directories):
        return "optional header+0x%x" % (offset - image.optional_offset)
    return "headers or trailing data"


def differences(first, second):
    """Runs of differing bytes as (start, end) file offsets."""
    runs = []
    for i in range(max(len(first), len(second))):
        a = first[i] if i < len(first) else None
        b = second[i] if i < len(second) else None
        if a != b:
            if runs and runs[-1][1] == i:
                runs[-1][1] = i + 1
            else:
                runs.append([i, i + 1])
    return runs


def describe(first, second):
    image = pe.PeImage(first)
    runs = differences(first, second)
    lines = ["%d vs %d bytes, %d differing runs" % (len(first), len(second), len(runs))]
    lines += ["  0x%06x..0x%06x in %s" % (start, end, where(image, start)) for start, end in runs[:12]]
    return "\n".join(lines)


def main():
    work = os.path.abspath(sys.argv[1])
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)

    step("exporting the source tree")
    snapshot = os.path.join(work, "snapshot")
    count = export_tree(snapshot)
    if not os.path.exists(os.path.join(snapshot, "CMakePresets.json")):
        fail("exported %d files from %s, without CMakePresets.json" % (count, SOURCE_DIR))
    trees = []
    for folder, _env, _umask in BUILDS:
        tree = os.path.join(work, folder)
        shutil.copytree(snapshot, tree, symlinks=True)
        trees.append(tree)
    shutil.rmtree(snapshot)
    print("%d files, copied to %s" % (count, " and ".join(trees)))

    exes = []
    for tree, (_folder, env, umask) in zip(trees, BUILDS):
        step("building %s with %s" % (tree, env))
        exes.append(configure_and_build(tree, build_env(env), umask))
    first, second = exes

    step("comparing the two exes")
    if first != second:
        fail("the two builds differ: " + describe(first, second))
    print("identical: %d bytes" % len(first))
    image = pe.PeImage(first)
    if image.time_date_stamp != 0:
        fail("without SOURCE_DATE_EPOCH the header time stamp is %d, not 0" % image.time_date_stamp)
    check = subprocess.run([sys.executable, os.path.join(RELEASE, "release_check.py"),
                            os.path.join(trees[0], BUILD_SUBDIR, EXE_NAME), "--build-path", trees[0],
                            "--build-path", os.path.join(trees[0], BUILD_SUBDIR), "--build-path", trees[1]],
                           env=build_env({}), capture_output=True, text=True)
    print(check.stdout, end="")
    if check.returncode != 0:
        fail("the release check fails on the reproducible build")

    step("rebuilding the second tree with SOURCE_DATE_EPOCH=%d and a throwaway signing certificate" % EPOCH)
    pki = throwaway_pki.make_pki(os.path.join(work, "pki"))
    # SOURCE_DATE_EPOCH counts when the build is configured, whatever the shell that builds.
    stamped = configure_and_build(
        trees[1], build_env({}), configure_env=build_env({"SOURCE_DATE_EPOCH": str(EPOCH)}),
        cache_options=["-DCORVANTA_SIGN_CERT=" + pki["signer"], "-DCORVANTA_SIGN_KEY=" + pki["signer_key"]],
        targets=["CorvantaWebSetupSigned"])
    stamped_image = pe.PeImage(stamped)
    if stamped_image.time_date_stamp != EPOCH:
        fail("the header time stamp is %d, not SOURCE_DATE_EPOCH %d" % (stamped_image.time_date_stamp, EPOCH))
    # Apart from the stamp, and the checksum that covers it, nothing may change.
    masked = bytearray(stamped)
    struct.pack_into("<I", masked, stamped_image.coff_offset + pe.COFF_TIME_DATE_STAMP, 0)
    struct.pack_into("<I", masked, stamped_image.checksum_offset, image.checksum)
    if bytes(masked) != first:
        fail("SOURCE_DATE_EPOCH changed more than the time stamp: " + describe(first, bytes(masked)))
    print("header time stamp %d; no other byte changed" % EPOCH)

    signed = os.path.join(trees[1], BUILD_SUBDIR, "signed", EXE_NAME)
    if not os.path.exists(signed):
        fail("the build with CORVANTA_SIGN_CERT and CORVANTA_SIGN_KEY wrote no " + signed)
    verify = subprocess.run(["osslsigncode", "verify", "-in", signed, "-CAfile", pki["ca"]],
                            capture_output=True, text=True)
    if verify.returncode != 0:
        fail("osslsigncode verify rejects the signed build:\n" + verify.stdout[-3000:] + verify.stderr[-1000:])
    unsigned = os.path.join(work, "signature-removed.exe")
    subprocess.run(["osslsigncode", "remove-signature", "-in", signed, "-out", unsigned], check=True,
                   capture_output=True)
    with open(unsigned, "rb") as f:
        if f.read() != stamped:
            fail("the signed exe is more than the built exe plus a signature")
    print("the build signed %s; osslsigncode verify against the throwaway authority: ok" % signed)

    shutil.rmtree(work)
    print("reproducible build: ok")
    return 0


if __name__ == "__main__":
    sys.exit(main())
