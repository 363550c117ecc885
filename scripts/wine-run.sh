#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, making the prefix on
# first use: 32-bit, code page 932, Japanese fonts standing in for the
# Windows faces, no crash dialog.
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=$(realpath -m "$1")
shift

export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  [ -f "$prefix/.tavix-ready" ] || "$here/wine-prefix.sh" "$prefix"
) 9>"$prefix.lock"

exec wine "$@"
