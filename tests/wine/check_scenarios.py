"""Vorelle Check (VorelleCheck.exe of the build) under Wine: run as a FileMaker
developer runs it on a workstation, against the run's CUPS queues, in English
and two other display languages; and against a plug-in that breaks one of its
promises (faulty_plugin), whose line it must fail. Part of wine_scenarios.py's
list."""

import hashlib
import os
import pty
import re
import select
import signal
import subprocess
import time

CHECK = "VorelleCheck.exe"
LINE = re.compile(r"^(PASS|FAIL|SKIPPED) [^:]+: ")
SUMMARY = re.compile(r"^(\d+) passed, (\d+) failed, (\d+) skipped$")
# Keys Wine itself rewrites while programs run (its driver's state, the
# spooler's registration of the CUPS queues, its window placement): left out
# of the before-and-after comparison of HKEY_CURRENT_USER.
WINE_OWN_KEYS = re.compile(r"^\[HKEY_CURRENT_USER\\Software\\Wine(\\|\])", re.I)


def export_hkcu(m, ws):
    """HKEY_CURRENT_USER as `reg export` writes it, as (key, its lines)
    pairs, Wine's own keys left out."""
    path = os.path.join(m.workdir, "hkcu.reg")
    rc, _, err, _ = m.run("reg", ["export", "HKCU", ws.windows_path(path), "/y"], timeout=60)
    if rc != 0:
        raise ws.Failure("reg export HKCU: status %d: %s" % (rc, err.strip()[-300:]))
    with open(path, "rb") as f:
        text = f.read().decode("utf-16")
    os.remove(path)
    keys, key = {}, None
    for line in text.replace("\r\n", "\n").split("\n"):
        if line.startswith("["):
            key = None if WINE_OWN_KEYS.match(line) else line
            if key:
                keys[key] = []
        elif key and line:
            keys[key].append(line)
    return keys


def run_check(m, ws, plugin, language=None):
    """VorelleCheck.exe --plugin PLUGIN --report FILE: its status and the
    report's lines, the file checked to be UTF-16LE with a byte order mark and
    CR LF line ends, and the same lines as it showed."""
    report = os.path.join(m.workdir, "report.txt")
    env = {"LANG": language, "LC_ALL": language} if language else None
    rc, shown, err, elapsed = m.run(CHECK, ["--plugin", ws.windows_path(plugin), "--report",
                                            ws.windows_path(report)], env, timeout=180)
    if not os.path.isfile(report):
        raise ws.Failure("no report written; status %d: %s %s" % (rc, " | ".join(shown[-5:]), err.strip()[-600:]))
    with open(report, "rb") as f:
        data = f.read()
    os.remove(report)
    if not data.startswith(b"\xff\xfe"):
        raise ws.Failure("the report has no UTF-16LE byte order mark: %r" % data[:16])
    text = data[2:].decode("utf-16-le")
    if not text.endswith("\r\n") or "\n" in text.replace("\r\n", ""):
        raise ws.Failure("the report's lines do not all end in CR LF")
    lines = text[:-2].split("\r\n")
    ws.expect("the report as shown", shown[:len(lines)], lines)
    return rc, lines, elapsed


def check_report(ws, lines):
    """Its first and last lines, and the line of each check; the counts."""
    ws.expect("first line", lines[0], "Vorelle Check 3.0.4.3")
    counted = SUMMARY.match(lines[-1])
    if not counted:
        raise ws.Failure("last line: %r" % lines[-1])
    body = lines[1:-1]
    odd = [line for line in body if not LINE.match(line)]
    if odd:
        raise ws.Failure("lines that are no check: %r" % odd)
    words = [line.split(" ", 1)[0] for line in body]
    ws.expect("counts of the last line", tuple(int(n) for n in counted.groups()),
              (words.count("PASS"), words.count("FAIL"), words.count("SKIPPED")))
    return body


def vorelle_check(ws, language):
    def scenario(m):
        if language:
            missing = ws.locale_missing(language)
            if missing:
                raise ws.NotRun(missing)
        # FileMaker 11 Advanced has run for this user and stores a printer of
        # its own; 10 has run and stores none; the others never ran.
        m.reset(default=ws.OFFICE, keys=(ws.PREFS_11A, ws.PREFS_10))
        rc, _, err, _ = m.run("reg", ["add", "HKCU\\" + ws.PREFS_11A, "/v", "Printer", "/t", "REG_SZ",
                                      "/d", "Earlier Printer,winspool,Ne00:", "/f"])
        if rc != 0:
            raise ws.Failure("reg add Printer: %s" % err.strip())
        with m.queues(ws.CUPS_QUEUES):
            m.printers()  # Wine registers the queues and makes the server's default its own
            before, default = export_hkcu(m, ws), m.default_printer()
            rc, lines, elapsed = run_check(m, ws, m.plugin, language)
            after = export_hkcu(m, ws)
            changed = sorted(k for k in set(before) | set(after) if before.get(k) != after.get(k))
            if changed:
                raise ws.Failure("HKEY_CURRENT_USER changed by the check: %s" % "; ".join(
                    "%s: %r -> %r" % (k, before.get(k), after.get(k)) for k in changed[:4]))
            ws.expect("Windows default afterwards", m.default_printer(), default)
            m.expect_jobs({})
        body = check_report(ws, lines)
        failed = [line for line in body if line.startswith("FAIL")]
        if rc != 0 or failed:
            raise ws.Failure("status %d, failed: %s" % (rc, failed or lines[-1]))
        for needed in ("PASS start-up:", "PASS VORL_GetPrinterAt( 1 ):", "PASS VORL_GetSystemPrinter:",
                       "PASS VORL_ChangeForPreview( ", "PASS Printer put back, FileMaker Pro 11.0 Advanced:",
                       "PASS Printer put back, FileMaker Pro 10.0:",
                       "PASS VORL_ChangePrinter, the system's Print dialog:",
                       "PASS VORL_ChangePrinter, FileMaker's Print dialog layout:",
                       "PASS shutdown:", "SKIPPED FileMaker Pro 9.0: it has not run for this user"):
            if not any(line.startswith(needed) for line in body):
                raise ws.Failure("no line %r in %r" % (needed, body))
        # The facts: the display language the run set, and the plug-in's SHA-256 as Python's hashlib has it.
        code = (language or "en").split("_")[0]
        if not any(line.startswith("PASS display language: ") and "(%s, " % code in line for line in body):
            raise ws.Failure("no display language line naming %r in %r" % (code, body[:4]))
        with open(m.plugin, "rb") as f:
            digest = hashlib.sha256(f.read()).hexdigest()
        if "PASS SHA-256 of the plug-in: %s (" % digest not in "\n".join(body):
            raise ws.Failure("no SHA-256 line with %s in %r" % (digest, body[:6]))
        print("  %s: %s in %.1f s" % (language or "C.UTF-8", lines[-1], elapsed), flush=True)
    scenario.__name__ = "vorelle_check" + ("_" + language.split(".")[0] if language else "")
    return scenario


def vorelle_check_faulty_plugin(ws):
    def scenario(m):
        # A plug-in whose VORL_GetPrinterAt names a printer the spooler does
        # not list at that position: that line fails, and the status is 1.
        m.reset(default=ws.OFFICE)
        rc, lines, _ = run_check(m, ws, os.path.join(m.bin, "faulty_plugin.fmx"))
        body = check_report(ws, lines)
        ws.expect("status", rc, 1)
        if not any(line.startswith("FAIL VORL_GetPrinterAt( 1 ): \"Nobody's Printer\"") for line in body):
            raise ws.Failure("no failed VORL_GetPrinterAt( 1 ) line in %r" % body)
    scenario.__name__ = "vorelle_check_faulty_plugin"
    return scenario


def interrupted(ws):
    def scenario(m):
        # Ctrl+C half-way, in the Print dialogs' part: VORL_ChangePrinter has
        # switched FileMaker 11's preference, and the check puts it back as it
        # ends (status 2). Its console is a terminal of its own (a pty), as a
        # user's would be; Wine makes the terminal's SIGINT the console's Ctrl+C.
        m.reset(default=ws.OFFICE, keys=(ws.PREFS_11A,))
        m.run("reg", ["add", "HKCU\\" + ws.PREFS_11A, "/v", "Printer", "/t", "REG_SZ", "/d", "Earlier Printer", "/f"])
        before = m.value(ws.PREFS_11A, "Printer")
        master, slave = pty.openpty()
        check = subprocess.Popen([m.wine, os.path.join(m.bin, CHECK), "--plugin", ws.windows_path(m.plugin),
                                  "--report", ws.windows_path(os.path.join(m.workdir, "report.txt"))],
                                 cwd=m.workdir, env=m.env, stdin=slave, stdout=slave, stderr=slave)
        os.close(slave)
        shown, interrupted_at = b"", None
        deadline = time.monotonic() + 60
        try:
            while check.poll() is None and time.monotonic() < deadline:
                if select.select([master], [], [], 0.1)[0]:
                    try:
                        shown += os.read(master, 65536)
                    except OSError:
                        break
                # The terminal wraps lines: their breaks and erasures taken out.
                flat = re.sub(rb"\r\n|\x1b\[[0-9;?]*[A-Za-z]", b"", shown)
                if interrupted_at is None and b"PASS VORL_ChangePrinter, the system's Print dialog" in flat:
                    check.send_signal(signal.SIGINT)
                    interrupted_at = time.monotonic()
            status = check.wait(timeout=max(1, deadline - time.monotonic()))
        except subprocess.TimeoutExpired:
            check.kill()
            raise ws.Failure("the check did not end within 60 s (interrupted: %s)" % (interrupted_at is not None))
        finally:
            os.close(master)
        if interrupted_at is None:
            raise ws.Failure("the check ended (status %d) before its Print dialogs' part" % status)
        ws.expect("status after Ctrl+C", status, 2)
        ws.expect("FileMaker 11's Printer after Ctrl+C", m.value(ws.PREFS_11A, "Printer"), before)
        ws.expect("Windows default after Ctrl+C", m.default_printer(), ws.OFFICE)
    scenario.__name__ = "vorelle_check_interrupted"
    return scenario


def scenarios(ws):
    return [vorelle_check(ws, None), vorelle_check(ws, "fr_FR.UTF-8"), vorelle_check(ws, "ja_JP.UTF-8"),
            vorelle_check_faulty_plugin(ws), interrupted(ws)]
