"""The setup's saved choices in the prefix's registry, read and written with Wine's reg tool
in the 32-bit view that the 32-bit setup sees."""

import re

from . import wine

SETUP_KEY = r"HKLM\Software\CorvantaWebSetup"
_VALUE_LINE = re.compile(r"^\s+(?P<name>.+?)\s+(?P<type>REG_[A-Z_]+)\s*(?P<data>.*)$")


def query(key=SETUP_KEY):
    """The key's values as {name: (type, data)}, or None when the key does not exist. DWORDs
    come back as ints, strings as str."""
    completed = wine.run(["reg", "query", key, "/reg:32"], check=False)
    if completed.returncode != 0:
        return None
    values = {}
    for line in completed.stdout.splitlines():
        match = _VALUE_LINE.match(line)
        if not match:
            continue
        kind, data = match["type"], match["data"]
        if kind == "REG_DWORD":
            data = int(data, 16)
        values[match["name"]] = (kind, data)
    return values


def add(name, kind, data, key=SETUP_KEY):
    if kind == "REG_DWORD":
        data = str(int(data))
    wine.run(["reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f", "/reg:32"])


def delete_key(key=SETUP_KEY):
    """Removes the key if it is there."""
    completed = wine.run(["reg", "delete", key, "/f", "/reg:32"], check=False)
    if completed.returncode != 0 and query(key) is not None:
        raise RuntimeError(f"cannot delete {key}: {completed.stdout}{completed.stderr}")
