#!/usr/bin/env python3
"""No code of the plug-in's may run at process exit: checks that nothing built
from plugin/ registers a destructor to run then.

  exit_time_destructors.py nm BUILD_DIR
      Every object file that BUILD_DIR compiled from a source in plugin/ (its
      compile_commands.json), looked at with the build's own nm (CMAKE_NM of
      its CMakeCache.txt: MinGW's for the Windows builds): none may reference
      atexit, _atexit, __cxa_atexit or the like, which is how the compiler
      registers the destructor of a static object.
  exit_time_destructors.py clang ROOT
      Every source of plugin/, the Windows side of the platform facade
      included, compiled for i686-w64-mingw32 as the deliverable is, but by
      clang with -Wexit-time-destructors -Werror (syntax only, with MinGW's
      own headers): a static object with a destructor is named at its line,
      whether or not a compiler would keep its registration.
      Exits 77 when clang or the MinGW compiler is missing.

Prints one line saying what was looked at; names each offending object (or
clang's diagnostic) and exits 1 on a finding.
"""

import concurrent.futures
import glob
import json
import os
import re
import shlex
import shutil
import subprocess
import sys

REGISTRATION = re.compile(r"^_*(?:cxa_)?(?:thread_)?(?:atexit|onexit)$")
MINGW = "i686-w64-mingw32"


def cmake_cache(build_dir, name):
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as cache:
        for line in cache:
            if line.startswith(name + ":"):
                return line.split("=", 1)[1].strip()
    raise SystemExit(f"{name} not found in {build_dir}/CMakeCache.txt")


def plugin_objects(build_dir):
    plugin = os.path.realpath(os.path.join(cmake_cache(build_dir, "CMAKE_HOME_DIRECTORY"), "plugin")) + os.sep
    with open(os.path.join(build_dir, "compile_commands.json"), encoding="utf-8") as commands:
        entries = json.load(commands)
    objects = set()
    for entry in entries:
        source = os.path.realpath(entry["file"])
        if not source.startswith(plugin) or not source.endswith((".c", ".cpp")):
            continue  # not the plug-in's code (the resource script compiles to data)
        words = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
        output = entry.get("output") or words[words.index("-o") + 1]
        objects.add(os.path.normpath(os.path.join(entry["directory"], output)))
    return sorted(objects)


def check_nm(build_dir):
    nm = cmake_cache(build_dir, "CMAKE_NM")
    objects = plugin_objects(build_dir)
    if not objects:
        print(f"exit_time_destructors: no object built from plugin/ in {build_dir}")
        return 1
    findings = []
    for obj in objects:
        if not os.path.exists(obj):
            findings.append(f"{obj}: not built")
            continue
        listing = subprocess.run([nm, "--undefined-only", obj], check=True, capture_output=True, text=True).stdout
        for line in listing.splitlines():
            symbol = line.split()[-1] if line.split() else ""
            if REGISTRATION.match(symbol):
                findings.append(f"{os.path.relpath(obj, build_dir)}: references {symbol} (an exit-time destructor)")
    for finding in findings:
        print(finding)
    print(f"exit_time_destructors: {len(objects)} object files built from plugin/ in {os.path.basename(build_dir)} "
          f"({os.path.basename(nm)}): {len(findings)} registering an exit-time destructor")
    return 1 if findings else 0


def mingw_cxx_includes():
    """The C++ and system include folders of MinGW's g++, as it searches them."""
    probe = subprocess.run([f"{MINGW}-g++", "-E", "-x", "c++", "-", "-v"], input="", capture_output=True, text=True)
    lines = probe.stderr.splitlines()
    start = lines.index("#include <...> search starts here:") + 1
    end = lines.index("End of search list.")
    return [line.strip() for line in lines[start:end]]


def check_clang(root):
    clang = shutil.which("clang++")
    if clang is None or shutil.which(f"{MINGW}-g++") is None:
        print("exit_time_destructors_clang: NOT RUN: clang++ or the MinGW compiler is missing")
        return 77
    flags = [f"--target={MINGW}", "-std=c++20", "-fsyntax-only", "-Wexit-time-destructors", "-Werror",
             "-DUNICODE", "-D_UNICODE", "-DWIN32_LEAN_AND_MEAN", "-DNOMINMAX", "-D_WIN32_WINNT=0x0500",
             "-nostdinc++", "-nostdlibinc", "-I", root, "-I", os.path.join(root, "plugin")]
    for folder in mingw_cxx_includes():
        flags += ["-isystem", folder]
    sources = sorted(glob.glob(os.path.join(root, "plugin", "**", "*.cpp"), recursive=True))

    def compile_one(source):
        return source, subprocess.run([clang, *flags, source], capture_output=True, text=True)

    failed = 0
    with concurrent.futures.ThreadPoolExecutor(os.cpu_count() or 1) as pool:
        for source, run in pool.map(compile_one, sources):
            if run.returncode != 0:
                failed += 1
                print(f"{os.path.relpath(source, root)}:\n{run.stderr}")
    print(f"exit_time_destructors_clang: {len(sources)} sources of plugin/ "
          f"(clang++ --target={MINGW} -Wexit-time-destructors -Werror): {failed} failed")
    return 1 if failed or not sources else 0


def main(argv):
    if len(argv) == 3 and argv[1] == "nm":
        return check_nm(os.path.abspath(argv[2]))
    if len(argv) == 3 and argv[1] == "clang":
        return check_clang(os.path.abspath(argv[2]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
