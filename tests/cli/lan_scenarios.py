"""What the kvxctl LAN tests share: each scenario builds a test LAN with scripts/testlan, runs
kvxctl in it (natively, or the Windows build under Wine with --wine), and checks its output,
its exit status and what reached the peers. A script defines its scenarios and calls main():

    SCRIPT --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import argparse
import os
import subprocess
import sys
import xml.etree.ElementTree as ET

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TESTLAN = os.path.join(ROOT, "scripts", "testlan")


class Lan:
    """What a scenario sees from inside the LAN."""

    def __init__(self, kvxctl, wine):
        self.wine = wine
        self.command = (["wine"] if wine else []) + [kvxctl]
        self.state = os.environ["KVX_LAN_STATE"]
        self.namespace = os.environ["KVX_LAN_NS"]
        self.failures = []
        self.check_name = None

    def run(self, *args, cwd=None, prefix=()):
        done = subprocess.run(list(prefix) + self.command + list(args), capture_output=True,
                              text=True, timeout=120, cwd=cwd)
        # The Windows build writes CR LF.
        return (done.returncode, done.stdout.replace("\r", "").splitlines(),
                done.stderr.replace("\r", ""))

    def phone_folder(self, ip):
        return os.path.join(self.state, ip)

    def settings(self, ip):
        values = {}
        with open(os.path.join(self.state, ip, "settings.txt")) as f:
            for line in f:
                line = line.strip()
                if line and not line.startswith("#") and "=" in line:
                    key, value = line.split("=", 1)
                    values[key] = value
        return values

    def events(self, ip):
        with open(os.path.join(self.state, ip, "events.log")) as f:
            return f.read()

    def check(self, name):
        self.check_name = name
        print(f"[ RUN      ] {name}", flush=True)

    def fail(self, text):
        self.failures.append((self.check_name, text))
        print(f"  FAILED {text}", flush=True)

    def expect(self, what, got, wanted):
        if got != wanted:
            self.fail(f"{what}: got {got!r}, wanted {wanted!r}")

    def expect_in(self, what, part, whole):
        if part not in whole:
            self.fail(f"{what}: {part!r} not in {whole!r}")

    def expect_true(self, what, condition):
        if not condition:
            self.fail(what)


# ---------------------------------------------------------------- outside: one LAN per scenario

def run_scenario(script, scenarios, name, kvxctl, wine, kvxphone):
    options, _ = scenarios[name]
    command = [TESTLAN] + options + (["--wine"] if wine else []) + (
        ["--kvxphone", kvxphone] if kvxphone else []) + [
        "--", sys.executable, script, "--inside", name, "--kvxctl", kvxctl
    ] + (["--wine"] if wine else [])
    done = subprocess.run(command, capture_output=True, text=True, timeout=900)
    sys.stdout.write(done.stdout)
    sys.stderr.write(done.stderr)
    checks, failures = [], {}
    for line in done.stdout.splitlines():
        if line.startswith("[ RUN      ] "):
            checks.append(line[13:])
        elif line.startswith("  FAILED ") and checks:
            failures.setdefault(checks[-1], []).append(line[9:])
    if done.returncode != 0 and not failures:
        failures.setdefault(checks[-1] if checks else name, []).append(
            f"the scenario ended with status {done.returncode}")
        if not checks:
            checks.append(name)
    return checks, failures


def main(script, suite_name, scenarios):
    """scenarios: name -> (testlan options, function of a Lan); its checks are the report's
    test cases."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--kvxctl", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--kvxphone")
    parser.add_argument("--report")
    parser.add_argument("--inside")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    kvxctl = os.path.abspath(args.kvxctl)
    script = os.path.abspath(script)

    if args.inside:
        if not os.environ.get("KVX_LAN_NS"):
            print(f"{suite_name}: --inside runs only on a test LAN", file=sys.stderr)
            return 2
        lan = Lan(kvxctl, args.wine)
        scenarios[args.inside][1](lan)
        return 1 if lan.failures else 0

    suite = ET.Element("testsuite", name=suite_name)
    total = failed = 0
    for name in args.scenarios or scenarios:
        checks, failures = run_scenario(script, scenarios, name, kvxctl, args.wine,
                                        args.kvxphone)
        for check in checks:
            case = ET.SubElement(suite, "testcase", name=check, classname=suite_name)
            total += 1
            if check in failures:
                failed += 1
                ET.SubElement(case, "failure", message="; ".join(failures[check]))
    suite.set("tests", str(total))
    suite.set("failures", str(failed))
    if args.report:
        os.makedirs(os.path.dirname(os.path.abspath(args.report)), exist_ok=True)
        root = ET.Element("testsuites")
        root.append(suite)
        ET.ElementTree(root).write(args.report)
    print(f"{suite_name}: {total - failed} of {total} checks passed")
    return 1 if failed else 0
