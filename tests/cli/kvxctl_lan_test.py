#!/usr/bin/env python3
"""kvxctl against simulated telephones: each scenario builds a test LAN with scripts/testlan,
runs kvxctl in it (natively, or the Windows build under Wine with --wine), and checks its
output, its exit status and the phones' settings. Writes a GoogleTest-style XML report.

    kvxctl_lan_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import argparse
import os
import socket
import subprocess
import sys
import time
import xml.etree.ElementTree as ET

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
TESTLAN = os.path.join(ROOT, "scripts", "testlan")


class Lan:
    """What a scenario sees from inside the LAN."""

    def __init__(self, kvxctl, wine):
        self.command = (["wine"] if wine else []) + [kvxctl]
        self.state = os.environ["KVX_LAN_STATE"]
        self.failures = []
        self.check_name = None

    def run(self, *args):
        done = subprocess.run(self.command + list(args), capture_output=True, text=True,
                              timeout=120)
        # The Windows build writes CR LF.
        return (done.returncode, done.stdout.replace("\r", "").splitlines(),
                done.stderr.replace("\r", ""))

    def start(self, *args):
        return subprocess.Popen(self.command + list(args), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)

    def settings(self, ip):
        values = {}
        with open(os.path.join(self.state, ip, "settings.txt")) as f:
            for line in f:
                line = line.strip()
                if line and not line.startswith("#") and "=" in line:
                    key, value = line.split("=", 1)
                    values[key] = value
        return values

    def check(self, name):
        self.check_name = name
        print(f"[ RUN      ] {name}", flush=True)

    def expect(self, what, got, wanted):
        if got != wanted:
            self.failures.append((self.check_name, f"{what}: got {got!r}, wanted {wanted!r}"))
            print(f"  FAILED {what}: got {got!r}, wanted {wanted!r}", flush=True)

    def expect_in(self, what, part, whole):
        if part not in whole:
            self.failures.append((self.check_name, f"{what}: {part!r} not in {whole!r}"))
            print(f"  FAILED {what}: {part!r} not in {whole!r}", flush=True)


def wait_for_channel(seconds=60):
    """Until some socket of this namespace holds UDP port 10000 (0x2710)."""
    end = time.time() + seconds
    while time.time() < end:
        with open("/proc/net/udp") as f:
            if any(line.split()[1].endswith(":2710") for line in list(f)[1:]):
                return True
        time.sleep(0.01)
    return False


# ---------------------------------------------------------------- scenarios, run inside a LAN
# Each is (testlan options, checks); the checks' names are the report's test cases.

def discovery_of_our_model_only(lan):
    lan.check("DiscoveryListsOurModelAndIgnoresOtherModelsAndRepliesWithoutVersion")
    status, out, _ = lan.run("discover")
    lan.expect("exit status", status, 0)
    lan.expect("addresses", out, ["192.168.77.10", "192.168.77.11", "192.168.77.12"])
    lan.check("DiscoveryPrintsJson")
    status, out, _ = lan.run("discover", "--json", "--wait", "1000")
    lan.expect("exit status", status, 0)
    lan.expect("json", out,
               ['{"devices": ["192.168.77.10", "192.168.77.11", "192.168.77.12"]}'])


def discovery_of_a_hundred(lan):
    lan.check("DiscoveryOfAHundredPhonesListsEachOnceInTextOrder")
    status, out, _ = lan.run("discover", "--wait", "3000")
    lan.expect("exit status", status, 0)
    lan.expect("addresses", out, sorted(f"192.168.77.{10 + i}" for i in range(100)))


# kvxphone hears only the limited broadcast, which leaves by the default route's interface (c0)
# alone. On segment 2 this stand-in hears the subnet's directed broadcast and answers it for the
# two phones there, from their addresses; commands then go to the real phones.
STAND_IN = r"""
import socket, sys
ear = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
ear.bind(("192.168.78.255", 9999))
print("ready", flush=True)
while True:
    data, sender = ear.recvfrom(4096)
    if data != b"?":
        continue
    for phone in ("192.168.78.10", "192.168.78.11"):
        mouth = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        mouth.bind((phone, 0))
        mouth.sendto(b"?\r\ndevice KVX-350RT\r\nversion 1.0\r\n", sender)
        mouth.close()
"""


def discovery_of_two_segments(lan):
    stand_in = subprocess.Popen(["ip", "netns", "exec", os.environ["KVX_LAN_NS"] + "-s2",
                                 sys.executable, "-c", STAND_IN], stdout=subprocess.PIPE,
                                text=True)
    try:
        stand_in.stdout.readline()
        lan.check("DiscoveryReachesPhonesBehindEveryInterface")
        status, out, _ = lan.run("discover")
        lan.expect("exit status", status, 0)
        lan.expect("addresses", out,
                   ["192.168.77.10", "192.168.77.11", "192.168.78.10", "192.168.78.11"])
        lan.check("CommandsReachPhonesOnBothSegments")
        status, out, _ = lan.run("misc", "--name", "admin", "--password", "admin",
                                 "--ringer", "Tone 3", "--all")
        lan.expect("exit status", status, 0)
        lan.expect("output", out, [f"192.168.{n} --- OK" for n in
                                   ("77.10", "77.11", "78.10", "78.11")])
        lan.expect("ringer of a phone on segment 2",
                   lan.settings("192.168.78.11")["ringer_type"], "2")
    finally:
        stand_in.kill()
        stand_in.wait()


def nobody_answers(lan):
    lan.check("NoPhoneFoundIsAFailure")
    status, out, err = lan.run("discover", "--wait", "500")
    lan.expect("exit status", status, 1)
    lan.expect("output", out, [])
    lan.expect_in("message", "no phone found", err)
    status, out, err = lan.run("admin", "--name", "admin", "--password", "admin",
                               "--new-password", "b2", "--all", "--wait", "500")
    lan.expect("admin --all exit status", status, 1)
    lan.expect_in("admin --all message", "no phone found", err)
    lan.check("AnUnansweredCommandIsReportedAsNoReply")
    status, out, _ = lan.run("misc", "--name", "admin", "--password", "admin",
                             "192.168.77.10", "--wait", "500")
    lan.expect("exit status", status, 1)
    lan.expect("output", out, ["192.168.77.10 --- no reply"])


def credentials(lan):
    untouched = lan.settings("192.168.77.12")
    lan.check("AdminWithWrongCredentialsChangesNothing")
    status, out, _ = lan.run("admin", "--name", "admin", "--password", "wrong",
                             "--new-password", "secret1", "--all")
    lan.expect("exit status", status, 1)
    lan.expect("output", out, [f"192.168.77.{n} --- DENIED" for n in (10, 11, 12)])
    lan.expect("password", lan.settings("192.168.77.10")["admin_password"], "admin")

    lan.check("AdminWithRightCredentialsChangesTheGivenPhones")
    status, out, _ = lan.run("admin", "--name", "admin", "--password", "admin",
                             "--new-name", "boss", "--new-password", "secret1",
                             "192.168.77.11", "192.168.77.10", "192.168.77.11")
    lan.expect("exit status", status, 0)
    lan.expect("output", out, ["192.168.77.10 --- OK", "192.168.77.11 --- OK"])
    for ip in ("192.168.77.10", "192.168.77.11"):
        s = lan.settings(ip)
        lan.expect(f"{ip} name", s["admin_name"], "boss")
        lan.expect(f"{ip} password", s["admin_password"], "secret1")
    lan.expect("untouched phone", lan.settings("192.168.77.12"), untouched)

    lan.check("AdminFieldsAreCheckedBeforeAnythingIsSent")
    status, _, err = lan.run("admin", "--name", "boss", "--password", "secret1",
                             "--new-password", "new1", "--confirm", "New1", "192.168.77.10")
    lan.expect("exit status", status, 2)
    lan.expect_in("message", "Incorrect Administrator Password.", err)
    status, _, err = lan.run("admin", "--name", "boss", "--password", "secret1",
                             "--new-password", "new_1", "192.168.77.10")
    lan.expect("exit status", status, 2)
    lan.expect_in("message", "Name and Password only accepts A~Z, a~z, 0~9.", err)
    lan.expect("password", lan.settings("192.168.77.10")["admin_password"], "secret1")

    lan.check("MiscChangesThePhonesWhoseCredentialsMatch")
    status, out, _ = lan.run("misc", "--name", "boss", "--password", "secret1",
                             "--ringer", "MP3_Ring 9", "--hold", "mp3 hold", "--banner", "enable",
                             "--radio", "Disable", "--all")
    lan.expect("exit status", status, 1)
    lan.expect("output", out, ["192.168.77.10 --- OK", "192.168.77.11 --- OK",
                               "192.168.77.12 --- DENIED"])
    s = lan.settings("192.168.77.10")
    lan.expect("settings", [s["ringer_type"], s["hold_tone"], s["banner"], s["internet_radio"]],
               ["8", "2", "1", "0"])
    lan.expect("untouched phone", lan.settings("192.168.77.12"), untouched)

    lan.check("MiscWithoutChoicesSendsTheInitialOnes")
    status, out, _ = lan.run("misc", "--name", "admin", "--password", "admin",
                             "192.168.77.12")
    lan.expect("exit status", status, 0)
    lan.expect("output", out, ["192.168.77.12 --- OK"])
    s = lan.settings("192.168.77.12")
    lan.expect("settings", [s["ringer_type"], s["hold_tone"], s["banner"], s["internet_radio"]],
               ["0", "0", "0", "1"])


def bad_datagrams(lan):
    lan.check("DiscoveryGoesOnAfterAnOversizedAndAnEmptyDatagram")
    running = lan.start("discover", "--wait", "4000")
    lan.expect("port 10000 held", wait_for_channel(), True)
    # The phones answer 1.5 s late: these arrive first.
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.sendto(b"?\r\ndevice KVX-350RT\r\nversion 1\r\n" + b"x" * 3000, ("127.0.0.1", 10000))
    s.sendto(b"", ("127.0.0.1", 10000))
    s.close()
    out, _ = running.communicate(timeout=120)
    lan.expect("exit status", running.returncode, 0)
    lan.expect("addresses", out.replace("\r", "").splitlines(),
               ["192.168.77.10", "192.168.77.11"])

    lan.check("CommandsGoOnAfterOneToAnAddressWhereNothingListens")
    # 192.168.77.1 is this machine itself, where nothing listens on port 9999: the command is
    # answered by an ICMP port unreachable, which Windows reports on the channel's socket.
    status, out, _ = lan.run("admin", "--name", "admin", "--password", "admin",
                             "--new-password", "b2", "192.168.77.1", "192.168.77.10",
                             "--wait", "4000")
    lan.expect("exit status", status, 1)
    lan.expect("output", out, ["192.168.77.1 --- no reply", "192.168.77.10 --- OK"])
    lan.expect("password", lan.settings("192.168.77.10")["admin_password"], "b2")


def port_taken(lan):
    lan.check("APortInUseIsReported")
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind(("0.0.0.0", 10000))
    status, out, err = lan.run("discover")
    holder.close()
    lan.expect("exit status", status, 3)
    lan.expect("output", out, [])
    lan.expect_in("message", "port 10000 is in use", err)


SCENARIOS = {
    "our_model": (["--phones", "5", "--fault", "192.168.77.13=model=KVX-351",
                   "--fault", "192.168.77.14=no-version"], discovery_of_our_model_only),
    "hundred": (["--phones", "100"], discovery_of_a_hundred),
    "two_segments": (["--phones", "2", "--phones2", "2"], discovery_of_two_segments),
    "silent": (["--phones", "1", "--faults", "silent"], nobody_answers),
    "credentials": (["--phones", "3"], credentials),
    "bad_datagrams": (["--phones", "2", "--faults", "delay=1500"], bad_datagrams),
    "port_taken": (["--phones", "1"], port_taken),
}


# ---------------------------------------------------------------- outside: one LAN per scenario

def run_scenario(name, kvxctl, wine, kvxphone):
    options, _ = SCENARIOS[name]
    command = [TESTLAN] + options + (["--wine"] if wine else []) + (
        ["--kvxphone", kvxphone] if kvxphone else []) + [
        "--", sys.executable, os.path.abspath(__file__), "--inside", name, "--kvxctl", kvxctl
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--kvxctl", required=True)
    parser.add_argument("--wine", action="store_true")
    parser.add_argument("--kvxphone")
    parser.add_argument("--report")
    parser.add_argument("--inside")
    parser.add_argument("scenarios", nargs="*")
    args = parser.parse_args()
    kvxctl = os.path.abspath(args.kvxctl)

    if args.inside:
        if not os.environ.get("KVX_LAN_NS"):
            print("kvxctl_lan_test: --inside runs only on a test LAN", file=sys.stderr)
            return 2
        lan = Lan(kvxctl, args.wine)
        SCENARIOS[args.inside][1](lan)
        return 1 if lan.failures else 0

    suite = ET.Element("testsuite", name="KvxctlLan")
    total = failed = 0
    for name in args.scenarios or SCENARIOS:
        checks, failures = run_scenario(name, kvxctl, args.wine, args.kvxphone)
        for check in checks:
            case = ET.SubElement(suite, "testcase", name=check, classname="KvxctlLan")
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
    print(f"kvxctl_lan_test: {total - failed} of {total} checks passed")
    return 1 if failed else 0


sys.exit(main())
