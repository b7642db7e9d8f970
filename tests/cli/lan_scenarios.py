"""What the kvxctl LAN tests share: each scenario builds a test LAN with scripts/testlan, runs
kvxctl in it (natively, or the Windows build under Wine with --wine) and checks its output, its
exit status and what reached the phones. A script defines its scenarios and calls main(),
which writes a GoogleTest-style XML report of their checks:

    SCRIPT --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET

TESTLAN = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "testlan")


def data(size, seed):
    return random.Random(seed).randbytes(size)


def ok(addresses):
    return {f"{a} --- OK" for a in addresses}


class Lan:
    """What a scenario sees from inside the LAN. kvxctl runs in a scratch folder of its own, so
    that relative paths serve both builds."""

    def __init__(self, kvxctl, wine):
        self.wine = wine
        self.command = (["wine"] if wine else []) + [kvxctl]
        self.state = os.environ["KVX_LAN_STATE"]
        self.failed = False
        self.folder = tempfile.mkdtemp(prefix="kvxctl-lan.")
        os.chmod(self.folder, 0o755)

    def run(self, *args, prefix=()):
        done = subprocess.run([*prefix, *self.command, *args], capture_output=True, text=True,
                              timeout=120, cwd=self.folder)
        # The Windows build writes CR LF.
        return (done.returncode, done.stdout.replace("\r", "").splitlines(),
                done.stderr.replace("\r", ""))

    def outcome(self, what, args, status, lines, message=""):
        """Runs kvxctl and checks its exit status, its output (lines given as a set: in any
        order, since each phone's line comes as it finishes; None: unchecked) and a part of its
        message."""
        got, out, err = self.run(*args)
        self.expect(f"{what}: exit status (stderr {err!r})", got, status)
        if lines is not None:
            self.expect(f"{what}: output", sorted(out) if isinstance(lines, set) else out,
                        sorted(lines) if isinstance(lines, set) else lines)
        self.expect_in(f"{what}: message", message, err)
        return out

    def write(self, name, content):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(content)
        return name

    def read(self, path):
        """The bytes of path (relative to the scratch folder), None if there is no such file."""
        path = os.path.join(self.folder, path)
        return open(path, "rb").read() if os.path.exists(path) else None

    def stored(self, ip, name):
        return self.read(os.path.join(self.state, ip, "files", name))

    def settings(self, ip):
        with open(os.path.join(self.state, ip, "settings.txt")) as f:
            return dict(line.strip().split("=", 1) for line in f if "=" in line
                        and not line.startswith("#"))

    def events(self, ip):
        return open(os.path.join(self.state, ip, "events.log")).read()

    def check(self, name):
        print(f"[ RUN      ] {name}", flush=True)

    def fail(self, text):
        self.failed = True
        print(f"  FAILED {text}", flush=True)

    def expect(self, what, got, wanted):
        if got != wanted:
            self.fail(f"{what}: got {got!r}, wanted {wanted!r}")

    def expect_in(self, what, part, whole):
        if part not in whole:
            self.fail(f"{what}: {part!r} not in {whole!r}")


def main(script, suite_name, scenarios):
    """scenarios: name -> (testlan options, function of a Lan); its checks are the report's
    test cases."""
    parser = argparse.ArgumentParser()
    for option in ("--kvxctl", "--kvxphone", "--report", "--inside"):
        parser.add_argument(option)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    kvxctl = os.path.abspath(args.kvxctl)
    wine = ["--wine"] if args.wine else []
    if args.inside:
        lan = Lan(kvxctl, args.wine)
        try:
            scenarios[args.inside][1](lan)
        finally:
            shutil.rmtree(lan.folder, ignore_errors=True)
        return 1 if lan.failed else 0

    root = ET.Element("testsuites")
    suite = ET.SubElement(root, "testsuite", name=suite_name)
    for name in args.scenarios or scenarios:
        # Each scenario in a LAN of its own.
        done = subprocess.run([TESTLAN, *scenarios[name][0], *wine] + (
            ["--kvxphone", args.kvxphone] if args.kvxphone else []) + [
            "--", sys.executable, os.path.abspath(script), "--inside", name, "--kvxctl", kvxctl,
            *wine], stdout=subprocess.PIPE, text=True, timeout=900)
        sys.stdout.write(done.stdout)
        cases = len(suite)
        for line in done.stdout.splitlines():
            if line.startswith("[ RUN      ] "):
                ET.SubElement(suite, "testcase", name=line[13:], classname=suite_name)
            elif line.startswith("  FAILED ") and len(suite) > cases:
                ET.SubElement(suite[-1], "failure", message=line[9:])
        if done.returncode != 0 and not any(len(case) for case in suite[cases:]):
            if len(suite) == cases:
                ET.SubElement(suite, "testcase", name=name, classname=suite_name)
            ET.SubElement(suite[-1], "failure", message=f"ended with status {done.returncode}")
    failed = sum(1 for case in suite if len(case))
    suite.attrib.update(tests=str(len(suite)), failures=str(failed))
    if args.report:
        os.makedirs(os.path.dirname(os.path.abspath(args.report)), exist_ok=True)
        ET.ElementTree(root).write(args.report)
    print(f"{suite_name}: {len(suite) - failed} of {len(suite)} checks passed")
    return 1 if failed else 0
