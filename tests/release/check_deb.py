#!/usr/bin/env python3
"""Checks the Debian package of a native build: named kvx-tools_VERSION_amd64.deb with the
build's version; exactly the programs, man pages, completion and documents; no lintian error;
unpacked into a scratch folder (never installed), its kvxctl and kvxphone run and report the
version, kvxctl's man page has a section for each of its commands and its completion offers
commands, subcommands and options.

    check_deb.py BUILD_DIR [PACKAGE.deb]   check the package (default: make one from BUILD_DIR)
"""
import os
import shutil
import subprocess
import sys
import tempfile

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
ISOLATED = os.path.join(ROOT, "scripts", "netns-isolated")
FILES = {"usr/bin/kvxctl", "usr/bin/kvxphone", "usr/share/man/man1/kvxctl.1.gz",
         "usr/share/man/man1/kvxphone.1.gz", "usr/share/bash-completion/completions/kvxctl",
         "usr/share/doc/kvx-tools/README.md", "usr/share/doc/kvx-tools/copyright",
         "usr/share/doc/kvx-tools/changelog.gz"}

failures = []


def expect(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def build_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        for line in f:
            if line.startswith("CMAKE_PROJECT_VERSION:"):
                return line.strip().split("=", 1)[1]
    raise SystemExit("check_deb: no project version in the build's CMakeCache.txt")


def run(*command, **options):
    return subprocess.run(command, capture_output=True, text=True, timeout=300, **options)


def isolated(*command, env=None):
    """Our programs start only inside a namespace with nothing but loopback."""
    return run(ISOLATED, *command, env=env)


def check_unpacked(tree, version):
    bin_dir = os.path.join(tree, "usr", "bin")
    for program in ("kvxctl", "kvxphone"):
        done = isolated(os.path.join(bin_dir, program), "--version")
        expect(done.returncode == 0 and done.stdout.strip() == f"{program} {version}",
               f"unpacked {program} --version says {program} {version} ({done.stdout.strip()!r})")
    done = isolated(os.path.join(bin_dir, "kvxphone"), "--help")
    expect(done.returncode == 0 and done.stdout.startswith("Usage: kvxphone"),
           f"unpacked kvxphone --help (status {done.returncode})")

    listed = isolated(os.path.join(bin_dir, "kvxctl"), "--help").stdout
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
        offered = set(isolated("bash", "-c", script, "-", completion, *words, env=env)
                      .stdout.split())
        expect(wanted <= offered and all(w.startswith(words[-1]) for w in offered),
               f"completing {' '.join(words)!r} offers {sorted(wanted)} ({sorted(offered)})")


def check(package, version):
    expect(os.path.basename(package) == f"kvx-tools_{version}_amd64.deb",
           f"the package is named kvx-tools_{version}_amd64.deb ({os.path.basename(package)})")
    fields = {f: run("dpkg-deb", "-f", package, f).stdout.strip()
              for f in ("Package", "Version", "Architecture")}
    expect(fields == {"Package": "kvx-tools", "Version": version, "Architecture": "amd64"},
           f"control fields {fields}")
    lintian = run("lintian", package)
    print(lintian.stdout, end="")
    errors = [line for line in lintian.stdout.splitlines() if line.startswith("E:")]
    expect(lintian.returncode == 0 and not errors, f"lintian reports no error ({len(errors)})")
    tree = tempfile.mkdtemp(prefix="kvx-deb-")
    try:
        expect(run("dpkg-deb", "-x", package, tree).returncode == 0, "dpkg-deb -x unpacks it")
        files = {os.path.relpath(os.path.join(d, f), tree)
                 for d, _, names in os.walk(tree) for f in names}
        expect(files == FILES, f"it holds exactly {sorted(FILES)} (it holds {sorted(files)})")
        check_unpacked(tree, version)
    finally:
        shutil.rmtree(tree)


def main():
    if len(sys.argv) not in (2, 3):
        print(__doc__, file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    version = build_version(build)
    if len(sys.argv) == 3:
        check(os.path.abspath(sys.argv[2]), version)
    else:
        out = os.path.join(build, "deb-check")
        shutil.rmtree(out, ignore_errors=True)
        subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                       check=True, stdout=subprocess.DEVNULL)
        packages = [f for f in os.listdir(out) if f.endswith(".deb")]
        expect(len(packages) == 1, f"CPack made one package ({packages})")
        if len(packages) == 1:
            check(os.path.join(out, packages[0]), version)
        shutil.rmtree(out, ignore_errors=True)
    print(f"check_deb: {len(failures)} failed")
    return 1 if failures else 0


sys.exit(main())
