#!/usr/bin/env python3
"""The demo session under Wine (scripts/demo-wine): fmhost.exe and Vorelle.fmx
of a Windows build in a Wine prefix of the demo's own (BUILD_DIR/demo-prefix),
printing through a CUPS server of the demo's own whose two queues, Office_Laser
(the server's default) and Invoices, Wine registers as its printers. The page
that the session prints is left as a PDF in OUTPUT_DIR; its path is printed.

Usage: wine_demo.py BUILD_DIR OUTPUT_DIR   (under an X server: xvfb-run -a)
"""

import os
import sys

from print_server import PrintServerError, pdf_text
from wine_scenarios import ROOT, Failure, Machine

OFFICE = "Office_Laser"
INVOICES = "Invoices"
LABELS = "Labels"  # a raw queue: it keeps each job's bytes
# The session's lines (scripts/demo-session.txt, scripts/demo's as well), with
# the queues of the demo's CUPS server for its printers.
SESSION = os.path.join(ROOT, "scripts", "demo-session.txt")


def session_lines():
    lines = []
    with open(SESSION, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            # :queue shows the simulated Windows' queues: here the raw queue's jobs are shown instead.
            if line.strip() and not line.startswith("#") and not line.startswith(":queue"):
                lines.append(line.replace("{OFFICE}", OFFICE).replace("{INVOICES}", INVOICES)
                             .replace("{LABELS}", LABELS))
    return lines


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    machine = Machine(argv[1], prefix="demo-prefix")
    output_dir = os.path.abspath(argv[2])
    try:
        machine.check_programs()
        os.makedirs(output_dir, exist_ok=True)
        pdf = os.path.join(output_dir, INVOICES + ".pdf")
        if os.path.exists(pdf):
            os.remove(pdf)
        machine.open_run()
        print("%s: a fresh Wine prefix at %s ..." % (machine.name, machine.prefix), flush=True)
        machine.create_prefix()
        machine.start_print_server(output_dir)
        # Only Wine's printers from the demo's CUPS server: winsetup's printers removed.
        machine.reset(printers=[], default=None)
        machine.cups.outputs[INVOICES] = pdf  # the page's file, named for its queue
        with machine.queues([OFFICE, INVOICES, LABELS], raw=[LABELS]):
            print("$ fmhost.exe   (one session: each line, then => its result)")
            lines = session_lines()
            out, _ = machine.host(lines)
            for i, line in enumerate(lines):
                print("%-42s => %s" % (line, out[i] if i < len(out) else ""))
            machine.expect_jobs({INVOICES: 1, LABELS: 2})
            for number, (title, data) in enumerate(machine.cups.captured(LABELS), 1):
                print("%s received job %d \"%s\", %d bytes: %s" % (
                    LABELS, number, title, len(data),
                    "".join(chr(b) if 32 <= b < 127 else "<%02X>" % b for b in data)))
            os.chmod(pdf, 0o644)
            print()
            print("The page printed to %s (CUPS job completed), as PDF: %s" % (INVOICES, pdf))
            print("Its text: %s" % (pdf_text(pdf) or "").strip())
    except (Failure, PrintServerError) as e:
        print("demo failed: %s" % e, file=sys.stderr)
        return 1
    finally:
        machine.shut_down()
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
