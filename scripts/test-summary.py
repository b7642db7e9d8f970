#!/usr/bin/env python3
"""Counts passed and failed tests of each build from CTest's JUnit report, looking inside
each GoogleTest program's own XML report for its individual cases; prints one line."""
import os
import sys
import xml.etree.ElementTree as ET


def count(build):
    passed = failed = 0
    junit = os.path.join(build, "ctest-junit.xml")
    if not os.path.exists(junit):
        return 0, 1  # the build's tests never ran
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        ctest_failed = case.get("status") not in ("run", "passed") or case.find("failure") is not None
        report = os.path.join(build, "test-results", name + ".xml")
        cases = []
        if os.path.exists(report):
            try:
                cases = list(ET.parse(report).getroot().iter("testcase"))
            except ET.ParseError:
                cases = []
        if not cases:
            failed += ctest_failed
            passed += not ctest_failed
            continue
        bad = sum(1 for c in cases if c.find("failure") is not None)
        good = sum(1 for c in cases if c.find("failure") is None and c.get("result") != "skipped")
        if ctest_failed and bad == 0:
            bad = 1  # the program failed (a crash, a leak) after its cases passed
        passed += good
        failed += bad
    return passed, failed


def main():
    totals = [0, 0]
    parts = []
    for build in sys.argv[1:]:
        p, f = count(build)
        totals[0] += p
        totals[1] += f
        parts.append(f"{os.path.basename(build)} {p} passed, {f} failed")
    print(f"TESTS: {totals[0]} passed, {totals[1]} failed ({'; '.join(parts)})")
    return 1 if totals[1] else 0


sys.exit(main())
