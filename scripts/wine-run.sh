#!/usr/bin/env bash
# Runs a Windows program under Wine in the given prefix, making the prefix on
# first use: code page 932, Japanese fonts standing in for the Windows faces,
# no crash dialog. A 32-bit program runs under 32-bit Wine in a 32-bit prefix,
# a 64-bit one under 64-bit Wine in a 64-bit prefix (the machine field of the
# program's PE header tells which); a prefix of the other kind is made afresh.
#   wine-run.sh PREFIX PROGRAM.exe [ARGS...]
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
prefix=$(realpath -m "$1")
shift

# The PE machine field of a Windows program: 14c (i386), 8664 (x64), or
# nothing for what is not a PE file. Read with od, which every machine has.
pe_machine() {
  local offset bytes
  [ -f "$1" ] || return 0
  offset=$(od -An -tu4 -j60 -N4 --endian=little "$1" 2>/dev/null | tr -d ' ')
  [ -n "$offset" ] || return 0
  # "PE\0\0", then the machine field, little-endian.
  bytes=$(od -An -tx1 -j"$offset" -N6 "$1" 2>/dev/null | tr -d ' \n')
  [ "${bytes:0:8}" = 50450000 ] || return 0
  printf '%x\n' $((16#${bytes:10:2}${bytes:8:2}))
}

ready="$prefix/.tavix-ready"
case $(pe_machine "${1:-}") in
  8664) arch=win64 ;;
  14c) arch=win32 ;;
  # Not a Windows program of ours (say 'cmd'): the prefix's own kind.
  *) arch=$(cat "$ready" 2>/dev/null || true); arch=${arch:-win32} ;;
esac

export WINEPREFIX="$prefix" WINEARCH=$arch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# Wine takes the ANSI code page from the locale; the programs ask for 932
# themselves, and the tests run them under another locale too.
export LANG=${TAVIX_WINE_LOCALE:-ja_JP.UTF-8} LC_ALL=${TAVIX_WINE_LOCALE:-ja_JP.UTF-8}
if [ "$arch" = win64 ]; then
  # Debian's wine script starts the 32-bit loader whenever wine32 is
  # installed, even where the machine cannot run it: call the 64-bit one.
  export WINELOADER=/usr/lib/wine/wine64
  wine=$WINELOADER
else
  wine=wine
fi

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  # The ready marker holds the prefix's kind; an empty one (a prefix made
  # before the kind was recorded) is a 32-bit prefix.
  made=none
  if [ -f "$ready" ]; then
    made=$(cat "$ready")
    made=${made:-win32}
  fi
  [ "$made" = "$arch" ] || "$here/wine-prefix.sh" "$prefix"
) 9>"$prefix.lock"

exec "$wine" "$@"
