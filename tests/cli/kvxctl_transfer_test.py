#!/usr/bin/env python3
"""kvxctl's file commands on test LANs (see lan_scenarios.py): each command's wiring once,
against simulated telephones and against Debian's tftpd-hpa, compared byte for byte; a refusal
of the pages' checks; a fleet of failing phones (parallel runs, retries, the log, dry runs),
the port of the transfers and the progress line. The transfers' and the checks' own rules are
the TFTP client's and the file checks' tests. Writes a GoogleTest-style XML report.

    kvxctl_transfer_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import glob
import hashlib
import json
import os
import pty
import random
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from lan_scenarios import main  # noqa: E402

PHONE = "192.168.77.10"
# A short last block, and the client's limit.
SIZES = [1300, 5000000]
LIMIT = 5000000
TFTPD = "/usr/sbin/in.tftpd"
TFTPD_ADDRESS = "192.168.77.250"


def data(size, seed):
    return random.Random(seed).randbytes(size)


def write(folder, name, content):
    path = os.path.join(folder, name)
    with open(path, "wb") as f:
        f.write(content)
    return path


def read(path):
    with open(path, "rb") as f:
        return f.read()


def bitmap(bits=1):
    row = (128 * bits + 31) // 32 * 4
    pixels = data(row * 64, bits)
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0]) if bits == 1 else b""
    offset = 54 + len(palette)
    header = b"BM" + struct.pack("<IHHI", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, 128, 64, 1, bits, 0, len(pixels), 2835, 2835, 0, 0)
    return header + info + palette + pixels


def station_file(volume, default, stations):
    """The station list file as the writer makes it: 45 lines ending in CR LF."""
    lines = ["[Config]", f"Volume={volume}", f"DefaultStation={default}", "", "[MusicStation]"]
    for i in range(20):
        name, url = stations[i] if i < len(stations) else ("", "")
        lines += [f"Name{i + 1}={name}", f"URL{i + 1}={url}"]
    return ("\r\n".join(lines) + "\r\n").encode()


class Work:
    """A folder that kvxctl runs in, so that relative paths serve both builds."""

    def __init__(self, lan):
        self.lan = lan
        self.folder = tempfile.mkdtemp(prefix="kvxctl-transfer.")
        os.chmod(self.folder, 0o755)

    def run(self, *args, prefix=()):
        start = time.monotonic()
        result = self.lan.run(*args, cwd=self.folder, prefix=prefix)
        return result + (time.monotonic() - start,)

    def path(self, name):
        return os.path.join(self.folder, name)

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def requests(lan, ip):
    return lan.events(ip).count("tftp-request ")


def expect_ok(lan, what, result, devices):
    status, out, err, _ = result
    lan.expect(f"{what}: exit status (stderr {err!r})", status, 0)
    # Each line comes as its phone finishes.
    lan.expect(f"{what}: output", sorted(out), sorted(f"{d} --- OK" for d in devices))


# ---------------------------------------------------------------- against simulated phones

def page_checks(lan):
    phones = ["192.168.77.10", "192.168.77.11", "192.168.77.12"]
    work = Work(lan)

    def stored(ip, name):
        path = os.path.join(lan.phone_folder(ip), "files", name)
        return read(path) if os.path.exists(path) else None

    def sent():
        return sum(requests(lan, ip) for ip in phones)

    def refused(what, args, message):
        before = sent()
        status, out, err, _ = work.run(*args)
        lan.expect(f"{what}: exit status", status, 2)
        lan.expect(f"{what}: output", out, [])
        lan.expect_in(f"{what}: message", message, err)
        lan.expect(f"{what}: requests sent", sent(), before)

    try:
        lan.check("HoldRingAndBannerGoUnderTheirNames")
        hold = write(work.folder, "hold.mp3", data(102400, 1))
        expect_ok(lan, "hold", work.run("hold", "hold.mp3", phones[1], phones[0]), phones[:2])
        for ip in phones[:2]:
            lan.expect(f"hold.mp3 on {ip}", stored(ip, "hold.mp3") == read(hold), True)
        ring = write(work.folder, "ring.mp3", data(51200, 2))
        expect_ok(lan, "ring", work.run("ring", "ring.mp3", phones[2]), phones[2:])
        lan.expect("ring.mp3", stored(phones[2], "ring.mp3") == read(ring), True)
        picture = write(work.folder, "ok.bmp", bitmap())
        expect_ok(lan, "banner", work.run("banner", "4", "ok.bmp", phones[2]), phones[2:])
        lan.expect("4.bmp", stored(phones[2], "4.bmp") == read(picture), True)

        lan.check("RefusedFilesSendNothing")
        # put and get move every byte against tftpd-hpa below; the phone's side is its own test.
        write(work.folder, "over", data(LIMIT + 1, 7))
        refused("over the limit", ("put", phones[0], "over", "hold.mp3"),
                "over has 5000001 bytes; at most 5000000 can be sent")
        refused("unreadable", ("put", phones[0], "missing.bin", "hold.mp3"),
                "cannot read missing.bin")
        refused("unwritable", ("get", phones[0], "hold.mp3", "no-such-folder/x"),
                "cannot write no-such-folder/x")
        refused("ring", ("ring", "hold.mp3", "--all"),
                "The maximum size of MP3 Ring file is 50 KB.")
        write(work.folder, "colour.bmp", bitmap(bits=24))
        refused("colour.bmp", ("banner", "1", "colour.bmp", phones[0]),
                "Only support monochrome, uncompressed bitmap file.")
        refused("slot 7", ("banner", "7", "ok.bmp", phones[0]), "banner slot 7: choose 1 to 6")
        write(work.folder, "ftp.cfg",
              b"Name1=A\nURL1=http://a.example\nName4=B\nURL4=ftp://b.example\n")
        refused("ftp", ("stations", "put", "ftp.cfg", phones[0]),
                "I/R only supports http protocol.\nkvxctl: station \"B\" has the URL "
                "\"ftp://b.example\"")

        lan.check("StationsPutSendsThePreparedListToEveryPhoneAndGetFetchesIt")
        mine = ("Volume=7\nDefaultStation=3\nName1=Jazz\nURL1=http://jazz.example/a=1\n"
                "URL2=http://lost.example\nName3=News\nURL3=http://news.example\n").encode()
        write(work.folder, "mine.cfg", mine)
        expect_ok(lan, "stations put", work.run("stations", "put", "mine.cfg", "--all",
                                                "--wait", "1000"), phones)
        wanted = station_file(7, 99, [("Jazz", "http://jazz.example/a=1"),
                                      ("News", "http://news.example")])
        for ip in phones:
            lan.expect(f"mp3.cfg on {ip}", stored(ip, "mp3.cfg"), wanted)
        lan.expect("the caller's file", read(work.path("mine.cfg")), mine)
        lan.expect("prepared files left behind", prepared_files(lan), [])
        expect_ok(lan, "stations get", work.run("stations", "get", phones[1], "again.cfg"),
                  phones[1:2])
        lan.expect("list read back", read(work.path("again.cfg")), wanted)
    finally:
        work.close()


def prepared_files(lan):
    """The station lists that stations put prepared and did not remove."""
    if lan.wine:
        pattern = os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "**",
                               "kvxctl-stations-*")
    else:
        pattern = os.path.join(tempfile.gettempdir(), "kvxctl-stations-*")
    return glob.glob(pattern, recursive=True)


# ---------------------------------------------------------------- against tftpd-hpa

def tftpd_transfers(lan):
    segment = lan.namespace + "-s1"
    # The server must run inside the LAN, never beside the host's interfaces: the segment has
    # loopback and its end of the LAN's veth pair, nothing else.
    links = subprocess.run(["ip", "-n", segment, "-o", "link", "show"], capture_output=True,
                           text=True).stdout
    names = sorted(line.split(": ")[1].split("@")[0] for line in links.splitlines())
    if names != ["lo", "p0"]:
        lan.check("TftpdHpaRunsInsideTheLan")
        lan.fail(f"namespace {segment} has the interfaces {names}")
        return
    served = tempfile.mkdtemp(prefix="kvxctl-tftpd.")
    os.chmod(served, 0o777)  # the server writes as nobody
    subprocess.run(["ip", "-n", segment, "addr", "add", TFTPD_ADDRESS + "/24", "dev", "p0"],
                   check=True)
    server = subprocess.Popen(["ip", "netns", "exec", segment, TFTPD, "--listen", "--foreground",
                               "--address", TFTPD_ADDRESS + ":69", "--secure", "--create",
                               "--user", "nobody", served], stdin=subprocess.DEVNULL)
    work = Work(lan)
    try:
        time.sleep(0.3)
        lan.check("PutAndGetWithTftpdHpaMoveEveryByte")
        for size in SIZES:
            content = data(size, size + 2)
            write(work.folder, f"up{size}", content)
            expect_ok(lan, f"put {size}", work.run("put", TFTPD_ADDRESS, f"up{size}",
                                                   f"stored{size}.bin"), [TFTPD_ADDRESS])
            path = os.path.join(served, f"stored{size}.bin")
            lan.expect(f"bytes on the server after put {size}",
                       os.path.exists(path) and read(path) == content, True)
            os.chmod(path, 0o644)
            expect_ok(lan, f"get {size}", work.run("get", TFTPD_ADDRESS, f"stored{size}.bin",
                                                   f"down{size}"), [TFTPD_ADDRESS])
            lan.expect(f"bytes fetched by get {size}",
                       read(work.path(f"down{size}")) == content, True)

        lan.check("GetFromTftpdHpaOfAMissingFileFailsAndWritesNothing")
        status, out, _, _ = work.run("get", TFTPD_ADDRESS, "missing.bin", "local")
        lan.expect("exit status", status, 1)
        lan.expect("output", out, [f"{TFTPD_ADDRESS} --- FAIL (ERROR 1: File not found)"])
        lan.expect("local file written", os.path.exists(work.path("local")), False)
    finally:
        work.close()
        server.terminate()
        server.wait()
        shutil.rmtree(served, ignore_errors=True)


# ---------------------------------------------------------------- failures and the terminal

# What each phone of the fleet scenario does to an upload, and the result of a first attempt.
FLEET = {
    "192.168.77.10": ("", "OK", None),
    "192.168.77.11": ("silent", "FAIL", "no answer to the request, sent 3 times over 9 s"),
    "192.168.77.12": ("reject-writes", "FAIL", "ERROR 2: Writes are not allowed"),
    "192.168.77.13": ("error-block=2", "FAIL", "ERROR 0: Simulated failure"),
    "192.168.77.14": ("drop-tx=2+3", "OK", None),  # lost ACKs, which the phone sends again
    "192.168.77.15": ("drop-rx=1-3", "FAIL", "no answer to the request, sent 3 times over 9 s"),
}
ONCE = "192.168.77.15"  # its packet counts restart with the faults: only a first attempt fails


def reset_faults():
    for pid in os.environ["KVX_LAN_PHONE_PIDS"].split():
        os.kill(int(pid), signal.SIGHUP)
    time.sleep(0.3)


def fleet(lan):
    work = Work(lan)
    phones = list(FLEET)
    tone = write(work.folder, "tone.mp3", data(30000, 5))

    def held(ip):
        path = os.path.join(lan.phone_folder(ip), "files", "hold.mp3")
        return os.path.exists(path) and read(path) == read(tone)

    def sent():
        return {ip: (requests(lan, ip), lan.events(ip).count("command kind=")) for ip in phones}

    try:
        lan.check("ParallelResultsEqualSequentialOnesAndEveryOkPhoneHoldsTheFile")
        for parallel in ("1", "6"):
            reset_faults()
            for ip in phones:
                for stored in glob.glob(os.path.join(lan.phone_folder(ip), "files", "*")):
                    os.remove(stored)
            status, out, _, _ = work.run("hold", "tone.mp3", *phones, "--parallel", parallel,
                                         "--json")
            lan.expect(f"--parallel {parallel}: exit status", status, 1)
            results = json.loads("\n".join(out))["results"]
            lan.expect(f"--parallel {parallel}: results in list order",
                       [(r["address"], r["result"], r["reason"]) for r in results],
                       [(ip, result, reason) for ip, (_, result, reason) in FLEET.items()])
            for ip in phones:
                lan.expect(f"--parallel {parallel}: {ip} holds the file", held(ip),
                           FLEET[ip][1] == "OK")

        lan.check("RetriesReachAPhoneThatFailedOnceAndTheLogRecordsEveryAttempt")
        reset_faults()
        status, out, _, _ = work.run("hold", "tone.mp3", *phones, "--retry", "1", "--log",
                                     "run.log")
        lan.expect("exit status", status, 1)
        wanted = {ip: "OK" if ip == ONCE or result == "OK" else f"FAIL ({reason})"
                  for ip, (_, result, reason) in FLEET.items()}
        lan.expect("output", sorted(out), sorted(f"{ip} --- {w}" for ip, w in wanted.items()))
        lan.expect(f"{ONCE} holds the file", held(ONCE), True)
        with open(work.path("run.log")) as f:
            log = [json.loads(line) for line in f]
        lan.expect("attempts logged", sorted((e["address"], e["attempt"], e["result"]) for e in log),
                   sorted([(ip, 1, result) for ip, (_, result, _) in FLEET.items()] +
                          [(ip, 2, wanted[ip][:4]) for ip, (_, r, _) in FLEET.items() if r != "OK"]))
        digest = hashlib.sha256(read(tone)).hexdigest()
        lan.expect("file and digest logged", {(e["file"], e["sha256"]) for e in log},
                   {("tone.mp3", digest)})

        lan.check("OnlyFailedTakesTheLoggedFailuresAndADryRunSendsNothing")
        before = sent()
        status, out, _, _ = work.run("hold", "tone.mp3", "--only-failed", "run.log", "--dry-run",
                                     "--json")
        lan.expect("hold: exit status", status, 0)
        lan.expect("hold: targets", [r["address"] for r in json.loads("\n".join(out))["results"]],
                   [ip for ip in phones if wanted[ip] != "OK"])
        status, out, _, _ = work.run("misc", "--name", "admin", "--password", "admin", "--all",
                                     "--wait", "500", "--dry-run")
        lan.expect("misc: exit status", status, 0)
        lan.expect("misc: lines", len(out), len(phones) - 1)  # all but the silent one
        lan.expect("transfers and commands sent", sent(), before)

        lan.check("APortSeventyInUseIsReported")
        holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        holder.bind(("0.0.0.0", 70))
        try:
            # One command of each path: a single phone's, and the upload commands' engine.
            for args in (("put", PHONE, "tone.mp3", "hold.mp3"),
                         ("hold", "tone.mp3", PHONE, "--parallel", "1")):
                status, out, err, _ = work.run(*args)
                lan.expect(f"{args[0]}: exit status", status, 3)
                lan.expect(f"{args[0]}: output", out, [])
                lan.expect_in(f"{args[0]}: message", "UDP port 70, from which files are "
                              "transferred, is in use", err)
            lan.expect("transfers and commands sent", sent(), before)
            expect_ok(lan, "hold from ports of the system's choosing",
                      work.run("hold", "tone.mp3", PHONE, "--parallel", "2"), [PHONE])
        finally:
            holder.close()

        if not lan.wine:
            # Wine's prefix belongs to root; the native build stands for both here.
            status, out, err, _ = work.run(
                "put", PHONE, "tone.mp3", "hold.mp3",
                prefix=("setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                        "--inh-caps=-all"))
            lan.expect("exit status", status, 3)
            lan.expect_in("message", "not allowed to bind UDP port 70", err)
            lan.expect_in("message", "CAP_NET_BIND_SERVICE", err)

            lan.check("TheProgressLineIsDrawnOnATerminalOnly")
            screen, status = on_terminal(lan.command + ["put", PHONE, "tone.mp3", "hold.mp3"],
                                         work.folder)
            lan.expect("terminal: exit status", status, 0)
            lan.expect_in("terminal: line", "0/1 done, 0 failed, 1 running", screen)
            lan.expect_in("terminal: result on a line of its own", f"\r{PHONE} --- OK\r\n",
                          screen)
            lan.expect_true(f"terminal: the line wiped at the end: {screen[-80:]!r}",
                            screen.endswith(" \r"))
    finally:
        work.close()


def on_terminal(command, cwd):
    """Runs command with its standard output on a pseudo-terminal; what it wrote, and its
    exit status."""
    leader, follower = pty.openpty()
    process = subprocess.Popen(command, stdout=follower, stderr=subprocess.DEVNULL, cwd=cwd)
    os.close(follower)
    screen = b""
    while True:
        try:
            chunk = os.read(leader, 4096)
        except OSError:  # the terminal closes with the program
            break
        if not chunk:
            break
        screen += chunk
    os.close(leader)
    return screen.decode(errors="replace"), process.wait(timeout=60)


SCENARIOS = {
    "page_checks": (["--phones", "3"], page_checks),
    "tftpd_hpa": (["--phones", "1"], tftpd_transfers),
    "fleet": (["--phones", str(len(FLEET))] +
              [w for ip, (f, _, _) in FLEET.items() if f for w in ("--fault", f"{ip}={f}")], fleet),
}


sys.exit(main(__file__, "KvxctlTransfer", SCENARIOS))
