#!/usr/bin/python3
"""Inspection of the 32-bit deliverable as a file: what it exports, imports and carries.

Usage: inspect_fmx.py FMX SOURCE_ROOT [PROGRAM ...]

Checks that FMX is a PE32 DLL for i386 whose only export is FMExternCallProc
(undecorated), whose imports are FM_* operations of FMWrapper.dll (each one our
host exports, hostsdk/FMWrapper.def) and functions of Windows system DLLs only
(no MinGW runtime DLL), each of them a function that Windows 2000 provides
(tests/win32/windows2000_functions.txt), whose header asks for Windows 2000
(subsystem and operating system 5.0) at most, whose string table holds every
entry of plugin/resources/string_table.inc text for text in English (United
States), whose version resource says 3.0.4.3 for file and product version, and
which carries no time stamp (every one the file has room for is 0: the same
source then gives the same bytes, whenever it is built).
Each PROGRAM (Vorelle Check and our runtime FMWrapper.dll, which ship beside
it) is checked as far as loading goes: PE32 for i386, Windows' own DLLs (and
our runtime) only, each function in Windows 2000, header 5.0 at most, no time
stamp.
Prints one line per check and closes with "N passed, N failed"; exit status 1
when any failed.
"""

import os
import re
import sys

import pefile  # Debian's python3-pefile

VERSION = "3.0.4.3"
LANG_EN_US = 0x0409
HOST_DLL = "fmwrapper.dll"
# Windows' own DLLs (msvcrt.dll is the system C runtime MinGW builds on).
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "advapi32.dll", "winspool.drv", "gdi32.dll",
               "msvcrt.dll", "ntdll.dll", "comdlg32.dll", "shell32.dll", "ole32.dll", "version.dll"}
MINGW_RUNTIME = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread|libssp|libatomic)", re.I)
# Windows 2000: what the header may ask for at most, and the functions of
# Windows' DLLs that the deliverable may import.
OLDEST_WINDOWS = (5, 0)
WINDOWS2000_FUNCTIONS = os.path.join("tests", "win32", "windows2000_functions.txt")

C_ESCAPES = {"\\": "\\", '"': '"', "n": "\n", "t": "\t", "r": "\r", "0": "\0", "'": "'"}


def unescape(literal, where):
    out = []
    i = 0
    while i < len(literal):
        c = literal[i]
        if c != "\\":
            out.append(c)
            i += 1
            continue
        nxt = literal[i + 1]
        if nxt == "x":
            digits = re.match(r"[0-9a-fA-F]+", literal[i + 2:]).group(0)
            out.append(chr(int(digits, 16)))
            i += 2 + len(digits)
        elif nxt in C_ESCAPES:
            out.append(C_ESCAPES[nxt])
            i += 2
        else:
            raise ValueError("%s: unknown escape \\%s" % (where, nxt))
    return "".join(out)


def string_table_source(path):
    """{id: text} of plugin/resources/string_table.inc."""
    text = open(path, encoding="utf-8").read()
    entries = {}
    for m in re.finditer(r'VORELLE_STRING\(\s*(\d+)\s*,\s*"((?:[^"\\]|\\.)*)"\s*\)', text):
        ident = int(m.group(1))
        if ident in entries:
            raise ValueError("%s: id %d twice" % (path, ident))
        entries[ident] = unescape(m.group(2), path)
    return entries


def def_exports(path):
    names = set()
    in_exports = False
    for line in open(path, encoding="utf-8"):
        line = line.split(";")[0].strip()
        if not line:
            continue
        word = line.split()[0]
        if word.upper() in ("EXPORTS",):
            in_exports = True
            continue
        if word.upper() in ("LIBRARY", "NAME", "SECTIONS", "HEAPSIZE", "STACKSIZE", "VERSION"):
            in_exports = False
            continue
        if in_exports:
            names.add(word.split("=")[0].split("@")[0])
    return names


def windows2000_functions(path):
    """{dll name in lower case: {function}} of the list, one "DLL FUNCTION
    VERSION" a line, # comments."""
    functions = {}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        words = line.split("#")[0].split()
        if not words:
            continue
        if len(words) != 3:
            raise ValueError("%s:%d: expected DLL, function, version" % (path, number))
        functions.setdefault(words[0].lower(), set()).add(words[1])
    return functions


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
            print("PASS " + name)
        else:
            self.failed += 1
            print("FAIL %s%s" % (name, ": " + detail if detail else ""))


def text(name):
    return name.decode("ascii", "replace") if isinstance(name, bytes) else name


def imports_by_dll(image):
    """{dll name in lower case: [function name or '#ordinal', ...]}."""
    result = {}
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        result[text(entry.dll).lower()] = [
            text(i.name) if i.name is not None else "#%d" % i.ordinal for i in entry.imports]
    return result


def string_table(image):
    """({language of every RT_STRING entry}, {id: text} of the English (United
    States) blocks)."""
    languages, english = set(), {}
    resources = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    for rtype in resources.entries if resources else []:
        if rtype.id != pefile.RESOURCE_TYPE["RT_STRING"]:
            continue
        for block in rtype.directory.entries:
            block_languages = {lang.id for lang in block.directory.entries}
            languages |= block_languages
            if LANG_EN_US in block_languages:
                english.update(getattr(block.directory, "strings", {}))
    return languages, english


def version(image):
    """(file version, product version, {string name: value}); None when the
    image has no version resource."""
    fixed = getattr(image, "VS_FIXEDFILEINFO", None)
    if not fixed:
        return None

    def dotted(ms, ls):
        return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)

    strings = {}
    for info in getattr(image, "FileInfo", []):
        for block in info:
            if getattr(block, "Key", None) == b"StringFileInfo":
                for table in block.StringTable:
                    strings.update({text(k): text(v) for k, v in table.entries.items()})
    return (dotted(fixed[0].FileVersionMS, fixed[0].FileVersionLS),
            dotted(fixed[0].ProductVersionMS, fixed[0].ProductVersionLS), strings)


def time_stamps(image):
    """[(where, value)] of every time stamp the image has room for: the COFF
    header's, the export, import, delay-load, debug and load-configuration
    directories', each resource directory's, and the version resource's file
    date."""
    stamps = [("COFF header", image.FILE_HEADER.TimeDateStamp)]
    export_directory = getattr(image, "DIRECTORY_ENTRY_EXPORT", None)
    if export_directory:
        stamps.append(("export directory", export_directory.struct.TimeDateStamp))
    for entry in getattr(image, "DIRECTORY_ENTRY_IMPORT", []):
        stamps.append(("import directory of %s" % text(entry.dll), entry.struct.TimeDateStamp))
    for entry in getattr(image, "DIRECTORY_ENTRY_DELAY_IMPORT", []):
        stamps.append(("delay-load directory of %s" % text(entry.dll), entry.struct.dwTimeStamp))
    for number, entry in enumerate(getattr(image, "DIRECTORY_ENTRY_DEBUG", []), 1):
        stamps.append(("debug directory entry %d" % number, entry.struct.TimeDateStamp))
    load_config = getattr(image, "DIRECTORY_ENTRY_LOAD_CONFIG", None)
    if load_config:
        stamps.append(("load-configuration directory", load_config.struct.TimeDateStamp))

    def resource_directories(directory, path):
        stamps.append(("resource directory %s" % path, directory.struct.TimeDateStamp))
        for entry in directory.entries:
            if hasattr(entry, "directory"):
                resource_directories(entry.directory, "%s/%s" % (
                    path.rstrip("/"), text(entry.name) if entry.name is not None else entry.id))

    resources = getattr(image, "DIRECTORY_ENTRY_RESOURCE", None)
    if resources:
        resource_directories(resources, "/")
    for fixed in getattr(image, "VS_FIXEDFILEINFO", []) or []:
        stamps.append(("version resource's file date", fixed.FileDateMS << 32 | fixed.FileDateLS))
    return stamps


def windows_imports(image, imports, root, checks):
    """What every file that ships must be to load on Windows 2000: no MinGW
    runtime DLL, Windows' own DLLs only (`imports` without our runtime), each
    function one that Windows 2000 has, a header that asks for 5.0 at most,
    and no time stamp."""
    runtime = [dll for dll in imports if MINGW_RUNTIME.match(dll)]
    checks.check("no MinGW runtime DLL", not runtime, "imports %r" % runtime)
    other = sorted(dll for dll in imports if dll not in SYSTEM_DLLS)
    checks.check("other imports only from Windows system DLLs", not other, "also %r" % other)
    try:
        allowed = windows2000_functions(os.path.join(root, WINDOWS2000_FUNCTIONS))
    except (OSError, ValueError) as e:
        checks.check("%s readable" % WINDOWS2000_FUNCTIONS, False, str(e))
        allowed = {}
    newer = ["%s!%s" % (dll, name) for dll, names in sorted(imports.items())
             for name in sorted(names) if name not in allowed.get(dll, set())]
    checks.check("every function imported from Windows is in Windows 2000 (%s)" % WINDOWS2000_FUNCTIONS,
                 len(allowed) > 0 and not newer, "not listed: %s" % ", ".join(newer))
    header = image.OPTIONAL_HEADER
    asked = {"subsystem": (header.MajorSubsystemVersion, header.MinorSubsystemVersion),
             "operating system": (header.MajorOperatingSystemVersion,
                                  header.MinorOperatingSystemVersion)}
    checks.check("header asks for Windows %d.%d at most" % OLDEST_WINDOWS,
                 all(version <= OLDEST_WINDOWS for version in asked.values()),
                 ", ".join("%s %d.%d" % (what, *version) for what, version in asked.items()))

    stamped = ["%s 0x%08x" % (where, value) for where, value in time_stamps(image) if value]
    checks.check("no time stamp in the file (each one 0)", not stamped,
                 "stamped: %s" % ", ".join(stamped))


def inspect_shipped_program(path, root, checks):
    """Vorelle Check and our runtime, which ship beside the plug-in: PE32 for
    i386, and loading wherever the plug-in loads (windows_imports); the check
    imports our runtime, FMWrapper.dll, which imports Windows alone."""
    print("inspecting %s" % path)
    try:
        image = pefile.PE(path)
    except (OSError, pefile.PEFormatError) as e:
        checks.check("a PE image", False, str(e))
        return
    checks.check("PE32 for i386", image.OPTIONAL_HEADER.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE and
                 image.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
                 "magic 0x%x, machine 0x%x" % (image.OPTIONAL_HEADER.Magic, image.FILE_HEADER.Machine))
    imports = imports_by_dll(image)
    imports.pop(HOST_DLL, None)
    windows_imports(image, imports, root, checks)


def inspect(fmx, root, checks):
    try:
        image = pefile.PE(fmx)
    except (OSError, pefile.PEFormatError) as e:
        checks.check("a PE image", False, str(e))
        return
    magic = image.OPTIONAL_HEADER.Magic
    checks.check("PE32 (optional header magic 0x10b)", magic == pefile.OPTIONAL_HEADER_MAGIC_PE,
                 "magic 0x%x" % magic)
    machine = image.FILE_HEADER.Machine
    checks.check("machine i386", machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"],
                 "machine 0x%x" % machine)
    checks.check("a DLL", image.is_dll(),
                 "characteristics 0x%x" % image.FILE_HEADER.Characteristics)

    export_directory = getattr(image, "DIRECTORY_ENTRY_EXPORT", None)
    exports = [text(s.name) for s in export_directory.symbols if s.name is not None] \
        if export_directory else []
    checks.check("exports exactly FMExternCallProc", exports == ["FMExternCallProc"],
                 "exports %r" % exports)

    imports = imports_by_dll(image)
    host = imports.pop(HOST_DLL, [])
    checks.check("imports FM_* operations from FMWrapper.dll", len(host) > 0,
                 "no imports from FMWrapper.dll")
    not_fm = [n for n in host if not n.startswith("FM_")]
    checks.check("only FM_* names from FMWrapper.dll", not not_fm, "also %r" % not_fm)
    known = def_exports(os.path.join(root, "hostsdk", "FMWrapper.def"))
    unknown = [n for n in host if n not in known]
    checks.check("every FMWrapper.dll import is exported by the host (FMWrapper.def)",
                 len(known) > 0 and not unknown, "not in FMWrapper.def: %r" % unknown)
    windows_imports(image, imports, root, checks)

    try:
        source = string_table_source(os.path.join(root, "plugin", "resources", "string_table.inc"))
    except (OSError, ValueError) as e:
        checks.check("string table readable", False, str(e))
        source = {}
    languages, english = string_table(image)
    checks.check("string_table.inc has entries", len(source) > 0)
    other_languages = sorted(hex(lang) for lang in languages if lang != LANG_EN_US)
    checks.check("string table in English (United States) only", not other_languages,
                 "languages %r" % other_languages)
    wrong = ["%d: %r, expected %r" % (i, english.get(i), t) for i, t in sorted(source.items())
             if english.get(i) != t]
    checks.check("string table holds every entry of string_table.inc, text for text",
                 not wrong, "; ".join(wrong))
    extra = sorted(set(english) - set(source))
    checks.check("string table holds nothing else", not extra, "extra ids %r" % extra)

    found = version(image)
    if found is None:
        checks.check("version resource present", False)
        return
    file_version, product_version, strings = found
    checks.check("file version %s" % VERSION, file_version == VERSION, file_version)
    checks.check("product version %s" % VERSION, product_version == VERSION, product_version)
    checks.check("version strings say %s" % VERSION,
                 strings.get("FileVersion") == VERSION and
                 strings.get("ProductVersion") == VERSION,
                 "FileVersion %r, ProductVersion %r" % (strings.get("FileVersion"),
                                                       strings.get("ProductVersion")))


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    fmx, root = argv[1], argv[2]
    print("inspecting %s" % fmx)
    checks = Checks()
    inspect(fmx, root, checks)
    for program in argv[3:]:
        inspect_shipped_program(program, root, checks)
    print("%d passed, %d failed" % (checks.passed, checks.failed))
    return 0 if checks.failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
