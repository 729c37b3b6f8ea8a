"""The recording stand-in for the Windows Firewall objects (tests/firewall_standin), put in
place of the prefix's own objects for the length of a test.

Wine accepts firewall rules but keeps none. While the stand-in is registered, every program in
the prefix that creates NetFwPolicy2 or NetFwRule gets the stand-in's objects, and every rule
it adds is appended to a record file, which `rules()` reads. Registration replaces the two
classes' in-process servers in the 32-bit view of the prefix's class registrations; removal
puts back what was there before and deletes the record."""

import json
import os
import re
from dataclasses import dataclass

from harness import paths, wine

CLASSES = {
    "NetFwPolicy2": "{E2B3C97F-6AE1-41AC-817A-F6F92166D7DD}",
    "NetFwRule": "{2C5BC43E-3369-4C33-AB0C-BE9469677AF4}",
}
STANDIN_DLL = "CorvantaFirewallStandin.dll"
# The stand-in writes to the file this variable names (a Windows path); programs started by the
# harness inherit it from this process's environment.
RECORD_VARIABLE = "CORVANTA_FIREWALL_RECORD"
RECORD_NAME = "corvanta-firewall-rules.jsonl"
# What Wine itself registers for both classes, put back after a test that could not remove the
# stand-in (the test was killed, say) left it registered.
WINE_SERVER = {"": r"C:\windows\system32\hnetcfg.dll", "ThreadingModel": "Both"}
# Where a 32-bit program looks up classes in a 64-bit prefix.
CLASSES_KEY = r"HKEY_LOCAL_MACHINE\Software\Classes\Wow6432Node\CLSID"
_VALUE_LINE = re.compile(r"^\s+(?P<name>.+?)\s+REG_SZ\s*(?P<data>.*)$")


@dataclass(frozen=True)
class Rule:
    """One rule as added: the program that added it and its properties in the order set."""

    process: str
    properties: tuple  # ((name, value), ...)


def standin_dll():
    return paths.win32_build_dir() / "tests" / "firewall_standin" / STANDIN_DLL


def record_file():
    return paths.c_drive() / "ProgramData" / RECORD_NAME


def _server_key(clsid):
    return f"{CLASSES_KEY}\\{clsid}\\InprocServer32"


def _read_server(clsid):
    """{value name: data} of the class's in-process server key, or None without one."""
    completed = wine.run(["reg", "query", _server_key(clsid)], check=False)
    if completed.returncode != 0:
        return None
    values = {}
    for line in completed.stdout.splitlines():
        match = _VALUE_LINE.match(line)
        if match:
            name = "" if match["name"] == "(Default)" else match["name"]
            values[name] = match["data"]
    return values


def _reg_text(text):
    return '"' + text.replace("\\", "\\\\").replace('"', '\\"') + '"'


def _import(servers):
    """Writes {clsid: values or None} with one regedit run; None removes the server key."""
    lines = ["REGEDIT4", ""]
    for clsid, values in servers.items():
        if values is None:
            lines += [f"[-{_server_key(clsid)}]", ""]
            continue
        lines.append(f"[-{_server_key(clsid)}]")
        lines.append(f"[{_server_key(clsid)}]")
        for name, data in values.items():
            lines.append(f"{_reg_text(name) if name else '@'}={_reg_text(data)}")
        lines.append("")
    script = paths.c_drive() / "corvanta-firewall-standin.reg"
    script.write_text("\r\n".join(lines), encoding="ascii")
    try:
        wine.run(["regedit", "/S", paths.windows_path(script)])
    finally:
        script.unlink()


class FirewallStandin:
    """Registers the stand-in on entry and restores the prefix's own objects on exit:

        with FirewallStandin() as firewall:
            ... run the setup ...
            firewall.rules()
    """

    def __init__(self):
        self._saved = None
        self._saved_variable = None

    def __enter__(self):
        self.register()
        return self

    def __exit__(self, *exc_info):
        self.unregister()

    def register(self):
        dll = standin_dll()
        if not dll.exists():
            raise FileNotFoundError(f"{dll} is missing: build the Windows build first")
        self._saved = {clsid: _read_server(clsid) for clsid in CLASSES.values()}
        for clsid, values in self._saved.items():
            if values and values.get("") == paths.windows_path(dll):
                self._saved[clsid] = WINE_SERVER
        self.clear()
        self._saved_variable = os.environ.get(RECORD_VARIABLE)
        os.environ[RECORD_VARIABLE] = paths.windows_path(record_file())
        _import({clsid: {"": paths.windows_path(dll), "ThreadingModel": "Both"}
                 for clsid in CLASSES.values()})

    def unregister(self):
        if self._saved is None:
            return
        _import(self._saved)
        self._saved = None
        self.clear()
        if self._saved_variable is None:
            os.environ.pop(RECORD_VARIABLE, None)
        else:
            os.environ[RECORD_VARIABLE] = self._saved_variable

    def clear(self):
        """Forgets the rules recorded so far."""
        record_file().unlink(missing_ok=True)

    def rules(self):
        """Every rule added since registration or the last clear, in the order added."""
        if not record_file().exists():
            return []
        rules = []
        with open(record_file(), encoding="utf-8") as record:
            for line in record:
                entry = json.loads(line)
                rules.append(Rule(entry["process"],
                                  tuple((name, value) for name, value in entry["properties"])))
        return rules


def registered_servers():
    """{class name: the in-process server the prefix names for it}, as a 32-bit program sees."""
    return {name: (_read_server(clsid) or {}).get("") for name, clsid in CLASSES.items()}
