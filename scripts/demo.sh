#!/usr/bin/env bash
# Builds tavix and runs it under Wine on a sample client profile made afresh
# on every run, so Pseudo-defrag can be tried again and again.
# With a display, the window opens for you to use. Without one, a headless run
# selects every account, runs Estimate with the true defragmentation line,
# saves pictures of both windows under build/demo/ and prints the report, then
# the same report from tavixc, the command-line program.
# On a machine that runs no 32-bit code (or with TAVIX_EMULATE=1), the
# programs run in the emulated PC of scripts/guest.sh, whose own virtual
# display then shows the window (so there it always runs headless).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh
echo "demo: $(scripts/guest.sh where)"
out="$PWD/build/demo"
mkdir -p "$out"
echo "demo: building tavix.exe, tavixc.exe and the demo (output in build/demo/build.log)"
if ! { cmake --preset win32 && cmake --build --preset win32 --target tavix tavixc tavix_demo; } >"$out/build.log" 2>&1; then
  tail -n 20 "$out/build.log"
  echo "demo: the build failed (whole output: build/demo/build.log)" >&2
  exit 1
fi

prefix="$out/wineprefix"
bin=build/win32
demo_exe=$bin/demo/tavix_demo.exe
data='C:\MorvexSample'
trap 'scripts/wine-run.sh "$prefix" wineserver -k 2>/dev/null || true' EXIT

if [ -n "${DISPLAY:-}" ] && ! scripts/guest.sh needed; then
  scripts/wine-run.sh "$prefix" "$demo_exe" prepare "$data"
  echo "tavix is open on the sample profile ($data); close its window to end."
  scripts/wine-run.sh "$prefix" "$bin/tavix.exe"
else
  rm -f "$out"/*.bmp "$out"/*.png "$out"/report.txt
  # Wine's processes end before the virtual display does, so none of them
  # complains about a lost X connection.
  xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    status=0
    scripts/wine-run.sh "$1" "$2" run "$5/tavix.exe" "$3" "Z:$4" || status=$?
    scripts/wine-run.sh "$1" wineserver -k 2>/dev/null || true
    exit $status' demo "$prefix" "$demo_exe" "$data" "$out" "$bin"
  for window in main-window result-window; do
    convert "$out/$window.bmp" -strip "$out/$window.png"
    rm -f "$out/$window.bmp"
  done
  echo "Pictures: $out/main-window.png $out/result-window.png"
  echo "Report (Estimate, every account, with the true defragmentation line):"
  tr -d '\r' < "$out/report.txt"
  echo "(fj.rec.travel has no block map, so it leaves no line; メール受信箱 is a mail account and is not listed.)"
  echo
  echo "The same from the command line, tavixc estimate --real:"
  scripts/wine-run.sh "$prefix" "$bin/tavixc.exe" estimate --real | iconv -f CP932 -t UTF-8 | tr -d '\r'
fi
