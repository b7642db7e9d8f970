#!/usr/bin/env python3
"""Checks the Windows release archive: its files, and programs that need only Windows' DLLs and
carry the build's version (check_msi runs them).

    check_archive.py BUILD_DIR [ARCHIVE.zip]  check the archive (default: make one with CPack
                                              from the Windows build BUILD_DIR)
"""
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from release_check import ROOT, cpack, expect, main  # noqa: E402

# DLLs that every Windows has; anything else would have to be shipped.
SYSTEM_DLLS = {f"{n}.dll" for n in ("kernel32 user32 gdi32 comctl32 comdlg32 wsock32 iphlpapi "
                                     "msvcrt advapi32 shell32 ws2_32").split()}
SUBSYSTEMS = {"kvxutil.exe": "00000002\t(Windows GUI)", "kvxctl.exe": "00000003\t(Windows CUI)"}


def objdump(path, option):
    return subprocess.run(["x86_64-w64-mingw32-objdump", option, path], capture_output=True,
                          text=True, check=True).stdout


def version_resource(data):
    """The file version of a PE file's VS_FIXEDFILEINFO ("major.minor"), then its FileVersion
    and ProductVersion strings."""
    fixed = data.find(struct.pack("<I", 0xFEEF04BD))
    major_minor = struct.unpack_from("<I", data, fixed + 8)[0] if fixed >= 0 else 0
    found = [f"{major_minor >> 16}.{major_minor & 0xFFFF}"]
    for key in ("FileVersion", "ProductVersion"):
        # A String block: its UTF-16 key, padding to 32 bits, then the UTF-16 value.
        value = re.search((key + "\0").encode("utf-16-le") + b"(?:\0\0)?((?:[^\0]\0)+)\0\0", data)
        found.append(value.group(1).decode("utf-16-le") if value else None)
    return found


def check_program(name, path, version):
    header = objdump(path, "-p")
    expect("file format pei-x86-64" in header and re.search(r"Magic\s+020b", header),
           f"{name} is a 64-bit Windows executable")
    expect("Subsystem\t\t" + SUBSYSTEMS[name] in header, f"{name}'s subsystem: {SUBSYSTEMS[name]}")
    dlls = {line.split(":", 1)[1].strip().lower()
            for line in header.splitlines() if "DLL Name:" in line}
    expect(dlls and dlls <= SYSTEM_DLLS, f"{name} needs only Windows' DLLs ({sorted(dlls)})")
    expect(".debug_" not in objdump(path, "-h"), f"{name} is stripped")
    found = version_resource(open(path, "rb").read())
    expect(found == [version] * 3, f"{name}'s version resource says {version} ({found})")


def check(archive, version, _build):
    folder = os.path.basename(archive)[:-len(".zip")]
    expect(folder == f"kvx-{version}-win64", f"the archive is named kvx-{version}-win64.zip "
                                             f"({os.path.basename(archive)})")
    wanted = {f"{folder}/{n}" for n in ("kvxutil.exe", "kvxctl.exe", "README.md", "LICENSE")}
    with tempfile.TemporaryDirectory(prefix="kvx-release-") as unpacked, \
            zipfile.ZipFile(archive) as z:
        names = {n for n in z.namelist() if not n.endswith("/")}
        z.extractall(unpacked)
        expect(names == wanted, f"the archive holds exactly {sorted(wanted)} ({sorted(names)})")
        for text in ("README.md", "LICENSE"):
            path = os.path.join(unpacked, folder, text)
            expect(os.path.exists(path) and open(path, "rb").read() ==
                   open(os.path.join(ROOT, text), "rb").read(), f"{text} is the source tree's")
        for program in SUBSYSTEMS:
            path = os.path.join(unpacked, folder, program)
            if os.path.exists(path):
                check_program(program, path, version)


sys.exit(main("check_archive", check, cpack(".zip")))
