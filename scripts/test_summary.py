#!/usr/bin/env python3
"""One build's line of the test summary: the ctest groups that passed, failed
and were skipped (with the harness's reason, loudly), and the tests the
GoogleTest programs ran, from their XML results.

    test_summary.py BUILD CTEST_LOG RESULTS_FOLDER
"""
import glob
import re
import sys
import xml.etree.ElementTree as ET


def main():
    build, log_path, results = sys.argv[1:4]
    log = open(log_path, errors="replace").read()
    groups = re.findall(r"Test +#\d+: (\S+) \.+\s*(\*\*\*)?(\w[\w ]*?)\s+[\d.]+ sec", log)
    passed = [name for name, _, outcome in groups if outcome == "Passed"]
    skipped = [name for name, _, outcome in groups if outcome == "Skipped"]
    failed = [name for name, _, outcome in groups if outcome not in ("Passed", "Skipped")]
    reasons = sorted({open(path).read().strip() for path in glob.glob(f"{results}/*.skipped")})

    ran = tests_skipped = tests_failed = 0
    for path in glob.glob(f"{results}/**/*.xml", recursive=True):
        try:
            root = ET.parse(path).getroot()
        except ET.ParseError:
            continue
        for case in root.iter("testcase"):
            if case.find("skipped") is not None or case.get("result") == "skipped":
                tests_skipped += 1
            else:
                ran += 1
                if case.find("failure") is not None:
                    tests_failed += 1

    line = (f"  {build}: {len(groups)} test groups ({len(passed)} passed, {len(failed)} failed, "
            f"{len(skipped)} skipped); {ran} tests ran ({tests_failed} failed), {tests_skipped} skipped")
    if failed:
        line += "\n    FAILED: " + ", ".join(failed)
    if skipped:
        banner = "!" * 78
        line += (f"\n{banner}\n  SKIPPED in {build}, NOT PASSED: {', '.join(skipped)}\n"
                 + "".join(f"  reason: {reason}\n" for reason in reasons) + banner)
    print(line)


if __name__ == "__main__":
    main()
