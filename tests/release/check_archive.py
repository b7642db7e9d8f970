#!/usr/bin/env python3
"""Checks the Windows release archive: exactly kvxutil.exe, kvxctl.exe, README.md and LICENSE in
one folder named as the archive; the texts as in the source tree; both programs 64-bit Windows
executables (a GUI and a console program) without debug sections that need no DLL beyond
Windows' own, whose version resources carry the build's version; kvxctl.exe runs from the
unpacked folder alone.

    check_archive.py BUILD_DIR [ARCHIVE.zip]  check the archive (default: make one with CPack
                                              from the Windows build BUILD_DIR)
"""
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import zipfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
OBJDUMP = "x86_64-w64-mingw32-objdump"
# DLLs that every Windows has; anything else would have to be shipped.
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "comdlg32.dll",
               "wsock32.dll", "iphlpapi.dll", "msvcrt.dll", "advapi32.dll", "shell32.dll",
               "ws2_32.dll"}
SUBSYSTEMS = {"kvxutil.exe": 2, "kvxctl.exe": 3}  # Windows GUI, Windows console

failures = []


def expect(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def pe_header(data):
    """(machine, optional header magic, subsystem) of a PE file, or None."""
    if len(data) < 64 or data[:2] != b"MZ":
        return None
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        return None
    machine = struct.unpack_from("<H", data, pe + 4)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    subsystem = struct.unpack_from("<H", data, optional + 68)[0]
    return machine, magic, subsystem


def objdump(path, option):
    return subprocess.run([OBJDUMP, option, path], capture_output=True, text=True,
                          check=True).stdout


def build_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.strip().split("=", 1)[1]
    raise SystemExit("check_archive: no project version in the build's CMakeCache.txt")


def version_resource(data):
    """(file version from VS_FIXEDFILEINFO as "major.minor", FileVersion and ProductVersion
    strings) of a PE file's version resource."""
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    if fixed < 0:
        return None
    major_minor = struct.unpack_from("<I", data, fixed + 8)[0]
    strings = []
    for key in ("FileVersion", "ProductVersion"):
        # A String block: its UTF-16 key, padding to 32 bits, then the UTF-16 value.
        found = re.search((key + "\0").encode("utf-16-le") + b"(?:\0\0)?((?:[^\0]\0)+)\0\0",
                          data)
        strings.append(found.group(1).decode("utf-16-le") if found else None)
    return (f"{major_minor >> 16}.{major_minor & 0xFFFF}", *strings)


def check_program(name, path, version):
    with open(path, "rb") as f:
        header = pe_header(f.read(4096))
    expect(header is not None and header[:2] == (0x8664, 0x20B),
           f"{name} is a 64-bit Windows executable")
    expect(header is not None and header[2] == SUBSYSTEMS[name],
           f"{name} is a {'GUI' if SUBSYSTEMS[name] == 2 else 'console'} program")
    dlls = {line.split(":", 1)[1].strip().lower()
            for line in objdump(path, "-p").splitlines() if "DLL Name:" in line}
    expect(dlls and dlls <= SYSTEM_DLLS, f"{name} needs only Windows' DLLs ({sorted(dlls)})")
    expect(".debug_" not in objdump(path, "-h"), f"{name} is stripped")
    with open(path, "rb") as f:
        found = version_resource(f.read())
    expect(found == (version, version, version),
           f"{name}'s version resource says {version} ({found})")


def check(archive, version):
    folder = os.path.basename(archive)[:-len(".zip")]
    expect(folder == f"kvx-{version}-win64", f"the archive is named kvx-{version}-win64.zip "
                                             f"({os.path.basename(archive)})")
    wanted = {f"{folder}/{n}" for n in ("kvxutil.exe", "kvxctl.exe", "README.md", "LICENSE")}
    with zipfile.ZipFile(archive) as z:
        names = {n for n in z.namelist() if not n.endswith("/")}
        expect(names == wanted, f"the archive holds exactly {sorted(wanted)} (it holds "
                                f"{sorted(names)})")
        unpacked = tempfile.mkdtemp(prefix="kvx-release-")
        try:
            z.extractall(unpacked)
            for text in ("README.md", "LICENSE"):
                with open(os.path.join(ROOT, text), "rb") as f:
                    source = f.read()
                path = os.path.join(unpacked, folder, text)
                expect(os.path.exists(path) and open(path, "rb").read() == source,
                       f"{text} is the source tree's")
            for program in SUBSYSTEMS:
                path = os.path.join(unpacked, folder, program)
                if os.path.exists(path):
                    check_program(program, path, version)
            run_alone(os.path.join(unpacked, folder, "kvxctl.exe"))
        finally:
            shutil.rmtree(unpacked)


def run_alone(path):
    """kvxctl.exe --help from the unpacked folder: it finds everything it needs there."""
    if not os.path.exists(path):
        return
    done = subprocess.run([os.path.join(ROOT, "scripts", "wine-exec"), path, "--help"],
                          capture_output=True, text=True, timeout=300,
                          cwd=os.path.dirname(path))
    expect(done.returncode == 0 and "discover" in done.stdout,
           f"kvxctl.exe --help runs from the unpacked folder (status {done.returncode})")


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    version = build_version(build)
    if len(sys.argv) == 3:
        check(os.path.abspath(sys.argv[2]), version)
    else:
        out = os.path.join(build, "release-check")
        shutil.rmtree(out, ignore_errors=True)
        subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"),
                        "-B", out], check=True, stdout=subprocess.DEVNULL)
        archives = [f for f in os.listdir(out) if f.endswith(".zip")]
        expect(len(archives) == 1, f"CPack made one archive ({archives})")
        if len(archives) == 1:
            check(os.path.join(out, archives[0]), version)
    print(f"check_archive: {len(failures)} failed")
    return 1 if failures else 0


sys.exit(main())
