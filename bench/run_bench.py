#!/usr/bin/env python3
"""Runs the plug-in's benchmarks and prints one table (scripts/bench).

Native side: vorelle_bench (Google Benchmark) of a native build, on the
simulated Windows. Wine side: the timing mode of fmhost.exe (fmhost --time) of
a win64 build under wine64 and of the win32 build (the deliverable) under wine
in a 32-bit prefix, each in a Wine prefix of its own prepared with
winsetup.exe (the end-to-end harness of tests/wine). Each Wine row of win64 is
followed by the same row of win32.

Usage: run_bench.py [--native BUILD] [--win64 BUILD] [--win32 BUILD] [--quick] [--watcher | --send-data]
                    [--json FILE]
--watcher measures only the print-dialog watcher: its search cost and its
reaction (with the poll period they are read against), for comparing two builds.
--send-data measures only VORL_SendData beside its bare calls, and
VORL_SendHexData of 1 MB (2 MB of HexData) beside the spooler's calls alone,
and adds the instructions per call on the simulated Windows, counted by
callgrind.
Without --win64 or --win32 those Wine rows are left out (and said so); where
32-bit Windows programs do not execute, the win32 rows are left out and one
line says so. Without --native the native rows are left out. The table goes to
standard output, as Markdown.
"""

import argparse
import datetime
import json
import os
import platform
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FUNCTIONS = ["VORL_Version", "VORL_GetPrinterAt", "VORL_GetSystemPrinter", "VORL_SetSystemPrinter",
             "VORL_ChangeForPreview", "VORL_ChangePrinter"]
SIM_COUNTS = [1, 10, 100, 1000]
WINE_COUNTS = [1, 10, 100, 1000]
RATIO_GOAL = 1.3
# VORL_SendData: the job's sizes in bytes, and the goal at the largest.
SEND_SIZES = [1024, 1024 * 1024]
SEND_RATIO_GOAL = 1.1
SEND_QUEUE = "Bench_Raw"  # a raw queue of the Wine run's own CUPS server
SELECT_P99_GOAL_MS = 5.0
SEARCH_CPU_GOAL_PCT = 5.0
LIST_GOAL_MS = 1000.0


def log(*parts):
    print(*parts, file=sys.stderr, flush=True)


# --- native: vorelle_bench -------------------------------------------------------------

def plain_name(run_name):
    """fn/VORL_X/10/iterations:400/manual_time -> fn/VORL_X/10"""
    return re.sub(r"/(iterations|repeats):[^/]*|/manual_time", "", run_name)


# The benchmarks of the watcher alone (--watcher).
WATCHER_FILTER = "^(poll|reaction|search)/"


# VORL_SendData's benchmarks alone (--send-data).
SEND_FILTER = "^(fn|bare|platform)/VORL_Send(Hex)?Data/"


def run_native(build, quick, only=None):
    program = os.path.join(build, "bin", "vorelle_bench")
    out = os.path.join(build, "bench_native.json")
    args = [program, "--benchmark_format=console", "--benchmark_out_format=json",
            "--benchmark_out=" + out, "--benchmark_enable_random_interleaving=true",
            "--benchmark_report_aggregates_only=true"]
    if quick:
        args += ["--benchmark_repetitions=2", "--benchmark_min_time=0.05", "--dialogs=20",
                 "--select-dialogs=100", "--search-seconds=2", "--shutdowns=2"]
    else:
        args += ["--benchmark_repetitions=5", "--benchmark_min_time=0.1"]
    if only:
        args += ["--benchmark_filter=" + only]
    log("native: " + " ".join(args[1:]))
    subprocess.run(args, check=True, stdout=sys.stderr)
    with open(out) as f:
        data = json.load(f)
    results = {}
    for b in data["benchmarks"]:
        if b.get("run_type") == "aggregate" and b.get("aggregate_name") != "median":
            continue
        if b.get("error_occurred"):
            # Its rows are left out, and the table's heading says why.
            data["context"].setdefault("failed", []).append(
                "%s: %s" % (plain_name(b["run_name"]), b.get("error_message", "error")))
            continue
        results[plain_name(b["run_name"])] = b
    return data["context"], results


def us(b, clock="cpu_time"):
    """A benchmark's time per iteration in microseconds."""
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3, "s": 1e6}[b["time_unit"]]
    return b[clock] * scale


# --- Wine: fmhost.exe --time -------------------------------------------------------------

def wine_printer(i):
    return "Printer %04d Laser" % i


def parse_timing(lines):
    """fmhost --time output: label -> figures; also results, cpu and failures."""
    figures = {}
    for line in lines:
        parts = line.split("\t")
        if parts[0] == "time" and len(parts) >= 9:
            figures[parts[1]] = {"unit": parts[2], "n": int(parts[3]), "median": float(parts[4]),
                                 "p99": float(parts[5]), "min": float(parts[6]),
                                 "mean": float(parts[7]), "max": float(parts[8])}
        elif parts[0] == "cpu" and len(parts) >= 4:
            figures["cpu " + parts[1]] = {"seconds": float(parts[2]), "percent": float(parts[3])}
        elif parts[0] == "failures" and len(parts) >= 3:
            figures["failures " + parts[1]] = int(parts[2])
        elif parts[0] == "result" and len(parts) >= 3:
            figures["result " + parts[1]] = parts[2]
    return figures


def wineserver_cpu(prefix):
    """CPU seconds of the wineserver of `prefix` (none when not found)."""
    ticks = os.sysconf("SC_CLK_TCK")
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            with open("/proc/%s/comm" % pid) as f:
                if not f.read().strip().startswith("wineserver"):
                    continue
            with open("/proc/%s/environ" % pid, "rb") as f:
                env = f.read().split(b"\0")
            if ("WINEPREFIX=" + prefix).encode() not in env:
                continue
            with open("/proc/%s/stat" % pid) as f:
                fields = f.read().rsplit(")", 1)[1].split()
            return (int(fields[11]) + int(fields[12])) / ticks
        except OSError:
            continue
    return None


def prepare_printers(harness, machine, names):
    """Exactly these printers, the first the default, and the host's (11.0A)
    preferences key. winsetup takes them in parts: a Windows command line
    holds at most 32,767 characters."""
    existing = machine.printers()
    wanted = set(names)
    steps = [["--delete-printer", n] for n in existing if n not in wanted]
    steps += [["--add-printer", n] for n in names if n not in set(existing)]
    for i in range(0, len(steps), 200):
        machine.setup(*[word for step in steps[i:i + 200] for word in step])
    machine.setup("--set-default", names[0], "--delete-key", harness.PREFS_11A,
                  "--create-key", harness.PREFS_11A)


def size_text(size):
    return "1 MB" if size == 1024 * 1024 else "%d KB" % (size // 1024)


def raw_job_data(size):
    """VORL_SendData's Data in the benchmark: "ABC...Z" over and over, the
    bytes that fmhost's "@bare raw" sends (fmhost::timing::RawJobPattern)."""
    return "".join(chr(ord("A") + i % 26) for i in range(size))


def timing_label(line):
    """How fmhost --time names a line in its figures: one of over 200
    characters by its first 160 and its length."""
    return line if len(line) <= 200 else "%s... (%d characters)" % (line[:160], len(line))


def send_lines():
    """fmhost --time lines: VORL_SendData of each size beside its bare calls,
    and at the largest VORL_SendHexData of the same bytes, round by round; and
    the labels of the four figures of each size (the last None below the
    largest)."""
    lines, labels = [], {}
    for size in SEND_SIZES:
        call = 'VORL_SendData( "%s" ; "%s" )' % (SEND_QUEUE, raw_job_data(size))
        bare, platform_only = "@bare raw %d %s" % (size, SEND_QUEUE), "@platform raw %d %s" % (size, SEND_QUEUE)
        hex_call = None
        if size == max(SEND_SIZES):
            hex_call = 'VORL_SendHexData( "%s" ; "%s" )' % (
                SEND_QUEUE, "".join("%02X" % ord(c) for c in raw_job_data(size)))
        lines += [call] + ([hex_call] if hex_call else []) + [bare, platform_only, "@group"]
        labels[size] = (timing_label(call), bare, platform_only, hex_call and timing_label(hex_call))
    return lines, labels


def check_delivered(machine, timeout=120):
    """The jobs of the VORL_SendData measurement, every one complete at the
    raw queue and byte for byte the Data it was sent with: how many."""
    deadline = time.monotonic() + timeout
    while machine.cups.jobs("not-completed") and time.monotonic() < deadline:
        time.sleep(0.5)
    jobs = machine.cups.captured(SEND_QUEUE)
    wrong = [len(data) for _, data in jobs
             if len(data) not in SEND_SIZES or data != raw_job_data(len(data)).encode("ascii")]
    if not jobs or wrong:
        raise RuntimeError("VORL_SendData's measurement: %d jobs arrived, %d of them not as sent (sizes %s)"
                           % (len(jobs), len(wrong), wrong[:5]))
    return len(jobs)


def send_instructions(build):
    """Instructions per call of VORL_SendData (the plug-in's function as the
    host calls it), of its bare calls and of the spooler's calls alone, on
    the simulated Windows, counted by callgrind: the same for the same build
    in every run, whatever else the machine does. Each benchmark runs a fixed
    number of iterations; callgrind counts only inside the one function each
    iteration calls ({size: (fn, bare, platform)})."""
    counted = {}
    # The function each iteration calls; the calls made (the function's
    # benchmark makes one more, to check its result).
    calls = {"fn": ("vorelle::functions::SendData(*", 1), "bare": ("*::BareSendDataOnce(*", 0),
             "platform": ("fmhost::timing::PlatformCalls::Run(*", 0),
             "hex": ("vorelle::functions::SendHexData(*", 1)}
    for size in SEND_SIZES:
        iterations = 5 if size > 64 * 1024 else 200
        figures = []
        for kind in ("fn", "bare", "platform") + (("hex",) if size == max(SEND_SIZES) else ()):
            symbol, extra = calls[kind]
            benchmark = "fn/VORL_SendHexData" if kind == "hex" else "%s/VORL_SendData" % kind
            with tempfile.TemporaryDirectory() as folder:
                log("native: callgrind, %s/%d, %d iterations" % (benchmark, size, iterations))
                run = subprocess.run(["valgrind", "--tool=callgrind", "--toggle-collect=" + symbol,
                                      "--callgrind-out-file=" + os.path.join(folder, "callgrind.out"),
                                      os.path.join(build, "bin", "vorelle_bench"),
                                      "--benchmark_filter=^%s/%d/" % (benchmark, size),
                                      "--send-iterations=%d" % iterations],
                                     stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
            collected = re.search(r"Collected : (\d+)", run.stderr)
            if run.returncode != 0 or not collected or int(collected.group(1)) == 0:
                raise RuntimeError("callgrind of %s/%d: status %d: %s" % (
                    benchmark, size, run.returncode, run.stderr[-400:]))
            figures.append(int(collected.group(1)) / (iterations + extra))
        counted[size] = tuple(figures) + ((None,) if len(figures) == 3 else ())
    return counted


def run_wine(build, quick, only=None):
    sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
    import wine_scenarios  # the end-to-end harness: prefix, winsetup, fmhost runs
    machine = wine_scenarios.Machine(build)
    machine.check_programs()
    log("wine %s: preparing the prefix %s" % (machine.name, machine.prefix))
    if machine.name == "win32":
        reason = machine.cannot_execute()
        if reason:
            machine.shut_down()
            return {"not_run": "win32 rows: NOT RUN: 32-bit Windows programs do not execute on "
                               "this machine (%s)" % reason}
    else:
        machine.create_prefix()
    # A working folder of the run's own, and no print server until the last
    # measurement, which starts the run's own.
    machine.open_run()
    results = {"counts": {}, "wine_version": "", "build": machine.name}
    try:
        rc, out, _, _ = machine.run("--version", [], timeout=60)
        results["wine_version"] = (out or [""])[0]
    except wine_scenarios.Failure:
        pass

    def fmhost(count, lines, timeout=1800, stdin=None):
        rc, out, err, elapsed = machine.run("fmhost.exe", ["--time", str(count)] + lines,
                                            timeout=timeout, stdin=stdin)
        if rc != 0:
            raise wine_scenarios.Failure("fmhost --time: status %d: %s" % (rc, err.strip()[-600:]))
        return parse_timing(out)

    try:
        for n in ([] if only else WINE_COUNTS):
            names = [wine_printer(i) for i in range(1, n + 1)]
            started = time.monotonic()
            prepare_printers(wine_scenarios, machine, names)
            # Wine settles after printers came or went; not counted.
            fmhost(3, ["@platform enumerate %d" % n, "@platform switch " + names[-1]])
            log("wine: %d printers ready in %.1f s" % (n, time.monotonic() - started))
            last = names[-1]
            samples = {1: 200, 10: 200, 100: 60, 1000: 12}[n]
            if quick:
                samples = max(5, samples // 5)
            lines = ["VORL_GetPrinterAt( %d )" % n, "@bare enumerate %d" % n,
                     "@platform enumerate %d" % n, "@group",
                     "VORL_GetSystemPrinter", "@bare default", "@platform default", "@group",
                     'VORL_SetSystemPrinter( "%s" )' % last, "@bare set-default " + last,
                     "@platform set-default " + last, "@group",
                     'VORL_ChangeForPreview( "%s" )' % last, "@bare switch " + last,
                     "@platform switch " + last, "@group",
                     "@bare switch-handover " + last, "@platform switch-handover " + last]
            if n == 10:
                lines = ['VORL_Version( "SHORT" )', "@bare frame SHORT 3.0.4.13", "@group",
                         "@sleep", "@group"] + lines
            if n <= 100:
                lines += ["@list"]
            lines += ["VORL_GetPrinterList"]
            started = time.monotonic()
            results["counts"][n] = fmhost(samples, lines)
            log("wine: %d printers timed in %.1f s" % (n, time.monotonic() - started))

        if only != "send":
            names = [wine_printer(i) for i in range(1, 11)]
            prepare_printers(wine_scenarios, machine, names)
            job = names[6]
            cycles, dialogs, seconds = (5, 20, 3) if quick else (20, 100, 10)
            if only == "watcher":
                # The poll period the reaction is read against.
                results["counts"][10] = fmhost(40 if quick else 200, ["@sleep"])
            else:
                log("wine: hand-over and shutdown, %d cycles" % cycles)
                results["handover"] = fmhost(cycles, ["@handover " + job])
            log("wine: %d dialogs selected, %d confirmed" % (dialogs, dialogs))
            results["select"] = fmhost(dialogs, ["@select " + job])
            results["confirm"] = fmhost(dialogs, ["@confirm " + job])
            log("wine: search cost over %d s" % seconds)
            for what, line in (("idle", "@idle %d" % seconds), ("search", "@search %d %s" % (seconds, job))):
                before = wineserver_cpu(machine.prefix)
                figures = fmhost(1, [line])
                after = wineserver_cpu(machine.prefix)
                figures["wineserver_seconds"] = None if before is None or after is None else after - before
                results[what] = figures
        if only != "watcher":
            # Last: while the server has a queue, Wine adds it to the printers.
            machine.start_print_server()
            machine.cups.add_raw_queue(SEND_QUEUE)
            lines, _ = send_lines()
            # Wine's figures for a job move by 10 % and more from one to the next: many rounds.
            samples = 5 if quick else 100
            log("wine: VORL_SendData of %s, %d rounds" % (" and ".join(map(size_text, SEND_SIZES)), samples))
            # A Windows command line holds at most 32,767 characters: the lines go by standard input.
            script = os.path.join(machine.workdir, "send_data.lines")
            with open(script, "w") as fh:
                fh.write("\n".join(lines) + "\n")
            started = time.monotonic()
            results["send"] = fmhost(samples, [], stdin=script)
            log("wine: VORL_SendData timed in %.1f s" % (time.monotonic() - started))
            results["send_delivered"] = check_delivered(machine)
    finally:
        machine.shut_down()
    return results


# --- the table -----------------------------------------------------------------------------

class Table:
    def __init__(self):
        self.rows = []

    def add(self, section, what, windows, printers, plugin, reference, reference_is, ratio, goal, met):
        self.rows.append((section, what, windows, printers, plugin, reference, reference_is, ratio,
                          goal, met))

    def markdown(self):
        head = ("#", "Measurement", "Windows", "Printers", "Plug-in", "Reference", "Reference is",
                "Ratio", "Goal", "Met")
        out = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
        for row in self.rows:
            out.append("| " + " | ".join(str(c) for c in row) + " |")
        return "\n".join(out)


def f(value, digits=3):
    if value is None:
        return "–"
    if abs(value) >= 100:
        return "%.0f" % value
    if abs(value) >= 10:
        return "%.1f" % value
    return ("%%.%df" % digits) % value


def yes(flag):
    return "yes" if flag else "**no**"


def send_rows(table, windows, size, fn_us, bare_us, platform_us, unit="µs", printers=10):
    """VORL_SendData of `size` bytes against its bare calls (host runtime,
    the characters made bytes, the spooler's), and against the spooler's
    calls alone: figures per call, in `unit`."""
    goal = size == max(SEND_SIZES)
    for reference, what in ((bare_us, "bare calls: host runtime, characters to bytes, spooler"),
                            (platform_us, "the spooler's calls alone (Open ... ClosePrinter)")):
        ratio = fn_us / reference
        table.add(1, "VORL_SendData of %s per call (%s)" % (size_text(size), unit), windows, printers, f(fn_us),
                  f(reference), what, "%.3f" % ratio, "≤ %.1f" % SEND_RATIO_GOAL if goal else "",
                  yes(ratio <= SEND_RATIO_GOAL) if goal else "")


def hex_rows(table, windows, size, hex_us, platform_us, unit="µs", printers=10):
    """VORL_SendHexData of `size` bytes (twice as many digits) against the
    spooler's calls alone for the same bytes."""
    ratio = hex_us / platform_us
    table.add(1, "VORL_SendHexData of %s (%s of HexData) per call (%s)" % (
        size_text(size), size_text(2 * size) if size >= 1024 * 1024 else "%d KB" % (2 * size // 1024), unit),
        windows, printers, f(hex_us), f(platform_us), "the spooler's calls alone (Open ... ClosePrinter)",
        "%.3f" % ratio, "≤ %.1f" % SEND_RATIO_GOAL, yes(ratio <= SEND_RATIO_GOAL))


def native_rows(table, results):
    def get(name):
        return results.get(name)

    # 1. Functions per call: function / (host runtime + platform calls).
    for fn in FUNCTIONS:
        for n in SIM_COUNTS:
            fb, bb, pb = get("fn/%s/%d" % (fn, n)), get("bare/%s/%d" % (fn, n)), get("platform/%s/%d" % (fn, n))
            if fb is None or bb is None:
                continue
            if fn == "VORL_ChangePrinter":
                # Timed call by call (each starts a thread): the median call.
                t, b = fb["p50_us"], bb["p50_us"]
                p = pb["p50_us"] if pb else None
            else:
                t, b = us(fb), us(bb)
                p = us(pb) if pb else None
            ratio = t / b
            goal = "≤ %.1f" % RATIO_GOAL if n == 10 else ""
            table.add(1, "%s per call (µs%s)" % (fn, ", median call" if fn == "VORL_ChangePrinter" else ""),
                      "simulated", n, f(t), f(b),
                      "bare calls: host runtime + platform%s" % (" (platform alone %s)" % f(p) if p else ""),
                      "%.2f" % ratio, goal, yes(ratio <= RATIO_GOAL) if n == 10 else "")
    for size in SEND_SIZES:
        fb, bb, pb = (get("%s/VORL_SendData/%d" % (kind, size)) for kind in ("fn", "bare", "platform"))
        if fb and bb and pb:
            send_rows(table, "simulated", size, us(fb), us(bb), us(pb))
        hb = get("fn/VORL_SendHexData/%d" % size)
        if hb and pb:
            hex_rows(table, "simulated", size, us(hb), us(pb))
    for n in (10, 100, 1000):
        lb, bb = get("list/VORL_GetPrinterAt/%d" % n), get("list/bare/%d" % n)
        if lb and bb:
            t, b = us(lb) / 1e3, us(bb) / 1e3
            table.add(1, "whole list by position, VORL_GetPrinterAt 1..N (ms)", "simulated", n, f(t), f(b),
                      "bare calls for each position", "%.2f" % (t / b),
                      "< %d ms" % LIST_GOAL_MS if n == 1000 else "",
                      yes(t < LIST_GOAL_MS) if n == 1000 else "")
    for n in (10, 100, 1000):
        ob, lb = get("list/VORL_GetPrinterList/%d" % n), get("list/VORL_GetPrinterAt/%d" % n)
        if ob and lb:
            t, by_position = us(ob) / 1e3, us(lb) / 1e3
            table.add(1, "whole list in one call, VORL_GetPrinterList (ms)", "simulated", n, f(t), f(by_position),
                      "VORL_GetPrinterAt 1..N, the loop it replaces", "%.3f" % (t / by_position), "", "")
    per = [get("fn/VORL_GetPrinterAt/%d" % n) for n in SIM_COUNTS]
    if all(per):
        t = [us(b) for b in per]
        slopes = [(t[i + 1] - t[i]) / (SIM_COUNTS[i + 1] - SIM_COUNTS[i]) for i in range(3)]
        linear = slopes[2] <= 1.5 * max(slopes[1], 1e-9)
        table.add(1, "VORL_GetPrinterAt: µs per added printer (1→10, 10→100, 100→1000)", "simulated",
                  "1–1000", " / ".join(f(s) for s in slopes), "", "", "", "linear, never worse",
                  yes(linear))

    # 2. Hand-over.
    poll = get("poll/Sleep(1)")
    period = poll["p50_us"] if poll else None
    for case, label in (("none", "no watcher running"), ("searching", "one watcher searching")):
        b = get("handover/%s/10" % case)
        if b:
            table.add(2, "VORL_ChangePrinter hand-over, %s (µs, median / p99)" % label, "simulated", 10,
                      "%s / %s" % (f(b["p50_us"]), f(b["p99_us"])), f(period) if case == "searching" else "",
                      "poll period (Sleep(1), median)" if case == "searching" else "",
                      "%.2f" % (b["p50_us"] / period) if case == "searching" and period else "", "", "")

    # 3. Reaction.
    sel, conf = get("reaction/select-only/1"), get("reaction/confirm/0")
    if sel and period:
        p_ms = period / 1e3
        table.add(3, "dialog findable → found by the watcher (ms, median / p99)", "simulated", 10,
                  "%s / %s" % (f(sel["found_p50_ms"]), f(sel["found_p99_ms"])), f(p_ms),
                  "poll period", "%.2f" % (sel["found_p50_ms"] / p_ms), "median ≤ 2 periods",
                  yes(sel["found_p50_ms"] <= 2 * p_ms))
        table.add(3, "dialog findable → printer selected (ms, median / p99), %d dialogs" % sel["dialogs"],
                  "simulated", 10, "%s / %s" % (f(sel["select_p50_ms"]), f(sel["select_p99_ms"])), f(p_ms),
                  "poll period", "%.2f" % (sel["select_p50_ms"] / p_ms),
                  "median ≤ 2 periods; p99 ≤ 5 ms",
                  "%s; %s" % (yes(sel["select_p50_ms"] <= 2 * p_ms),
                              yes(sel["select_p99_ms"] <= SELECT_P99_GOAL_MS)))
        table.add(3, "  of which: selecting in the combo box (ms, median)", "simulated", 10,
                  f(sel["selecting_p50_ms"]), "", "", "", "", "")
    if conf and period:
        p_ms = period / 1e3
        table.add(3, "dialog findable → printer selected (ms, median / p99), %d dialogs confirmed"
                  % conf["dialogs"], "simulated", 10,
                  "%s / %s" % (f(conf["select_p50_ms"]), f(conf["select_p99_ms"])), f(p_ms), "poll period",
                  "%.2f" % (conf["select_p50_ms"] / p_ms), "p99 ≤ 5 ms",
                  yes(conf["select_p99_ms"] <= SELECT_P99_GOAL_MS))
        table.add(3, "dialog findable → confirmed (ms, median / p99)", "simulated", 10,
                  "%s / %s" % (f(conf["confirm_p50_ms"]), f(conf["confirm_p99_ms"])), "500 / 990",
                  "the design's pause to the next whole second: uniform 0–1000 ms", "", "", "")

    # 4. Search cost.
    for others in (0, 50):
        b = get("search/cpu/%d" % others)
        if b:
            table.add(4, "watcher searching: CPU of the process (%% of one core), %d other windows" % others,
                      "simulated", 10, f(b["cpu_pct"]), f(b["idle_cpu_pct"]), "the process at rest",
                      "", "≤ %d %%" % SEARCH_CPU_GOAL_PCT, yes(b["cpu_pct"] <= SEARCH_CPU_GOAL_PCT))
            table.add(4, "  passes per second; CPU per pass (µs)", "simulated", 10,
                      "%s; %s" % (f(b["passes_per_s"]), f(b["cpu_per_pass_us"])),
                      f(us(poll)) if poll else "",
                      "CPU of one Sleep(1) alone (µs)", "", "", "")
    for others in (0, 50):
        fb, bb = get("pass/facade/%d" % others), get("pass/bare/%d" % others)
        if fb and bb:
            table.add(4, "one dialog search pass, 8 captions (µs), %d other windows" % others, "simulated",
                      "", f(us(fb)), f(us(bb)), "the window manager's own search", "%.2f" % (us(fb) / us(bb)),
                      "", "")

    # 5. Shutdown.
    for case, label in (("none", "no watcher"), ("searching", "a searching watcher")):
        b = get("shutdown/%s/%d" % (case, 0 if case == "none" else 1))
        if b:
            table.add(5, "shutdown with %s (ms, median / max)" % label, "simulated", 10,
                      "%s / %s" % (f(b["p50_ms"]), f(b["max_ms"])), "500",
                      "the design's first 500 ms sleep", "%.3f" % (b["p50_ms"] / 500), "", "")


def wine_rows(table, results):
    counts = results["counts"]
    windows = "Wine " + results["build"]
    def labels(fn, n):
        """The function's line and its reference's arguments in the timing run."""
        last = wine_printer(n)
        return {"VORL_GetPrinterAt": ("VORL_GetPrinterAt( %d )" % n, "enumerate %d" % n),
                "VORL_GetSystemPrinter": ("VORL_GetSystemPrinter", "default"),
                "VORL_SetSystemPrinter": ('VORL_SetSystemPrinter( "%s" )' % last, "set-default " + last),
                "VORL_ChangeForPreview": ('VORL_ChangeForPreview( "%s" )' % last, "switch " + last)}[fn]

    handover = results.get("handover", {})
    for fn in FUNCTIONS:
        for n in WINE_COUNTS:
            figures = counts.get(n, {})
            if fn == "VORL_Version":
                if n != 10:
                    continue
                fn_label, bare_label, platform_label = 'VORL_Version( "SHORT" )', "@bare frame SHORT 3.0.4.13", None
            elif fn == "VORL_ChangePrinter":
                if n != 10:
                    continue
                fn_fig = results.get("select", {}).get("select handover")
                bare_fig = figures.get("@bare switch-handover " + wine_printer(n))
                plat_fig = figures.get("@platform switch-handover " + wine_printer(n))
                if fn_fig and bare_fig:
                    ratio = fn_fig["median"] / bare_fig["median"]
                    table.add(1, "%s per call (µs), no watcher" % fn, windows, n, f(fn_fig["median"]),
                              f(bare_fig["median"]),
                              "bare calls (platform alone %s)" % f(plat_fig["median"] if plat_fig else None),
                              "%.2f" % ratio, "≤ %.1f" % RATIO_GOAL, yes(ratio <= RATIO_GOAL))
                continue
            else:
                fn_label, argument = labels(fn, n)
                bare_label, platform_label = "@bare " + argument, "@platform " + argument
            fn_fig, bare_fig = figures.get(fn_label), figures.get(bare_label)
            plat_fig = figures.get(platform_label) if platform_label else None
            if not fn_fig or not bare_fig:
                continue
            ratio = fn_fig["median"] / bare_fig["median"]
            table.add(1, "%s per call (µs)" % fn, windows, n, f(fn_fig["median"]), f(bare_fig["median"]),
                      "bare calls: host runtime + platform%s" %
                      (" (platform alone %s)" % f(plat_fig["median"]) if plat_fig else ""),
                      "%.2f" % ratio, "≤ %.1f" % RATIO_GOAL if n == 10 else "",
                      yes(ratio <= RATIO_GOAL) if n == 10 else "")
    send = results.get("send", {})
    for size, (call, bare, platform_only, hex_call) in send_lines()[1].items():
        fig, bare_fig, plat_fig = send.get(call), send.get(bare), send.get(platform_only)
        if fig and bare_fig and plat_fig and send.get("result " + call) == "0":
            # The prefix's printers then: the raw queue and what the run left.
            send_rows(table, windows, size, fig["median"], bare_fig["median"], plat_fig["median"], printers="")
        hex_fig = send.get(hex_call) if hex_call else None
        if hex_fig and plat_fig and send.get("result " + hex_call) == "0":
            hex_rows(table, windows, size, hex_fig["median"], plat_fig["median"], printers="")
    for n in WINE_COUNTS:
        lst = [v for k, v in counts.get(n, {}).items() if k.startswith("list ")]
        if lst:
            table.add(1, "whole list by position, VORL_GetPrinterAt 1..N (ms)", windows, n, f(lst[0]["median"]),
                      "", "", "", "", "")
        one = counts.get(n, {}).get("VORL_GetPrinterList")
        if one:
            table.add(1, "whole list in one call, VORL_GetPrinterList (ms)", windows, n, f(one["median"] / 1e3),
                      f(lst[0]["median"]) if lst else "", "VORL_GetPrinterAt 1..N, the loop it replaces" if lst else "",
                      "%.3f" % (one["median"] / 1e3 / lst[0]["median"]) if lst else "", "", "")
    poll = counts.get(10, {}).get("Sleep(1)")
    period = poll["median"] if poll else None
    select = results.get("select", {})
    for label, fig in (("no watcher running", select.get("select handover")),
                       ("first call after start-up", handover.get("handover after start-up")),
                       ("one watcher searching", handover.get("handover searching"))):
        if fig:
            searching = label.startswith("one")
            table.add(2, "VORL_ChangePrinter hand-over, %s (µs, median / p99)" % label, windows, 10,
                      "%s / %s" % (f(fig["median"]), f(fig["p99"])), f(period) if searching else "",
                      "poll period (Sleep(1), median)" if searching else "",
                      "%.2f" % (fig["median"] / period) if searching and period else "", "", "")
    sel, asked = select.get("select selected"), select.get("select combo asked")
    if sel and period:
        p_ms = period / 1e3
        if asked:
            table.add(3, "dialog findable → watcher's first message to the combo box (ms, median / p99)",
                      windows, 10, "%s / %s" % (f(asked["median"]), f(asked["p99"])), f(p_ms), "poll period",
                      "%.2f" % (asked["median"] / p_ms), "", "")
        table.add(3, "dialog findable → printer selected (ms, median / p99), %d dialogs" % sel["n"], windows, 10,
                  "%s / %s" % (f(sel["median"]), f(sel["p99"])), f(p_ms), "poll period",
                  "%.2f" % (sel["median"] / p_ms), "", "")
    conf = results.get("confirm", {})
    if conf.get("confirm confirmed"):
        c = conf["confirm confirmed"]
        s = conf["confirm selected"]
        table.add(3, "dialog findable → selected / confirmed (ms, median), %d dialogs" % c["n"], windows, 10,
                  "%s / %s" % (f(s["median"]), f(c["median"])), "500", "the design's pause (mean)", "", "", "")
    idle, search = results.get("idle", {}), results.get("search", {})
    if search.get("cpu search"):
        seconds = search["cpu search"]["seconds"]
        server = search.get("wineserver_seconds")
        server_idle = idle.get("wineserver_seconds")
        table.add(4, "watcher searching: CPU of the process (% of one core)", windows, 10,
                  f(search["cpu search"]["percent"]),
                  f(idle["cpu idle"]["percent"]) if idle.get("cpu idle") else "", "the process at rest", "",
                  "measured, explained", "")
        if server is not None and server_idle is not None:
            extra = 100 * (server - server_idle) / seconds
            table.add(4, "  the wineserver's CPU meanwhile (% of one core, beyond a run at rest)", windows, 10,
                      f(extra), f(100 * server_idle / seconds), "the wineserver during a run at rest", "", "", "")
    for case in ("none", "searching"):
        fig = handover.get("shutdown " + case)
        if fig:
            table.add(5, "shutdown with %s (ms, median / max)" % ("no watcher" if case == "none" else
                                                                "a searching watcher"),
                      windows, 10, "%s / %s" % (f(fig["median"]), f(fig["max"])), "500",
                      "the design's first 500 ms sleep", "%.3f" % (fig["median"] / 500), "", "")


def machine_text(context, wines):
    cpu = ""
    try:
        with open("/proc/cpuinfo") as fh:
            for line in fh:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    lines = ["Date: %s" % datetime.datetime.now().astimezone().strftime("%Y-%m-%d %H:%M %Z"),
             "Machine: %s, %d cores (%s), %s %s" % (cpu or platform.processor(), os.cpu_count() or 0,
                                                    platform.machine(), platform.system(), platform.release())]
    if context:
        lines.append("Load average at the native run's start: %s" %
                     ", ".join("%.2f" % x for x in context.get("load_avg", [])))
        for failed in context.get("failed", []):
            lines.append("Not measured (its rows are left out): %s" % failed)
    for wine in wines:
        if wine.get("not_run"):
            lines.append(wine["not_run"])
        else:
            lines.append("Wine %s: %s" % (wine["build"], wine.get("wine_version") or "version unknown"))
            if wine.get("send_delivered"):
                lines.append("Wine %s: the %d raw jobs of the VORL_SendData measurement all reached the raw queue "
                             "byte for byte" % (wine["build"], wine["send_delivered"]))
    return lines


def add_wine_rows(table, wines):
    """The Wine rows, each row of one build followed by the same row of the next."""
    rows, order = [], {}
    for wine in wines:
        if wine.get("not_run"):
            continue
        part = Table()
        wine_rows(part, wine)
        for row in part.rows:
            order.setdefault((row[0], row[1], row[3]), len(order))
            rows.append(row)
    rows.sort(key=lambda r: order[(r[0], r[1], r[3])])
    table.rows += rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--native", help="native build folder (with bin/vorelle_bench)")
    parser.add_argument("--win64", help="win64 build folder (with bin/fmhost.exe)")
    parser.add_argument("--win32", help="win32 build folder (with bin/fmhost.exe, the deliverable)")
    parser.add_argument("--quick", action="store_true", help="fewer samples (a check, not a measurement)")
    parser.add_argument("--watcher", action="store_true",
                        help="only the watcher's search cost and reaction (and the poll period)")
    parser.add_argument("--send-data", action="store_true",
                        help="only VORL_SendData beside its bare calls, with callgrind's instruction counts")
    parser.add_argument("--json", help="also write every figure to this file")
    args = parser.parse_args()

    context, native = None, None
    only = "watcher" if args.watcher else "send" if args.send_data else None
    if args.native:
        context, native = run_native(args.native, args.quick,
                                     {"watcher": WATCHER_FILTER, "send": SEND_FILTER}.get(only))
        if only == "send":
            context["send_instructions"] = send_instructions(args.native)
    wines = [run_wine(build, args.quick, only) for build in (args.win64, args.win32) if build]
    table = Table()
    if native:
        native_rows(table, native)
    for size, (fn, bare, platform_only, hex_fn) in (context or {}).get("send_instructions", {}).items():
        send_rows(table, "simulated, instructions (callgrind)", size, fn, bare, platform_only, "instructions")
        if hex_fn is not None:
            hex_rows(table, "simulated, instructions (callgrind)", size, hex_fn, platform_only, "instructions")
    add_wine_rows(table, wines)
    table.rows.sort(key=lambda r: r[0])
    print("\n".join(machine_text(context, wines)))
    for name, build in (("win64", args.win64), ("win32", args.win32)):
        if not build:
            print("Wine %s rows: not measured in this run (no %s build given)." % (name, name))
    print()
    print(table.markdown())
    if args.json:
        with open(args.json, "w") as fh:
            json.dump({"native": native, "wine": wines, "context": context}, fh, indent=1, default=str)
    return 0


if __name__ == "__main__":
    sys.exit(main())
