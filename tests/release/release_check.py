"""What the release checks share: checks printed as they go, the build's version, and the
package that CPack makes from a build."""
import os
import shutil
import subprocess
import sys

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
failures = []


def expect(ok, what):
    print(("ok    " if ok else "FAIL  ") + what, flush=True)
    if not ok:
        failures.append(what)


def finish(name):
    print(f"{name}: {len(failures)} failed")
    return 1 if failures else 0


def cpack(ending):
    """The maker of the one package ending in ending that CPack makes from a build."""
    def make(build, _version):
        out = os.path.join(build, "package-check")
        shutil.rmtree(out, ignore_errors=True)
        subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                       check=True, stdout=subprocess.DEVNULL)
        made = [f for f in os.listdir(out) if f.endswith(ending)]
        expect(len(made) == 1, f"CPack made one {ending} ({made})")
        return os.path.join(out, made[0]) if len(made) == 1 else None
    return make


def main(name, check, make):
    """NAME BUILD_DIR [PACKAGE]: check(package, version, build) of PACKAGE, or else of the
    package that make(build, version) makes from BUILD_DIR (None: it made none)."""
    if len(sys.argv) not in (2, 3):
        print(f"usage: {name} BUILD_DIR [PACKAGE]", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        version = next(line.strip().split("=", 1)[1] for line in f
                       if line.startswith("CMAKE_PROJECT_VERSION:"))
    package = os.path.abspath(sys.argv[2]) if len(sys.argv) == 3 else make(build, version)
    if package:
        check(package, version, build)
    return finish(name)
