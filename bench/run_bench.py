"""The benchmarks of the setup, each against a baseline in the same run (make bench).

Runs inside tests/e2e/sandbox.sh: the download host is 127.0.0.1 on a private loopback with the
test certificate authority, under Xvfb, in the Wine prefix of WINEPREFIX. Measures install time
(the setup, the setup built with publisher keys installing a signed release, a WinINet loop of
ours, native curl) and the keyed build's hashing, responsiveness and memory during the largest
payload, start-up against a minimal window program, and the exe's size; writes results.json and
results.md into the output folder (report.py says how each number is made).

The installs run in rounds: in each round every contender installs the payload once, and the
contender that goes first moves on by one from round to round. On the first payload the default
setup also runs a second time in each round, as a contender of its own ("setup_again", the same
exe), so that the report can say how far apart two measurements of the same build come."""

import argparse
import json
import os
import random
import shutil
import statistics
import subprocess
import sys
import threading
import time
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE.parent / "tests" / "e2e"))
sys.path.insert(0, str(HERE))

from harness import FINISHED, INSTALLING, NEXT, Driver, Wizard, paths, registry, wine  # noqa: E402
from harness.server import download_host, download_server_module, test_certificates  # noqa: E402
from harness.state import installed_traces, remove  # noqa: E402

import report  # noqa: E402

KIB = 1024
MIB = 1024 * 1024
# (name, file count, file size): the manifest's limit of 128 records, then fewer, larger files.
PAYLOADS = [
    ("128 x 4 KiB", "small", 128, 4 * KIB),
    ("50 x 1 MiB", "medium", 50, 1 * MIB),
    ("4 x 15 MiB", "large", 4, 15 * MIB),
]
LARGE = "large"
# Rounds of installs: six keep make bench to a few minutes on two cores, and give each of the
# six contenders of the first payload every place in the order once.
DEFAULT_RUNS = 6
# Hashing reads files from disk and runs no network; a few runs of it are steady enough.
HASHING_RUNS = 3
BASE_PATH = "/installs/cvn/"
SIGNATURE = "map.txt.sig"
PING_MS = 10
MEMORY_SAMPLE_MS = 50
PROGRESS_AT = (40, 110)
INSTALL_TIMEOUT_MS = 900_000
LAUNCH_TIMEOUT_MS = 120_000
MINIMAL_WINDOW_SETTLE_SECONDS = 1.0


def bench_tool(name):
    return paths.win32_build_dir() / "bench" / name


def load_average():
    with open("/proc/loadavg", encoding="ascii") as loadavg:
        return [float(value) for value in loadavg.read().split()[:3]]


# The payloads: files of random bytes, and the manifest that maptool makes for them.

def make_payload(folder, key, count, size, maptool):
    """The folder that the server serves for one payload; kept between runs of the bench."""
    stamp = folder.parent / f"{key}.stamp"
    recipe = f"{count} files of {size} bytes, seed {key}, recipe 1"
    if stamp.exists() and stamp.read_text() == recipe and (folder / "map.txt").exists():
        return
    shutil.rmtree(folder, ignore_errors=True)
    folder.mkdir(parents=True)
    generator = random.Random(key)
    for index in range(count):
        (folder / f"file{index:03d}.bin").write_bytes(generator.randbytes(size))
    manifest = subprocess.run([str(maptool), "make", str(folder)], check=True,
                              capture_output=True).stdout
    (folder / "map.txt").write_bytes(manifest)
    stamp.write_text(recipe)


def sign_payload(folder, maptool, key, release):
    """map.txt.sig for the payload, for the keyed setup; the key is new on every run."""
    signature = subprocess.run([str(maptool), "sign", "--key", str(key), "--release", str(release),
                                str(folder), str(folder / "map.txt")], check=True,
                               capture_output=True).stdout
    (folder / SIGNATURE).write_bytes(signature)


def payload_files(folder):
    return sorted(path.name for path in folder.iterdir() if path.name not in ("map.txt", SIGNATURE))


def check_copies(served, installed, names, who):
    """Every file arrived byte for byte."""
    for name in names:
        copy = installed / name
        if not copy.is_file() or copy.read_bytes() != (served / name).read_bytes():
            raise RuntimeError(f"{who}: {name} did not arrive intact in {installed}")


# The programs that run in the prefix.

class Probe:
    """bench/Probe.cpp: clicks and polls in the prefix, answering one JSON line per command."""

    def __init__(self):
        self._process = wine.start([bench_tool("BenchProbe.exe")], stdin=subprocess.PIPE,
                                   stdout=subprocess.PIPE, text=True)
        self.pid = self.ask("hello")["pid"]

    def ask(self, command):
        self._process.stdin.write(command + "\n")
        self._process.stdin.flush()
        line = self._process.stdout.readline()
        if not line:
            raise RuntimeError(f"{command}: the probe ended")
        answer = json.loads(line)
        if not answer.get("ok"):
            raise RuntimeError(f"{command}: {answer.get('error', answer)}")
        return answer

    def cpu_seconds(self):
        """The processor time the probe has used so far: its looks cost the setup some."""
        with open(f"/proc/{self._process.pid}/stat", encoding="ascii") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def close(self):
        if self._process.poll() is None:
            self._process.stdin.write("quit\n")
            self._process.stdin.flush()
            self._process.wait(60)


def unix_status(pid, translated_code=False):
    """VmHWM, VmRSS, RssAnon and RssFile of a Linux process, in bytes, or None when it has gone.
    With translated_code, also TranslatedCode: the resident part of qemu's buffer of translated
    code, its one anonymous mapping that is writable and executable."""
    try:
        with open(f"/proc/{pid}/status", encoding="ascii") as status:
            lines = status.read().splitlines()
        regions = Path(f"/proc/{pid}/smaps").read_text().split("\n") if translated_code else []
    except OSError:
        return None
    values = {}
    for line in lines:
        name, _, value = line.partition(":")
        if name in ("VmHWM", "VmRSS", "RssAnon", "RssFile"):
            values[name] = int(value.split()[0]) * 1024
    if translated_code:
        values["TranslatedCode"] = 0
        inside = False
        for line in regions:
            fields = line.split()
            if fields and "-" in fields[0] and len(fields) >= 5:
                inside = fields[1] == "rwxp" and len(fields) == 5
            elif inside and fields[:1] == ["Rss:"]:
                values["TranslatedCode"] += int(fields[1]) * 1024
    return values


def unix_pid_of(exe_name):
    """The Linux process that runs the Windows program exe_name under Wine in our prefix. Other
    prefixes on this machine may run a program of the same name, and /proc shows them too."""
    wanted = exe_name.lower().encode()
    prefix = b"WINEPREFIX=" + str(paths.prefix()).encode() + b"\0"
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        try:
            arguments = (entry / "cmdline").read_bytes().lower().split(b"\0")
            environment = (entry / "environ").read_bytes() + b"\0"
        except OSError:
            continue
        named = any(argument.endswith(b"\\" + wanted) or argument.endswith(b"/" + wanted)
                    for argument in arguments)
        if named and prefix in environment:
            return int(entry.name)
    return None


class StatusSampler:
    """Reads a Linux process's memory from /proc while it runs, keeping the largest values."""

    def __init__(self, pid, interval):
        self.pid = pid
        self.interval = interval
        self.largest = {}
        self.samples = 0
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run, daemon=True)

    def __enter__(self):
        self._thread.start()
        return self

    def __exit__(self, *exc_info):
        self._stop.set()
        self._thread.join()

    def _run(self):
        while not self._stop.wait(self.interval):
            values = unix_status(self.pid)
            if values is None:
                return
            self.samples += 1
            for name, value in values.items():
                self.largest[name] = max(value, self.largest.get(name, 0))


# One install by each contender.

class Bench:
    def __init__(self, out, runs, start_runs, payloads, keyed_build, setup_exe=None):
        self.out = out
        self.setup_exe = setup_exe or paths.setup_exe()
        # The setup built with publisher keys, by tests/e2e/make-keyed-setup.sh.
        self.keyed_exe = keyed_build / "CorvantaWebSetup.exe"
        self.keyed_key = keyed_build / "test-keys" / "publisher-1.key.pem"
        with open(keyed_build / "build-config.json", encoding="utf-8") as config:
            self.keyed_release = json.load(config)["minimum_release"]
        self.payloads = [payload for payload in PAYLOADS if payload[1] in payloads]
        self.runs = runs
        self.start_runs = start_runs
        self.payload_root = out / "payloads"
        self.results = {"runs": runs, "start_runs": start_runs,
                        "hashing_runs": min(runs, HASHING_RUNS), "payloads": {}}

    def server_for(self, folder):
        certificates = test_certificates()
        module = download_server_module()
        return module.DownloadServer(folder, certificates / "server.pem",
                                     certificates / "server.key")

    def url(self, name):
        return f"https://{download_host()}{BASE_PATH}{name}"

    @staticmethod
    def served(server, expected, first_file=1):
        """What the server saw of one install: the requests, their connections and times.
        first_file: how many requests come before the first file's."""
        log = server.requests()
        if len(log) != expected:
            raise RuntimeError(f"the server saw {len(log)} requests, {expected} expected")
        return {"requests": len(log), "connections": len({r.connection for r in log}),
                "first_request": log[0].time, "first_file_request": log[first_file].time,
                "last_request": log[-1].time}

    def install_with_setup(self, driver, probe, folder, names, server, observe=False, exe=None,
                           signed=False):
        for trace in installed_traces():
            remove(trace)
        wizard = Wizard(driver, exe=exe or self.setup_exe)
        try:
            wizard.go_to_ready()
            window = wizard.snapshot()
            install = wizard.button(NEXT, window)
            if install.text != "Install":
                raise RuntimeError(f"the ready page's button reads {install.text!r}")
            finish_page = wizard.page(FINISHED, window)
            installing_page = wizard.page(INSTALLING, window)
            progress = wizard.control(INSTALLING, "progress", *PROGRESS_AT, window)
            server.clear_log()
            command = (f"install {install.hwnd} {finish_page.hwnd} {installing_page.hwnd} "
                       f"{progress.hwnd} {PING_MS if observe else 0} "
                       f"{MEMORY_SAMPLE_MS if observe else 0} {INSTALL_TIMEOUT_MS}")
            unix_pid = wizard.process.pid
            probe_cpu = probe.cpu_seconds()
            if observe:
                with StatusSampler(unix_pid, MEMORY_SAMPLE_MS / 1000) as sampler:
                    answer = probe.ask(command)
                final = unix_status(unix_pid, translated_code=True) or {}
                answer["unix_status"] = {
                    "pid": unix_pid, "samples": sampler.samples,
                    "largest": sampler.largest, "at_finish": final}
            else:
                answer = probe.ask(command)
            answer["probe_cpu_seconds"] = probe.cpu_seconds() - probe_cpu
            if not answer["finished"]:
                raise RuntimeError(f"the setup did not reach its finish page: {wizard.describe()}")
            if wizard.boxes():
                raise RuntimeError(f"the setup asked a question: {wizard.describe()}")
            check_copies(folder, paths.unix_path(r"C:\Program Files (x86)\Corvanta"), names,
                         "the setup")
        finally:
            wizard.end()
        # A signed install also fetches map.txt.sig after map.txt.
        before_files = 2 if signed else 1
        answer["served"] = self.served(server, len(names) + before_files, before_files)
        answer["install_seconds"] = answer["seconds"] - report.CLOSING_PAUSE_SECONDS
        return answer

    def install_with_wininet_loop(self, folder, names, server, flush=False):
        target = paths.c_drive() / "bench-out" / "wininet"
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True)
        url_list = self.out / "urls.txt"
        url_list.write_text("".join(f"{self.url(name)}\t{name}\n" for name in ["map.txt"] + names))
        server.clear_log()
        completed = wine.run([bench_tool("BenchWinInetLoop.exe"), paths.windows_path(url_list),
                              paths.windows_path(target)] + (["--flush"] if flush else []),
                             timeout=INSTALL_TIMEOUT_MS / 1000)
        answer = json.loads(completed.stdout.splitlines()[-1])
        if not answer.get("ok"):
            raise RuntimeError(f"the WinINet loop failed: {answer}")
        check_copies(folder, target, names, "the WinINet loop")
        answer["served"] = self.served(server, len(names) + 1)
        answer["install_seconds"] = answer["seconds"]
        answer["bytes_per_read"] = answer["bytes"] / answer["reads"]
        return answer

    def install_with_curl(self, folder, names, server):
        target = paths.c_drive() / "bench-out" / "curl"
        shutil.rmtree(target, ignore_errors=True)
        target.mkdir(parents=True)
        command = ["curl", "--silent", "--show-error", "--fail",
                   "--cacert", str(test_certificates() / "ca.pem")]
        for name in ["map.txt"] + names:
            command += ["--output", str(target / name), self.url(name)]
        server.clear_log()
        start_wall = time.time()
        start = time.perf_counter()
        subprocess.run(command, check=True, timeout=INSTALL_TIMEOUT_MS / 1000)
        seconds = time.perf_counter() - start
        check_copies(folder, target, names, "curl")
        return {"start": start_wall, "end": start_wall + seconds, "seconds": seconds,
                "install_seconds": seconds,
                "served": self.served(server, len(names) + 1)}

    def hashing_time(self, folder, names, piece):
        """bench/HashTime.cpp on what the keyed setup hashes: map.txt and every file."""
        files = [paths.windows_path(folder / name) for name in ["map.txt"] + names]
        completed = wine.run([bench_tool("BenchHash.exe"), str(piece)] + files,
                             timeout=INSTALL_TIMEOUT_MS / 1000)
        answer = json.loads(completed.stdout.splitlines()[-1])
        if not answer.get("ok"):
            raise RuntimeError(f"the hashing probe failed: {answer}")
        return answer

    def install_times(self, driver, probe, maptool):
        for title, key, count, size in self.payloads:
            folder = self.payload_root / key
            make_payload(folder, key, count, size, maptool)
            sign_payload(folder, maptool, self.keyed_key, self.keyed_release)
            names = payload_files(folder)
            record = {"title": title, "files": count, "file_size": size, "setup": [],
                      "setup_again": [], "keyed": [], "wininet": [], "wininet_flush": [],
                      "curl": [], "hashing": []}
            self.results["payloads"][key] = record
            contenders = [
                ("setup", lambda: self.install_with_setup(driver, probe, folder, names, server)),
                ("keyed", lambda: self.install_with_setup(driver, probe, folder, names, server,
                                                          exe=self.keyed_exe, signed=True)),
                ("wininet", lambda: self.install_with_wininet_loop(folder, names, server)),
                # The same loop with the flush that the setup does after each write.
                ("wininet_flush",
                 lambda: self.install_with_wininet_loop(folder, names, server, flush=True)),
                ("curl", lambda: self.install_with_curl(folder, names, server)),
            ]
            if key == self.payloads[0][1]:
                # The same exe again, halfway round from the first: how far apart two
                # measurements of one build come is the smallest difference worth reading.
                contenders.insert(len(contenders) // 2 + 1, (
                    "setup_again",
                    lambda: self.install_with_setup(driver, probe, folder, names, server)))
            with self.server_for(folder) as server:
                for run in range(self.runs):
                    # Each round starts with another contender, so that none always goes first.
                    order = contenders[run % len(contenders):] + contenders[:run % len(contenders)]
                    for name, install in order:
                        result = install()
                        result["load_average"] = load_average()
                        record[name].append(result)
                        print(f"  {title}, run {run + 1}: {name} "
                              f"{result['install_seconds']:.3f} s", flush=True)
                # In the pieces that WinINet's reads delivered in the loop's runs.
                piece = round(statistics.median(r["bytes_per_read"] for r in record["wininet"]))
                for run in range(min(self.runs, HASHING_RUNS)):
                    record["hashing"].append(self.hashing_time(folder, names, piece))
                print(f"  {title}: hashing {record['hashing'][-1]['seconds']:.3f} s "
                      f"in pieces of {piece} bytes", flush=True)
                if key == LARGE:
                    print("  observing the setup during the largest payload", flush=True)
                    observed = self.install_with_setup(driver, probe, folder, names, server,
                                                       observe=True)
                    observed["load_average"] = load_average()
                    self.results["observed"] = observed

    def start_up(self, probe):
        programs = {"setup": self.setup_exe, "minimal": bench_tool("BenchMinimalWindow.exe")}
        record = {name: [] for name in programs}
        # One start of each first, unmeasured: the first start of a program reads it from disk.
        for run in range(self.start_runs + 1):
            for name, exe in programs.items():
                answer = probe.ask(f"launch {LAUNCH_TIMEOUT_MS} {paths.windows_path(exe)}")
                if name == "minimal":
                    time.sleep(MINIMAL_WINDOW_SETTLE_SECONDS)
                answer["memory"] = probe.ask(f"memory {answer['pid']}")["memory"]
                answer["unix_status"] = unix_status(unix_pid_of(exe.name) or 0,
                                                    translated_code=True)
                probe.ask(f"terminate {answer['pid']}")
                answer["load_average"] = load_average()
                if run > 0:
                    record[name].append(answer)
                    print(f"  start-up run {run}: {name} {answer['seconds']:.3f} s", flush=True)
        self.results["start_up"] = record

    def run(self, maptool):
        self.results["load_average_before"] = load_average()
        self.results["started"] = time.strftime("%Y-%m-%d %H:%M:%S %z")
        registry.delete_key()
        driver = Driver()
        probe = Probe()
        try:
            print("Install time", flush=True)
            self.install_times(driver, probe, maptool)
            print("Start-up", flush=True)
            self.start_up(probe)
        finally:
            probe.close()
            driver.close()
            wine.stop_server()
        self.results["load_average_after"] = load_average()
        self.results["environment"] = environment()
        self.results["exe"] = report.exe_facts(self.setup_exe, paths.win32_build_dir())
        self.results["keyed_exe"] = report.exe_facts(self.keyed_exe, self.keyed_exe.parent)


def emulated():
    """Whether 32-bit programs run under qemu-i386 here (scripts/enable-ia32.sh registers it only
    on hosts that cannot run them natively)."""
    registration = Path("/proc/sys/fs/binfmt_misc/qemu-i386")
    try:
        return registration.read_text().startswith("enabled")
    except OSError:
        return False


def environment():
    def first_line(command):
        try:
            return subprocess.run(command, capture_output=True, text=True,
                                  check=False).stdout.splitlines()[0]
        except (OSError, IndexError):
            return None
    return {
        "wine": first_line(["wine", "--version"]),
        "qemu": first_line(["qemu-i386-static", "--version"]) if emulated() else None,
        "emulated": emulated(),
        "curl": first_line(["curl", "--version"]),
        "cpus": os.cpu_count(),
        "python": sys.version.split()[0],
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--out", type=Path, required=True, help="folder for the results")
    parser.add_argument("--maptool", type=Path, required=True)
    parser.add_argument("--runs", type=int, default=DEFAULT_RUNS,
                        help="rounds of installs: each contender installs once per round")
    parser.add_argument("--start-runs", type=int,
                        help="runs of each start-up (two more than the rounds of installs)")
    parser.add_argument("--payloads", default=",".join(key for _, key, _, _ in PAYLOADS),
                        help="comma-separated payloads to install (small, medium, large)")
    parser.add_argument("--setup-exe", type=Path, help="another build of the setup to measure")
    parser.add_argument("--keyed-build", type=Path, required=True,
                        help="build folder of the setup with publisher keys (make-keyed-setup.sh)")
    options = parser.parse_args()
    if os.environ.get("CORVANTA_IN_SANDBOX") != "1":
        sys.exit("run inside tests/e2e/sandbox.sh (make bench does)")
    options.out.mkdir(parents=True, exist_ok=True)
    start_runs = options.start_runs or options.runs + 2
    bench = Bench(options.out, options.runs, start_runs, options.payloads.split(","),
                  options.keyed_build, options.setup_exe)
    bench.run(options.maptool)
    report.write(bench.results, options.out)
    print(f"Results: {options.out / 'results.md'} and {options.out / 'results.json'}")


if __name__ == "__main__":
    main()
