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


def build_version(build):
    with open(os.path.join(build, "CMakeCache.txt")) as f:
        return next(line.strip().split("=", 1)[1] for line in f
                    if line.startswith("CMAKE_PROJECT_VERSION:"))


def finish(name):
    print(f"{name}: {len(failures)} failed")
    return 1 if failures else 0


def main(name, check, ending):
    """NAME BUILD_DIR [PACKAGE]: checks PACKAGE with check(package, version), or else the one
    package ending in ending that CPack makes from BUILD_DIR."""
    if len(sys.argv) not in (2, 3):
        print(f"usage: {name} BUILD_DIR [PACKAGE]", file=sys.stderr)
        return 2
    build = os.path.abspath(sys.argv[1])
    version = build_version(build)
    if len(sys.argv) == 3:
        check(os.path.abspath(sys.argv[2]), version)
    else:
        out = os.path.join(build, "package-check")
        shutil.rmtree(out, ignore_errors=True)
        subprocess.run(["cpack", "--config", os.path.join(build, "CPackConfig.cmake"), "-B", out],
                       check=True, stdout=subprocess.DEVNULL)
        made = [f for f in os.listdir(out) if f.endswith(ending)]
        expect(len(made) == 1, f"CPack made one {ending} ({made})")
        if len(made) == 1:
            check(os.path.join(out, made[0]), version)
    return finish(name)
