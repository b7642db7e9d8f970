#!/usr/bin/env python3
"""kvxctl with phones beyond the broadcast domain, on a test LAN with a router (see
lan_scenarios.py): discovery of targets, the inventory, commands and transfers to routed
phones, and the MP3 advice. Writes a GoogleTest-style XML report.

    kvxctl_reach_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import csv
import io
import json
import os
import shutil
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from lan_scenarios import main  # noqa: E402

LOCAL = ["192.168.77.10", "192.168.77.11"]
ROUTED = [f"10.77.{k}.{10 + i}" for k in (1, 2) for i in range(3)]
VERSIONS = {"10.77.1.11": "3.0.1", "10.77.2.12": "1.9.0-beta"}
ROUTED_LAN = ["--phones", "2", "--routed", "3", "--routed-subnets", "2",
              "--fault", "10.77.1.11=version=3.0.1", "--fault", "10.77.2.12=version=1.9.0-beta",
              "--fault", "10.77.2.10=dup-reply"]


def in_order(addresses):
    """The device list's order: text order."""
    return sorted(addresses)


def mpeg_frames(header, length, count):
    """count MPEG audio frames with the four header bytes given, zeros behind them."""
    return (bytes(header) + bytes(length - 4)) * count


class Work:
    """A folder that kvxctl runs in, so that relative paths serve both builds."""

    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="kvxctl-reach.")
        os.chmod(self.folder, 0o755)

    def write(self, name, content):
        with open(os.path.join(self.folder, name), "wb") as f:
            f.write(content)
        return name

    def close(self):
        shutil.rmtree(self.folder, ignore_errors=True)


def discovery_beyond_routers(lan):
    work = Work()
    run = lambda *args: lan.run(*args, "--wait", "1000", cwd=work.folder)  # noqa: E731
    lan.check("PlainDiscoveryFindsNoRoutedPhone")
    status, out, _ = run("discover")
    lan.expect("exit status", status, 0)
    lan.expect("addresses", out, LOCAL)

    lan.check("TargetsFindEveryRoutedPhoneOnceWhateverTheirPaths")
    # A block, a file with a comment, and the local phones again, which answer the broadcast
    # and their unicasts; 10.77.2.10 answers each request twice.
    work.write("targets.txt", b"# second office\n10.77.2.0/24\n")
    status, out, _ = run("discover", "--target", "10.77.1.0/24", "--target", "@targets.txt",
                         "--target", "192.168.77.10-11")
    lan.expect("exit status", status, 0)
    lan.expect("addresses", out, in_order(LOCAL + ROUTED))

    lan.check("InventoryGivesEveryKeyAndValueAsThePhonesSentThem")
    status, out, _ = run("discover", "--json", "--target", "10.77.0.0/22", "--rate", "5000",
                         "--target", "192.168.77.11")
    lan.expect("exit status", status, 0)
    inventory = json.loads("\n".join(out))
    lan.expect("devices", inventory["devices"], in_order(LOCAL + ROUTED))
    # The broadcast, which leaves by c0, the directed broadcast of cr's subnet, the /22 without
    # its network and broadcast addresses, and 192.168.77.11.
    lan.expect("datagrams sent", inventory["sent"], 1 + 1 + 1022 + 1)
    for phone in inventory["phones"]:
        ip = phone["address"]
        settings = lan.settings(ip)
        lan.expect(f"{ip} reached", phone["reached"], "unicast" if ip in ROUTED else "broadcast")
        lan.expect(f"{ip} keys", list(phone["reply"]), ["device", "version", "mac", "name", "ip"])
        lan.expect(f"{ip} reply", {k: phone["reply"][k] for k in ("device", "version", "name", "ip")},
                   {"device": "KVX-350RT", "version": VERSIONS.get(ip, settings["version"]),
                    "name": settings["name"], "ip": ip})
        lan.expect_true(f"{ip} answered within the wait: {phone['ms']}", 0 <= phone["ms"] < 1000)

    status, out, _ = run("discover", "--csv", "--target", "10.77.1.10-12")
    rows = list(csv.reader(io.StringIO("\n".join(out))))
    lan.expect("csv header", rows[0], ["address", "reached", "ms", "device", "version", "mac",
                                       "name", "ip"])
    from_json = {p["address"]: p for p in inventory["phones"]}
    for row in rows[1:]:
        phone = from_json[row[0]]
        lan.expect(f"csv {row[0]}", row[1:2] + row[3:],
                   [phone["reached"]] + list(phone["reply"].values()))
    lan.expect("csv rows", [r[0] for r in rows[1:]], in_order(LOCAL + ROUTED[:3]))

    status, out, _ = run("discover", "--long", "--target", "10.77.2.12")
    lan.expect("columns", [line.split() for line in out],
               [[ip, VERSIONS.get(ip, "2.1.4")] for ip in in_order(LOCAL + ["10.77.2.12"])])

    lan.check("ABadTargetIsRefusedBeforeAnythingIsSent")
    asked = lan.events("192.168.77.10").count("discovery from=")
    status, out, err = run("discover", "--target", "10.77.1.10", "--target", "10.0.0.0/7")
    lan.expect("exit status", status, 2)
    lan.expect_in("message", "--target 10.0.0.0/7: a block may be at most a /16", err)
    lan.expect("requests seen by a phone", lan.events("192.168.77.10").count("discovery from="),
               asked)
    work.close()


def routed_upload_with_advice(lan):
    work = Work()
    lan.check("Mp3AdviceWarnsButUploadsToARoutedPhone")
    # Which files get which advice is the advice's own test.
    content = mpeg_frames((0xFF, 0xFB, 0x90, 0x00), 417, 20)
    work.write("stereo44k.mp3", content)
    status, out, err = lan.run("hold", "stereo44k.mp3", "10.77.1.10", cwd=work.folder)
    lan.expect("upload", (status, out), (0, ["10.77.1.10 --- OK"]))
    with open(os.path.join(lan.phone_folder("10.77.1.10"), "files", "hold.mp3"), "rb") as f:
        lan.expect("stored", f.read(), content)
    lan.expect_in("warning", "stereo44k.mp3 is 44100 Hz stereo (MPEG-1 Layer III)", err)
    lan.expect_in("advice", "Suggest to use 8KHz, Mono channel mp3 file.", err)
    work.close()


def station_lines(name, url):
    return f"Name1={name}\r\nURL1={url}\r\n".encode()


def phone_stations(lan, ip):
    """Station 1's name and how many stations the phone keeps."""
    with open(os.path.join(lan.phone_folder(ip), "stations.cfg")) as f:
        names = [line.split("=", 1)[1].strip() for line in f if line.startswith("Name")]
    return names[0], sum(1 for name in names if name)


def backups_and_verified_uploads(lan):
    routed_upload_with_advice(lan)
    work = Work()
    run = lambda *args: lan.run(*args, "--wait", "1000", cwd=work.folder)  # noqa: E731
    everyone = in_order(LOCAL + ROUTED)
    lan.check("CommandsTakeTargets")
    status, out, _ = run("misc", "--name", "admin", "--password", "admin", "--ringer", "Tone 4",
                         "--target", "10.77.1.0/24")
    lan.expect("misc to the targets", (status, sorted(out)),
               (0, [f"{ip} --- OK" for ip in ROUTED[:3]]))
    lan.expect("ringers", [lan.settings(ip)["ringer_type"] for ip in ROUTED[:3] + LOCAL],
               ["3", "3", "3", "0", "0"])

    lan.check("BackupFetchesEveryPhonesListIntoTheFolder")
    # Each phone gets a list of its own first, so a restore to the wrong phone would show.
    for ip in everyone:
        work.write("own.cfg", station_lines(f"Radio of {ip}", f"http://{ip}/stream"))
        status, out, _ = run("stations", "put", "own.cfg", ip)
        lan.expect(f"{ip}: own list", (status, out), (0, [f"{ip} --- OK"]))
    status, out, _ = run("stations", "get", "backup", "--all", "--target", "10.77.0.0/22",
                         "--rate", "5000", "--parallel", "4")
    lan.expect("backup", (status, sorted(out)), (0, [f"{ip} --- OK" for ip in everyone]))
    lan.expect("files", sorted(os.listdir(os.path.join(work.folder, "backup"))),
               sorted(f"{ip}.cfg" for ip in everyone))

    lan.check("RestorePutsEachListBackOnItsOwnPhone")
    work.write("other.cfg", station_lines("Overwritten", "http://example.com/x"))
    status, _, _ = run("stations", "put", "other.cfg", "--all", "--target", "10.77.1.0/24",
                       "--target", "10.77.2.0/24")
    lan.expect("overwritten", (status, [phone_stations(lan, ip)[0] for ip in everyone]),
               (0, ["Overwritten"] * len(everyone)))
    os.remove(os.path.join(work.folder, "backup", "192.168.77.11.cfg"))
    status, out, _ = run("stations", "put", "--from", "backup", "--all", "--target",
                         "10.77.0.0/22", "--rate", "5000")
    lan.expect("restore exit status", status, 1)
    missing = os.path.join("backup", "192.168.77.11.cfg")
    if lan.wine:  # kvxctl.exe joins paths the Windows way
        missing = missing.replace("/", "\\")
    lan.expect("restore", sorted(out), sorted(
        [f"{ip} --- OK" for ip in everyone if ip != "192.168.77.11"] +
        [f"192.168.77.11 --- FAIL (no {missing}, skipped)"]))
    lan.expect("lists back", [phone_stations(lan, ip)[0] for ip in everyone],
               [f"Radio of {ip}" if ip != "192.168.77.11" else "Overwritten" for ip in everyone])

    lan.check("VerifiedUploadCatchesThePhoneThatStoresSomethingElse")
    work.write("three.cfg", station_lines("One", "http://example.com/1") +
               b"Name2=Two\r\nURL2=http://example.com/2\r\nName3=Three\r\nURL3=http://e.com/3\r\n")
    status, out, _ = run("stations", "put", "three.cfg", "--verify", "--target", "10.77.2.0/24")
    lan.expect("verify exit status", status, 1)
    lan.expect("verify", sorted(out), [
        "10.77.2.10 --- OK",
        "10.77.2.11 --- FAIL (verify: station 2: sent \"Two\" http://example.com/2, the phone has "
        "none (2 stations differ))",
        "10.77.2.12 --- OK"])
    lan.expect("kept by the faulty phone", phone_stations(lan, "10.77.2.11"), ("One", 1))
    work.close()


SCENARIOS = {
    "discovery": (ROUTED_LAN, discovery_beyond_routers),
    "backups": (ROUTED_LAN[:-2] + ["--fault", "10.77.2.11=stations-keep=1"],
                backups_and_verified_uploads),
}


sys.exit(main(__file__, "KvxctlReach", SCENARIOS))
