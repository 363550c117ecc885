#!/usr/bin/env bash
# Runs a 32-bit Windows program under Wine in the given prefix, on any
# machine: where 32-bit code does not run, in the emulated PC of guest.sh,
# which sees this clone at the same path. The prefix is made on first use:
# 32-bit Windows, or with --wow64 64-bit Windows, where the program runs
# under WoW64 as it does on every Windows 11; code page 932, Japanese fonts
# standing in for the Windows faces, no crash dialog. Standard streams and the
# exit code are the program's.
#   wine-run.sh [--wow64] PREFIX PROGRAM.exe [ARGS...]
#   wine-run.sh [--wow64] PREFIX wineserver -k|-w    the prefix's Wine server
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
arch=win32
options=()
if [ "${1:-}" = --wow64 ]; then
  arch=win64 options=(--wow64)
  shift
fi
prefix=$(realpath -m "$1")
shift

if "$here/guest.sh" needed; then
  # A Wine server in a guest that is not running has nothing to do.
  [ "${1:-}" != wineserver ] || "$here/guest.sh" running || exit 0
  exec "$here/guest.sh" run "$here/wine-run.sh" "${options[@]}" "$prefix" "$@"
fi

# Wine 10 looks for a Wayland display first, and says on standard error that
# it has no runtime folder where none is set (a session without a desktop);
# a folder of its own answers it, and Wine goes on to the X display.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=/tmp/tavix-runtime-$(id -u)
  export XDG_RUNTIME_DIR
  [ -d "$XDG_RUNTIME_DIR" ] || mkdir -m 700 "$XDG_RUNTIME_DIR" 2>/dev/null || [ -d "$XDG_RUNTIME_DIR" ]
fi

# TAVIX_WINDOWS tells the tests which Windows they are meant to run on.
export WINEPREFIX="$prefix" WINEARCH=$arch WINEDEBUG=-all TAVIX_WINDOWS=$arch
# Debian's wine starts the 32-bit loader; a 64-bit prefix is made and run by
# the 64-bit one, which hands a 32-bit program on to the 32-bit loader, as
# 64-bit Windows starts one under WoW64.
wine=wine
if [ $arch = win64 ]; then
  wine=/usr/lib/wine/wine64
  export WINELOADER=$wine
fi
export WINEDLLOVERRIDES="mscoree,mshtml=,winemenubuilder.exe=d"
# Wine takes the ANSI code page from the locale; the programs ask for 932
# themselves, and the tests run them under another locale too.
export LANG=${TAVIX_WINE_LOCALE:-ja_JP.UTF-8} LC_ALL=${TAVIX_WINE_LOCALE:-ja_JP.UTF-8}

if [ "${1:-}" = wineserver ]; then
  shift
  [ -d "$prefix" ] || exit 0
  exec wineserver "$@"
fi

# Made in a local temporary folder, then copied into place: in the emulated
# PC, the clone's shared folder takes minutes for what a local one takes
# seconds.
make_prefix() (
  WINEPREFIX=$(mktemp -d)
  "$wine" wineboot -i >/dev/null 2>&1 || true
  wineserver -w
  # Japanese names need a UTF-16LE .reg file; a REGEDIT4 file would be read
  # in the ANSI code page.
  {
    printf '\xff\xfe'
    sed 's/$/\r/' <<'REG' | iconv -f UTF-8 -t UTF-16LE
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]
"ＭＳ ゴシック"="IPAGothic"
"ＭＳ Ｐゴシック"="IPAPGothic"
"MS Gothic"="IPAGothic"
"MS PGothic"="IPAPGothic"
"MS UI Gothic"="IPAPGothic"
"MS Shell Dlg"="IPAPGothic"
"MS Shell Dlg 2"="IPAPGothic"

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="Default"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"Default"="1280x1024"
REG
  } >"$WINEPREFIX/drive_c/tavix-prefix.reg"
  "$wine" regedit /S 'C:\tavix-prefix.reg' >/dev/null 2>&1
  wineserver -w
  rm -f "$WINEPREFIX/drive_c/tavix-prefix.reg" "$WINEPREFIX/wineserver"
  # Debian's Wine looks for its own fonts in /usr/share/fonts and misses
  # Marlett, which draws the title bar buttons (a bare "r" instead of the X).
  cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
  echo $arch >"$WINEPREFIX/.tavix-ready"
  [ -z "${TAVIX_GUEST:-}" ] || (cd "$prefix" 2>/dev/null && umount "${in_memory_folders[@]}" 2>/dev/null) || true
  rm -rf "$prefix"
  cp -a "$WINEPREFIX" "$prefix"
  rm -rf "$WINEPREFIX"
)

# In the emulated PC the clone's shared folder answers every file lookup
# slowly, and each start of a Windows program makes hundreds of them in the
# prefix's system folders, and a test as many in the temporary folder. There
# those folders (windows and users on drive C, dosdevices) come from a copy
# in the PC's memory, made when the PC first uses the prefix after it boots
# (half a minute to a minute) and mounted over them; the registry and the
# rest of drive C stay in the clone. What a program writes into those
# folders goes at power-off, and this machine never sees it.
in_memory_folders=(drive_c/windows drive_c/users dosdevices)
folders_in_memory() {
  local copy=/tmp/tavix-prefixes$prefix folder
  ! mountpoint -q "$prefix/dosdevices" || return 0
  rm -rf "$copy"
  mkdir -p "$copy"
  tar -C "$prefix" -cf - "${in_memory_folders[@]}" | tar -C "$copy" -xf -
  for folder in "${in_memory_folders[@]}"; do mount --bind "$copy/$folder" "$prefix/$folder"; done
}

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  [ "$(cat "$prefix/.tavix-ready" 2>/dev/null)" = $arch ] || make_prefix
  [ -z "${TAVIX_GUEST:-}" ] || folders_in_memory
) 9>"$prefix.lock"

# In the emulated PC every start of a Wine server costs seconds: keep it
# running between the programs of a test run (guest.sh stops the PC later).
# It refuses when one runs already.
[ -z "${TAVIX_GUEST:-}" ] || wineserver -p120 2>/dev/null || true

exec "$wine" "$@"
