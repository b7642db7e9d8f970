#!/usr/bin/env python3
"""Checks the Debian package of a native build: its name, fields and files, lintian, and the
programs, man page and completion unpacked into a scratch folder (never installed).

    check_deb.py BUILD_DIR [PACKAGE.deb]   check the package (default: make one from BUILD_DIR)
"""
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from release_check import ROOT, cpack, expect, main  # noqa: E402

FILES = {"usr/bin/kvxctl", "usr/bin/kvxphone", "usr/share/man/man1/kvxctl.1.gz",
         "usr/share/man/man1/kvxphone.1.gz", "usr/share/bash-completion/completions/kvxctl",
         "usr/share/doc/kvx-tools/README.md", "usr/share/doc/kvx-tools/copyright",
         "usr/share/doc/kvx-tools/changelog.gz"}


def run(*command, isolated=False, env=None):
    """Our programs start only inside a namespace with nothing but loopback."""
    prefix = [os.path.join(ROOT, "scripts", "netns-isolated")] if isolated else []
    return subprocess.run(prefix + list(command), capture_output=True, text=True, timeout=300,
                          env=env)


def check_unpacked(tree, version):
    bin_dir = os.path.join(tree, "usr", "bin")
    for program in ("kvxctl", "kvxphone"):
        done = run(os.path.join(bin_dir, program), "--version", isolated=True)
        expect(done.returncode == 0 and done.stdout.strip() == f"{program} {version}",
               f"unpacked {program} --version says {program} {version} ({done.stdout.strip()!r})")
    done = run(os.path.join(bin_dir, "kvxphone"), "--help", isolated=True)
    expect(done.returncode == 0 and done.stdout.startswith("Usage: kvxphone"),
           f"unpacked kvxphone --help (status {done.returncode})")

    listed = run(os.path.join(bin_dir, "kvxctl"), "--help", isolated=True).stdout
    commands = [line.split()[0] for line in listed.split("Commands:\n", 1)[-1].split("\n\n")[0]
                .splitlines() if line.startswith("  ") and line.split()[0] != "help"]
    page = run("zcat", os.path.join(tree, "usr/share/man/man1/kvxctl.1.gz")).stdout
    missing = [c for c in commands if f".SS {c}\n" not in page]
    expect(commands and not missing,
           f"kvxctl's man page has a section for each command of its --help (missing {missing})")

    # Completion as Bash runs it on Tab, with the unpacked kvxctl first on the path.
    script = ('source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kvxctl; '
              'printf "%s\\n" "${COMPREPLY[@]}"')
    env = dict(os.environ, PATH=bin_dir + os.pathsep + os.environ["PATH"])
    completion = os.path.join(tree, "usr/share/bash-completion/completions/kvxctl")
    for words, wanted in ((["kvxctl", ""], set(commands) | {"help", "--help", "--version"}),
                          (["kvxctl", "stations", ""], {"get", "put"}),
                          (["kvxctl", "misc", "--r"], {"--radio", "--ringer"})):
        offered = set(run("bash", "-c", script, "-", completion, *words, isolated=True,
                          env=env).stdout.split())
        expect(wanted <= offered and all(w.startswith(words[-1]) for w in offered),
               f"completing {' '.join(words)!r} offers {sorted(wanted)} ({sorted(offered)})")


def check(package, version, _build):
    expect(os.path.basename(package) == f"kvx-tools_{version}_amd64.deb",
           f"the package is named kvx-tools_{version}_amd64.deb ({os.path.basename(package)})")
    fields = {f: run("dpkg-deb", "-f", package, f).stdout.strip()
              for f in ("Package", "Version", "Architecture")}
    expect(fields == {"Package": "kvx-tools", "Version": version, "Architecture": "amd64"},
           f"control fields {fields}")
    lintian = run("lintian", package)
    print(lintian.stdout, end="")
    expect(lintian.returncode == 0, "lintian reports no error")  # it fails on an error
    with tempfile.TemporaryDirectory(prefix="kvx-deb-") as tree:
        expect(run("dpkg-deb", "-x", package, tree).returncode == 0, "dpkg-deb -x unpacks it")
        files = {os.path.relpath(os.path.join(d, f), tree)
                 for d, _, names in os.walk(tree) for f in names}
        expect(files == FILES, f"it holds exactly {sorted(FILES)} (it holds {sorted(files)})")
        check_unpacked(tree, version)


sys.exit(main("check_deb", check, cpack(".deb")))
