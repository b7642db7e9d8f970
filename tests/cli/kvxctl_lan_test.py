#!/usr/bin/env python3
"""kvxctl's discovery and commands on test LANs (see lan_scenarios.py), and the station lists
of phones behind a router.

    kvxctl_lan_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import csv
import io
import json
import os
import socket
import sys

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from lan_scenarios import main, ok  # noqa: E402

ADMIN = ("--name", "admin", "--password", "admin")


def a_fleet(lan):
    # Two segments of 240 phones each: the replies to one broadcast, and to a command sent to
    # every phone, all arrive at once. The limited broadcast leaves by the default route's
    # interface (c0) alone; segment 2 hears its subnet's directed broadcast, sent through c1.
    phones = sorted(f"192.168.{n}.{10 + i}" for n in (77, 78) for i in range(240))
    lan.check("DiscoveryOfAFleetBehindEveryInterfaceListsEveryPhoneOnceInTextOrder")
    lan.outcome("discover", ("discover", "--wait", "5000"), 0, phones)
    lan.check("ACommandToAFleetGetsEveryPhonesResult")
    lan.outcome("misc", ("misc", *ADMIN, "--ringer", "Tone 3", "--all", "--wait", "10000"), 0,
                [f"{phone} --- OK" for phone in phones])
    lan.expect("ringer on segment 2", lan.settings("192.168.78.11")["ringer_type"], "2")


def nobody_answers(lan):
    lan.check("NoPhoneFoundIsAFailure")
    lan.outcome("discover", ("discover", "--wait", "500"), 1, [], "no phone found")
    lan.outcome("admin --all", ("admin", *ADMIN, "--new-password", "b2", "--all", "--wait",
                                "500"), 1, [], "no phone found")
    lan.check("AnUnansweredCommandIsReportedAsNoReply")
    lan.outcome("misc", ("misc", *ADMIN, "192.168.77.10", "--wait", "500"), 1,
                ["192.168.77.10 --- no reply"])
    lan.check("UsageMistakesAreRefused")
    for args, says in (((), "usage: kvxctl"), (("bogus",), "no command bogus"),
                       (("help", "x"), "no command x"), (("discover", "x"), "no addresses"),
                       (("misc", "--hold", "x", "192.168.77.10"), "choose one of"),
                       (("discover", "--json", "--csv"), "choose one of --json, --csv"),
                       (("discover", "--rate", "0", "--target", "10.0.0.1"), "from 1 to 100000"),
                       (("discover", "--rate", "5x", "--target", "10.0.0.1"), "from 1 to 100000"),
                       (("misc", "--name", "n" * 32, "--password", "p", "--all"), "at most 31"),
                       (("admin", *ADMIN, "--new-name", "n" * 32, "--all"), "more than 31"),
                       (("admin", "--name", "a", "--password", "p" * 12, "--all"), "than 11"),
                       (("misc", "--name", "a", "--password", "p" * 12, "--all"), "at most 11"),
                       (("misc", *ADMIN, "--only-failed", "x.log", "--all"), "from the log"),
                       (("stations",), "usage: kvxctl stations get")):
        lan.outcome(" ".join(("kvxctl",) + args), args, 2, [], says)
    lan.expect("help", lan.outcome("help", ("help", "misc"), 0, None)[0][:18], "usage: kvxctl misc")
    lan.check("APortInUseIsReported")
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as holder:
        holder.bind(("0.0.0.0", 10000))
        lan.outcome("discover", ("discover",), 3, [], "port 10000 is in use")
        lan.outcome("hold", ("hold", lan.write("x.mp3", b"x"), "--all"), 3, [], "10000 is in use")


def credentials(lan):
    untouched = lan.settings("192.168.77.12")
    lan.check("AdminWithRightCredentialsChangesTheGivenPhonesOnce")
    lan.outcome("admin", ("admin", *ADMIN, "--new-name", "boss", "--new-password", "secret1",
                          "192.168.77.11", "192.168.77.10", "192.168.77.11"), 0,
                ["192.168.77.10 --- OK", "192.168.77.11 --- OK"])
    lan.expect("credentials", [(s["admin_name"], s["admin_password"]) for s in map(
        lan.settings, ("192.168.77.10", "192.168.77.11"))], [("boss", "secret1")] * 2)
    lan.expect("untouched phone", lan.settings("192.168.77.12"), untouched)

    lan.check("AdminFieldsAreCheckedBeforeAnythingIsSent")
    lan.outcome("admin", ("admin", "--name", "boss", "--password", "secret1", "--new-password",
                          "new1", "--confirm", "New1", "192.168.77.10"), 2, [],
                "Incorrect Administrator Password.")
    lan.expect("password", lan.settings("192.168.77.10")["admin_password"], "secret1")

    def misc_settings(ip):
        s = lan.settings(ip)
        return [s["ringer_type"], s["hold_tone"], s["banner"], s["internet_radio"]]

    lan.check("MiscChangesThePhonesWhoseCredentialsMatchAndSendsInitialChoicesUnlessGiven")
    lan.outcome("misc", ("misc", "--name", "boss", "--password", "secret1", "--ringer",
                         "MP3_Ring 9", "--hold", "mp3 hold", "--banner", "enable", "--radio",
                         "Disable", "--all"), 1,
                ok(["192.168.77.10", "192.168.77.11"]) | {"192.168.77.12 --- DENIED"})
    lan.expect("settings", misc_settings("192.168.77.10"), ["8", "2", "1", "0"])
    lan.outcome("no choices", ("misc", "--name", "boss", "--password", "secret1",
                               "192.168.77.10"), 0, ["192.168.77.10 --- OK"])
    lan.expect("initial choices", misc_settings("192.168.77.10"), ["0", "0", "0", "1"])


LOCAL = ["192.168.77.10", "192.168.77.11"]
ROUTED = [f"10.77.{k}.{10 + i}" for k in (1, 2) for i in range(3)]
EVERYONE = sorted(LOCAL + ROUTED)
VERSIONS = {"10.77.1.11": "3.0\"1", "10.77.2.12": "1.9.0-beta"}  # a quote, which CSV doubles


def station_lines(*stations):
    return b"".join(f"Name{i}={n}\r\nURL{i}={u}\r\n".encode()
                    for i, (n, u) in enumerate(stations, 1))


def phone_stations(lan, ip):
    """The names of the stations the phone keeps."""
    with open(os.path.join(lan.state, ip, "stations.cfg")) as f:
        names = [line.split("=", 1)[1].strip() for line in f if line.startswith("Name")]
    return [name for name in names if name]


def behind_a_router(lan):
    def run(what, *args, status=0, lines=None, message=""):
        return lan.outcome(what, (*args, "--wait", "1000"), status, lines, message)

    lan.check("TargetsFindEveryRoutedPhoneOnceWhateverTheirPaths")
    # A block, a file with a comment, and the local phones again, which answer the broadcast
    # and their unicasts; 10.77.2.10 answers each request twice.
    lan.write("targets.txt", b"# second office\n10.77.2.0/24\n")
    run("discover", "discover", "--target", "10.77.1.0/24", "--target", "@targets.txt",
        "--target", "192.168.77.10-11", lines=EVERYONE)

    lan.check("InventoryGivesEveryKeyAndValueAsThePhonesSentThem")
    inventory = json.loads("\n".join(run("json", "discover", "--json", "--target",
                                          "10.77.0.0/22", "--rate", "5000", "--target",
                                          "192.168.77.11")))
    lan.expect("devices", inventory["devices"], EVERYONE)
    # The broadcast, which leaves by c0, the directed broadcast of cr's subnet, the /22 without
    # its network and broadcast addresses, and 192.168.77.11.
    lan.expect("datagrams sent", inventory["sent"], 1 + 1 + 1022 + 1)
    for phone in inventory["phones"]:
        ip = phone["address"]
        s = lan.settings(ip)
        # No broadcast of the client reaches a routed phone.
        lan.expect(f"{ip} reached", phone["reached"], "unicast" if ip in ROUTED else "broadcast")
        # Every key in the phone's order; the MAC address is the phone's own.
        lan.expect(f"{ip} reply", list(dict(phone["reply"], mac=None).items()), [
            ("device", "KVX-350RT"), ("version", VERSIONS.get(ip, s["version"])), ("mac", None),
            ("name", s["name"]), ("ip", ip)])
        lan.expect(f"{ip} answered within the wait", 0 <= phone["ms"] < 1000, True)
    text = "\n".join(run("csv", "discover", "--csv", "--target", "10.77.1.10-12"))
    lan.expect_in("a quoted field", ',"3.0""1",', text)
    rows = list(csv.reader(io.StringIO(text)))
    lan.expect("csv header", rows[0], ["address", "reached", "ms", "device", "version", "mac",
                                       "name", "ip"])
    from_json = {p["address"]: p for p in inventory["phones"]}
    lan.expect("csv rows", [r[:2] + r[3:] for r in rows[1:]],
               [[a, from_json[a]["reached"], *from_json[a]["reply"].values()]
                for a in sorted(LOCAL + ROUTED[:3])])
    out = run("long", "discover", "--long", "--target", "10.77.2.12")
    lan.expect("columns of --long", [line.split() for line in out],
               [[ip, VERSIONS.get(ip, "2.1.4")] for ip in sorted(LOCAL + ["10.77.2.12"])])

    lan.check("ABadTargetIsRefusedBeforeAnythingIsSent")
    asked = lan.events("192.168.77.10").count("discovery from=")
    run("bad target", "discover", "--target", "10.77.1.10", "--target", "10.0.0.0/7", status=2,
        lines=[], message="--target 10.0.0.0/7: a block may be at most a /16")
    lan.expect("requests", lan.events("192.168.77.10").count("discovery from="), asked)

    lan.check("CommandsTakeTargets")
    run("misc", "misc", "--name", "admin", "--password", "admin", "--ringer", "Tone 4",
        "--target", "10.77.1.0/24", lines=ok(ROUTED[:3]))
    lan.expect("ringers", [lan.settings(ip)["ringer_type"] for ip in ROUTED[:3] + LOCAL],
               ["3", "3", "3", "0", "0"])

    lan.check("BackupFetchesEveryPhonesListIntoTheFolder")
    # Each phone gets a list of its own first, so a restore to the wrong phone would show.
    for ip in EVERYONE:
        lan.write("own.cfg", station_lines((f"Radio of {ip}", f"http://{ip}/stream")))
        run(ip, "stations", "put", "own.cfg", ip, lines=[f"{ip} --- OK"])
    run("backup", "stations", "get", "backup", "--all", "--target", "10.77.0.0/22", "--rate",
        "5000", "--parallel", "4", lines=ok(EVERYONE))
    lan.expect("files", sorted(os.listdir(os.path.join(lan.folder, "backup"))),
               sorted(f"{ip}.cfg" for ip in EVERYONE))

    lan.check("RestorePutsEachListBackOnItsOwnPhone")
    lan.write("other.cfg", station_lines(("Overwritten", "http://example.com/x")))
    run("overwrite", "stations", "put", "other.cfg", "--all", "--target", "10.77.1.0/24",
        "--target", "10.77.2.0/24", lines=ok(EVERYONE))
    # One list gone, one that may not be sent, one unreadable.
    kept = ("192.168.77.11", "10.77.1.10", "10.77.1.11")
    missing, odd, folder = (os.path.join("backup", f"{ip}.cfg") for ip in kept)
    os.remove(os.path.join(lan.folder, missing))
    lan.write(odd, station_lines(("Odd", "ftp://o.ex")))
    os.remove(os.path.join(lan.folder, folder))
    os.mkdir(os.path.join(lan.folder, folder))
    missing, odd, folder = (p.replace("/", "\\" if lan.wine else "/")
                            for p in (missing, odd, folder))
    run("restore", "stations", "put", "--from", "backup", "--verify", "--all", "--target",
        "10.77.0.0/22", "--rate", "5000", status=1, lines=ok(set(EVERYONE) - set(kept)) | {
            f"192.168.77.11 --- FAIL (no {missing}, skipped)", f"10.77.1.10 --- FAIL ({odd}: "
            "I/R only supports http protocol. (station \"Odd\" has the URL \"ftp://o.ex\"))",
            f"10.77.1.11 --- FAIL (cannot read {folder})"})
    lan.expect("lists back", [phone_stations(lan, ip) for ip in EVERYONE],
               [["Overwritten" if ip in kept else f"Radio of {ip}"] for ip in EVERYONE])

    lan.check("VerifiedUploadCatchesThePhoneThatStoresSomethingElse")
    lan.write("three.cfg", station_lines(("One", "http://e.com/1"), ("Two", "http://e.com/2"),
                                         ("Three", "http://e.com/3")))
    run("verify", "stations", "put", "three.cfg", "--verify", "--target", "10.77.2.0/24",
        status=1, lines=ok(["10.77.2.10", "10.77.2.12"]) | {
            "10.77.2.11 --- FAIL (verify: station 2: sent \"Two\" http://e.com/2, the phone has "
            "none (2 stations differ))"})
    lan.expect("kept by the faulty phone", phone_stations(lan, "10.77.2.11"), ["One"])


SCENARIOS = {
    "fleet": (["--phones", "240", "--phones2", "240"], a_fleet),
    "silent": (["--phones", "1", "--faults", "silent"], nobody_answers),
    "credentials": (["--phones", "3"], credentials),
    "routed": (["--phones", "2", "--routed", "3", "--routed-subnets", "2",
                "--fault", "10.77.1.11=version=3.0\"1", "--fault", "10.77.2.12=version=1.9.0-beta",
                "--fault", "10.77.2.10=dup-reply", "--fault", "10.77.2.11=stations-keep=1"],
               behind_a_router),
}


sys.exit(main(__file__, "KvxctlLan", SCENARIOS))
