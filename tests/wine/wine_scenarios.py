#!/usr/bin/env python3
"""End-to-end scenarios of a Windows build (win64 or win32) under Wine.

fmhost.exe, our FMWrapper.dll and Vorelle.fmx run against Wine's own spooler,
registry, window manager, threads and Print dialog, in a fresh Wine prefix
inside the build folder. winsetup.exe prepares the prefix (printers on Wine's
PostScript driver, the default printer, the host's preferences keys) and reads
the state a scenario leaves behind. Behind Wine's spooler runs a CUPS server of
the run's own (print_server.py), which every Wine program is pointed at: its
queues, while a scenario has any, are printers Wine registers itself, and what
is printed to them is kept as PDF (a raw queue keeps each job's bytes). A CUPS service of the machine is never
asked. The programs run in a working folder of the run's own, where pages
printed to winsetup's printers (port FILE:) land and are thrown away. The
build is told by fmhost.exe itself: a PE32+ build runs with wine64 in a 64-bit prefix, a PE32 build (the
deliverable, whose Vorelle.fmx must be byte-identical to dist/Vorelle.fmx) with
wine in a 32-bit prefix. Where 32-bit Windows programs do not execute (tried,
in the fresh prefix), a win32 run prints one line saying so and passes.

The system's own Print dialog runs in several display languages, each with
its locale (LANG and LC_ALL of that run); where this machine lacks one, that
scenario prints "NAME: NOT RUN: WHY" and neither passes nor fails.

Usage: [WINE32=LOADER] wine_scenarios.py BUILD_DIR [SCENARIO ...]
       wine_scenarios.py --locales   (the locales those runs need, one a line)
Run it under an X server (xvfb-run -a). Prints one line per scenario and closes
with "N passed, N failed" (and ", N not run" when some were not); the exit
status is 1 when any scenario failed.
"""

import collections
import concurrent.futures
import contextlib
import errno
import filecmp
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import time

from crash_core import CoreReport
import check_scenarios
from print_server import PrintServer, PrintServerError, pdf_text, pdf_title

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
VERBOSE = os.environ.get("WINE_SCENARIOS_VERBOSE") == "1"
WINESERVER = "/usr/lib/wine/wineserver"
# How each build runs: its Wine loader and prefix architecture, by the PE
# machine of its fmhost.exe. WINE32 names another loader for win32 (the test
# of the capability check gives one that cannot run anything).
BUILDS = {
    0x8664: ("win64", "/usr/lib/wine/wine64"),
    0x014C: ("win32", os.environ.get("WINE32", "/usr/lib/wine/wine")),
}

DEVICES = r"SOFTWARE\Microsoft\Windows NT\CurrentVersion\Devices"
PREFS_11A = r"Software\FileMaker\FileMaker Pro\11.0A\Preferences"
PREFS_10 = r"Software\FileMaker\FileMaker Pro\10.0\Preferences"
DEFAULT_HOST = "ProAdvanced 11.0v3"  # fmhost's default host version: the 11.0A key

OFFICE = "Office Laser"
INVOICES = "Invoices"
BUERO = "Drucker Büro"  # not ASCII: UTF-8 at fmhost's edge, UTF-16 inside
LODZ = "Drukarka Łódź"  # outside Latin-1 as well
PRINTERS = [OFFICE, INVOICES, BUERO, LODZ]
ADDED = "Added Later"  # a printer added, then removed, while the others stay
# VORL_GetPrinterList's long list: that many printers of such names (about 200
# characters each).
LONG_LIST = 200
LONG_PRINTER = "Printer %03d " + "of a long name " * 12 + "Ł"

# Queues of the run's CUPS server: Wine registers them itself. CUPS takes UTF-8
# names but no spaces (names with spaces are winsetup's printers above).
CUPS_LABELS = "Cups_Labels"  # the server's default, which Wine makes the Windows default
CUPS_INVOICES = "Cups_Invoices"
CUPS_LODZ = "Kolejka_Łódź"  # outside Latin-1
CUPS_QUEUES = [CUPS_LABELS, CUPS_INVOICES, CUPS_LODZ]

# A raw queue of the run's CUPS server: no driver, its device keeps each job's
# bytes (print_server.py's capture backend).
CUPS_RAW = "Cups_Raw_Labels"
RAW_DOCUMENT = "Vorelle VORL_SendData"  # the spooler's name of each job VORL_SendData sends
HEX_DOCUMENT = "Vorelle VORL_SendHexData"  # and of each job VORL_SendHexData sends
# Every byte value a calculation can write as characters, in order: FileMaker's
# Char( 0 ) is the empty text, so 1 to 255.
EVERY_TEXT_BYTE = " & ".join("Char( %d )" % i for i in range(1, 256))
# Every byte value in order as HexData: both letter cases; between pairs a
# blank, none, a return (¶) or two blanks.
EVERY_HEX_BYTE = "".join(("%02x" if i % 2 else "%02X") % i + [" ", "", "¶", "  "][i % 4] for i in range(256))
# An ESC/POS receipt: initialise (ESC @), two lines of text, feed three lines
# (ESC d 3), full cut (GS V 0), as HexData.
ESC_POS_RECEIPT = b"\x1b@Vorelle 3.0\nTotal  12.50\n\x1bd\x03\x1dV\x00"
ESC_POS_HEX = " ".join("%02X" % b for b in ESC_POS_RECEIPT)
# A ZPL label, its lines ending in returns (¶, as FileMaker writes one).
ZPL_LABEL = "^XA¶^CI28¶^FO40,40^A0N,50,50^FDVorelle 3.0^FS¶^FO40,110^BY2^BCN,80,Y,N,N^FD>;12345678^FS¶^XZ¶"

NOT_FOUND = "!!ERROR!! Specified printer not found"
OUT_OF_BOUNDS = "!!ERROR!! Index out of bounds"
UNABLE_TO_SET = "!!ERROR!! Unable to set system printer"
DATA_NOT_BYTES = "!!ERROR!! Data holds a character above U+00FF; nothing was sent"
HEX_BLANK_IN_PAIR = "!!ERROR!! HexData has a blank inside a pair of hexadecimal digits; nothing was sent"
NO_DEFAULT_PRINTER = "!!ERROR!! There is no Windows default printer"


class Failure(Exception):
    pass


def call(text, *args):
    """One FileMaker calculation line: VORL_X( "a" ; True )."""
    if not args:
        return text
    parts = []
    for a in args:
        if isinstance(a, bool):
            parts.append("True" if a else "False")
        elif isinstance(a, int):
            parts.append(str(a))
        else:
            parts.append('"' + a.replace("\\", "\\\\").replace('"', '\\"') + '"')
    return text + "( " + " ; ".join(parts) + " )"


def output_lines(data):
    """A program's output, one line per "\n" (a "\r" only as part of a
    Windows line end "\r\n"): a CR or any other control character inside a
    line stays in it, so that the line is compared exactly. fmhost shows
    control characters of a result as <U+XXXX> anyway."""
    text = data.decode("utf-8", errors="replace").replace("\r\n", "\n")
    if not text:
        return []
    return (text[:-1] if text.endswith("\n") else text).split("\n")


def pe_machine(path):
    """The machine field of a PE file's header (None when it is not one)."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
        offset = struct.unpack_from("<I", head, 0x3C)[0]
        if head[:2] != b"MZ" or head[offset:offset + 4] != b"PE\0\0":
            return None
        return struct.unpack_from("<H", head, offset + 4)[0]
    except (OSError, struct.error):
        return None


def allow_core_files():
    """In a child before it runs the program: core files of any size."""
    resource.setrlimit(resource.RLIMIT_CORE, (resource.RLIM_INFINITY, resource.RLIM_INFINITY))


def signal_name(number):
    try:
        return signal.Signals(number).name
    except ValueError:
        return "signal %d" % number


def windows_path(path):
    """A Linux path as Wine's Z: drive shows it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Machine:
    """The Wine prefix and the programs of the build folder."""

    def __init__(self, build, prefix="wine-prefix"):
        self.build = os.path.abspath(build)
        self.bin = os.path.join(self.build, "bin")
        self.prefix = os.path.join(self.build, prefix)
        machine = pe_machine(os.path.join(self.bin, "fmhost.exe"))
        self.name, self.wine = BUILDS.get(machine, ("win64", BUILDS[0x8664][1]))
        # The plug-in under test: for win32 the deliverable itself. fmhost.exe
        # loads the copy beside it (check_programs compares the two byte for
        # byte); describe_as_native loads this path.
        self.plugin = os.path.join(ROOT, "dist", "Vorelle.fmx") if self.name == "win32" else \
            os.path.join(self.bin, "Vorelle.fmx")
        self.checked = {"runs": 0, "entry": 0, "functions": 0}
        self.cups = None  # the run's print server (start_print_server)
        self.workdir = None  # the programs' working folder (open_run)
        self.env = dict(os.environ)
        self.env.update({
            "WINEPREFIX": self.prefix,
            "WINEARCH": self.name,
            # fmhost.exe of the win32 build reports its calling-convention checks.
            "FMHOST_CALL_REPORT": "1",
            "WINEDEBUG": "-all",
            # No Mono or Gecko installers during wineboot. No debugger either:
            # a program that crashes ends at once with a failing status
            # instead of waiting in winedbg until its time-out.
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d",
            "LANG": "C.UTF-8",
            "LC_ALL": "C.UTF-8",
        })

    def check_programs(self):
        missing = [name for name in ("fmhost.exe", "FMWrapper.dll", "Vorelle.fmx", "winsetup.exe",
                                "platform_probe.exe", "VorelleCheck.exe", "faulty_plugin.fmx")
                   if not os.path.isfile(os.path.join(self.bin, name))]
        if missing:
            raise Failure("missing in %s: %s" % (self.bin, ", ".join(missing)))
        if pe_machine(os.path.join(self.bin, "fmhost.exe")) not in BUILDS:
            raise Failure("%s is no PE32 or PE32+ program" % os.path.join(self.bin, "fmhost.exe"))
        # fmhost.exe finds the plug-in beside it: for win32 that copy must be
        # the deliverable, byte for byte.
        copy = os.path.join(self.bin, "Vorelle.fmx")
        if self.plugin != copy and not (os.path.isfile(self.plugin) and
                                        filecmp.cmp(self.plugin, copy, shallow=False)):
            raise Failure("%s is not byte-identical to %s" % (copy, self.plugin))
        for name in ("fmhost.exe", "FMWrapper.dll", "winsetup.exe", "platform_probe.exe",
                     "VorelleCheck.exe"):
            if BUILDS.get(pe_machine(os.path.join(self.bin, name)), ("",))[0] != self.name:
                raise Failure("%s is not a %s program" % (name, self.name))

    def cannot_execute(self):
        """Why 32-bit Windows programs do not execute here, found by trying
        in a fresh prefix: Wine's own set-up, then its cmd.exe (None when
        they do). Every way of not running counts: no loader, a loader the
        kernel will not execute (Exec format error, where IA-32 emulation is
        off), one that starts and fails, one that never answers (each try is
        bounded by WINE32_TRY_SECONDS)."""
        bound = int(os.environ.get("WINE32_TRY_SECONDS", "180"))
        try:
            self.create_prefix(timeout=bound)
            rc, _, err, _ = self.run("cmd", ["/c", "exit", "7"], timeout=min(bound, 120))
        except OSError as e:
            what = "%s: %s" % (e.filename or self.wine, e.strerror or e)
            # Missing: the kernel was never asked (scripts/deps could not install it).
            return "no 32-bit Wine installed, " + what if e.errno == errno.ENOENT else what
        except (Failure, subprocess.TimeoutExpired) as e:
            return " ".join(str(e).split())[-300:]
        if rc != 7:
            return "cmd.exe of the 32-bit prefix ended with status %d, not 7: %s" % (
                rc, err.strip()[-200:] or "no message")
        with open(os.path.join(self.prefix, "system.reg"), errors="replace") as f:
            if "#arch=win32" not in f.read(4096):
                return "Wine made no 32-bit prefix"
        return None

    def create_prefix(self, timeout=180):
        if os.path.isdir(self.prefix):
            # An earlier run's prefix: its Wine server stopped, the run's
            # working folder and print server kept.
            self.stop_wine()
            shutil.rmtree(self.prefix)
        started = time.monotonic()
        rc, _, err, _ = self.run("wineboot", ["-i"], timeout=timeout)
        subprocess.run([WINESERVER, "-w"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=min(timeout, 120))
        self.boot_seconds = time.monotonic() - started
        if rc != 0:
            raise Failure("wineboot -i: status %d: %s" % (rc, err[-500:].strip() or "no message"))
        # One server for the whole run: each program then starts in well under a second.
        # (It runs on in the background: its output must not be a pipe we wait on.)
        subprocess.run([WINESERVER, "-p"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=30)
        # Xvfb runs no window manager: Wine's X11 driver, left to hand its
        # windows to one, waits two seconds for it at every window it hides
        # (each dialog that closes). Unmanaged, it places and activates its
        # windows itself, as Windows does; what the windows hold is unchanged.
        rc, _, err, _ = self.run("reg", ["add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed",
                                         "/t", "REG_SZ", "/d", "N", "/f"], timeout=min(timeout, 60))
        if rc != 0:
            raise Failure("reg add Managed=N: status %d: %s" % (rc, err[-300:].strip() or "no message"))
        self.boot_seconds = time.monotonic() - started
        return time.monotonic() - started

    def open_run(self):
        """What the run's Wine programs share and shut_down removes: a
        working folder of their own (pages printed to winsetup's printers,
        port FILE:, land there). Until start_print_server, Wine is pointed at
        a CUPS socket in that folder where nothing listens, so that a CUPS
        service of the machine is not asked either."""
        self.workdir = tempfile.mkdtemp(prefix="vorelle-wine-")
        self.env["CUPS_SERVER"] = os.path.join(self.workdir, "no-print-server")

    def start_print_server(self, output_dir=None):
        """The run's own CUPS server, which shut_down stops (its queues'
        PDFs in `output_dir` when given, which then stays)."""
        self.cups = PrintServer(output_dir)
        self.cups.start()
        self.cups.env(self.env)

    def stop_wine(self):
        # Also where no Wine server could start (a machine that runs no 32-bit
        # program): there is then nothing to stop.
        try:
            subprocess.run([WINESERVER, "-k"], env=self.env, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=60)
        except (OSError, subprocess.TimeoutExpired):
            pass

    def shut_down(self):
        try:
            self.stop_wine()
        finally:
            if self.cups:
                self.cups.stop()
            if self.workdir:
                shutil.rmtree(self.workdir, ignore_errors=True)

    def run(self, program, args, extra_env=None, timeout=120, stdin=None, core_files=False):
        """`stdin`: a file the program reads as its standard input (none when
        not given). `core_files`: a program that dies by a signal leaves a
        core file (in the working folder, where kernel.core_pattern is the
        plain "core"; see crashed_in)."""
        env = dict(self.env)
        if extra_env:
            env.update(extra_env)
        # Our programs from the build folder, Wine's own (wineboot, cmd) by name.
        path = os.path.join(self.bin, program)
        command = [self.wine, path if os.path.isfile(path) else program] + list(args)
        started = time.monotonic()
        # Files, not pipes. Wine 8: its helper processes (conhost, services)
        # inherit the standard handles and may outlive the program.
        with tempfile.TemporaryFile() as stdout, tempfile.TemporaryFile() as stderr, \
                open(stdin or os.devnull, "rb") as given:
            try:
                done = subprocess.run(command, cwd=self.workdir, env=env,
                                      stdin=given, stdout=stdout, stderr=stderr,
                                      timeout=timeout,
                                      preexec_fn=allow_core_files if core_files else None)
            except subprocess.TimeoutExpired:
                if VERBOSE:
                    print("  timeout  %s %s" % (program, " ".join(args)), flush=True)
                raise Failure("%s did not end within %d s" % (program, timeout))
            elapsed = time.monotonic() - started
            stdout.seek(0)
            stderr.seek(0)
            out = output_lines(stdout.read())
            err = stderr.read().decode("utf-8", errors="replace")
        checked = re.search(r"calling convention checked: (\d+) calls .* (\d+) function calls", err)
        if checked:
            self.checked["runs"] += 1
            self.checked["entry"] += int(checked.group(1))
            self.checked["functions"] += int(checked.group(2))
        if VERBOSE:
            print("  %.2f s  %s %s -> %d" % (elapsed, program, " ".join(args), done.returncode),
                  flush=True)
        return done.returncode, out, err, elapsed

    def crashed_in(self, rc):
        """Whose code a program run with `core_files` that died by signal
        -rc was in (crash_core's verdict and the crashed thread's frames),
        read from its core file, which is then removed; a Failure when it
        left none."""
        cores = [os.path.join(self.workdir, name) for name in os.listdir(self.workdir)
                 if name == "core" or name.startswith("core.")]
        if not cores:
            with open("/proc/sys/kernel/core_pattern") as f:
                pattern = f.read().strip()
            raise Failure("died by %s and left no core file to say whose code it was in "
                          "(kernel.core_pattern is %r)" % (signal_name(-rc), pattern))
        try:
            report = CoreReport(max(cores, key=os.path.getmtime), self.plugin, self.wine)
        finally:
            for core in cores:
                os.remove(core)
        return report.verdict, report.summary()

    # winsetup

    def setup(self, *args):
        rc, out, err, _ = self.run("winsetup.exe", args)
        if rc != 0:
            raise Failure("winsetup %s: status %d: %s" % (" ".join(args), rc, err.strip()))
        return out

    def printers(self):
        return self.setup("--list-printers")

    def default_printer(self):
        return self.setup("--get-default")[0]

    def value(self, path, name):
        rc, out, _, _ = self.run("winsetup.exe", ["--get-value", path, name])
        return out[0] if rc == 0 and out else None

    def reset(self, printers=PRINTERS, default=OFFICE, keys=(PREFS_11A,)):
        """The starting state of a scenario: exactly these printers, this
        default, these preferences keys (and no others of ours)."""
        args = []
        for name in self.printers():
            if name not in printers:
                args += ["--delete-printer", name]
        for name in printers:
            args += ["--add-printer", name]
        if default:
            args += ["--set-default", default]
        for key in (PREFS_11A, PREFS_10):
            args += ["--delete-key", key]
        for key in keys:
            args += ["--create-key", key]
        self.setup(*args)

    @contextlib.contextmanager
    def queues(self, names, raw=()):
        """These queues on the run's CUPS server for the time of the block,
        the first one its default, no jobs to begin with; those also named
        in `raw` are raw queues that keep each job's bytes (captured). Wine
        registers them when its next program starts (Devices entry
        "wineps.drv,CUPS:QUEUE"), and makes the server's default the Windows
        default at each start. Afterwards they are deleted with their jobs;
        the next Wine program drops them from its printers."""
        self.cups.cancel_all()
        try:
            for name in names:
                if name in raw:
                    self.cups.add_raw_queue(name)
                else:
                    self.cups.add_queue(name)
            self.cups.set_default(names[0])
            yield
        finally:
            self.cups.cancel_all()
            for name in names:
                self.cups.delete_queue(name)

    def expect_jobs(self, wanted, timeout=30):
        """Exactly `wanted` ({queue: count}) jobs on the run's CUPS server,
        every one completed (lpstat -W completed -o), none elsewhere."""
        total = sum(wanted.values())
        deadline = time.monotonic() + timeout
        while True:
            completed = collections.Counter(self.cups.jobs("completed"))
            pending = collections.Counter(self.cups.jobs("not-completed"))
            if (not pending and sum(completed.values()) >= total) or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        if pending:
            raise Failure("jobs not completed within %d s: %r (%s)" % (timeout, dict(pending),
                                                                      self.cups.log_tail()))
        expect("completed jobs per queue", dict(completed), wanted)

    def expect_captured(self, queue, wanted):
        """The raw queue `queue` received exactly the jobs `wanted`, each a
        (document name, bytes), in this order (after expect_jobs)."""
        got = self.cups.captured(queue)
        if got != wanted:
            raise Failure("jobs received by %s: got %s, expected %s" % (queue, shown(got), shown(wanted)))

    def expect_page(self, queue, job):
        """The last page printed to `queue` is fmhost's Nth: its document's
        name and its line of text (its PDF read back)."""
        path = self.cups.output(queue)
        expect("title of the PDF printed to %s" % queue, pdf_title(path), "fmhost job %d" % job)
        text = pdf_text(path)
        if text is None or page(job) not in text:
            raise Failure("the page printed to %s: %r does not hold %r" % (queue, text, page(job)))

    # fmhost

    def host(self, lines, options=(), extra_env=None, timeout=120, status=0):
        """fmhost.exe with the plug-in beside it (for win32 the copy checked to
        be the deliverable)."""
        rc, out, err, elapsed = self.run("fmhost.exe", list(options) + list(lines), extra_env,
                                         timeout)
        if rc != status:
            raise Failure("fmhost ended with status %d (expected %d): %s" % (rc, status,
                                                                              err.strip()[-400:]))
        return out, elapsed


def expect(what, got, wanted):
    if got != wanted:
        raise Failure("%s: got %r, expected %r" % (what, got, wanted))


def shown(jobs):
    """Jobs of a raw queue, short enough to read: each one's name, size and
    first bytes."""
    return "; ".join("%r: %d bytes %r%s" % (title, len(data), data[:48], "..." if len(data) > 48 else "")
                     for title, data in jobs) or "none"


def expect_lines(got, wanted):
    if len(got) != len(wanted):
        raise Failure("result lines: got %r, expected %r" % (got, wanted))
    for i, (g, w) in enumerate(zip(got, wanted)):
        if w is not None and g != w:
            raise Failure("line %d: got %r, expected %r (all: %r)" % (i + 1, g, w, got))


# The scenarios. Each starts from machine.reset and asserts the printed result
# texts and the state left behind.

def value_list(names):
    """VORL_GetPrinterList's result as fmhost prints it: a CR between two names."""
    return "<U+000D>".join(names)


def printers_by_position(m):
    m.reset()
    listed = m.printers()
    expect("printers of the prefix", sorted(listed), sorted(PRINTERS))
    n = len(listed)
    lines = [call("VORL_GetPrinterAt", i) for i in range(1, n + 2)]
    lines += [call("VORL_GetPrinterAt", 0), call("VORL_GetPrinterAt", -1), "VORL_GetPrinterList"]
    out, _ = m.host(lines)
    expect_lines(out, listed + [OUT_OF_BOUNDS] * 3 + [value_list(listed)])
    # Seen afresh: a printer removed and one added between two sessions, and
    # one removed between two calls of a session.
    m.setup("--delete-printer", INVOICES, "--add-printer", ADDED)
    after = m.printers()
    expect("printers of the prefix afterwards", sorted(after), sorted([OFFICE, BUERO, LODZ, ADDED]))
    out, _ = m.host([call("VORL_GetPrinterAt", i) for i in range(1, len(after) + 2)] +
                    ["VORL_GetPrinterList", ":remove-printer " + ADDED, "VORL_GetPrinterList"])
    expect_lines(out, after + [OUT_OF_BOUNDS, value_list(after), "removed " + ADDED,
                               value_list([p for p in after if p != ADDED])])


def printer_list_long(m):
    # Hundreds of printers with long names, in one result: nothing on the
    # way (Wine's spooler, the host's runtime, its output) cuts it.
    names = [LONG_PRINTER % i for i in range(1, LONG_LIST + 1)]
    m.reset(printers=[], default=None)
    # In batches, each winsetup command line within Windows' 32,767 characters;
    # removed the same way at the end (the next reset's one command could not).
    batches = [names[i:i + 100] for i in range(0, LONG_LIST, 100)]
    try:
        for batch in batches:
            m.setup(*[word for name in batch for word in ("--add-printer", name)])
        listed = m.printers()
        expect("printers of the prefix", sorted(listed), sorted(names))
        out, _ = m.host(["VORL_GetPrinterList", call("VORL_GetPrinterAt", LONG_LIST)])
        expect_lines(out, [value_list(listed), listed[-1]])
    finally:
        for batch in batches:
            m.setup(*[word for name in batch for word in ("--delete-printer", name)])


def no_printers(m):
    m.reset(printers=[], default=None)
    expect("printers", m.printers(), [])
    out, _ = m.host([call("VORL_GetPrinterAt", 1), "VORL_GetPrinterList", "VORL_GetSystemPrinter",
                     call("VORL_ChangeForPreview", OFFICE), ":print 2"])
    expect_lines(out, [OUT_OF_BOUNDS, "", "", NOT_FOUND, "cancelled"])


def system_printer(m):
    m.reset(default=OFFICE)
    out, _ = m.host(["VORL_GetSystemPrinter", call("VORL_SetSystemPrinter", BUERO),
                     "VORL_GetSystemPrinter", call("VORL_SetSystemPrinter", "No Such Printer"),
                     "VORL_GetSystemPrinter"])
    expect_lines(out, [OFFICE, "0", BUERO, UNABLE_TO_SET, BUERO])
    expect("Windows default afterwards", m.default_printer(), BUERO)


def change_for_preview(m):
    m.reset()
    devices = m.value(DEVICES, INVOICES)
    expect("Devices data of %s (Wine fills it)" % INVOICES, devices, "wineps.drv,FILE:")
    out, _ = m.host([call("VORL_ChangeForPreview", INVOICES), ":preference",
                     call("VORL_ChangeForPreview", INVOICES), ":preference"])
    wanted = INVOICES + "," + devices
    expect_lines(out, ["0", wanted, "0", wanted])
    expect("Printer value read back through the registry", m.value(PREFS_11A, "Printer"), wanted)
    expect("Windows default afterwards", m.default_printer(), OFFICE)


def change_for_preview_failures(m):
    m.reset(keys=())
    # No preferences key: "5", and the key is not created.
    out, _ = m.host([call("VORL_ChangeForPreview", INVOICES), ":preference"])
    expect_lines(out, ["5", "(none)"])
    expect("preferences key exists afterwards", m.setup("--key-exists", PREFS_11A), ["no"])
    rc, _, _, _ = m.run("winsetup.exe", ["--delete-key", PREFS_11A])  # absent: still fine
    expect("winsetup on an absent key", rc, 0)
    # A host version outside the table: "3".
    m.reset(keys=(PREFS_11A, PREFS_10))
    out, _ = m.host([call("VORL_ChangeForPreview", INVOICES)],
                    options=["--host-version", "ProAdvanced 12.0v1"])
    expect_lines(out, ["3"])
    # The 10.0 key of a plain 10.0 host.
    out, _ = m.host([call("VORL_ChangeForPreview", BUERO), ":preference"],
                    options=["--host-version", "Pro 10.0v3"])
    expect_lines(out, ["0", BUERO + ",wineps.drv,FILE:"])
    expect("10.0 Printer value", m.value(PREFS_10, "Printer"), BUERO + ",wineps.drv,FILE:")
    expect("11.0A key untouched", m.value(PREFS_11A, "Printer"), None)
    # An unknown printer, and a printer without a Devices value.
    m.setup("--delete-value", DEVICES, INVOICES)
    out, _ = m.host([call("VORL_ChangeForPreview", "No Such Printer"),
                     call("VORL_ChangeForPreview", INVOICES), ":preference"])
    expect_lines(out, [NOT_FOUND, "-1", "(none)"])
    expect("11.0A key untouched", m.value(PREFS_11A, "Printer"), None)


def change_printer_and_print(m):
    m.reset(default=OFFICE)
    out, elapsed = m.host(["VORL_GetPrintDialogResult", call("VORL_ChangePrinter", INVOICES), ":print 20",
                           ":preference", "VORL_GetPrintDialogResult",
                           call("VORL_ChangePrinter", LODZ), ":print 15", ":preference"])
    expect_lines(out, ["none", "0", "printed to " + INVOICES, INVOICES + ",wineps.drv,FILE:", "confirmed",
                       "0", "printed to " + LODZ, LODZ + ",wineps.drv,FILE:"])
    expect("Windows default afterwards", m.default_printer(), OFFICE)
    return elapsed


def describe_as_native(m):
    # What the plug-in tells the host, word for word as on the simulated Windows.
    native = os.path.join(ROOT, "build", "native", "bin", "fmhost")
    if not os.access(native, os.X_OK):
        raise Failure("no native fmhost to compare with at %s (scripts/build native)" % native)
    done = subprocess.run([native, "--describe"], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=60)
    wanted = output_lines(done.stdout)
    if done.returncode != 0 or not wanted:
        raise Failure("native fmhost --describe: status %d" % done.returncode)
    out, _ = m.host([], options=["--plugin", windows_path(m.plugin), "--describe"])
    expect_lines(out, wanted)


def only(build):
    """A scenario that applies to one build only."""
    def mark(scenario):
        scenario.build = build
        return scenario
    return mark


@only("win32")
def calling_convention_checked(m):
    # Throwaway plug-ins (tests/wine/cdecl_plugin): a __cdecl entry point, and a
    # __stdcall one that registers a __cdecl function. fmhost stops at the
    # first call that takes 0 bytes off the stack.
    for plugin, lines, culprit, wanted in (
            ("cdecl_entry.fmx", ["--describe"], "FMExternCallProc (message 7)", 4),
            ("cdecl_function.fmx", ["CDCL_Probe"], "CDCL_Probe (function id 1)", 16)):
        rc, _, err, _ = m.run("fmhost.exe", ["--plugin", windows_path(os.path.join(m.bin, plugin))] +
                              lines)
        message = "%s removed 0 bytes of arguments from the stack, not the %d of __stdcall" % (
            culprit, wanted)
        if rc != 4 or message not in err:
            raise Failure("%s: status %d, %r (expected status 4 and %r)" % (plugin, rc, err.strip(),
                                                                           message))
        if VERBOSE:
            print("  " + err.strip(), flush=True)


def change_printer_show_dialog(m):
    # Then a printer switched to and removed before the Print step: the
    # dialog does not list it and is left to the user.
    m.reset(default=OFFICE)
    out, _ = m.host([call("VORL_ChangePrinter", INVOICES, True), ":print 4", ":preference",
                     "VORL_GetPrintDialogResult", call("VORL_ChangePrinter", BUERO),
                     ":remove-printer " + BUERO, ":print 2", "VORL_GetPrintDialogResult"])
    expect_lines(out, ["0", "cancelled", INVOICES + ",wineps.drv,FILE:", "selected", "0",
                       "removed " + BUERO, "cancelled", "not listed"])


def localized_dialog(language):
    def scenario(m):
        m.reset(default=OFFICE)
        out, _ = m.host([call("VORL_ChangePrinter", BUERO), ":print 20"],
                        options=["--dialog-language", language])
        expect_lines(out, ["0", "printed to " + BUERO])
    scenario.__name__ = "dialog_" + language
    return scenario


def unknown_printer_starts_no_watcher(m):
    m.reset(default=OFFICE)
    out, _ = m.host([call("VORL_ChangePrinter", "No Such Printer"), ":print 3"])
    expect_lines(out, [NOT_FOUND, "cancelled"])
    # A watcher started before the refused call still does its job.
    out, _ = m.host([call("VORL_ChangePrinter", INVOICES),
                     call("VORL_ChangePrinter", "No Such Printer"), ":print 20"])
    expect_lines(out, ["0", NOT_FOUND, "printed to " + INVOICES])


def two_calls_in_a_row(m):
    # The later call's printer is the one confirmed; a VORL_ChangeForPreview
    # after a VORL_ChangePrinter ends the earlier job: the Print dialog after
    # it is left alone (nobody confirms it, nothing is printed).
    m.reset(default=OFFICE)
    out, _ = m.host([call("VORL_ChangePrinter", INVOICES), call("VORL_ChangePrinter", BUERO),
                     ":print 20", ":preference",
                     call("VORL_ChangePrinter", INVOICES), call("VORL_ChangeForPreview", LODZ),
                     ":print 2", ":preference"])
    expect_lines(out, ["0", "0", "printed to " + BUERO, BUERO + ",wineps.drv,FILE:",
                       "0", "0", "cancelled", LODZ + ",wineps.drv,FILE:"])


def shutdown_while_searching(m):
    m.reset(default=OFFICE)
    out, elapsed = m.host([call("VORL_ChangePrinter", INVOICES)])
    expect_lines(out, ["0"])
    # The watcher would search for 21 s; the shutdown stops it at its next pass.
    if elapsed >= 15:
        raise Failure("fmhost took %.1f s to shut down with a searching watcher" % elapsed)
    return elapsed


def other_letter_case(m):
    # The spooler and the registry take the name in any letter case; so does
    # the watcher when it picks the item of the dialog's printer list.
    m.reset(default=OFFICE)
    out, _ = m.host([call("VORL_ChangePrinter", INVOICES.upper()), ":print 20"])
    expect_lines(out, ["0", "printed to " + INVOICES])


def other_process_dialog_left_alone(m):
    # Another program's Print dialog, opened while the watcher searches, is
    # not touched (it is cancelled after 4 s); the host's own dialog after it
    # is still confirmed.
    m.reset(default=OFFICE)
    out, _ = m.host([call("VORL_ChangePrinter", INVOICES), ":other-print 4", ":print 20"])
    expect_lines(out, ["0", "cancelled", "printed to " + INVOICES])


def other_print_over_print_setup(m):
    # While a job waits, another program's Print dialog comes up on top of
    # the host's Print Setup dialog, whose caption begins with the Print
    # dialog's. Searching on past the other program's dialog, the watcher
    # takes neither: Print Setup is not confirmed and keeps the printer it
    # showed (the default), the other program's dialog is cancelled by its
    # program, and the host's Print dialog after them is confirmed.
    m.reset(default=OFFICE)
    with concurrent.futures.ThreadPoolExecutor(3) as side:
        host = side.submit(m.host, [call("VORL_ChangePrinter", INVOICES), ":print-setup 10",
                                    ":print 20"])
        # Print Setup is up once winsetup finds it (each look takes a second).
        deadline = time.monotonic() + 30
        while m.run("winsetup.exe", ["--read-dialog", "1", SETUP_BOX])[0] != 0:
            if host.done() or time.monotonic() > deadline:
                host.result()
                raise Failure("the host's Print Setup dialog did not come up within 30 s")
        setup = side.submit(m.run, "winsetup.exe", ["--read-dialog", "20", SETUP_BOX], None, 60)
        other = side.submit(m.host, [":print 4"])
        out, _ = host.result()
        other_out, _ = other.result()
        rc, texts, err, _ = setup.result()
    expect_lines(other_out, ["cancelled"])
    expect_lines(out, ["0", "cancelled", "printed to " + INVOICES])
    if rc != 0:
        raise Failure("winsetup --read-dialog: status %d: %s" % (rc, err.strip()))
    expect("the Print Setup dialog: caption and printer shown", texts[:1] + texts[3:],
           ["Print Setup", OFFICE])
    expect("Windows default afterwards", m.default_printer(), OFFICE)


def custom_print_dialog_first(m):
    # Show Custom Dialog [ "Print" ; ... ] before the Print step: a dialog of
    # the host's own under the Print dialog's caption, a message and OK, no
    # printer box. Closed after 3 s: the Print dialog after it is confirmed.
    # Beside it, another session's stays open past the watcher's 20 s: that
    # job ends "no printer box", and the dialog was sent no command.
    m.reset(default=OFFICE)
    with concurrent.futures.ThreadPoolExecutor(1) as side:
        held = side.submit(m.host, [call("VORL_ChangePrinter", BUERO), ':custom-dialog "Print" 23',
                                    "VORL_GetPrintDialogResult"])
        # The watcher reports its end just after it has sent the OK, which
        # the dialog may act on first: the result is read a line later.
        out, _ = m.host([call("VORL_ChangePrinter", INVOICES), ':custom-dialog "Print" 3', ":print 15",
                         ":preference", "VORL_GetPrintDialogResult"])
        held_out, elapsed = held.result()
    expect_lines(out, ["0", "custom dialog closed by OK", "printed to " + INVOICES, None, "confirmed"])
    expect_lines(held_out, ["0", "custom dialog closed by OK", "no printer box"])
    return elapsed


def unanswering_dialog(m):
    # The host's Print dialog stops answering (for 60 s) while the watcher
    # drives it: the next VORL_ChangePrinter and the shutdown each return
    # within 10 s, and the dialog is never confirmed.
    m.reset(default=OFFICE)
    out, elapsed = m.host([call("VORL_ChangePrinter", INVOICES), ":unanswering-print 60", ":elapsed",
                           call("VORL_ChangePrinter", BUERO), ":elapsed"], timeout=90)
    expect_lines(out, ["0", None, "0", None])
    change = int(out[3]) / 1000.0
    if change >= 10:
        raise Failure("VORL_ChangePrinter took %.1f s after the dialog stopped answering" % change)
    # What is left of the run: Wine's start of the program, the shutdown, the exit.
    rest = elapsed - (int(out[1]) + int(out[3])) / 1000.0
    if rest >= 10:
        raise Failure("start, shutdown and exit took %.1f s with a dialog that does not answer" % rest)
    return elapsed


# The host's lines of exit_while_searching (the first also run by
# exit_crash_runner.py): the host exits at once after the switch, as the
# watcher's thread starts; and a second after it, the watcher searching (a
# dialog of the host's that only bears the Print dialog's caption came and
# went meanwhile, and was left alone).
EXIT_WHILE_SEARCHING = [call("VORL_ChangePrinter", INVOICES), ":exit"]
EXIT_MID_SEARCH = [call("VORL_ChangePrinter", INVOICES), ':custom-dialog "Print" 1', ":exit"]
EXIT_TRIES = 3


def exit_while_searching(m):
    # The host exits without a shutdown message while a watcher searches: the
    # process ends at once, nothing at unload waits for the killed watcher.
    # Wine 8's 32-bit loader itself sometimes dies by SIGSEGV here, also
    # without the plug-in (docs/RELIABILITY.md): a thread it kills while the
    # thread is still starting crashes in Wine's own signal handling. A death
    # by a signal is judged by its core file: a crashed thread with a frame in
    # the plug-in, or any not wholly in Wine's and the C library's code,
    # fails; one proven Wine's is named and the exit tried again, three
    # tries in all (Wine's crash comes in 3 to 13 exits in 100).
    m.reset(default=OFFICE)
    slowest = 0.0
    # Each session: its lines, what it prints, the seconds its dialog is shown.
    for lines, expected, shown in ((EXIT_WHILE_SEARCHING, ["0"], 0),
                                   (EXIT_MID_SEARCH, ["0", "custom dialog closed by OK"], 1)):
        for attempt in range(1, EXIT_TRIES + 1):
            rc, out, err, elapsed = m.run("fmhost.exe", lines, timeout=60, core_files=True)
            if rc >= 0:
                break
            verdict, frames = m.crashed_in(rc)
            what = "fmhost died by %s, crashed thread: %s" % (signal_name(-rc), frames)
            if verdict != "wine":
                raise Failure("%s (%s)" % (what, "in the plug-in" if verdict == "plug-in" else
                                           "not proven Wine's own"))
            print("  exit_while_searching: try %d: Wine's own crash, not the plug-in's: %s" % (
                attempt, what), flush=True)
            if attempt == EXIT_TRIES:
                raise Failure("Wine's own crash in all %d tries (above)" % EXIT_TRIES)
        if rc != 0:
            raise Failure("fmhost ended with status %d (expected 0): %s" % (rc, err.strip()[-400:]))
        expect_lines(out, expected)
        if elapsed - shown >= 10:
            raise Failure("fmhost took %.1f s to exit with a searching watcher" % elapsed)
        slowest = max(slowest, elapsed)
    return slowest


def platform_facade(m):
    # The Win32 side of the platform facade on its own (tests/wine/platform_probe).
    m.reset(default=OFFICE)
    rc, out, err, _ = m.run("platform_probe.exe", [INVOICES])
    for line in out:
        if line.startswith("NOTE") or (VERBOSE and line.startswith("PASS")):
            print("  " + line, flush=True)
    failures = [line for line in out if line.startswith("FAIL")]
    if rc != 0 or failures or not out or not out[-1].endswith(" 0 failed"):
        raise Failure("platform_probe status %d: %s" % (rc, "; ".join(failures) or
                                                        (out[-1:] or [err.strip()])[0]))
    expect("Windows default afterwards", m.default_printer(), OFFICE)


def page(job):
    """The line fmhost prints on the page of its Nth :print."""
    return "This page is fmhost job %d." % job


def cups_print_to_chosen_queue(m):
    # The road to paper: the queue the script named (in another letter case)
    # gets the page, from Wine's own spooler through the run's CUPS server;
    # the dialog came up with the Windows default (the server's default queue)
    # selected, and that queue gets nothing. Then a dialog left open for the
    # user that nobody confirms, and a name no queue has: no job anywhere.
    m.reset(default=OFFICE)
    with m.queues(CUPS_QUEUES):
        out, _ = m.host([call("VORL_ChangePrinter", CUPS_INVOICES.upper()), ":print 20",
                         call("VORL_ChangePrinter", CUPS_LODZ.lower()), ":print 20",
                         call("VORL_ChangePrinter", CUPS_INVOICES, True), ":print 4",
                         call("VORL_ChangePrinter", "Cups_Nowhere"), ":print 2"])
        expect_lines(out, ["0", "printed to " + CUPS_INVOICES, "0", "printed to " + CUPS_LODZ,
                           "0", "cancelled", NOT_FOUND, "cancelled"])
        m.expect_jobs({CUPS_INVOICES: 1, CUPS_LODZ: 1})
        m.expect_page(CUPS_INVOICES, 1)
        m.expect_page(CUPS_LODZ, 2)


def cups_queues_registered_by_wine(m):
    # Printers that Wine registered from CUPS, with Devices entries of its own
    # making: listed, read and set as the Windows default, and written as the
    # host's preference from that entry.
    m.reset(default=OFFICE)
    with m.queues(CUPS_QUEUES):
        listed = m.printers()
        expect("printers of the prefix", sorted(listed), sorted(PRINTERS + CUPS_QUEUES))
        for queue in CUPS_QUEUES:
            expect("Devices data of %s (Wine writes it)" % queue, m.value(DEVICES, queue),
                   "wineps.drv,CUPS:" + queue)
        n = len(listed)
        out, _ = m.host([call("VORL_GetPrinterAt", i) for i in range(1, n + 2)] +
                        ["VORL_GetSystemPrinter", call("VORL_SetSystemPrinter", CUPS_LODZ),
                         "VORL_GetSystemPrinter",
                         call("VORL_ChangeForPreview", CUPS_INVOICES), ":preference",
                         call("VORL_ChangeForPreview", CUPS_LODZ), ":preference"])
        expect_lines(out, listed + [OUT_OF_BOUNDS] +
                     [CUPS_LABELS, "0", CUPS_LODZ,
                      "0", CUPS_INVOICES + ",wineps.drv,CUPS:" + CUPS_INVOICES,
                      "0", CUPS_LODZ + ",wineps.drv,CUPS:" + CUPS_LODZ])
        expect("Printer value read back through the registry", m.value(PREFS_11A, "Printer"),
               CUPS_LODZ + ",wineps.drv,CUPS:" + CUPS_LODZ)
        m.expect_jobs({})
    # Gone from the server, gone from Wine's printers at its next start.
    expect("printers after the queues were deleted", sorted(m.printers()), sorted(PRINTERS))


def send_data_raw_bytes(m):
    # Raw data past any driver, from Wine's spooler through the run's CUPS
    # server to a raw queue, named in another letter case: every byte value a
    # calculation can write, in order, then a ZPL label as written; by
    # VORL_SendHexData every byte value 00 to FF, then an ESC/POS receipt with
    # its cut; each one job that arrives byte for byte. A Data with a
    # character above U+00FF, HexData with a blank inside a pair, and a name
    # no queue has, send nothing; the server's default queue gets nothing
    # either.
    m.reset(default=OFFICE)
    with m.queues([CUPS_LABELS, CUPS_RAW], raw=[CUPS_RAW]):
        out, _ = m.host(['VORL_SendData( "%s" ; %s )' % (CUPS_RAW.lower(), EVERY_TEXT_BYTE),
                         call("VORL_SendData", CUPS_RAW, ZPL_LABEL),
                         'VORL_SendData( "%s" ; "^XA" & Char( 256 ) & "^XZ" )' % CUPS_RAW,
                         call("VORL_SendData", "Cups_Nowhere", ZPL_LABEL),
                         call("VORL_SendHexData", CUPS_RAW, EVERY_HEX_BYTE),
                         call("VORL_SendHexData", CUPS_RAW, ESC_POS_HEX),
                         call("VORL_SendHexData", CUPS_RAW, "1B 40 1D 5 6 00")])
        expect_lines(out, ["0", "0", DATA_NOT_BYTES, NOT_FOUND, "0", "0", HEX_BLANK_IN_PAIR])
        m.expect_jobs({CUPS_RAW: 4})
        m.expect_captured(CUPS_RAW, [(RAW_DOCUMENT, bytes(range(1, 256))),
                                     (RAW_DOCUMENT, ZPL_LABEL.replace("¶", "\r").encode("ascii")),
                                     (HEX_DOCUMENT, bytes(range(256))),
                                     (HEX_DOCUMENT, ESC_POS_RECEIPT)])


def set_to_windows_default_printer(m):
    # The Windows default (named outside ASCII) made the host's printer again
    # after a switch to another printer, the Windows default left as it was;
    # with no default printer, an error and no preference written.
    m.reset(default=BUERO)
    out, _ = m.host([call("VORL_ChangeForPreview", INVOICES), ":preference",
                     "VORL_SetToWindowsDefaultPrinter", ":preference"])
    expect_lines(out, ["0", INVOICES + ",wineps.drv,FILE:", "0", BUERO + ",wineps.drv,FILE:"])
    expect("Windows default afterwards", m.default_printer(), BUERO)
    m.reset(printers=[], default=None)
    out, _ = m.host(["VORL_SetToWindowsDefaultPrinter", ":preference"])
    expect_lines(out, [NO_DEFAULT_PRINTER, "(none)"])


class NotRun(Exception):
    """A scenario this machine cannot run (it says why); not a failure."""


# The system's own Print dialog as Wine shows it in a display language, which
# Wine takes from LANG and LC_ALL once the locale exists (scripts/deps makes
# these with localedef): the locale, then the texts Wine 8 shows, as read from
# its dialog: caption, name label (stc6) and OK button (IDOK), and the Print
# Setup dialog's caption.
SYSTEM_DIALOG_LANGUAGES = [
    # English: Wine's own texts, under the C locale every machine has.
    ("C.UTF-8", "Print", "&Name:", "OK", "Print Setup", True),
    ("ja_JP.UTF-8", "\u5370\u5237", "\u540d\u524d(&N):", "OK", "\u5370\u5237\u8a2d\u5b9a"),
    ("ru_RU.UTF-8", "\u041f\u0435\u0447\u0430\u0442\u044c", "&\u0418\u043c\u044f:",
     "\u041e\u041a", "\u041d\u0430\u0441\u0442\u0440\u043e\u0439\u043a\u0430 "
     "\u043f\u0440\u0438\u043d\u0442\u0435\u0440\u0430"),  # "ОК" in Cyrillic letters
    # French: a no-break space before the colon.
    ("fr_FR.UTF-8", "Imprimer", "&Nom\u00a0:", "OK", "Configuration de l'impression"),
    ("es_ES.UTF-8", "Imprimir", "&Nombre:", "Aceptar", "Configuraci\u00f3n de impresi\u00f3n"),
    ("zh_CN.UTF-8", "\u6253\u5370", "\u540d\u79f0(&N):", "\u786e\u5b9a", "\u6253\u5370\u8bbe\u7f6e"),
    ("pl_PL.UTF-8", "Wydrukuj", "&Nazwa:", "OK", "Ustawienia wydruku"),
]
PRINT_BOX = "1139"  # cmb4, the Print dialog's printer box
SETUP_BOX = "1136"  # cmb1, the Print Setup dialog's


def normal_locale(name):
    """ja_JP.UTF-8 as `locale -a` spells it: ja_jp.utf8."""
    name = name.lower()
    return name[:-len("utf-8")] + "utf8" if name.endswith("utf-8") else name


def locale_missing(name):
    """Why the locale cannot be used here; None when `locale -a` lists it."""
    try:
        listed = subprocess.run(["locale", "-a"], capture_output=True, timeout=30).stdout
    except (OSError, subprocess.TimeoutExpired) as e:
        return "locale -a: %s" % e
    if normal_locale(name) in {normal_locale(l) for l in listed.decode(errors="replace").split()}:
        return None
    return "no locale %s on this machine (scripts/deps makes it)" % name


def system_dialog(locale_name, caption, label, ok, setup_caption, not_listed=False):
    def scenario(m):
        missing = locale_missing(locale_name)
        if missing:
            raise NotRun(missing)
        m.reset(default=OFFICE)
        language = {"LANG": locale_name, "LC_ALL": locale_name}
        # While the host runs, winsetup reads the Print dialog left open for
        # the user and then the Print Setup dialog, each as it showed last.
        with concurrent.futures.ThreadPoolExecutor(1) as reader:
            seen = reader.submit(m.run, "winsetup.exe", ["--read-dialog", "20", PRINT_BOX,
                                                         "--read-dialog", "20", SETUP_BOX],
                                 language, 90)
            # Where asked, then a printer switched to and removed before the
            # Print step: not listed, left to the user.
            gone = [call("VORL_ChangePrinter", LODZ), ":remove-printer " + LODZ, ":print 2",
                    "VORL_GetPrintDialogResult"] if not_listed else []
            out, _ = m.host([call("VORL_ChangePrinter", INVOICES.lower(), True), ":print 2",
                             "VORL_GetPrintDialogResult", call("VORL_ChangePrinter", BUERO.upper()),
                             ":print-setup 1", ":print 8", ":preference", "VORL_GetPrintDialogResult"] + gone,
                            options=["--print-template", "system"], extra_env=language)
            rc, texts, err, _ = seen.result()
        # Left open with the printer selected, nobody confirms; Print Setup
        # left alone; the Print dialog after it confirmed with the printer
        # named in another letter case (neither is the default printer).
        # (The result is read a line after the print: the watcher reports
        # its end just after it has sent the OK, which the dialog may act on
        # first.)
        expect_lines(out, ["0", "cancelled", "selected", "0", "cancelled", "printed to " + BUERO,
                           None, "confirmed"] + (["0", "removed " + LODZ, "cancelled", "not listed"]
                                           if not_listed else []))
        if rc != 0:
            raise Failure("winsetup --read-dialog: status %d: %s" % (rc, err.strip()))
        expect("the Print dialog left open: caption, label, OK, printer shown", texts[:4],
               [caption, label, ok, INVOICES])
        expect("the Print Setup dialog: caption and printer shown", texts[4:5] + texts[7:],
               [setup_caption, OFFICE])
        expect("Windows default afterwards", m.default_printer(), OFFICE)
    scenario.__name__ = "system_dialog_" + locale_name.split(".")[0]
    return scenario


# One list for every build; a scenario marked with only() runs on that build alone.
SCENARIOS = [
    platform_facade,
    describe_as_native,
    calling_convention_checked,
    printers_by_position,
    printer_list_long,
    no_printers,
    system_printer,
    change_for_preview,
    change_for_preview_failures,
    change_printer_and_print,
    change_printer_show_dialog,
    localized_dialog("fr"),
    localized_dialog("de"),
    localized_dialog("es"),
    unknown_printer_starts_no_watcher,
    two_calls_in_a_row,
    shutdown_while_searching,
    other_letter_case,
    other_process_dialog_left_alone,
    other_print_over_print_setup,
    custom_print_dialog_first,
    unanswering_dialog,
    exit_while_searching,
    cups_print_to_chosen_queue,
    cups_queues_registered_by_wine,
    send_data_raw_bytes,
    set_to_windows_default_printer,
] + [system_dialog(*language) for language in SYSTEM_DIALOG_LANGUAGES] + check_scenarios.scenarios(sys.modules[__name__])


def prepare(machine):
    """The run's set-up: programs checked, working folder, prefix, print
    server. True when ready; otherwise the exit status, after printing why
    (a win32 build where 32-bit programs do not execute: one NOT RUN line, 0)
    and shutting the machine down."""
    try:
        machine.check_programs()
        machine.open_run()
        # The prefix first, then the print server: a machine that executes
        # no 32-bit program has no use for one.
        if machine.name == "win32":
            reason = machine.cannot_execute()
            if reason:
                machine.shut_down()
                print("win32: NOT RUN: 32-bit Windows programs do not execute on this machine (%s)"
                      % reason)
                return 0
            print("win32: 32-bit Windows programs execute here (tried: wineboot and cmd.exe in the "
                  "fresh 32-bit prefix); plug-in %s, byte-identical to %s" % (
                      machine.plugin, os.path.join(machine.bin, "Vorelle.fmx")), flush=True)
        else:
            machine.create_prefix()
        machine.start_print_server()
        print("%s: prefix %s ready in %.1f s" % (machine.name, machine.prefix, machine.boot_seconds),
              flush=True)
    except (Failure, PrintServerError, subprocess.TimeoutExpired) as e:
        machine.shut_down()
        print("FAIL setup: %s" % e)
        print("0 passed, 1 failed")
        return 1
    except BaseException:
        machine.shut_down()
        raise
    return True


def main(argv):
    if len(argv) < 2:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    if argv[1] == "--locales":
        for language in SYSTEM_DIALOG_LANGUAGES:
            print(language[0])
        return 0
    machine = Machine(argv[1])
    chosen = [s for s in SCENARIOS if len(argv) < 3 or s.__name__ in argv[2:]]
    if len(argv) > 2 and len(chosen) != len(argv) - 2:
        print("unknown scenario; known: " + " ".join(s.__name__ for s in SCENARIOS),
              file=sys.stderr)
        return 2
    chosen = [s for s in chosen if getattr(s, "build", machine.name) == machine.name]
    passed = failed = not_run = 0
    passed_names = set()
    started = time.monotonic()
    ready = prepare(machine)
    if ready is not True:
        return ready
    try:
        for scenario in chosen:
            t0 = time.monotonic()
            try:
                scenario(machine)
                passed += 1
                passed_names.add(scenario.__name__)
                print("PASS %s (%.1f s)" % (scenario.__name__, time.monotonic() - t0), flush=True)
            except NotRun as e:
                not_run += 1
                print("%s: NOT RUN: %s" % (scenario.__name__, e), flush=True)
            except (Failure, PrintServerError, subprocess.TimeoutExpired) as e:
                failed += 1
                print("FAIL %s (%.1f s): %s" % (scenario.__name__, time.monotonic() - t0, e),
                      flush=True)
    finally:
        machine.shut_down()
    if machine.name == "win32":
        c = machine.checked
        print("win32: calling convention checked by execution: %d calls of FMExternCallProc took "
              "4 bytes and %d function calls 16 bytes off the stack, in %d fmhost runs%s" % (
                  c["entry"], c["functions"], c["runs"],
                  "; a __cdecl entry point and a __cdecl function refused"
                  if "calling_convention_checked" in passed_names else ""))
    print("%s: wine part %.1f s" % (machine.name, time.monotonic() - started))
    print("%d passed, %d failed%s" % (passed, failed,
                                      ", %d not run" % not_run if not_run else ""))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
