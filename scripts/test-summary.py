#!/usr/bin/env python3
"""What a CTest run ran, from its JUnit report: every GoogleTest case of a
test program (one CTest test may run a whole program, or another program
that runs one), every other test as one.

    test-summary.py JUNIT FAILURES GROUP=REGEX...

Prints, for each group that ran a test, in the order they first ran, a line
"PASSED FAILED SKIPPED GROUP" (GROUP may be empty); a test belongs to the
first group whose regular expression its name matches. Writes to FAILURES,
for each test that failed, its name, the cases that failed and the end of
their output."""
import re
import sys
import xml.etree.ElementTree as ElementTree

RAN = re.compile(r"^\[==========\] \d+ tests? from .* ran\.", re.M)
PASSED = re.compile(r"^\[  PASSED  \] (\d+) tests?\.", re.M)
FAILED = re.compile(r"^\[  FAILED  \] (\d+) tests?, listed below:", re.M)
SKIPPED = re.compile(r"^\[  SKIPPED \] (\d+) tests?, listed below:", re.M)
FAILED_CASE = re.compile(r"^\[ RUN      \] (\S+)\n(.*?)^\[  FAILED  \] \1[ ,]", re.M | re.S)
SHOWN_LINES = 25
SHOWN_WIDTH = 160


def total(pattern, text):
    return sum(int(n) for n in pattern.findall(text))


def counts(status, output):
    """(passed, failed, skipped) of one CTest test."""
    if RAN.search(output):
        passed, failed, skipped = total(PASSED, output), total(FAILED, output), total(SKIPPED, output)
        # A program that ended badly although its cases passed.
        return passed, failed if status == "run" or failed else 1, skipped
    if status == "run":
        return 1, 0, 0
    if status == "disabled":
        return 0, 0, 1
    return 0, 1, 0


def tail(text):
    lines = text.rstrip("\n").split("\n")[-SHOWN_LINES:]
    return "\n".join(line if len(line) <= SHOWN_WIDTH else line[:SHOWN_WIDTH] + "..." for line in lines)


def failure_report(name, output):
    cases = FAILED_CASE.findall(output)
    if not cases:
        return f"FAILED {name}; the end of its output:\n{tail(output)}"
    if [case for case, _ in cases] == [name]:
        return f"FAILED {name}:\n{tail(cases[0][1])}"
    return "\n".join([f"FAILED {name}:"] + [f"--- {case}:\n{tail(text)}" for case, text in cases])


def main():
    junit, failures_path, group_args = sys.argv[1], sys.argv[2], sys.argv[3:]
    groups = [(name, re.compile(regex)) for name, regex in (arg.split("=", 1) for arg in group_args)]
    tally = {}  # in the order the groups first ran
    reports = []
    for test in ElementTree.parse(junit).getroot().iter("testcase"):
        name, output = test.get("name", ""), test.findtext("system-out") or ""
        group = next((g for g, regex in groups if regex.search(name)), None)
        if group is None:
            sys.exit(f"test-summary.py: {name} is in no group")
        found = counts(test.get("status", ""), output)
        tally[group] = [a + b for a, b in zip(tally.get(group, [0, 0, 0]), found)]
        if found[1]:
            reports.append(failure_report(name, output))
    for name, counted in tally.items():
        print(*counted, name)
    with open(failures_path, "a", encoding="utf-8") as failures:
        failures.writelines(report + "\n" for report in reports)


if __name__ == "__main__":
    main()
