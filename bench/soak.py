#!/usr/bin/env python3
"""The fault soak, a benchmark run by scripts/soak. On the private test LAN, simulated phones
(some silent, some losing or doubling packets, some answering with ERROR) get a 100 KB hold
file by Upload to All: once through kvxctl, while other kvxctl runs discover the phones and send
them commands, and once through kvxutil.exe under Wine, driven by soak_ui.exe, while another
client asks the phones for discovery and commands. Prints each phone's outcome and the figures,
and fails when a phone reported OK does not hold the file byte for byte, when a failure was not
reported as one, or when anything crashed, hung or leaked.

    soak.py [--phones N] [--no-kvxctl] [--no-ui] [--seed N]
"""
import argparse
import os
import random
import re
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.abspath(os.path.join(os.path.dirname(__file__), ".."))
KVXCTL = os.path.join(ROOT, "build", "native", "cli", "kvxctl")
KVXPHONE = os.path.join(ROOT, "build", "native", "sim", "kvxphone")
SOAK_UI = os.path.join(ROOT, "build", "windows", "bench", "soak_ui.exe")
HOLD_SIZE = 100 * 1024
MODEL = b"KVX-350RT"


# ---------------------------------------------------------------- the phones and their faults

def phone_address(i):
    return f"192.168.77.{10 + i}"


def plan(i):
    """(fault switches, what the upload must give: "OK", "FAIL", "unlisted" or "either")."""
    kind, decade = i % 10, i // 10
    if kind == 2:
        return "drop-rx=100%", "FAIL"  # answers discovery and commands, never a transfer
    if kind == 3:
        return "drop-rx=20,drop-tx=90", "OK"  # two packets lost: two time-outs of three
    if kind == 5:
        return "dup-tx=1-400,dup-rx=5+9", "OK"
    if kind == 6:
        return ("error-block=50", "FAIL") if decade % 2 == 0 else ("reject-writes", "FAIL")
    if kind == 8:
        if decade % 2 == 0:
            return "silent", "unlisted"
        return "tftp-delay=300@10+20,stray-tx=30", "OK"
    if kind == 9 and decade % 2 == 1:
        return f"drop-rx=10%,seed={i}", "either"
    return "", "OK"


# ---------------------------------------------------------------- outside the LAN

def outside(args):
    command = [os.path.join(ROOT, "scripts", "testlan"), "--phones", str(args.phones),
               "--kvxphone", KVXPHONE]
    for i in range(args.phones):
        faults, _ = plan(i)
        if faults:
            command += ["--fault", f"{phone_address(i)}={faults}"]
    if not args.no_ui:
        command = [os.path.join(ROOT, "tests", "ui_e2e", "with-display")] + command + ["--wine"]
    command += ["--", sys.executable, os.path.abspath(__file__), "--inside",
                "--phones", str(args.phones), "--seed", str(args.seed)]
    command += ["--no-kvxctl"] if args.no_kvxctl else []
    command += ["--no-ui"] if args.no_ui else []
    status = subprocess.run(command).returncode
    if status != 0:
        print(f"soak: FAILED (status {status}; the problems are named above)")
    return status


# ---------------------------------------------------------------- inside: helpers

class Soak:
    def __init__(self, phones, hold):
        self.phones = phones
        self.hold = hold
        self.state = os.environ["KVX_LAN_STATE"]
        self.problems = []
        self.outcomes = {}  # phase -> {address: reported word}
        self.figures = []

    def problem(self, text):
        self.problems.append(text)
        print(f"  PROBLEM {text}", flush=True)

    def figure(self, text):
        self.figures.append(text)
        print(f"  {text}", flush=True)

    def holds_file(self, address):
        path = os.path.join(self.state, address, "files", "hold.mp3")
        return os.path.exists(path) and open(path, "rb").read() == self.hold

    def faults_loaded(self, address):
        with open(os.path.join(self.state, address, "events.log")) as f:
            return f.read().count("faults loaded=")

    def reset_faults(self):
        """Every round meets the same faults: the phones read their switches again, so that
        packet numbers count from 1 again."""
        before = {a: self.faults_loaded(a) for a in self.phones}
        for pid in os.environ["KVX_LAN_PHONE_PIDS"].split():
            os.kill(int(pid), signal.SIGHUP)
        deadline = time.monotonic() + 10
        stale = self.phones
        while stale and time.monotonic() < deadline:
            time.sleep(0.05)
            stale = [a for a in self.phones if self.faults_loaded(a) == before[a]]
        if stale:
            self.problem(f"the faults of {stale} were not read again")

    def clear_files(self):
        for address in self.phones:
            path = os.path.join(self.state, address, "files", "hold.mp3")
            if os.path.exists(path):
                os.remove(path)

    def judge(self, phase, reported, listed):
        """Each phone's reported result against what it holds and what its faults allow."""
        self.outcomes[phase] = reported
        for i, address in enumerate(self.phones):
            _, expected = plan(i)
            word = reported.get(address)
            holds = self.holds_file(address)
            if address not in listed:
                if expected != "unlisted" or word is not None:
                    self.problem(f"{phase}: {address} was not among the targets")
                continue
            if word is None:
                self.problem(f"{phase}: {address} has no result")
            elif word == "OK" and not holds:
                self.problem(f"{phase}: {address} reported OK but does not hold the file")
            elif word != "OK" and holds:
                self.figure(f"{phase}: {address} reported {word} and yet holds the file")
            if expected in ("OK", "FAIL") and word is not None and word != expected:
                self.problem(f"{phase}: {address} reported {word}, its faults give {expected}")

    def kvxctl(self, what, arguments, seconds):
        """Runs kvxctl; its exit status and output, or None when it hung. A sanitizer report
        (a leak included) or an exit status other than 0 and 1 is a problem."""
        try:
            done = subprocess.run([KVXCTL] + arguments, capture_output=True, text=True,
                                  timeout=seconds)
        except subprocess.TimeoutExpired:
            self.problem(f"{what} did not end within {seconds} s")
            return None
        if "Sanitizer" in done.stderr:
            self.problem(f"{what}: a sanitizer report:\n{done.stderr}")
        if done.returncode not in (0, 1):
            self.problem(f"{what} ended with status {done.returncode}: {done.stderr}")
        return done.returncode, done.stdout


def result_lines(text):
    """{address: word} from lines "ADDRESS --- WORD"."""
    out = {}
    for line in text.replace("\r", "").splitlines():
        m = re.match(r"^(\d+\.\d+\.\d+\.\d+) --- (.+)$", line.strip())
        if m:
            out[m.group(1)] = m.group(2)
    return out


def rc4(data, key=MODEL):
    state = list(range(256))
    j = 0
    for i in range(256):
        j = (j + state[i] + key[i % len(key)]) % 256
        state[i], state[j] = state[j], state[i]
    out = bytearray()
    i = j = 0
    for byte in data:
        i = (i + 1) % 256
        j = (j + state[i]) % 256
        state[i], state[j] = state[j], state[i]
        out.append(byte ^ state[(state[i] + state[j]) % 256])
    return bytes(out)


# ---------------------------------------------------------------- inside: the load beside

class KvxctlLoad(threading.Thread):
    """kvxctl discover and misc --all, over and over, while kvxctl's uploads run."""

    def __init__(self, soak):
        super().__init__()
        self.soak = soak
        self.stop = threading.Event()
        self.runs = {"discover": 0, "misc": 0}
        self.found = []
        self.answered = []

    def run(self):
        while not self.stop.is_set():
            done = self.soak.kvxctl("kvxctl discover", ["discover", "--wait", "1000"], 120)
            self.runs["discover"] += 1
            if done:
                self.found.append(len(done[1].split()))
            done = self.soak.kvxctl("kvxctl misc", ["misc", "--name", "admin", "--password",
                                                    "admin", "--all", "--wait", "1000"], 120)
            self.runs["misc"] += 1
            if done:
                self.answered.append(
                    sum(1 for w in result_lines(done[1]).values() if w == "OK"))


class SideClient(threading.Thread):
    """Another client on the LAN (UDP port 10001): discovery and a misc command to each phone,
    over and over, while the utility's uploads run. Counts the answers of each phone."""

    def __init__(self, phones):
        super().__init__()
        self.phones = phones
        self.stop = threading.Event()
        self.rounds = 0
        self.discovered = {p: 0 for p in phones}
        self.commanded = {p: 0 for p in phones}
        frame = b"# " + rc4(b"admin;!sep!;admin;!sep!;0001")
        self.frame = frame

    def run(self):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
        s.bind(("", 10001))
        s.settimeout(0.05)
        while not self.stop.is_set():
            self.rounds += 1
            s.sendto(b"?", ("255.255.255.255", 9999))
            for phone in self.phones:
                s.sendto(self.frame, (phone, 9999))
            end = time.monotonic() + 1.0
            while time.monotonic() < end:
                try:
                    data, sender = s.recvfrom(4096)
                except socket.timeout:
                    continue
                if sender[0] not in self.discovered:
                    continue
                if data.startswith(b"?"):
                    self.discovered[sender[0]] += 1
                elif data.startswith(b"@") and b"result OK" in data:
                    self.commanded[sender[0]] += 1
        s.close()


# ---------------------------------------------------------------- inside: the two phases

def kvxctl_phase(soak, hold_path):
    print("kvxctl: discovery, then hold to every phone while discovery and commands go on",
          flush=True)
    done = soak.kvxctl("kvxctl discover", ["discover"], 120)
    soak.figure(f"kvxctl discover: {len(done[1].split()) if done else 0} phones found")
    load = KvxctlLoad(soak)
    load.start()
    soak.reset_faults()
    start = time.monotonic()
    done = soak.kvxctl("kvxctl hold", ["hold", hold_path] + soak.phones, 3600)
    took = time.monotonic() - start
    load.stop.set()
    load.join()
    if not done:
        return
    status, out = done
    reported = result_lines(out)
    soak.judge("kvxctl", reported, soak.phones)
    ok = sum(1 for w in reported.values() if w == "OK")
    if status != (0 if ok == len(soak.phones) else 1):
        soak.problem(f"kvxctl hold: exit status {status} with {ok} of {len(soak.phones)} OK")
    soak.figure(f"kvxctl hold: {len(soak.phones)} phones, {ok} OK, "
                f"{len(reported) - ok} FAIL, {took:.1f} s, exit status {status}")
    soak.figure(f"kvxctl beside it: {load.runs['discover']} discover runs finding "
                f"{min(load.found, default=0)} to {max(load.found, default=0)} phones, "
                f"{load.runs['misc']} misc --all runs with {min(load.answered, default=0)} to "
                f"{max(load.answered, default=0)} OK")


def read_facts(lines, facts):
    """Reads soak_ui.exe's lines "TAG REST" until PAUSE or the end; False at the end."""
    for line in lines:
        line = line.replace("\r", "").rstrip("\n")
        if line == "PAUSE":
            return True
        tag, _, rest = line.partition(" ")
        facts.append((tag, rest))
        if not tag.startswith(("ENTRY", "MISC")):
            print(f"    soak_ui: {line}", flush=True)
    return False


def judge_round(soak, facts, round_name, tag, listed):
    entries = [rest for t, rest in facts if t == f"ENTRY{tag}"]
    value = dict(facts)
    shown = [e.split(" ")[0] for e in entries]
    reported = result_lines("\n".join(entries))
    soak.judge(round_name, reported, shown)
    for address in listed:
        if address not in shown:
            soak.problem(f"{round_name}: {address} answers discovery but was not listed")
    for address in shown:
        if address not in listed:
            soak.problem(f"{round_name}: {address} was listed, but it never answers")
    if value.get(f"MESSAGE{tag}") != "Upload to All|Upload to All Complete!":
        soak.problem(f"{round_name}: the closing message was {value.get(f'MESSAGE{tag}')!r}")
    turns, enabled = (value.get(f"TURNS{tag}", "0 0").split() + ["0", "0"])[:2]
    if int(enabled) != 0:
        soak.problem(f"{round_name}: {enabled} actions were enabled on other pages while busy")
    ok = sum(1 for w in reported.values() if w == "OK")
    seconds = int(value.get(f"UPLOAD_MS{tag}", "0")) / 1000
    soak.figure(f"{round_name} Upload to All: {len(shown)} listed of {len(soak.phones)}, "
                f"{ok} OK, {len(reported) - ok} FAIL, {seconds:.1f} s, {turns} page turns "
                f"while busy")


def ui_phase(soak, hold_path, work, second_hold):
    print("kvxutil.exe: Upload to All while another client discovers and commands; Refresh, "
          "Misc. to all, and Upload to All again", flush=True)
    listed = [p for i, p in enumerate(soak.phones) if plan(i)[1] != "unlisted"]
    side = SideClient(soak.phones)
    side.start()
    soak.reset_faults()
    driver = subprocess.Popen([os.path.join(ROOT, "scripts", "wine-exec"), SOAK_UI,
                               "Z:" + work.replace("/", "\\"),
                               "Z:" + hold_path.replace("/", "\\"), str(len(listed)), "1800"],
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, text=True)
    facts = []
    paused = read_facts(driver.stdout, facts)
    if paused:
        judge_round(soak, facts, "kvxutil", "1", listed)
        # The second round sends other bytes, so what it leaves is told from the first's.
        soak.clear_files()
        soak.hold = second_hold
        with open(hold_path, "wb") as f:
            f.write(second_hold)
        soak.reset_faults()
        driver.stdin.write("go\n")
        driver.stdin.flush()
        read_facts(driver.stdout, facts)
    driver.stdin.close()
    try:
        status = driver.wait(timeout=600)
    except subprocess.TimeoutExpired:
        driver.kill()
        status = driver.wait()
        soak.problem("soak_ui.exe did not end")
    side.stop.set()
    side.join()
    errors = driver.stderr.read()
    for tag, rest in facts:
        if tag == "FAILED":
            soak.problem(f"soak_ui: {rest}")
    if status != 0:
        soak.problem(f"soak_ui.exe ended with status {status}: {errors}")
    if not paused:
        return
    judge_round(soak, facts, "kvxutil-2", "2", listed)

    value = dict(facts)
    misc = [rest for tag, rest in facts if tag == "MISC"]
    misc_ok = sum(1 for e in misc if e.endswith(" --- OK"))
    if misc_ok != len(listed):
        soak.problem(f"kvxutil: Misc. to all: {misc_ok} of {len(listed)} OK ({misc})")
    refresh = value.get("REFRESH", "0 0").split()
    if int(refresh[0]) != len(listed):
        soak.problem(f"kvxutil: Refresh listed {refresh[0]} of {len(listed)}")
    exit_code = value.get("EXIT", "-1 0").split()
    if exit_code[0] != "0":
        soak.problem(f"kvxutil: closed with exit code {exit_code[0]}")
    soak.figure(f"kvxutil between the rounds: Refresh listed {refresh[0]} in {refresh[-1]} ms, "
                f"Misc. to all {misc_ok} OK; closed with {exit_code[0]} in {exit_code[-1]} ms")
    memory = {rest.split()[0]: int(rest.split()[1]) for tag, rest in facts if tag == "MEMORY"}
    if memory:
        soak.figure("kvxutil private bytes: " + ", ".join(
            f"{k} {v / 1048576:.2f} MB" for k, v in memory.items()))
    quiet = [p for i, p in enumerate(soak.phones)
             if plan(i)[1] != "unlisted" and (side.discovered[p] == 0 or side.commanded[p] == 0)]
    if quiet:
        soak.problem(f"side client: no discovery or command answer during the uploads from "
                     f"{quiet}")
    soak.figure(f"side client beside it: {side.rounds} rounds, "
                f"{sum(side.discovered.values())} discovery and "
                f"{sum(side.commanded.values())} command answers")


def inside(args):
    phones = [phone_address(i) for i in range(args.phones)]
    generator = random.Random(args.seed)
    hold = generator.randbytes(HOLD_SIZE)
    work = tempfile.mkdtemp(prefix="kvx-soak-")
    hold_path = os.path.join(work, "hold.mp3")
    with open(hold_path, "wb") as f:
        f.write(hold)
    soak = Soak(phones, hold)
    start = time.monotonic()
    try:
        if not args.no_kvxctl:
            kvxctl_phase(soak, hold_path)
            soak.clear_files()
        if not args.no_ui:
            ui_phase(soak, hold_path, work, generator.randbytes(HOLD_SIZE))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print()
    phases = list(soak.outcomes)
    print(f"{'phone':<15} {'faults':<34} {'expected':<9} " +
          " ".join(f"{p:<8}" for p in phases))
    for i, address in enumerate(phones):
        faults, expected = plan(i)
        print(f"{address:<15} {faults or '-':<34} {expected:<9} " +
              " ".join(f"{soak.outcomes[p].get(address, '-'):<8}" for p in phases))
    print()
    for line in soak.figures:
        print(line)
    print(f"soak: {len(phones)} phones, {time.monotonic() - start:.0f} s, "
          f"{len(soak.problems)} problems")
    return 1 if soak.problems else 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--phones", type=int, default=50)
    parser.add_argument("--no-kvxctl", action="store_true")
    parser.add_argument("--no-ui", action="store_true")
    parser.add_argument("--seed", type=int, default=9)
    parser.add_argument("--inside", action="store_true")
    args = parser.parse_args()
    if args.inside:
        return inside(args)
    return outside(args)


sys.exit(main())
