#!/usr/bin/env python3
"""Writes the release archive so that the same files give the same bytes,
wherever and whenever it runs: entries in name order, each with the one time
given and fixed permissions, and nothing of the builder's (no owner, no access
or change time, which CPack and `cmake -E tar` store). Beside it, ARCHIVE.sha256
in the format `sha256sum -c` reads. Usage:
release_zip.py ARCHIVE "YYYY-MM-DD hh:mm:ss" FILE..."""
import hashlib
import os
import sys
import zipfile


def main(archive, time, files):
    date_time = tuple(int(part) for part in time.replace("-", " ").replace(":", " ").split())
    with zipfile.ZipFile(archive, "w") as zip_file:
        for path in sorted(files, key=os.path.basename):
            entry = zipfile.ZipInfo(os.path.basename(path), date_time)
            entry.create_system = 3  # Unix, so that the permissions below mean something to unzip
            mode = 0o755 if path.endswith(".exe") else 0o644
            entry.external_attr = (0o100000 | mode) << 16
            with open(path, "rb") as f:
                zip_file.writestr(entry, f.read(), zipfile.ZIP_DEFLATED, 9)
    with open(archive, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    with open(archive + ".sha256", "w") as f:
        f.write(f"{digest}  {os.path.basename(archive)}\n")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
