#!/usr/bin/env python3
"""How often the host's process crashes when it exits while a watcher
searches, against a control program that does the same without the plug-in.

A tool run by hand (docs/RELIABILITY.md), not part of scripts/test. In the
prefix that wine_scenarios.py prepares, each round runs, in turn (which one
goes first alternates), the scenario exit_while_searching's host
(VORL_ChangePrinter, then :exit: ExitProcess while the watcher searches) and
exit_control.exe (a thread of its own searching windows, ExitProcess at once),
optionally under load: stress-ng's CPU workers on every core when it is
installed, busy Python processes otherwise. Each run ends as one of:
  ok           status 0 and the expected output
  unix-signal  the Wine process itself died by a signal (SIGSEGV: status -11);
               its core file is kept and read with gdb
  windows      an exception Wine caught and reported as unhandled
               ("wine: Unhandled page fault ... at address X")
  other        any other status, output or a time-out
A Windows exception's address is placed against the modules of the process
when Wine's +loaddll channel names them (--channels).

Usage: xvfb-run -a exit_crash_runner.py BUILD_DIR [--runs N] [--no-load]
           [--channels CHANNELS] [--delay MS] [--keep DIR]
  --runs N       rounds (default 100): N runs of each program
  --channels C   WINEDEBUG for both programs (default -all, as the scenarios)
  --delay MS     exit_control waits MS milliseconds before it exits (default 0)
  --keep DIR     where core files, their backtraces and the messages of every
                 run that did not end ok are kept (default: a new folder
                 under /tmp, printed)
Core files need root: /proc/sys/kernel/core_pattern is pointed at DIR for the
time of the run and put back afterwards.
"""

import argparse
import collections
import os
import re
import resource
import shutil
import signal
import subprocess
import sys
import tempfile
import time

import wine_scenarios
from crash_core import CoreReport
from wine_scenarios import EXIT_WHILE_SEARCHING, OFFICE, Failure, Machine

CORE_PATTERN = "/proc/sys/kernel/core_pattern"
UNHANDLED = re.compile(r"Unhandled (.*?) at address ([0-9A-Fa-f]+)(?: \(thread ([0-9A-Fa-f]+)\))?")
LOADED = re.compile(r'Loaded L"([^"]+)" at ([0-9A-Fa-f]+): (\w+)')
WANTED = {"fmhost.exe": ["0"], "exit_control.exe": ["exiting"]}


def start_load():
    """Busy loops on every core, stopped by stop_load."""
    cores = os.cpu_count() or 1
    if shutil.which("stress-ng"):
        what = "stress-ng --cpu %d" % cores
        procs = [subprocess.Popen(["stress-ng", "--cpu", str(cores), "--quiet"],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                  start_new_session=True)]
    else:
        what = "%d busy Python processes" % cores
        procs = [subprocess.Popen([sys.executable, "-c", "while True: pass"], start_new_session=True)
                 for _ in range(cores)]
    return what, procs


def stop_load(procs):
    for proc in procs:
        try:
            os.killpg(proc.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
        proc.wait()


def module_of(address, err):
    """The module that holds `address`, from +loaddll's lines (base only:
    the nearest module below the address)."""
    best = None
    for name, base, _ in LOADED.findall(err):
        base = int(base, 16)
        if base <= address and (best is None or base > best[1]):
            best = (name, base)
    return "%s+0x%x" % (best[0].split("\\")[-1], address - best[1]) if best else "module unknown"


def classify(rc, out, err, program):
    unhandled = UNHANDLED.search(err)
    if unhandled:
        address = int(unhandled.group(2), 16)
        return "windows", "%s at %08x (%s), status %d" % (unhandled.group(1), address,
                                                         module_of(address, err), rc)
    if rc < 0:
        return "unix-signal", "killed by %s" % signal.Signals(-rc).name
    if rc != 0 or out != WANTED[program]:
        return "other", "status %d, output %r" % (rc, out)
    return "ok", ""


def backtrace(core, machine):
    """The crashed thread of a core file: whose code (crash_core's verdict)
    and its frames; gdb's whole text kept beside the core."""
    report = CoreReport(core, machine.plugin, machine.wine)
    with open(core + ".gdb.txt", "w") as f:
        f.write(report.text)
    return report.verdict, report.summary()


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=100)
    parser.add_argument("--no-load", action="store_true")
    parser.add_argument("--channels", default="-all")
    parser.add_argument("--delay", default="0")
    parser.add_argument("--keep")
    args = parser.parse_args()
    keep = args.keep or tempfile.mkdtemp(prefix="vorelle-exit-crashes-")
    os.makedirs(keep, exist_ok=True)
    os.chmod(keep, 0o1777)  # the cores of any user's process land here

    machine = Machine(args.build)
    machine.env["WINEDEBUG"] = args.channels
    ready = wine_scenarios.prepare(machine)
    if ready is not True:
        return ready
    resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))
    old_pattern = None
    try:
        with open(CORE_PATTERN) as f:
            old_pattern = f.read().rstrip("\n")
        with open(CORE_PATTERN, "w") as f:
            f.write(os.path.join(keep, "core.%e.%p.%s"))
    except OSError as e:
        print("no core files: %s" % e)
        old_pattern = None
    load, procs = ("none", []) if args.no_load else start_load()
    print("%s: %d rounds, load: %s, WINEDEBUG=%s, kept in %s" % (machine.name, args.runs, load,
                                                                  args.channels, keep), flush=True)
    counts = {name: collections.Counter() for name in WANTED}
    seconds = collections.Counter()
    programs = [("fmhost.exe", EXIT_WHILE_SEARCHING), ("exit_control.exe", [args.delay])]
    started = time.monotonic()
    try:
        machine.reset(default=OFFICE)
        for round_ in range(args.runs):
            for program, program_args in programs[::1 if round_ % 2 == 0 else -1]:
                cores_before = set(os.listdir(keep))
                try:
                    rc, out, err, elapsed = machine.run(program, program_args, timeout=60)
                    kind, detail = classify(rc, out, err, program)
                except Failure as e:
                    kind, detail, err, elapsed = "other", str(e), "", 60.0
                seconds[program] += elapsed
                if kind == "ok":
                    counts[program][kind] += 1
                    continue
                name = "%03d-%s" % (round_, program)
                with open(os.path.join(keep, name + ".stderr.txt"), "w") as f:
                    f.write(err)
                for core in sorted(set(os.listdir(keep)) - cores_before):
                    if core.startswith("core.") and not core.endswith(".txt"):
                        verdict, frames = backtrace(os.path.join(keep, core), machine)
                        kind += " (%s's code)" % verdict
                        detail += "; core %s, crashed thread: %s" % (core, frames)
                counts[program][kind] += 1
                print("round %d %s: %s: %s" % (round_, program, kind, detail), flush=True)
    finally:
        stop_load(procs)
        if old_pattern is not None:
            with open(CORE_PATTERN, "w") as f:
                f.write(old_pattern)
        machine.shut_down()
    for program, kinds in counts.items():
        print("%s: %d runs: %s; %.1f s in all" % (
            program, sum(kinds.values()), ", ".join("%s %d" % item for item in sorted(kinds.items())),
            seconds[program]))
    print("%s: %.0f s in all" % (machine.name, time.monotonic() - started))
    return 0


if __name__ == "__main__":
    sys.exit(main())
