#!/usr/bin/env python3
"""Checks the release's notices against what the linker put into the
programs: every library or start-up object of others that either program
takes something from is named on a "Linked from:" line of the notices, and
every name there is taken by one of them. Reads GNU ld's map files.
Usage: check_notices.py NOTICES BUILD_DIR MAP..."""
import os
import re
import sys


def others_linked(map_path, build_dir):
    """The file names of the archives that gave members to the link and of
    the object files loaded whole, outside the build tree."""
    linked = set()
    in_members = False
    with open(map_path, encoding="utf-8", errors="replace") as f:
        for line in f:
            if line.startswith("Archive member included"):
                in_members = True
            elif in_members and re.match(r"(Discarded input sections|Allocating common symbols|Memory Configuration)", line):
                in_members = False
            elif in_members and line[:1] not in (" ", "\n"):
                linked.add(line.split("(", 1)[0].strip())
            elif line.startswith("LOAD ") and line.rstrip().endswith(".o"):
                linked.add(line[5:].strip())
    build_dir = os.path.realpath(build_dir)
    return {os.path.basename(p) for p in linked
            if not os.path.realpath(os.path.join(build_dir, p)).startswith(build_dir + os.sep)}


def main(notices, build_dir, maps):
    with open(notices, encoding="utf-8") as f:
        named = {name for line in f if line.startswith("Linked from:") for name in line.split(":", 1)[1].split()}
    linked = set().union(*(others_linked(m, build_dir) for m in maps))
    problems = [f"linked but not in the notices: {name}" for name in sorted(linked - named)]
    problems += [f"in the notices but linked into neither program: {name}" for name in sorted(named - linked)]
    for problem in problems:
        print(problem)
    if not problems:
        print("the notices name every library of others in the programs: " + " ".join(sorted(linked)))
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
