#!/usr/bin/env bash
# Makes a fresh Wine prefix for tavix: wine-prefix.sh PREFIX
# Called with the environment wine-run.sh sets: WINEARCH says the kind,
# win32 or win64; a 64-bit prefix is made with the 64-bit Wine binaries
# themselves (Debian's wine and wineserver scripts start the 32-bit ones
# whenever wine32 is installed).
set -euo pipefail
prefix=$1
if [ "${WINEARCH:-win32}" = win64 ]; then
  wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver64
else
  wine=wine wineserver=wineserver
fi
rm -rf "$prefix"
"$wine" wineboot -i >/dev/null 2>&1 || true
"$wineserver" -w

# Japanese names need a UTF-16LE .reg file; a REGEDIT4 file would be read in
# the ANSI code page.
reg_utf8=$(mktemp)
cat > "$reg_utf8" <<'REG'
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
reg_file="$prefix/drive_c/tavix-prefix.reg"
{ printf '\xff\xfe'; sed 's/$/\r/' "$reg_utf8" | iconv -f UTF-8 -t UTF-16LE; } > "$reg_file"
rm -f "$reg_utf8"
"$wine" regedit /S 'C:\tavix-prefix.reg' >/dev/null 2>&1
"$wineserver" -w
rm -f "$reg_file"

# Debian's Wine looks for its own fonts in /usr/share/fonts and misses
# Marlett, which draws the title bar buttons (a bare "r" instead of the X).
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true
# The prefix's kind, for wine-run.sh.
echo "${WINEARCH:-win32}" > "$prefix/.tavix-ready"
