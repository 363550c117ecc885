#!/usr/bin/env bash
# Runs every test of tavix on a fresh Debian 12 machine (as root): installs
# what is missing, checks the formatting, builds the host, fuzz, bench and
# win32 presets, runs the host unit tests, a bounded fuzzing run, then the
# Wine tests on a virtual X display. On a machine that runs no 32-bit code
# (and so no 32-bit Wine), the win32 build and its package are still made and
# its tests that need no Wine run; the Wine tests run on the win64 preset, a
# 64-bit build of the same sources, under 64-bit Wine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
source scripts/setup.sh
tavix_setup --with-benchmark-source

if tavix_runs_32bit_code; then
  wine_preset=win32 wineserver=wineserver
else
  wine_preset=win64 wineserver=/usr/lib/wine/wineserver64
  echo "test.sh: this machine runs no 32-bit code, so no 32-bit Wine: the Wine tests run on the 64-bit build of the same sources (win64 preset) under 64-bit Wine; the 32-bit build is made, packaged and checked without Wine"
fi
wine_prefix="$PWD/build/$wine_preset/wineprefix"
stop_wine() {
  if [ -d "$wine_prefix" ]; then
    WINEPREFIX="$wine_prefix" "$wineserver" -k 2>/dev/null || true
  fi
}
trap stop_wine EXIT

# A bounded run of the fuzz target; the corpus grows from run to run.
run_fuzzer() {
  local log=build/fuzz/blockmap_fuzz.log
  mkdir -p build/fuzz/corpus
  if ! build/fuzz/tests/fuzz/blockmap_fuzz -max_total_time=30 -max_len=4096 \
      -artifact_prefix=build/fuzz/ build/fuzz/corpus > "$log" 2>&1; then
    tail -n 40 "$log"
    echo "blockmap_fuzz: the analysis and the literal algorithm disagree (input saved under build/fuzz/)"
    return 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || true
}

echo "== format: the sources as .clang-format lays them out"
find src tests bench demo \( -name '*.cpp' -o -name '*.h' \) -print0 | xargs -0 clang-format --dry-run -Werror

echo "== host: unit tests with AddressSanitizer and UBSan"
cmake --preset host
cmake --build --preset host
ctest --preset host

echo "== fuzz: block map analysis against the literal algorithm"
cmake --preset fuzz
cmake --build --preset fuzz
run_fuzzer

echo "== bench: the host benchmark builds"
cmake --preset bench
cmake --build --preset bench

echo "== win32: the programs users get and their package"
cmake --preset win32
cmake --build --preset win32
cmake --build --preset win32 --target package
if [ "$wine_preset" = win64 ]; then
  ctest --preset win32 -L '^wine-free$' --no-tests=error
  echo "== win64: the same sources built 64-bit, for 64-bit Wine"
  cmake --preset win64
  cmake --build --preset win64
  cmake --build --preset win64 --target package
fi

echo "== $wine_preset: registry, files, windows under Wine"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$wine_preset"
# C.UTF-8 gives a program code page 1252 unless it asks for another, as
# Windows set to another language does.
echo "== $wine_preset: both programs again under a locale whose code page is not 932"
TAVIX_WINE_LOCALE=C.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset "$wine_preset" -L '^any-locale$' --no-tests=error
