"""Running programs under Wine in the test prefix."""

import os
import subprocess
import sys

# No Mono or Gecko installers, and no menu builder copying shortcuts into the real home folder.
DEFAULT_OVERRIDES = "mscoree,mshtml=;winemenubuilder.exe=d"


def environment(extra_overrides=None, **variables):
    """The environment for a Wine program: quiet, without the Mono and Gecko installers, plus
    any DLL overrides a test asks for (for example "wininet,comctl32=n,b")."""
    env = dict(os.environ)
    env.setdefault("WINEDEBUG", "-all")
    overrides = env.get("WINEDLLOVERRIDES") or DEFAULT_OVERRIDES
    if extra_overrides:
        overrides = f"{overrides};{extra_overrides}"
    env["WINEDLLOVERRIDES"] = overrides
    env.update(variables)
    return env


def start(args, env=None, cwd=None, **popen_options):
    """Starts a Windows program; its Unix process lives exactly as long as the Windows one."""
    return subprocess.Popen(["wine", *[str(arg) for arg in args]], env=env or environment(),
                            cwd=cwd, **popen_options)


def wait_or_kill(process, timeout):
    """Waits up to timeout seconds for a started program to end, and kills it after that."""
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        process.kill()
        process.wait()


# Wine's own tools, which the tests use only for commands that can safely run twice. One of them
# has been seen, rarely, to hang at start in a prefix that then works on; such a hang is retried.
RETRIED_TOOLS = {"reg", "regedit", "cmd"}


def run(args, timeout=120, env=None, check=True):
    command = ["wine", *[str(arg) for arg in args]]
    attempts = 2 if str(args[0]) in RETRIED_TOOLS else 1
    for attempt in range(1, attempts + 1):
        try:
            completed = subprocess.run(command, env=env or environment(), capture_output=True,
                                       text=True, errors="replace", timeout=timeout)
            break
        except subprocess.TimeoutExpired:
            if attempt == attempts:
                raise
            print(f"{' '.join(command)} hung for {timeout} s; trying once more", file=sys.stderr)
    if check and completed.returncode != 0:
        raise RuntimeError(f"wine {' '.join(map(str, args))} failed ({completed.returncode}): "
                           f"{completed.stdout}{completed.stderr}")
    return completed


def stop_server():
    """Ends every Wine process of the prefix, and the Wine server with them."""
    env = environment()
    subprocess.run(["wineserver", "-k"], env=env, capture_output=True)
    subprocess.run(["wineserver", "-w"], env=env, capture_output=True)
