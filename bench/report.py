"""Turns the bench's measurements into results.json and results.md: medians, percentiles, ratios
against the baselines and the targets they are held against. The targets are reported, never
asserted.

Each install ratio is made twice: from the medians of the runs, and from the fastest run of each
contender (other work on the machine can make a run slower, never faster). The default setup's
second contender on one payload, "setup_again", gives the same two ratios for two measurements
of one build: the noise floor, below which a difference says nothing.

Run by itself it rewrites results.md from an existing results.json:
    python3 bench/report.py build/bench
"""

import json
import math
import re
import statistics
import struct
import sys
from pathlib import Path

MB = 1000 * 1000
# The setup's fixed pause after the last file, which its install time leaves out.
CLOSING_PAUSE_SECONDS = 1.0
CONTENDERS = ("setup", "setup_again", "keyed", "wininet", "wininet_flush", "curl")
# The ratios of each payload: (name, numerator, denominator). Each is also made from the fastest
# runs, under the name with "_fastest" added.
RATIOS = (
    ("setup_over_wininet", "setup", "wininet"),
    ("setup_over_wininet_flush", "setup", "wininet_flush"),
    ("setup_over_curl", "setup", "curl"),
    ("keyed_over_setup", "keyed", "setup"),
    ("again_over_setup", "setup_again", "setup"),
)
LARGE = "large"

TARGETS = {
    "install_ratio": 1.10,  # setup / WinINet loop, on each payload
    "keyed_ratio": 1.05,  # setup built with publisher keys / default build, on 4 x 15 MiB
    "ping_p99_ms": 20.0,
    "ping_max_ms": 100.0,
    "start_up_ratio": 1.2,  # setup / minimal window program
    "working_set_extra": 20 * MB,  # above the minimal window program's peak
    "exe_bytes": 400 * 1000,  # 400 KB
    "keyed_exe_bytes": 330 * 1000,  # built with publisher keys; the default build smaller still
}


def median(values):
    return statistics.median(values) if values else None


def percentile(values, fraction):
    """Nearest-rank percentile: the smallest value with at least that fraction at or below it."""
    ordered = sorted(values)
    return ordered[max(0, math.ceil(fraction * len(ordered)) - 1)] if ordered else None


def ratio(numerator, denominator):
    return numerator / denominator if numerator is not None and denominator else None


# The exe.

def exe_facts(exe, build_dir):
    """Size, sections and how the exe was built, read from the file and the build's own files."""
    data = Path(exe).read_bytes()
    header = struct.unpack_from("<I", data, 0x3C)[0]
    _, section_count, _, symbol_table, symbol_count, optional_size, _ = struct.unpack_from(
        "<HHIIIHH", data, header + 4)
    optional = header + 24
    directories = optional + 96
    debug_rva, debug_size = struct.unpack_from("<II", data, directories + 6 * 8)
    sections = []
    table = optional + optional_size
    for index in range(section_count):
        name, virtual_size, _, raw_size = struct.unpack_from("<8sIII", data, table + 40 * index)
        sections.append({"name": name.rstrip(b"\0").decode("ascii", "replace"),
                         "raw_size": raw_size, "virtual_size": virtual_size})
    facts = {
        "path": str(exe),
        "bytes": len(data),
        "sections": sections,
        "symbol_table": symbol_table,
        "symbols": symbol_count,
        "debug_directory_bytes": debug_size if debug_rva else 0,
        "packed": any(section["name"].upper().startswith("UPX") for section in sections),
    }
    facts.update(build_flags(Path(build_dir)))
    return facts


def build_flags(build_dir):
    """The compile flags of the setup's sources and the link flags of its exe, from build.ninja."""
    try:
        ninja = (build_dir / "build.ninja").read_text()
    except OSError:
        return {}
    found = {}
    link = re.search(
        r"^build CorvantaWebSetup\.exe:.*?\n  FLAGS = (.*?)\n  LINK_FLAGS = (.*?)\n", ninja,
        re.M | re.S)
    if link:
        found["link_flags"] = link.group(2).strip()
    compile_flags = re.search(r"^build src/CMakeFiles/corvanta_setup\.dir/shell/Unit1\.cpp\.obj:"
                              r".*?\n(?:  .*\n)*?  FLAGS = (.*?)\n", ninja, re.M)
    if compile_flags:
        # The prefix maps name this machine's folders; they say nothing about size.
        found["compile_flags"] = " ".join(flag for flag in compile_flags.group(1).split()
                                          if not flag.startswith("-ffile-prefix-map"))
    return found


# Summaries.

def phases(run):
    """(before, during, after) the requests, from the server's log: from the click or start to
    the first request, from the first request to the last, and from the last to the end."""
    served = run["served"]
    start = run["click"] if "click" in run else run["start"]
    end = run["finish"] if "finish" in run else run["end"]
    after = end - served["last_request"]
    if "click" in run:
        after -= CLOSING_PAUSE_SECONDS
    return (served["first_request"] - start,
            served["last_request"] - served["first_request"], after)


def summarize(results):
    summary = {"payloads": {key: install_summary(record)
                            for key, record in results["payloads"].items()}}
    noise = noise_floor(summary["payloads"])
    if noise:
        summary["noise_floor"] = noise
    observed = results.get("observed")
    start_up = results.get("start_up")
    if observed:
        summary["responsiveness"] = responsiveness_summary(observed)
    if start_up:
        summary["start_up"] = start_up_summary(start_up)
    if observed and start_up:
        summary["memory"] = memory_summary(observed, start_up, summary["payloads"].get("large", {}))
    if results.get("exe"):
        summary["exe"] = {"bytes": results["exe"]["bytes"]}
    if results.get("keyed_exe"):
        summary["keyed_exe"] = {"bytes": results["keyed_exe"]["bytes"]}
    summary["targets"] = verdicts(summary)
    return summary


def install_summary(record):
    row = {"title": record["title"]}
    for contender in CONTENDERS:
        runs = record.get(contender, [])
        if not runs:
            continue
        row[contender] = median([run["install_seconds"] for run in runs])
        row[f"{contender}_fastest"] = min(run["install_seconds"] for run in runs)
        row[f"{contender}_runs"] = [round(run["install_seconds"], 3) for run in runs]
        row[f"{contender}_connections"] = sorted({run["served"]["connections"] for run in runs})
        split = [phases(run) for run in runs]
        row[f"{contender}_phases"] = [median([part[i] for part in split]) for i in range(3)]
    for name, numerator, denominator in RATIOS:
        row[name] = ratio(row.get(numerator), row.get(denominator))
        row[f"{name}_fastest"] = ratio(row.get(f"{numerator}_fastest"),
                                       row.get(f"{denominator}_fastest"))
    row["keyed_extra"] = without(row.get("keyed"), row.get("setup"))
    hashing = record.get("hashing", [])
    row["hashing"] = median([run["seconds"] for run in hashing])
    row["hashing_runs"] = [round(run["seconds"], 3) for run in hashing]
    row["hashing_piece"] = hashing[0]["piece"] if hashing else None
    row["hashing_load"] = median([run["load_seconds"] for run in hashing])
    loops = record.get("wininet", [])
    row["wininet_load_seconds"] = median([run["load_seconds"] for run in loops])
    row["wininet_start_working_set"] = median([run["start_working_set"] for run in loops])
    row["wininet_peak_working_set"] = max((run["peak_working_set"] for run in loops), default=None)
    row["detection_ms"] = max((run["polls"]["last_ms"] for run in record.get("setup", [])),
                              default=None)
    # The share of one processor that the probe's looks took while the setup installed.
    row["probe_load"] = median([run["probe_cpu_seconds"] / run["seconds"]
                                for run in record.get("setup", []) if "probe_cpu_seconds" in run])
    return row


def noise_floor(rows):
    """How far apart the two contenders that are the same build came, as the ratio of the second
    to the first and as a fraction apart whichever was slower."""
    for key, row in rows.items():
        if row.get("again_over_setup") is None:
            continue
        median_ratio, fastest_ratio = row["again_over_setup"], row["again_over_setup_fastest"]
        return {"payload": key, "title": row["title"],
                "median_ratio": median_ratio, "fastest_ratio": fastest_ratio,
                "median_apart": apart(median_ratio), "fastest_apart": apart(fastest_ratio)}
    return None


def apart(value):
    return max(value, 1 / value) - 1


def responsiveness_summary(observed):
    """The pings while the files download: from the first file's request to the full bar."""
    first_file = observed["served"]["first_file_request"] - observed["click"]
    done = observed["download_done"]
    during = [rtt for at, rtt in observed["pings"]
              if done is not None and first_file <= at <= done]
    whole = [rtt for _, rtt in observed["pings"]]
    return dict(ping_statistics(during), window=[first_file, done],
                whole_install=ping_statistics(whole))


def ping_statistics(round_trips):
    return {"pings": len(round_trips), "median_ms": median(round_trips),
            "p99_ms": percentile(round_trips, 0.99),
            "max_ms": max(round_trips) if round_trips else None}


def start_up_summary(start_up):
    setup = median([run["seconds"] for run in start_up["setup"]])
    minimal = median([run["seconds"] for run in start_up["minimal"]])
    setup_fastest = min(run["seconds"] for run in start_up["setup"])
    minimal_fastest = min(run["seconds"] for run in start_up["minimal"])
    return {
        "setup": setup, "minimal": minimal, "ratio": ratio(setup, minimal),
        "setup_fastest": setup_fastest, "minimal_fastest": minimal_fastest,
        "ratio_fastest": ratio(setup_fastest, minimal_fastest),
        "setup_runs": [round(run["seconds"], 3) for run in start_up["setup"]],
        "minimal_runs": [round(run["seconds"], 3) for run in start_up["minimal"]],
        "detection_ms": max(run["polls"]["last_ms"] for runs in start_up.values() for run in runs),
    }


def memory_summary(observed, start_up, large):
    """The setup's memory during the largest payload against the minimal window program's.
    Wine's PrivateUsage is always 0, so private bytes are shown as anonymous resident memory
    (PagefileUsage, which Wine fills from RssAnon, and RssAnon read from /proc alike)."""
    at_finish = observed["memory"]["at_finish"]
    samples = observed["memory"]["samples"]
    unix = observed.get("unix_status", {})
    minimal = start_up["minimal"]
    minimal_peak = median([run["memory"]["peak_working_set"] for run in minimal])
    setup_anonymous = max([at_finish["pagefile_usage"], unix.get("largest", {}).get("RssAnon", 0)]
                          + [anonymous for _, _, anonymous in samples])
    return {
        "setup_peak_working_set": at_finish["peak_working_set"],
        "minimal_peak_working_set": minimal_peak,
        "extra": at_finish["peak_working_set"] - minimal_peak,
        "setup_private_usage": observed["memory"]["max_private_usage"],
        "setup_anonymous": setup_anonymous,
        "minimal_anonymous": median([run["memory"]["pagefile_usage"] for run in minimal]),
        "setup_vm_hwm": max(unix.get("largest", {}).get("VmHWM", 0),
                            unix.get("at_finish", {}).get("VmHWM", 0)) or None,
        "minimal_vm_hwm": median([run["unix_status"]["VmHWM"] for run in minimal
                                  if run.get("unix_status")]),
        "setup_at_start": median([run["memory"]["peak_working_set"] for run in start_up["setup"]]),
        "setup_at_click": samples[0][1] if samples else None,
        "setup_when_downloaded": working_set_at(samples, observed["download_done"]),
        "setup_at_finish": at_finish["working_set"],
        "wininet_start_working_set": large.get("wininet_start_working_set"),
        "wininet_peak_working_set": large.get("wininet_peak_working_set"),
        # qemu's translated code only grows, so its size at the end stands for its largest.
        "setup_translated_code": unix.get("at_finish", {}).get("TranslatedCode"),
        "minimal_translated_code": median([run["unix_status"]["TranslatedCode"] for run in minimal
                                           if "TranslatedCode" in (run.get("unix_status") or {})]),
    }


def without(total, part):
    return None if total is None or part is None else total - part


def working_set_at(samples, moment):
    """The last working set read at or before moment (seconds after the click)."""
    if moment is None:
        return None
    earlier = [working_set for at, working_set, _ in samples if at <= moment]
    return earlier[-1] if earlier else None


def verdicts(summary):
    found = {}
    for key, row in summary["payloads"].items():
        value = row["setup_over_wininet"]
        found[f"install_{key}"] = value is not None and value <= TARGETS["install_ratio"]
        if key == LARGE and row.get("keyed_over_setup") is not None:
            found["keyed_large"] = row["keyed_over_setup"] <= TARGETS["keyed_ratio"]
    responsiveness = summary.get("responsiveness")
    if responsiveness and responsiveness["pings"]:
        found["ping_p99"] = responsiveness["p99_ms"] <= TARGETS["ping_p99_ms"]
        found["ping_max"] = responsiveness["max_ms"] <= TARGETS["ping_max_ms"]
    if summary.get("start_up"):
        found["start_up"] = summary["start_up"]["ratio"] <= TARGETS["start_up_ratio"]
    if summary.get("memory"):
        found["working_set"] = summary["memory"]["extra"] <= TARGETS["working_set_extra"]
    if summary.get("exe"):
        found["exe_size"] = summary["exe"]["bytes"] <= TARGETS["exe_bytes"]
    if "exe" in summary and "keyed_exe" in summary:
        keyed = summary["keyed_exe"]["bytes"]
        found["keyed_exe_size"] = (keyed <= TARGETS["keyed_exe_bytes"]
                                   and summary["exe"]["bytes"] < keyed)
    return found


# results.md

def seconds(value):
    return "n/a" if value is None else f"{value:.2f} s"


def milliseconds(value):
    return "n/a" if value is None else f"{value:.1f} ms"


def megabytes(value):
    return "n/a" if value is None else f"{value / MB:.1f} MB"


def times(value):
    return "n/a" if value is None else f"{value:.2f}"


def ratio_text(value):
    """A ratio held against a target, with the digit that decides it."""
    return "n/a" if value is None else f"{value:.3f}"


def met(flag):
    return "n/a" if flag is None else ("yes" if flag else "**no**")


def load(values):
    return "?" if not values else ", ".join(f"{value:.2f}" for value in values)


def host_paragraph(environment):
    """How far the absolute numbers of this host stand from Windows."""
    if environment.get("emulated"):
        return ("On this host Wine's 32-bit side, and with it the setup and every 32-bit baseline, "
                "runs under `qemu-i386` user emulation: absolute times are many times what they "
                "are on Windows, and work that costs little natively (drawing, DLL start-up) "
                "weighs far more. What the numbers say are the ratios against baselines run under "
                "the same Wine, in the same prefix and the same run. curl runs natively (64-bit) "
                "and shows the server's own speed.")
    return ("On this host Wine's 32-bit side runs natively. Absolute times are still Wine's, not "
            "Windows': what the numbers say are the ratios against baselines run under the same "
            "Wine, in the same prefix and the same run. curl runs natively (64-bit) and shows the "
            "server's own speed.")


def markdown(results, summary):
    environment = results.get("environment", {})
    lines = [
        "# Benchmarks of the Corvanta Web Setup", "",
        f"Taken {results.get('started', '?')} by `make bench` on "
        f"{environment.get('cpus', '?')} CPUs; "
        f"load average (1, 5, 15 minutes) {load(results.get('load_average_before'))} before, "
        f"{load(results.get('load_average_after'))} after. {environment.get('wine', 'Wine')}"
        f"{', ' + environment['qemu'] if environment.get('emulated') else ''}. "
        f"{results['runs']} rounds of installs, each contender installing once a round; "
        f"{results['start_runs']} runs of each start-up.", "",
        host_paragraph(environment), "",
    ]
    lines += steadiness_paragraph(summary)
    lines += summary_table(results, summary)
    lines += install_section(summary)
    lines += keyed_section(results, summary)
    lines += responsiveness_section(summary)
    lines += start_up_section(summary)
    lines += memory_section(summary)
    lines += size_section(results)
    return "\n".join(lines) + "\n"


def steadiness_paragraph(summary):
    """How the install figures are made steady, and how far apart the same build came."""
    lines = [
        "Every ratio of times is given twice: from the medians of the runs, and from the fastest "
        "run of each contender. Other work on the machine can make a run slower but never "
        "faster, so the fastest-run ratio moves less when the machine is busy; the median says "
        "what a typical run takes. The targets are held against the medians.", ""]
    noise = summary.get("noise_floor")
    if noise:
        lines += [
            f"**Noise floor.** The default setup was measured twice on {noise['title']}: the "
            f"same exe as two contenders in the same rounds. The second over the first came to "
            f"{ratio_text(noise['median_ratio'])} on the medians "
            f"({percent_apart(noise['median_apart'])} apart) and "
            f"{ratio_text(noise['fastest_ratio'])} on the fastest runs "
            f"({percent_apart(noise['fastest_apart'])} apart). Two measurements of one build came "
            f"that far apart in this run, so a difference smaller than that, between two builds "
            f"or against a baseline, is noise. The floor itself moves from run to run, the more "
            f"so the busier the machine (see the load average above).", ""]
    return lines


def percent_apart(value):
    return "n/a" if value is None else f"{value * 100:.1f}%"


def summary_table(results, summary):
    targets = summary["targets"]
    lines = ["| Measure | Setup | Baseline | Setup / baseline | Fastest runs: setup / baseline "
             "| Target | Met |",
             "|---|---|---|---|---|---|---|"]
    for key, row in summary["payloads"].items():
        lines.append(
            f"| Install {row['title']} | {seconds(row['setup'])} | WinINet loop "
            f"{seconds(row['wininet'])} | {ratio_text(row['setup_over_wininet'])} | "
            f"{ratio_text(row.get('setup_over_wininet_fastest'))} | "
            f"<= {TARGETS['install_ratio']:.2f} | {met(targets.get(f'install_{key}'))} |")
    for key, row in summary["payloads"].items():
        if row.get("keyed") is None:
            continue
        target = f"<= {TARGETS['keyed_ratio']:.2f}" if key == LARGE else ""
        lines.append(
            f"| Install {row['title']}, built with publisher keys | {seconds(row['keyed'])} | "
            f"default build {seconds(row['setup'])} | {ratio_text(row['keyed_over_setup'])} | "
            f"{ratio_text(row.get('keyed_over_setup_fastest'))} | "
            f"{target} | {met(targets.get('keyed_large')) if key == LARGE else ''} |")
    noise = summary.get("noise_floor")
    if noise:
        row = summary["payloads"][noise["payload"]]
        lines.append(
            f"| Noise floor: install {row['title']}, the same setup measured twice | "
            f"{seconds(row['setup_again'])} | first measurement {seconds(row['setup'])} | "
            f"{ratio_text(noise['median_ratio'])} | {ratio_text(noise['fastest_ratio'])} | | |")
    responsiveness = summary.get("responsiveness")
    if responsiveness:
        lines.append(
            f"| Responsiveness during 4 x 15 MiB: WM_NULL round trip p99 / max | "
            f"{milliseconds(responsiveness['p99_ms'])} / {milliseconds(responsiveness['max_ms'])} "
            f"(median {milliseconds(responsiveness['median_ms'])}) | | | | "
            f"<= {TARGETS['ping_p99_ms']:.0f} ms / <= {TARGETS['ping_max_ms']:.0f} ms | "
            f"{met(targets.get('ping_p99'))} / {met(targets.get('ping_max'))} |")
    start_up = summary.get("start_up")
    if start_up:
        lines.append(
            f"| Start-up to window visible | {seconds(start_up['setup'])} | minimal window "
            f"{seconds(start_up['minimal'])} | {ratio_text(start_up['ratio'])} | "
            f"{ratio_text(start_up.get('ratio_fastest'))} | "
            f"<= {TARGETS['start_up_ratio']:.1f} | {met(targets.get('start_up'))} |")
    memory = summary.get("memory")
    if memory:
        lines.append(
            f"| Peak working set, 4 x 15 MiB | {megabytes(memory['setup_peak_working_set'])} | "
            f"minimal window {megabytes(memory['minimal_peak_working_set'])} | "
            f"+{megabytes(memory['extra'])} | | <= +{TARGETS['working_set_extra'] // MB} MB | "
            f"{met(targets.get('working_set'))} |")
        lines.append(
            f"| Private bytes, 4 x 15 MiB (Wine reports 0; anonymous resident memory instead) | "
            f"{megabytes(memory['setup_anonymous'])} | minimal window "
            f"{megabytes(memory['minimal_anonymous'])} | "
            f"+{megabytes(memory['setup_anonymous'] - memory['minimal_anonymous'])} | | | |")
    exe = results.get("exe")
    if exe:
        lines.append(
            f"| Exe size | {exe['bytes']:,} bytes | | | | <= {TARGETS['exe_bytes'] // 1000} KB "
            f"({TARGETS['exe_bytes']:,} bytes) | {met(targets.get('exe_size'))} |")
    keyed_exe = results.get("keyed_exe")
    if exe and keyed_exe:
        lines.append(
            f"| Exe size, built with publisher keys | {keyed_exe['bytes']:,} bytes | default "
            f"build {exe['bytes']:,} bytes | +{keyed_exe['bytes'] - exe['bytes']:,} bytes | | "
            f"<= {TARGETS['keyed_exe_bytes']:,} bytes, the default build smaller | "
            f"{met(targets.get('keyed_exe_size'))} |")
    return lines + [""]


def install_section(summary):
    rows = summary["payloads"].values()
    lines = ["## Install time", ""]
    for heading, suffix in (("Medians of the runs", ""), ("The fastest run of each", "_fastest")):
        lines += [
            f"{heading}, in seconds, and the setup's time over each of the others.", "",
            "| Payload | Setup | WinINet loop | WinINet loop + flush | curl (native) | "
            "Setup / WinINet loop | Setup / loop + flush | Setup / curl |",
            "|---|---|---|---|---|---|---|---|",
        ]
        for row in rows:
            lines.append(
                f"| {row['title']} | {times(row.get('setup' + suffix))} | "
                f"{times(row.get('wininet' + suffix))} | "
                f"{times(row.get('wininet_flush' + suffix))} | {times(row.get('curl' + suffix))} | "
                f"{times(row.get('setup_over_wininet' + suffix))} | "
                f"{times(row.get('setup_over_wininet_flush' + suffix))} | "
                f"{times(row.get('setup_over_curl' + suffix))} |")
        lines.append("")
    lines += [
        "Where the time goes, from the server's log (medians, seconds): before the first "
        "request, from the first request to the last, and after the last request.", "",
        "| Payload | Setup: before / requests / after | WinINet loop: before / requests / after "
        "| Loop + flush: before / requests / after |",
        "|---|---|---|---|",
    ]
    for row in rows:
        lines.append(f"| {row['title']} | {split(row.get('setup_phases'))} | "
                     f"{split(row.get('wininet_phases'))} | "
                     f"{split(row.get('wininet_flush_phases'))} |")
    lines += [
        "", "Each run, in the order taken (seconds); \"setup again\" is the same setup measured "
        "a second time in the same rounds, for the noise floor:", "",
        "| Payload | Setup | Setup again | WinINet loop | WinINet loop + flush | curl |",
        "|---|---|---|---|---|---|",
    ]
    for row in rows:
        lines.append(f"| {row['title']} | {runs(row.get('setup_runs'))} | "
                     f"{runs(row.get('setup_again_runs'))} | "
                     f"{runs(row.get('wininet_runs'))} | {runs(row.get('wininet_flush_runs'))} | "
                     f"{runs(row.get('curl_runs'))} |")
    detection = max((row["detection_ms"] or 0) for row in rows) if rows else None
    probe_load = median([row["probe_load"] for row in rows if row.get("probe_load") is not None])
    connections = sorted({count for row in rows for contender in CONTENDERS
                          for count in row.get(f"{contender}_connections", [])})
    lines += [
        "",
        "How each is measured:", "",
        "- **Setup**: started and walked to the ready page with the end-to-end harness (the "
        "installation folder and shortcuts removed first). Then `bench/Probe.cpp`, a program in "
        "the same prefix, posts `BM_CLICK` to Install and looks every millisecond (`Sleep(1)`) "
        "whether the finish page is visible and the installing page is not (`IsWindowVisible`). "
        "The time from the click to that look, less the fixed 1,000 ms closing pause, is the "
        "install time. The probe's looks were at most "
        f"{milliseconds(detection)} apart when the finish page was seen, which bounds how late it "
        f"was seen; looking took {percent(probe_load)} of one of the two processors while the "
        "setup installed (median). Everything from the click on counts: the setup's own firewall rule, loading "
        "WinINet, the downloads and writes with their reports to the window, the shortcuts and "
        "firewall rules at the end, and the finish page.",
        "- **WinINet loop** (`bench/WinInetLoop.cpp`): the same URLs (map.txt, then each file) "
        "on one session with the setup's user agent, session options and open flags "
        "(0xA4400100), each read into one 16,000,000-byte buffer asking for all the space left, "
        "and written with one `WriteFile`. It times itself with the performance counter from "
        "just before it loads wininet.dll (the setup also loads WinINet during the install; "
        f"loading took a median {seconds(median([r['wininet_load_seconds'] for r in rows]))}) to "
        "its last file closed. **WinINet loop + flush** is the same with `FlushFileBuffers` and "
        "`SetEndOfFile` after each write, as the setup must do.",
        "- **curl**: one native curl with every URL, timed around the process.",
        "- Every file of every run is compared byte for byte with the served one. In each "
        "round every contender installs once; the one that goes first moves on by one from "
        "round to round. Connections used per install: "
        f"{connections} (one means the connection was kept for every request).",
        "- **Setup again**: on the first payload the default setup is also a second contender, "
        "the same exe measured the same way, placed halfway round the order from the first. "
        "Its ratio to the first is the noise floor above.",
        "- The test server sends each answer's head and body in two writes; it runs with "
        "`TCP_NODELAY` here, since otherwise every client waits about 40 ms per request for the "
        "body (Nagle's algorithm against delayed acknowledgements), which drowns what is "
        "measured.",
        "",
    ]
    return lines


def keyed_section(results, summary):
    rows = [row for row in summary["payloads"].values() if row.get("keyed") is not None]
    if not rows:
        return []
    lines = [
        "## Built with publisher keys", "",
        "The setup built with publisher keys (`build/win32-keyed`, with throwaway keys made for "
        "the run by `tests/e2e/make-keyed-setup.sh`) installs each payload as signed by "
        "`maptool sign`, in the same rounds as the default build, taking turns with the others. "
        "It fetches map.txt.sig after map.txt, verifies its signature, and hashes map.txt and "
        "every file with CNG as the data arrives. Medians, in seconds, and the ratio also from "
        "the fastest run of each:", "",
        "| Payload | Default build | Keyed build | Keyed / default | Keyed / default, fastest "
        "runs | Keyed - default | Hashing, timed apart | Hashing / (keyed - default) |",
        "|---|---|---|---|---|---|---|---|",
    ]
    for row in rows:
        share = ratio(row.get("hashing"), row.get("keyed_extra")) if (
            row.get("keyed_extra") or 0) > 0 else None
        lines.append(
            f"| {row['title']} | {times(row['setup'])} | {times(row['keyed'])} | "
            f"{ratio_text(row['keyed_over_setup'])} | "
            f"{ratio_text(row.get('keyed_over_setup_fastest'))} | {times(row['keyed_extra'])} | "
            f"{times(row['hashing'])} | {percent(share)} |")
    lines += [
        "", "Each run, in the order taken (seconds):", "",
        "| Payload | Keyed build | Hashing |", "|---|---|---|",
    ]
    for row in rows:
        lines.append(f"| {row['title']} | {runs(row.get('keyed_runs'))} | "
                     f"{runs(row.get('hashing_runs'))} |")
    pieces = ", ".join(f"{row['title']} {row['hashing_piece']:,} bytes" for row in rows
                       if row.get("hashing_piece"))
    keyed_exe = results.get("keyed_exe")
    lines += [
        "",
        "- **Hashing** is timed apart by `bench/HashTime.cpp`, which runs the setup's own "
        "SHA-256 (`engine/Cng.h`: CNG's bcrypt.dll, loaded as the setup loads it) over map.txt "
        "and every file of the payload, read into memory first, in the pieces that WinINet's "
        f"reads delivered in the WinINet loop's runs ({pieces}). Loading CNG and opening its "
        f"SHA-256 took a median {seconds(median([row['hashing_load'] for row in rows]))} more.",
        "- The rest of the difference is the request for map.txt.sig, the signature's "
        "verification and the noise between runs; a difference smaller than that noise can come "
        "out below zero.",
    ]
    if keyed_exe:
        lines.append(f"- The keyed exe has {keyed_exe['bytes']:,} bytes.")
    return lines + [""]


def percent(value):
    return "n/a" if value is None else f"{value * 100:.0f}%"


def split(values):
    return "n/a" if not values else " / ".join(f"{value:.2f}" for value in values)


def runs(values):
    return "n/a" if not values else ", ".join(f"{value:.2f}" for value in values)


def responsiveness_section(summary):
    responsiveness = summary.get("responsiveness")
    if not responsiveness:
        return []
    whole = responsiveness["whole_install"]
    start, end = responsiveness["window"]
    return [
        "## Responsiveness", "",
        f"One more install of 4 x 15 MiB, not counted above: every 10 ms the probe sends "
        f"`WM_NULL` to the main window with `SendMessageTimeout` and times the round trip. "
        f"Counted are the pings from the first file's request (server log, {start:.2f} s after "
        f"the click) to the moment the progress bar was full ({end:.2f} s; the probe reads the "
        f"bar's range and position after each ping): {responsiveness['pings']} pings, median "
        f"{milliseconds(responsiveness['median_ms'])}, 99th percentile "
        f"{milliseconds(responsiveness['p99_ms'])}, maximum "
        f"{milliseconds(responsiveness['max_ms'])}. "
        f"Over the whole install, with the closing pause, the shortcuts and the firewall rules "
        f"(which run on the main thread by design): {whole['pings']} pings, median "
        f"{milliseconds(whole['median_ms'])}, 99th percentile {milliseconds(whole['p99_ms'])}, "
        f"maximum {milliseconds(whole['max_ms'])}.",
        "",
    ]


def start_up_section(summary):
    start_up = summary.get("start_up")
    if not start_up:
        return []
    return [
        "## Start-up", "",
        f"The probe starts each program with `CreateProcessA` and looks every millisecond "
        f"(`EnumWindows`, `IsWindowVisible`) for a visible window of the new process; the time "
        f"runs from just before `CreateProcessA` to the look that found it (looks at most "
        f"{milliseconds(start_up['detection_ms'])} apart then). The two programs take turns; one "
        f"start of each before the measured ones is not counted. Setup: "
        f"{runs(start_up['setup_runs'])} s; "
        f"minimal window: {runs(start_up['minimal_runs'])} s. The minimal window program "
        f"(`bench/MinimalWindow.cpp`) registers a class and shows one 600 x 430 window; it is "
        f"compiled and linked as the setup is, without its manifest.",
        "",
    ]


def memory_section(summary):
    memory = summary.get("memory")
    if not memory:
        return []
    setup_native = without(memory["setup_peak_working_set"], memory["setup_translated_code"])
    minimal_native = without(memory["minimal_peak_working_set"],
                             memory["minimal_translated_code"])
    translated_code = [] if not memory["setup_translated_code"] else [
        f"- Of these, qemu's translated code (the resident part of its code buffer, from "
        f"/proc/<pid>/smaps): {megabytes(memory['setup_translated_code'])} for the setup on its "
        f"finish page, {megabytes(memory['minimal_translated_code'])} for the minimal window "
        f"program. Without it the setup's peak is {megabytes(setup_native)} against "
        f"{megabytes(minimal_native)}, +{megabytes(without(setup_native, minimal_native))}; "
        f"on Windows there is no such cost."]
    return [
        "## Memory", "",
        "The probe reads `GetProcessMemoryInfo` (`PROCESS_MEMORY_COUNTERS_EX`, with "
        "`PROCESS_QUERY_INFORMATION | PROCESS_VM_READ` on the process) every 50 ms during the "
        "observed install of 4 x 15 MiB and once at its end; for the minimal window program one "
        "second after its window showed. What Wine 8 reports: `PeakWorkingSetSize` and "
        "`WorkingSetSize` are the Linux process's `VmHWM` and `VmRSS` (checked against "
        "/proc/<pid>/status, read alongside), `PagefileUsage` is its `RssAnon`, and "
        "`PrivateUsage` is always 0. So the working set is meaningful, and private bytes are "
        "shown as the anonymous resident memory (`RssAnon`)."
        + (" Under qemu-i386 both include the emulator's own memory, its cache of translated "
           "code above all, which grows with the amount of code a program runs."
           if memory["setup_translated_code"] else ""), "",
        f"- Setup: peak working set {megabytes(memory['setup_peak_working_set'])} (VmHWM "
        f"{megabytes(memory['setup_vm_hwm'])}); anonymous resident memory at most "
        f"{megabytes(memory['setup_anonymous'])}. Its working set was "
        f"{megabytes(memory['setup_at_start'])} when its window first showed (median of the "
        f"start-ups), {megabytes(memory['setup_at_click'])} at the Install click, "
        f"{megabytes(memory['setup_when_downloaded'])} when the last file had been written, and "
        f"{megabytes(memory['setup_at_finish'])} on the finish page.",
        f"- Minimal window program: peak working set "
        f"{megabytes(memory['minimal_peak_working_set'])} (VmHWM "
        f"{megabytes(memory['minimal_vm_hwm'])}); anonymous resident "
        f"{megabytes(memory['minimal_anonymous'])}.",
        *translated_code,
        f"- For scale: the WinINet loop, which holds one buffer of the same size and runs the "
        f"same WinINet and TLS code with no window, started at "
        f"{megabytes(memory['wininet_start_working_set'])} and peaked at "
        f"{megabytes(memory['wininet_peak_working_set'])} on the same payload (its own counters): "
        f"the buffer holds one 15 MiB file, and WinINet's HTTPS start (TLS library, certificate "
        f"store) takes the rest.",
        "",
    ]


def size_section(results):
    exe = results.get("exe")
    if not exe:
        return []
    sections = ", ".join(f"{section['name']} {section['raw_size']:,}"
                         for section in exe["sections"])
    return [
        "## Size", "",
        f"`{Path(exe['path']).name}`: {exe['bytes']:,} bytes. Sections, bytes in the file: "
        f"{sections}. Symbol table entries: {exe['symbols']}; debug directory: "
        f"{exe['debug_directory_bytes']} bytes; packed: {'yes' if exe['packed'] else 'no'}.", "",
        f"- Compiled with `{exe.get('compile_flags', '?')}`: optimised for size (`-Os`), every "
        "function and datum in a section of its own.",
        f"- Linked with `{exe.get('link_flags', '?')}`: the C and C++ runtimes linked in "
        "(`-static`), unreferenced sections dropped (`--gc-sections`), symbols stripped (`-s`).",
        "- Not packed: a packed exe unpacks itself in memory, which virus scanners distrust.",
        "",
    ]


def write(results, out):
    summary = summarize(results)
    results = dict(results, summary=summary)
    (Path(out) / "results.json").write_text(json.dumps(results, indent=1) + "\n")
    (Path(out) / "results.md").write_text(markdown(results, summary))


def main():
    out = Path(sys.argv[1] if len(sys.argv) > 1 else "build/bench")
    results = json.loads((out / "results.json").read_text())
    results.pop("summary", None)
    write(results, out)


if __name__ == "__main__":
    main()
