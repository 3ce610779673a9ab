"""Whose code a crashed Wine process was in: its core file read with gdb.

A Wine process that dies by a signal (not a Windows exception, which Wine
reports as "Unhandled ... at address X") leaves a core file where the kernel
is allowed to write one. gdb reads the crashed thread's frames from it; each
frame's address is placed in the plug-in's image (the first page of the image
that the core's file mappings name, and the image's size from its PE header),
in a Unix library (gdb names it: Wine's own ntdll.so, win32u.so, winex11.so...,
or the C library) or in other Windows code (gdb names no library there).
"""

import os
import re
import struct
import subprocess

FRAME = re.compile(r"^#(\d+) +(?:0x([0-9a-f]+) in )?(\S+) \(.*?\)(?: from (\S+))?", re.M)
MAPPING = re.compile(r"^\s*0x([0-9a-f]+)\s+0x([0-9a-f]+)\s+0x[0-9a-f]+\s+0x([0-9a-f]+)\s+(\S+)$", re.M)


def image_size(path):
    """SizeOfImage of a PE file's optional header (0 when it is not one)."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
        offset = struct.unpack_from("<I", head, 0x3C)[0]
        return struct.unpack_from("<I", head, offset + 24 + 56)[0]
    except (OSError, struct.error):
        return 0


class CoreReport:
    """The crashed thread of a core file and where each of its frames is.

    verdict: "plug-in" when a frame lies in the plug-in's image; "wine" when
    every frame lies in a Unix library (Wine's or the C library's) or the
    kernel's system-call page; "unknown" otherwise (a frame in Windows code
    outside the plug-in, or none read)."""

    def __init__(self, core, plugin, loader):
        self.core = core
        try:
            self.text = subprocess.run(
                ["gdb", "-batch", "-nx", "-ex", "set pagination off", "-ex", "bt 60",
                 "-ex", "info proc mappings", "-ex", "info threads", "-ex", "thread apply all bt 60",
                 loader, core],
                stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=120).stdout
        except (OSError, subprocess.TimeoutExpired) as e:
            self.text = "gdb could not read %s: %s" % (core, e)  # no frames: "unknown"
        base = None
        for start, _, offset, path in MAPPING.findall(self.text):
            if int(offset, 16) == 0 and os.path.basename(path) == os.path.basename(plugin):
                base = int(start, 16)
        self.plugin_range = (base, base + image_size(plugin)) if base is not None else None
        # The crashed thread's frames (bt): after gdb names the current
        # thread, before the mappings.
        crashed = self.text.partition("[Current thread is")[2].partition("Mapped address spaces")[0]
        self.frames = [(int(address, 16) if address else None, function, library)
                       for _, address, function, library in FRAME.findall(crashed)]
        self.verdict = self.judge()

    def where(self, address, function, library):
        if address is not None and self.plugin_range and \
                self.plugin_range[0] <= address < self.plugin_range[1]:
            return "plug-in"
        if library.startswith("/") or function == "__kernel_vsyscall":
            return "unix"
        return "windows"

    def judge(self):
        places = [self.where(*frame) for frame in self.frames]
        if "plug-in" in places:
            return "plug-in"
        if places and all(p == "unix" for p in places):
            return "wine"
        return "unknown"

    def summary(self):
        """The crashed thread's frames on one line: function and library."""
        return " < ".join("%s%s" % (function, " (%s)" % os.path.basename(library) if library else "")
                          for _, function, library in self.frames) or \
            "no frames read: " + (self.text.strip().splitlines() or ["gdb printed nothing"])[-1]
