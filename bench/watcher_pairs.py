#!/usr/bin/env python3
"""Compares the print-dialog watcher of two builds in alternating rounds.

One run of each build, one after the other, leaves the comparison to whatever
else the machine did meanwhile. Here each round measures both builds, in the
order A B then B A, so that a drift of the machine falls on both alike:
- native (vorelle_bench on the simulated Windows): the search's CPU per pass
  with 0 and 50 other top-level windows (and with --instructions, in the
  first round, the watcher thread's instructions per pass under callgrind,
  which do not vary from run to run);
- Wine win64 (fmhost --time, @select): dialog findable -> the watcher's first
  message to the combo box, and -> printer selected, over DIALOGS dialogs.
It prints each round's figures, then the median over the rounds.

Usage: watcher_pairs.py --before-native DIR --after-native DIR
                        [--before-win64 DIR --after-win64 DIR]
                        [--rounds N] [--dialogs N] [--search-seconds S] [--instructions]
Run it under xvfb-run for the Wine part (scripts/bench's builds; 32-bit Wine
is not used).
"""

import argparse
import json
import os
import re
import statistics
import subprocess
import sys
import tempfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "bench"))
sys.path.insert(0, os.path.join(ROOT, "tests", "wine"))
import run_bench  # noqa: E402  (the same printers, timing parser and log)


def native_pass_cost(build, seconds):
    """cpu_per_pass_us for 0 and 50 other windows."""
    with tempfile.NamedTemporaryFile(suffix=".json") as out:
        run = subprocess.run([os.path.join(build, "bin", "vorelle_bench"), "--benchmark_filter=^search/cpu",
                              "--search-seconds=%g" % seconds, "--benchmark_out_format=json",
                              "--benchmark_out=" + out.name], stdout=subprocess.DEVNULL,
                             stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise RuntimeError("vorelle_bench: status %d: %s" % (run.returncode, run.stderr[-600:]))
        data = json.load(out)
    figures = {}
    for b in data["benchmarks"]:
        if b.get("error_occurred"):
            raise RuntimeError("%s: %s" % (b["name"], b.get("error_message")))
        figures["cpu per pass (µs), %d other windows" % b["top_level_windows"]] = b["cpu_per_pass_us"]
    return figures


def native_pass_instructions(build, windows):
    """The watcher thread's instructions per pass, under callgrind: the same
    count for the same build whatever else the machine does. A pass is one
    simwin::Sleep of the watcher; its instructions are those of the thread's
    function, inclusive (the simulated Windows' own work among them)."""
    with tempfile.TemporaryDirectory() as folder:
        out = os.path.join(folder, "callgrind.out")
        subprocess.run(["valgrind", "--tool=callgrind", "--callgrind-out-file=" + out,
                        os.path.join(build, "bin", "vorelle_bench"), "--benchmark_filter=^search/cpu/%d/" % windows,
                        "--search-seconds=2"], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        calling = subprocess.run(["callgrind_annotate", "--threshold=100", "--tree=calling", "--inclusive=yes",
                                  out], check=True, capture_output=True, text=True).stdout
    passes = instructions = None
    for line in calling.splitlines():
        sleep = re.search(r"^\s*[\d,]+ .*>\s+\S*:simwin::Sleep\(unsigned int\) \(([\d,]+)x\)", line)
        if sleep and passes is None:
            passes = int(sleep.group(1).replace(",", ""))
        thread = re.match(r"^\s*([\d,]+) .*\* +\S*print_dialog_watcher\.cpp:"
                          r"vorelle::printdialog::PrintDialogWatcher\(void\*\)", line)
        if thread and instructions is None:
            instructions = int(thread.group(1).replace(",", ""))
    if not passes or instructions is None:
        raise RuntimeError("callgrind: the watcher's passes or instructions not found")
    return instructions / passes


class WineBuild:
    def __init__(self, build, job_printer):
        import wine_scenarios
        self.machine = wine_scenarios.Machine(build)
        self.machine.check_programs()
        self.machine.create_prefix()
        names = [run_bench.wine_printer(i) for i in range(1, 11)]
        run_bench.prepare_printers(wine_scenarios, self.machine, names)
        self.job = names[job_printer]

    def reaction(self, dialogs):
        rc, out, err, _ = self.machine.run("fmhost.exe", ["--time", str(dialogs), "@select " + self.job],
                                           timeout=1800)
        if rc != 0:
            raise RuntimeError("fmhost --time: status %d: %s" % (rc, err.strip()[-600:]))
        timing = run_bench.parse_timing(out)
        return {"findable → first message to the combo box (ms, median)": timing["select combo asked"]["median"],
                "findable → printer selected (ms, median)": timing["select selected"]["median"]}

    def shut_down(self):
        self.machine.shut_down()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--before-native", required=True)
    parser.add_argument("--after-native", required=True)
    parser.add_argument("--before-win64")
    parser.add_argument("--after-win64")
    parser.add_argument("--rounds", type=int, default=4)
    parser.add_argument("--dialogs", type=int, default=100)
    parser.add_argument("--search-seconds", type=float, default=5)
    parser.add_argument("--instructions", action="store_true",
                        help="also count the instructions per pass under callgrind (first round)")
    args = parser.parse_args()

    wine = {}
    try:
        if args.before_win64 and args.after_win64:
            for side in ("before", "after"):
                run_bench.log("wine: preparing the %s build's prefix" % side)
                wine[side] = WineBuild(getattr(args, side + "_win64"), 6)
        rounds = []
        for r in range(args.rounds):
            order = ("before", "after") if r % 2 == 0 else ("after", "before")
            figures = {"before": {}, "after": {}}
            for side in order:
                run_bench.log("round %d: %s, native" % (r + 1, side))
                figures[side].update(native_pass_cost(getattr(args, side + "_native"), args.search_seconds))
            if r == 0 and args.instructions:
                for side in order:
                    for windows in (0, 50):
                        run_bench.log("%s: instructions per pass, %d other windows" % (side, windows))
                        figures[side]["watcher's instructions per pass, %d other windows" % windows] = \
                            native_pass_instructions(getattr(args, side + "_native"), windows)
            for side in order:
                if side in wine:
                    run_bench.log("round %d: %s, wine win64" % (r + 1, side))
                    figures[side].update(wine[side].reaction(args.dialogs))
            rounds.append(figures)
            for what in figures["before"]:
                print("round %d\t%s\tbefore %.3f\tafter %.3f" % (r + 1, what, figures["before"][what],
                                                                figures["after"][what]), flush=True)
    finally:
        for build in wine.values():
            build.shut_down()

    print()
    print("| Measurement | Before (median of %d rounds) | After | Change |" % len(rounds))
    print("|---|---|---|---|")
    for what in rounds[0]["before"]:
        before = statistics.median(f["before"][what] for f in rounds if what in f["before"])
        after = statistics.median(f["after"][what] for f in rounds if what in f["after"])
        print("| %s | %.3f | %.3f | %+.1f %% |" % (what, before, after, 100 * (after - before) / before))
    return 0


if __name__ == "__main__":
    sys.exit(main())
