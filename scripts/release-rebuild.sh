#!/usr/bin/env bash
# Checks that the release archive can be rebuilt byte for byte: copies this
# source tree (without build/ and .git) into OTHER_FOLDER, builds there only
# what the archive holds, and compares the two archives; then checks the copy's
# checksum file with sha256sum -c. Build this tree's archive first:
#   cmake --preset win32 && cmake --build --preset win32 --target package
#   scripts/release-rebuild.sh OTHER_FOLDER
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -eq 1 ] || { echo "usage: $0 OTHER_FOLDER" >&2; exit 2; }
mkdir -p "$1"
other=$(cd "$1" && pwd)
case "$other/" in "$here"/*) echo "release-rebuild: $other is inside $here: name a folder elsewhere" >&2; exit 2 ;; esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$here/build/win32/CMakeCache.txt" 2>/dev/null || true)
name=tavix-$version-win32.zip
ours=$here/build/win32/package/$name theirs=$other/build/win32/package/$name
[ -n "$version" ] && [ -f "$ours" ] || { echo "release-rebuild: no archive in $here/build/win32/package: build the win32 'package' target first" >&2; exit 1; }

rm -rf "$other/build"
tar -C "$here" --exclude=./build --exclude=./.git -cf - . | tar -C "$other" -xf -
log=$other/release-rebuild.log
if ! (cd "$other" && cmake --preset win32 && cmake --build --preset win32 --target package) > "$log" 2>&1; then
  tail -n 20 "$log"
  echo "release-rebuild: the build in $other failed (log: $log)" >&2
  exit 1
fi
if ! cmp -s "$ours" "$theirs"; then
  echo "release-rebuild: $theirs differs from $ours; differing bytes (offset, octal ours, theirs):" >&2
  cmp -l "$ours" "$theirs" | head >&2 || true
  for file in release_stripped/tavix.exe release_stripped/tavixc.exe README-ja.txt; do
    cmp -s "$here/build/win32/$file" "$other/build/win32/$file" || echo "release-rebuild: $file differs" >&2
  done
  exit 1
fi
(cd "$other/build/win32/package" && sha256sum -c --quiet "$name.sha256") || { echo "release-rebuild: $name.sha256 does not match" >&2; exit 1; }
echo "release-rebuild: $other rebuilt $name byte for byte, sha256 $(cut -d' ' -f1 "$theirs.sha256")"
