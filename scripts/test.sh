#!/usr/bin/env bash
# Runs every test of tavix on a fresh Debian 12 machine (as root): installs
# what is missing, checks the formatting, builds the host, fuzz, bench and
# win32 presets, runs the host unit tests and a bounded fuzzing run, rebuilds
# the release archive in another folder and compares it byte for byte, then
# runs the Wine tests of the 32-bit programs on a virtual X display (where
# this machine runs no 32-bit code, in the emulated PC of scripts/guest.sh).
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --with-benchmark-source

wine_prefix="$PWD/build/win32/wineprefix"
rebuild_folder=$(mktemp -d)
finish() {
  scripts/wine-run.sh "$wine_prefix" wineserver -k 2>/dev/null || true
  scripts/guest.sh stop
  rm -rf "$rebuild_folder"
}
trap finish EXIT

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
cmake --build --preset win32 --target package
scripts/release-rebuild.sh "$rebuild_folder"

echo "== win32: registry, files, windows under Wine"
scripts/guest.sh needed && echo "(this machine runs no 32-bit code: the Wine tests run in the emulated PC of scripts/guest.sh)"
xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win32 --no-tests=error
# C.UTF-8 gives a program code page 1252 unless it asks for another, as
# Windows set to another language does.
echo "== win32: both programs again under a locale whose code page is not 932"
TAVIX_WINE_LOCALE=C.UTF-8 xvfb-run -a -s "-screen 0 1280x1024x24" ctest --preset win32 -L '^any-locale$' --no-tests=error

echo "== README: its quick examples, as written there"
(cd build/win32/package && sha256sum -c tavix-*-win32.zip.sha256)
version=$(scripts/wine-run.sh build/win32/wineprefix build/win32/tavixc.exe --version)
[[ $version == "tavixc "[0-9]* ]] || { echo "tavixc --version printed: $version"; exit 1; }
scripts/wine-run.sh build/win32/wineprefix build/win32/bench/blockmap_bench.exe --benchmark_min_time=0.01 >/dev/null
echo "the quick README examples work"
