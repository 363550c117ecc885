#!/usr/bin/env bash
# Checks that the release archive can be rebuilt byte for byte: copies this
# source tree (without build/ and .git) into a new folder under FOLDER (by
# default the system's temporary folder), builds there only what the archive
# holds, compares the two archives and checks the copy's checksum file with
# sha256sum -c as a user checks a download. Both builds are made on this
# machine, with its release's toolchain. The copy is removed when the archives
# match, and kept for a look when they do not. Build this tree's archive first:
#   cmake --preset win32 && cmake --build --preset win32 --target package
#   scripts/release-rebuild.sh [FOLDER]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -le 1 ] || { echo "usage: $0 [FOLDER]" >&2; exit 2; }
parent=${1:-${TMPDIR:-/tmp}}
mkdir -p "$parent"
parent=$(cd "$parent" && pwd)
case "$parent/" in "$here"/*) echo "release-rebuild: $parent is inside $here: name a folder elsewhere" >&2; exit 2 ;; esac
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$here/build/win32/CMakeCache.txt" 2>/dev/null || true)
name=tavix-$version-win32.zip
ours=$here/build/win32/package/$name
[ -n "$version" ] && [ -f "$ours" ] || { echo "release-rebuild: no archive in $here/build/win32/package: build the win32 'package' target first" >&2; exit 1; }

other=$(mktemp -d "$parent/tavix-rebuild.XXXXXX")
theirs=$other/build/win32/package/$name
fail() {
  echo "release-rebuild: $1 (the copy stays in $other)" >&2
  exit 1
}
tar -C "$here" --exclude=./build --exclude=./.git -cf - . | tar -C "$other" -xf -
log=$other/release-rebuild.log
if ! (cd "$other" && cmake --preset win32 && cmake --build --preset win32 --target package) > "$log" 2>&1; then
  tail -n 20 "$log"
  fail "the build failed (log: $log)"
fi
if ! cmp -s "$ours" "$theirs"; then
  echo "release-rebuild: differing bytes of the archives (offset, octal ours, theirs):" >&2
  cmp -l "$ours" "$theirs" | head >&2 || true
  for file in $(cd "$here/build/win32" && echo release_stripped/* release_texts/*); do
    cmp -s "$here/build/win32/$file" "$other/build/win32/$file" || echo "release-rebuild: $file differs" >&2
  done
  fail "$theirs differs from $ours"
fi
# The download check as the README gives it: the archive and its checksum
# file alone in a folder, then sha256sum -c. Moved there, so that a checksum
# file naming the archive by the path it was built at finds nothing.
download=$other/download
mkdir "$download"
mv "$theirs" "$theirs.sha256" "$download/"
(cd "$download" && sha256sum -c --quiet "$name.sha256") ||
  fail "sha256sum -c $name.sha256 fails beside the archive alone in a folder ($download)"
release=$(sed -n 's/^VERSION_ID=//p' /etc/os-release | tr -d '"')
echo "release-rebuild: on Debian $release, a copy in another folder rebuilt $name byte for byte, sha256 $(cut -d' ' -f1 "$download/$name.sha256")"
rm -rf "$other"
