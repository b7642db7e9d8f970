#!/usr/bin/env python3
"""kvxctl's file commands on test LANs (see lan_scenarios.py), each command's wiring once; the
transfers', the file checks' and the fleet engine's own rules are their unit tests', the
routed phones' station lists kvxctl_lan_test's.

    kvxctl_transfer_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import glob
import hashlib
import json
import os
import re
import shlex
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from lan_scenarios import data, main, ok  # noqa: E402

PHONE = "192.168.77.10"
PHONES = ["192.168.77.10", "192.168.77.11", "192.168.77.12"]
TFTPD = "192.168.77.250"


def bitmap(bits):
    row = (128 * bits + 31) // 32 * 4
    palette = bytes([0, 0, 0, 0, 255, 255, 255, 0]) if bits == 1 else b""
    offset = 54 + len(palette)
    return (b"BM" + struct.pack("<IHHI", offset + row * 64, 0, 0, offset) +
            struct.pack("<IiiHHIIiiII", 40, 128, 64, 1, bits, 0, row * 64, 2835, 2835, 0, 0) +
            palette + data(row * 64, bits))


# One refusal of each kind: the command, a part of the message.
REFUSALS = [
    (("put", PHONE, "over", "hold.mp3"), "over has 5000001 bytes; at most 5000000 can be sent"),
    (("put", PHONE, "missing.bin", "hold.mp3"), "cannot read missing.bin"),
    (("get", PHONE, "hold.mp3", "no-such-folder/x"), "cannot write no-such-folder/x"),
    (("ring", "hold.mp3", "--all"), "The maximum size of MP3 Ring file is 50 KB."),
    (("banner", "1", "colour.bmp", PHONE), "Only support monochrome, uncompressed bitmap file."),
    (("banner", "7", "4.bmp", PHONE), "banner slot 7: choose 1 to 6"),
    (("stations", "put", "ftp.cfg", PHONE),
     "I/R only supports http protocol.\nkvxctl: station \"B\" has the URL \"ftp://b.example\""),
    (("stations", "get", "--all", "ftp.cfg/x"), "ftp.cfg/x is not a folder that can be made"),
    (("stations", "bogus"), "stations get or stations put, not stations bogus"),
    (("get", PHONE, "a", "b", "extra"), "too many arguments from extra on"),
    (("get", "10.0.0.0/24", "a", "b"), "10.0.0.0/24 is not the IPv4 address of one telephone"),
    (("get", PHONE, "a", "b", "--parallel", "2"), "takes neither --parallel nor --only-failed"),
    (("hold", "4.bmp", PHONE, "--retry", "101"), "--retry 101: give a number from 0 to 100"),
    (("hold", "4.bmp", PHONE, "--log", "ftp.cfg/x"), "cannot write the log ftp.cfg/x"),
    (("hold", "4.bmp", "--only-failed", "no.log"), "cannot read the log no.log"),
    (("hold", "4.bmp", PHONE, "--parallel", "0"), "--parallel 0: give a number from 1 to 64"),
    (("hold", "4.bmp", PHONE, "--parallel", "2x"), "--parallel 2x: give a number from 1 to 64"),
    (("stations", "put", "none.cfg", PHONE), "You can not upload an empty list."),
    (("stations", "get", PHONE, "no-such-folder/x.cfg"), "cannot write no-such-folder/x.cfg"),
    (("put", PHONE, "4.bmp"), "give the address, FILE and REMOTE"),
    (("banner", "4"), "give the slot and the bitmap file"),
    (("hold",), "give the MP3 file"),
    (("get", PHONE), "give the address, REMOTE and FILE"),
    (("stations", "get", "--bogus"), "unknown option --bogus"),
]


def page_checks(lan):
    lan.check("HoldRingAndBannerGoUnderTheirNamesWithTheMp3Advice")
    # Which files get which advice is the advice's own test.
    stereo = (bytes((0xFF, 0xFB, 0x90, 0x00)) + bytes(413)) * 245  # 44.1 kHz frames, 102 KB
    advice = "hold.mp3 is 44100 Hz stereo (MPEG-1 Layer III)\nkvxctl: Suggest to use 8KHz, Mono"
    for args, name, content, targets, message in (
            (("hold", "hold.mp3"), "hold.mp3", stereo, PHONES[1::-1], advice),
            (("ring", "ring.mp3"), "ring.mp3", data(51200, 2), PHONES[2:], ""),
            (("banner", "4", "4.bmp"), "4.bmp", bitmap(1), PHONES[2:], "")):
        lan.write(name, content)
        lan.outcome(args[0], (*args, *targets), 0, ok(targets), message)
        for ip in targets:
            lan.expect(f"{name} on {ip}", lan.stored(ip, name) == content, True)

    lan.check("RefusedFilesSendNothing")
    lan.write("over", data(5000001, 7))
    lan.write("colour.bmp", bitmap(24))
    lan.write("ftp.cfg", b"Name1=A\nURL1=http://a.example\nName4=B\nURL4=ftp://b.example\n")
    lan.write("none.cfg", b"Volume=3\n")
    requests = sum(lan.events(ip).count("tftp-request ") for ip in PHONES)
    for args, message in REFUSALS:
        lan.outcome(" ".join(args), args, 2, [], message)
    lan.expect("requests", sum(lan.events(ip).count("tftp-request ") for ip in PHONES), requests)

    lan.check("FailedTransfersSayWhy")
    lan.outcome("get", ("get", PHONE, "none.bin", "none"), 1,
                [f"{PHONE} --- FAIL (ERROR 1: File not found)"])
    lan.outcome("put", ("put", PHONE, lan.write("empty", b""), "hold.mp3"), 1,
                [f"{PHONE} --- FAIL (refused before sending: empty is empty)"],
                "empty is empty: nothing is sent")

    lan.check("StationsPutSendsThePreparedListToEveryPhoneAndGetFetchesIt")
    mine = lan.write("mine.cfg", b"Volume=7\nName1=Jazz\nURL1=http://jazz.example/a=1\n"
                                 b"URL2=http://lost.example\nName3=News\nURL3=http://news.ex\n")
    lan.outcome("put", ("stations", "put", mine, "--all", "--wait", "1000"), 0, ok(PHONES))
    lan.outcome("get", ("stations", "get", "--log", "get.log", PHONES[1], "again.cfg"), 0,
                ok(PHONES[1:2]))
    fetched = lan.read("again.cfg")  # station_list_test owns the rest of the preparing
    lan.expect_in("the prepared list", b"Name2=News\r\nURL2=http://news.ex\r\n", fetched)
    lan.expect("on every phone", [lan.stored(ip, "mp3.cfg") for ip in PHONES], [fetched] * 3)
    left = (os.path.join(os.environ["WINEPREFIX"], "drive_c", "users", "**", "kvxctl-stations-*")
            if lan.wine else os.path.join(tempfile.gettempdir(), "kvxctl-stations-*"))
    lan.expect("prepared lists left behind", glob.glob(left, recursive=True), [])


def tftpd_transfers(lan):
    segment = os.environ["KVX_LAN_NS"] + "-s1"
    # The server must run inside the LAN, never beside the host's interfaces: the segment has
    # loopback and its end of the LAN's veth pair, nothing else.
    links = subprocess.run(["ip", "-n", segment, "-o", "link", "show"], capture_output=True,
                           text=True).stdout
    names = sorted(line.split(": ")[1].split("@")[0] for line in links.splitlines())
    if names != ["lo", "p0"]:
        lan.check("TftpdHpaRunsInsideTheLan")
        return lan.fail(f"namespace {segment} has the interfaces {names}")
    served = tempfile.mkdtemp(prefix="kvxctl-tftpd.")
    os.chmod(served, 0o777)  # the server writes as nobody
    subprocess.run(["ip", "-n", segment, "addr", "add", TFTPD + "/24", "dev", "p0"], check=True)
    server = subprocess.Popen(["ip", "netns", "exec", segment, "/usr/sbin/in.tftpd", "--listen",
                               "--foreground", "--address", TFTPD + ":69", "--secure",
                               "--create", "--user", "nobody", served], stdin=subprocess.DEVNULL)
    try:
        time.sleep(0.3)
        lan.check("PutAndGetWithTftpdHpaMoveEveryByte")
        lan.write("up", data(5000000, 3))  # the client's limit, a short last block
        lan.outcome("put", ("put", TFTPD, "up", "stored.bin"), 0, ok([TFTPD]))
        path = os.path.join(served, "stored.bin")
        lan.expect("on the server after put", lan.read(path) == lan.read("up"), True)
        os.chmod(path, 0o644)
        lan.outcome("get", ("get", TFTPD, "stored.bin", "down"), 0, ok([TFTPD]))
        lan.expect("fetched by get", lan.read("down") == lan.read("up"), True)
        with open(path, "ab") as f:
            f.write(b"+")
        lan.outcome("get", ("get", TFTPD, "stored.bin", "big"), 1,
                    [f"{TFTPD} --- FAIL (the file has more than 5000000 bytes)"])
    finally:
        server.terminate()
        server.wait()
        shutil.rmtree(served, ignore_errors=True)


# What each phone of the fleet does to an upload, and its result with one retry.
SILENT = "no answer to the request, sent 3 times over 9 s"
REJECTED = "ERROR 2: Writes are not allowed"
FLEET = {
    "192.168.77.10": ("", None),
    "192.168.77.11": ("silent", SILENT),
    "192.168.77.12": ("reject-writes", REJECTED),
    "192.168.77.13": ("error-block=2", "ERROR 0: Simulated failure"),
    "192.168.77.14": ("drop-tx=2+3", None),  # lost ACKs, which the phone sends again
    "192.168.77.15": ("drop-rx=1-3", None),  # its first attempt fails; the retry succeeds
    "192.168.77.16": ("drop-rx=20-99999", SILENT),  # deaf from block 19 of the first attempt
}


def fleet(lan):
    phones = list(FLEET)
    tone = lan.write("tone.mp3", data(30000, 5))

    def sent():
        return [(lan.events(ip).count("tftp-request "), lan.events(ip).count("command kind="))
                for ip in phones]

    lan.check("RetriesReachAPhoneThatFailedOnceAndTheLogRecordsEveryAttempt")
    out = lan.outcome("hold", ("hold", tone, *phones, "--parallel", "7", "--retry", "1", "--log",
                               "run.log", "--json"), 1, None)
    results = json.loads("\n".join(out))["results"]
    lan.expect("results in list order", [(r["address"], r["reason"]) for r in results],
               [(ip, reason) for ip, (_, reason) in FLEET.items()])
    for ip, (_, reason) in FLEET.items():
        lan.expect(f"{ip} holds the file", lan.stored(ip, "hold.mp3") == lan.read(tone),
                   reason is None)
    log = [json.loads(line) for line in lan.read("run.log").splitlines()]
    lan.expect("attempts logged", len(log), len(phones) + 5)
    lan.expect("cut short", [e["reason"] for e in log if e["address"] == "192.168.77.16"],
               ["no answer after block 18", SILENT])
    lan.expect("file and digest logged", {(e["file"], e["sha256"]) for e in log},
               {(tone, hashlib.sha256(lan.read(tone)).hexdigest())})

    lan.check("OnlyFailedTakesTheLoggedFailuresAndADryRunSendsNothing")
    before = sent()
    out = lan.outcome("hold", ("hold", tone, "--only-failed", "run.log", "--dry-run", "--json"),
                      0, None)
    lan.expect("hold: targets", [r["address"] for r in json.loads("\n".join(out))["results"]],
               [ip for ip, (_, reason) in FLEET.items() if reason])
    out = lan.outcome("misc", ("misc", "--name", "admin", "--password", "admin", "--all",
                               "--wait", "500", "--dry-run"), 0, None)
    lan.expect("misc: lines", len(out), len(phones) - 1)  # all but the silent one
    lan.expect("transfers and commands sent", sent(), before)

    lan.check("APortSeventyInUseIsReported")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
        holder.bind(("0.0.0.0", 70))
        # One command of each path: a single phone's, and the upload commands' engine.
        for args in (("put", PHONE, tone, "hold.mp3"), ("hold", tone, PHONE, "--parallel", "1")):
            lan.outcome(args[0], args, 3, [], "UDP port 70, from which files are transferred, "
                                              "is in use")
            lan.outcome("a dry run, which needs no port", (*args, "--dry-run"), 0, None)
        lan.expect("transfers and commands sent", sent(), before)
        lan.outcome("from ports of the system's choosing", ("hold", tone, PHONE, "--parallel",
                                                            "2"), 0, [f"{PHONE} --- OK"])
    if not lan.wine:  # the capability is Linux's; the native build stands for both here.
        status, _, err = lan.run("put", PHONE, tone, "hold.mp3", prefix=(  # root, less one right
            "setpriv", "--bounding-set=-net_bind_service", "--inh-caps=-all"))
        lan.expect("no CAP_NET_BIND_SERVICE: exit status", status, 3)
        lan.expect_in("no CAP_NET_BIND_SERVICE: message", "not allowed to bind UDP port 70", err)
        lan.expect_in("no CAP_NET_BIND_SERVICE: the capability", "CAP_NET_BIND_SERVICE", err)

        lan.check("TheProgressLineIsDrawnOnATerminal")  # script(1) gives kvxctl one
        done = subprocess.run(["script", "-qec", shlex.join(lan.command + [
            "put", PHONE, lan.write("big", data(1500000, 8)), "hold.mp3"]) + " 2>/dev/null",
            "/dev/null"], capture_output=True, cwd=lan.folder, timeout=120)
        screen = done.stdout.decode()
        lan.expect("exit status", done.returncode, 0)
        lan.expect_in("line", "0/1 done, 0 failed, 1 running, 0 KB", screen)
        lan.expect("redrawn as the bytes go", bool(re.search(r"1 running, [1-9]\d* KB\r", screen)),
                   True)
        lan.expect_in("result on a line of its own", f"\r{PHONE} --- OK\r\n", screen)
        lan.expect("the line wiped at the end", screen[-2:], " \r")

    lan.check("AVerifiedListThatFailsToGoIsNotFetched")
    one = lan.write("one.cfg", b"Name1=A\nURL1=http://a.b\n")
    lan.outcome("verify", ("stations", "put", one, "--verify", "192.168.77.12"), 1,
                [f"192.168.77.12 --- FAIL ({REJECTED})"])

    lan.check("APhonePutRightWhileRunningTakesTheFile")
    # Its faults file emptied and reread on SIGHUP, as the soak benchmark does.
    with open(os.path.join(lan.state, "192.168.77.12", "faults"), "w") as f:
        f.write("\n")
    for pid in os.environ["KVX_LAN_PHONE_PIDS"].split():
        os.kill(int(pid), signal.SIGHUP)
    time.sleep(0.3)
    lan.outcome("hold", ("hold", tone, "192.168.77.12"), 0, ["192.168.77.12 --- OK"])


SCENARIOS = {
    "page_checks": (["--phones", "3"], page_checks),
    "tftpd_hpa": (["--phones", "1"], tftpd_transfers),
    "fleet": (["--phones", str(len(FLEET))] +
              [w for ip, (f, _) in FLEET.items() if f for w in ("--fault", f"{ip}={f}")], fleet),
}


sys.exit(main(__file__, "KvxctlTransfer", SCENARIOS))
