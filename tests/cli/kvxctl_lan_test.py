#!/usr/bin/env python3
"""kvxctl against simulated telephones: each scenario builds a test LAN with scripts/testlan,
runs kvxctl in it (natively, or the Windows build under Wine with --wine), and checks its
output, its exit status and the phones' settings. Writes a GoogleTest-style XML report.

    kvxctl_lan_test.py --kvxctl PATH [--wine] [--kvxphone PATH] [--report FILE] [SCENARIO...]
"""
import socket
import sys

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
from lan_scenarios import main  # noqa: E402


# ---------------------------------------------------------------- scenarios, run inside a LAN
# Each is (testlan options, checks); the checks' names are the report's test cases.

def a_fleet(lan):
    # Two segments of 240 phones each: the replies to one broadcast, and to a command sent to
    # every phone, all arrive at once. The limited broadcast leaves by the default route's
    # interface (c0) alone; segment 2 hears its subnet's directed broadcast, sent through c1.
    phones = sorted(f"192.168.{n}.{10 + i}" for n in (77, 78) for i in range(240))
    lan.check("DiscoveryOfAFleetBehindEveryInterfaceListsEveryPhoneOnceInTextOrder")
    status, out, _ = lan.run("discover", "--wait", "5000")
    lan.expect("exit status", status, 0)
    lan.expect("addresses", out, phones)
    lan.check("ACommandToAFleetGetsEveryPhonesResult")
    status, out, _ = lan.run("misc", "--name", "admin", "--password", "admin",
                             "--ringer", "Tone 3", "--all", "--wait", "10000")
    lan.expect("exit status", status, 0)
    lan.expect("output", out, [f"{phone} --- OK" for phone in phones])
    lan.expect("ringer of a phone on segment 2",
               lan.settings("192.168.78.11")["ringer_type"], "2")


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
    lan.check("APortInUseIsReported")
    holder = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    holder.bind(("0.0.0.0", 10000))
    status, out, err = lan.run("discover")
    holder.close()
    lan.expect("exit status", status, 3)
    lan.expect("output", out, [])
    lan.expect_in("message", "port 10000 is in use", err)


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


SCENARIOS = {
    "fleet": (["--phones", "240", "--phones2", "240"], a_fleet),
    "silent": (["--phones", "1", "--faults", "silent"], nobody_answers),
    "credentials": (["--phones", "3"], credentials),
}


sys.exit(main(__file__, "KvxctlLan", SCENARIOS))
