#!/usr/bin/env python3
"""Checks the Windows installer of a Windows build: its name and version, then its install,
upgrade and uninstall under Wine in a fresh prefix.

    check_msi.py BUILD_DIR [MSI]

Without MSI it builds one (the build's target msi). It runs itself inside a private network
namespace on a virtual display, with a wineserver of its own prefix started there.
"""
import glob
import os
import shutil
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from release_check import ROOT, expect, main  # noqa: E402

NAME = "KVX-350RT Utility"
FILES = {"kvxutil.exe", "kvxctl.exe", "README.md", "LICENSE"}
QUIET = dict(stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Wine:
    """A fresh prefix whose wineserver runs in this (private) namespace."""

    def __init__(self):
        self.prefix = tempfile.mkdtemp(prefix="kvx-msi-prefix-")
        self.env = dict(os.environ, WINEPREFIX=self.prefix, WINEDEBUG="-all",
                        WINEDLLOVERRIDES="mscoree,mshtml=")
        subprocess.run(["wineboot", "-i"], env=self.env, timeout=600, **QUIET)
        self.run("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f")
        # Helpers that outlive a program must not hold our pipes open.
        subprocess.run(["wineserver", "-p"], env=self.env, **QUIET)
        subprocess.run(["wine", "cmd", "/c", "exit"], env=self.env, timeout=300, **QUIET)

    def run(self, *words):
        return subprocess.run(["wine", *words], env=self.env, capture_output=True, text=True,
                              timeout=300)

    def products(self):
        """Uninstall entries of ours: {product code}|||name lines of `uninstaller --list`."""
        listed = self.run("uninstaller", "--list").stdout.splitlines()
        return [line.split("|")[0] for line in listed if line.endswith("|" + NAME)]

    def close(self):
        subprocess.run(["wineserver", "-k"], env=self.env, **QUIET)
        shutil.rmtree(self.prefix, ignore_errors=True)


def check_install(build, msi, version):
    staged = os.path.join(build, "msi")
    wine = Wine()
    try:
        newer = os.path.join(wine.prefix, "newer.msi")
        subprocess.run(["wixl", "--arch", "x64", "--define", f"Version={version}.1", "--output",
                        newer, os.path.join(staged, "kvx.wxs")], check=True, **QUIET)
        folder = os.path.join(wine.prefix, "drive_c", "Program Files", NAME)
        done = wine.run("msiexec", "/i", "Z:" + msi.replace("/", "\\"), "/qn")
        expect(done.returncode == 0, f"msiexec /i /qn succeeds (status {done.returncode})")
        present = set(os.listdir(folder)) if os.path.isdir(folder) else set()
        same = {n for n in present & FILES if open(os.path.join(folder, n), "rb").read() ==
                open(os.path.join(staged, n), "rb").read()}
        expect(same == present == FILES, f"Program Files\\{NAME} holds the packaged "
               f"{sorted(FILES)} ({sorted(present)}; the same: {sorted(same)})")
        links = glob.glob(os.path.join(wine.prefix, "drive_c", "**", "Start Menu", "Programs",
                                       f"{NAME}.lnk"), recursive=True)
        link = open(links[0], "rb").read() if len(links) == 1 else b""
        expect(b"kvxutil.exe" in link or "kvxutil.exe".encode("utf-16-le") in link,
               f"a Start-menu shortcut leads to kvxutil.exe ({links})")
        first = wine.products()
        expect(len(first) == 1, f"an uninstall entry for {NAME} ({first})")
        done = wine.run(f"C:\\Program Files\\{NAME}\\kvxctl.exe", "--version")
        expect(done.returncode == 0 and done.stdout.strip() == f"kvxctl {version}",
               f"the installed kvxctl.exe runs ({done.stdout.strip()!r})")

        done = wine.run("msiexec", "/i", "Z:" + newer.replace("/", "\\"), "/qn")
        after = wine.products()
        expect(done.returncode == 0 and len(after) == 1 and after != first,
               f"version {version}.1 replaces {version} ({first} then {after})")

        done = wine.run("msiexec", "/x", "Z:" + newer.replace("/", "\\"), "/qn")
        expect(done.returncode == 0, f"msiexec /x /qn succeeds (status {done.returncode})")
        left = [p for p in [folder] + links if os.path.exists(p)]
        expect(not left, f"uninstalling removes the files and the shortcut (left: {left})")
        expect(not wine.products(), "and the uninstall entry")
    finally:
        wine.close()


def make(build, version):
    subprocess.run(["cmake", "--build", build, "--target", "msi"], check=True,
                   stdout=subprocess.DEVNULL)
    return os.path.join(build, f"kvx-{version}-win64.msi")


def check(msi, version, build):
    expect(os.path.basename(msi) == f"kvx-{version}-win64.msi",
           f"the installer is named kvx-{version}-win64.msi ({os.path.basename(msi)})")
    table = subprocess.run(["msiinfo", "export", msi, "Property"], capture_output=True, text=True,
                           check=True).stdout  # three lines of headers, then the rows
    properties = dict(line.split("\t", 1) for line in table.splitlines()[3:] if "\t" in line)
    expect(properties.get("ProductVersion") == version,
           f"its ProductVersion is {version} ({properties.get('ProductVersion')})")
    check_install(build, msi, version)


if os.environ.get("KVX_MSI_CHECK") != "inside":
    os.environ["KVX_MSI_CHECK"] = "inside"
    wrap = [os.path.join(ROOT, "tests", "ui_e2e", "with-display"),
            os.path.join(ROOT, "scripts", "netns-isolated")]
    os.execv(wrap[0], wrap + [sys.executable] + sys.argv)
sys.exit(main("check_msi", check, make))
