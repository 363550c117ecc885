#!/usr/bin/env bash
# Runs every test of tavix on a fresh Debian 12 machine (as root): installs
# what is missing, checks the formatting, builds the host, fuzz, bench and
# win32 presets, runs the host unit tests and a bounded fuzzing run, rebuilds
# the release archive in another folder and compares it byte for byte, then
# runs the Wine tests of the 32-bit programs on a virtual X display, on 32-bit
# Windows and under WoW64. Where this machine runs no 32-bit code they run in
# the emulated PC of scripts/guest.sh; where it does, they run here, and a
# short check then runs one of them in the emulated PC, so that both ways are
# tried on every machine.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --with-benchmark-source --with-emulator

echo "test: $(scripts/guest.sh where)"

wine_prefix="$PWD/build/win32/wineprefix"
finish() {
  scripts/wine-run.sh "$wine_prefix" wineserver -k 2>/dev/null || true
  scripts/wine-run.sh --wow64 "$PWD/build/win32/wow64prefix" wineserver -k 2>/dev/null || true
  TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" wineserver -k 2>/dev/null || true
  scripts/guest.sh stop
}
trap finish EXIT

xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }

# A bounded run of the fuzz target; the corpus grows from run to run.
run_fuzzer() {
  local log=build/fuzz/blockmap_fuzz.log
  mkdir -p build/fuzz/corpus
  if ! build/fuzz/tests/fuzz/blockmap_fuzz -max_total_time=30 -max_len=4096 \
    -artifact_prefix=build/fuzz/ build/fuzz/corpus >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "blockmap_fuzz: the analysis and the literal algorithm disagree (input saved under build/fuzz/)"
    return 1
  fi
  grep -E '^Done [0-9]+ runs' "$log" || true
}

# On a machine that runs 32-bit code: the emulated PC, which machines that run
# none take for every Wine test, boots, starts tavixc in the tests' prefix and
# runs one end-to-end test, then stops.
check_emulated_pc() {
  local start=$SECONDS version log=build/win32/emulated-check.log
  scripts/wine-run.sh "$wine_prefix" wineserver -k 2>/dev/null || true  # the prefix is the emulated PC's now
  version=$(TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" build/win32/tavixc.exe --version)
  [[ $version == "tavixc "[0-9]* ]] || { echo "tavixc --version in the emulated PC printed: $version"; return 1; }
  if ! TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" build/win32/tests/win32/e2e/tavix_e2e.exe \
    "$PWD/build/win32/tavix.exe" "$PWD/build/win32/tavixc.exe" \
    --gtest_filter=Tavixc.ReportsAndChangesWhatTheWindowDoesInBothModes >"$log" 2>&1; then
    tail -n 30 "$log"
    echo "the end-to-end test failed in the emulated PC"
    return 1
  fi
  TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" wineserver -k
  scripts/guest.sh stop
  echo "$version and Tavixc.ReportsAndChangesWhatTheWindowDoesInBothModes ran in the emulated PC ($((SECONDS - start)) s, its start included)"
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

echo "== win32: the programs users get, their release archive, and the archive rebuilt elsewhere"
cmake --preset win32
cmake --build --preset win32
scripts/release-rebuild.sh

echo "== win32: registry, files, windows under Wine, on 32-bit Windows and under WoW64"
xvfb ctest --preset win32 --no-tests=error
# C.UTF-8 gives a program code page 1252 unless it asks for another, as
# Windows set to another language does.
echo "== win32: both programs again under a locale whose code page is not 932"
TAVIX_WINE_LOCALE=C.UTF-8 xvfb ctest --preset win32 -L '^any-locale$' --no-tests=error

if ! scripts/guest.sh needed; then
  echo "== win32: the emulated PC that machines running no 32-bit code use"
  check_emulated_pc
fi

echo "== README: its quick examples, as written there"
(cd build/win32/package && sha256sum -c tavix-*-win32.zip.sha256)
version=$(scripts/wine-run.sh build/win32/wineprefix build/win32/tavixc.exe --version)
[[ $version == "tavixc "[0-9]* ]] || { echo "tavixc --version printed: $version"; exit 1; }
# The benchmark's banner and table would only fill the screen here.
if ! bench=$(scripts/wine-run.sh build/win32/wineprefix build/win32/bench/blockmap_bench.exe --benchmark_min_time=0.01 2>&1); then
  printf '%s\n' "$bench"
  exit 1
fi
echo "the quick README examples work"
