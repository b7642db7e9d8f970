#!/usr/bin/env python3
"""Runs contrib/ansible/kvx-sites.yml over three sites and checks its report: site-a and
site-b are two private test LANs of simulated phones (one phone of site-b refuses files), each
reached through a local connection whose Python runs in that LAN's namespace; site-c's host has
no kvxctl.

    check_playbook.py KVXCTL KVXPHONE      (root: it makes the two LANs with scripts/testlan)
"""
import json
import os
import subprocess
import sys
import tempfile

sys.dont_write_bytecode = True  # nothing of a test run lands in the source tree
sys.path.insert(0, os.path.join(os.path.dirname(__file__), "..", "release"))
from release_check import ROOT, expect, finish  # noqa: E402

TESTLAN = os.path.join(ROOT, "scripts", "testlan")
PLAYBOOK = os.path.join(ROOT, "contrib", "ansible", "kvx-sites.yml")
REFUSING = "192.168.77.11"  # site-b's phone that answers every write with ERROR 2


def lans(kvxctl, kvxphone):
    """Runs this script again inside site-a's LAN, and from there inside site-b's."""
    me = [sys.executable, os.path.abspath(__file__), kvxctl, kvxphone]
    site_b = [TESTLAN, "--kvxphone", kvxphone, "--phones", "2",
              "--fault", f"{REFUSING}=reject-writes", "--"] + me
    # site-a's namespace and phones are passed on under names that site-b's LAN keeps.
    relay = ["sh", "-c", 'KVX_SITE_A_NS=$KVX_LAN_NS KVX_SITE_A_PHONES=$KVX_LAN_PHONES '
             'KVX_SITE_A_STATE=$KVX_LAN_STATE exec "$@"', "relay"] + site_b
    os.execv(TESTLAN, [TESTLAN, "--kvxphone", kvxphone, "--phones", "3", "--"] + relay)


def host_python(scratch, name, namespace):
    """A Python for the site's host whose modules, and so kvxctl, run in the site's LAN."""
    path = os.path.join(scratch, f"{name}-python")
    with open(path, "w") as f:
        f.write(f'#!/bin/sh\nexec ip netns exec {namespace} /usr/bin/python3 "$@"\n')
    os.chmod(path, 0o755)
    return path


def main():
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    kvxctl, kvxphone = (os.path.abspath(p) for p in sys.argv[1:])
    if "KVX_SITE_A_NS" not in os.environ:
        lans(kvxctl, kvxphone)
    lan = os.environ
    sites = {site: (lan[f"{v}_NS"], lan[f"{v}_PHONES"].split(), lan[f"{v}_STATE"])
             for site, v in (("site-a", "KVX_SITE_A"), ("site-b", "KVX_LAN"))}
    with tempfile.TemporaryDirectory(prefix="kvx-playbook-", ignore_cleanup_errors=True) as scratch:
        music = os.path.join(scratch, "music.mp3")
        with open(music, "wb") as f:
            f.write(os.urandom(3000))
        hosts = {name: (kvxctl, namespace) for name, (namespace, _, _) in sites.items()}
        hosts["site-c"] = (f"{scratch}/none/kvxctl", sites["site-b"][0])
        inventory = os.path.join(scratch, "inventory.ini")
        with open(inventory, "w") as f:
            f.write("[kvx_sites]\n" + "".join(
                f"{name} ansible_connection=local kvxctl={program} kvx_workdir={scratch}/{name} "
                f"ansible_python_interpreter={host_python(scratch, name, namespace)}\n"
                for name, (program, namespace) in hosts.items()))
        report_dir = os.path.join(scratch, "report")
        env = dict(os.environ, ANSIBLE_LOCAL_TEMP=os.path.join(scratch, "ansible"),
                   ANSIBLE_REMOTE_TEMP=os.path.join(scratch, "ansible-remote"),
                   ANSIBLE_NOCOLOR="1", ANSIBLE_RETRY_FILES_ENABLED="0")
        done = subprocess.run(["ansible-playbook", "-i", inventory, PLAYBOOK,
                               "-e", f"kvx_file={music}", "-e", f"kvx_report_dir={report_dir}"],
                              capture_output=True, text=True, timeout=600, env=env)
        print(done.stdout[-3000:], done.stderr[-2000:], sep="\n")
        expect(done.returncode != 0, f"the playbook fails when a site failed ({done.returncode})")
        check_report(report_dir, sites, music)
    return finish("check_playbook")


def check_report(report_dir, sites, music):
    # A missing or unreadable report ends the check with its exception.
    with open(os.path.join(report_dir, "report.json")) as f:
        report = {s["site"]: s for s in json.load(f)["sites"]}
    text = open(os.path.join(report_dir, "report.txt")).read()
    print(text)
    expect(list(report) == ["site-a", "site-b", "site-c"], f"one entry per site ({list(report)})")
    sent = open(music, "rb").read()
    for name, (_, phones, state) in sites.items():
        got = {p["address"]: p["result"] for p in report.get(name, {}).get("phones", [])}
        wanted = {a: "FAIL" if name == "site-b" and a == REFUSING else "OK" for a in phones}
        expect(got == wanted, f"{name}: the report lists every phone with its result ({got})")
        for address in (a for a in phones if got.get(a) == "OK"):
            held = os.path.join(state, address, "files", "hold.mp3")
            expect(os.path.exists(held) and open(held, "rb").read() == sent,
                   f"{name} {address} holds the file")
        section = text.split(f"\n{name}: ", 1)[-1].split("\n\n", 1)[0]
        expect(all(f"  {a} --- {got.get(a)}" in section for a in phones),
               f"report.txt lists {name}'s phones with their results")
        expect(os.path.exists(os.path.join(report_dir, f"{name}.log")),
               f"{name}'s kvxctl log was fetched")
    expect(report["site-a"]["status"] == "OK", "site-a is OK")
    refused = next((p for p in report["site-b"]["phones"] if p["address"] == REFUSING), {})
    expect(report["site-b"]["status"] == "FAILED" and "ERROR 2" in (refused.get("reason") or ""),
           f"site-b failed, with the phone's reason ({refused.get('reason')})")
    expect(report["site-c"]["status"] == "FAILED" and report["site-c"]["reason"],
           f"site-c failed, with a reason ({report['site-c']['reason']})")


sys.exit(main())
