#!/usr/bin/env bash
# Runs every test of tavix on a fresh Debian 12 or 13 machine (as root): installs
# what is missing, checks the formatting, builds and runs the host unit tests
# and a bounded fuzzing run, builds the 32-bit programs and rebuilds their
# release archive in another folder, then runs the Wine tests of those
# programs on 32-bit Windows and under WoW64, in two locales. Where this
# machine runs no 32-bit code they run in the emulated PC of scripts/guest.sh;
# where it does, a short check then runs one of them there too, so that both
# ways are tried on every machine.
#
# One line per step on the screen, with what the step found; everything
# else goes to build/test.log. A step that fails shows its failing tests and
# the end of their output. The last line counts every test that ran.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --with-benchmark-source --with-emulator

log=$PWD/build/test.log
results=$PWD/build/test-results
wine_prefix=$PWD/build/win32/wineprefix
wow64_prefix=$PWD/build/win32/wow64prefix
started=$SECONDS
rm -rf "$results"
mkdir -p "$results"
: >"$log"

# ---- What the steps leave for the screen ------------------------------------
# A step runs in a subshell of its own, its output in the log: it says what it
# found, counts the tests it ran, and names what the screen must show when it
# fails, through files.
found() { printf '%s\n' "$@" >>"$results/found"; }
counted() { echo "$1 $2" >>"$results/counts"; }
show() { printf '%s\n' "$@" >>"$results/shown"; }

# Runs ctest (the command given, with its wrapper), counting every
# GoogleTest case and every other test once, by the groups given as
# NAME=REGEX of test names (scripts/test-summary.py).
run_ctest() {
  local name=$1 groups=() status=0 group passed failed skipped
  shift
  while [[ $1 == *=* ]]; do groups+=("$1"); shift; done
  "$@" --output-junit "$results/$name.xml" --test-output-size-passed 1048576 \
    --test-output-size-failed 1048576 || status=$?
  python3 scripts/test-summary.py "$results/$name.xml" "$results/shown" "${groups[@]}" >"$results/$name.counts"
  while read -r passed failed skipped group; do
    counted "$passed" "$failed"
    found "${group:+$group: }$passed of $((passed + failed + skipped)) passed$([ "$failed" = 0 ] ||
      echo ", $failed failed")$([ "$skipped" = 0 ] || echo ", $skipped skipped")"
  done <"$results/$name.counts"
  return $status
}

passed=0 failed=0
# One step: its line on the screen, its output in the log.
step() {
  local name=$1 status=0 start=$SECONDS first took
  shift
  rm -f "$results/found" "$results/counts" "$results/shown"
  first=$(($(wc -l <"$log") + 1))
  echo "==== $name" >>"$log"
  printf 'test: %s: ' "$name"
  set +e
  (
    set -e
    "$@"
  ) >>"$log" 2>&1
  status=$?
  set -e
  took=$((SECONDS - start))
  took=$([ $took -lt 60 ] && echo "$took s" || echo "$((took / 60)) min $((took % 60)) s")
  local p f step_failed=0
  if [ -f "$results/counts" ]; then
    while read -r p f; do passed=$((passed + p)) step_failed=$((step_failed + f)); done <"$results/counts"
  fi
  # A step that failed with no failing test counted (a check that stopped it).
  [ $status -eq 0 ] || [ $step_failed -gt 0 ] || step_failed=1
  failed=$((failed + step_failed))
  if [ ! -s "$results/found" ]; then
    echo "$([ $status -eq 0 ] && echo "done" || echo "failed") ($took)"
  elif [ "$(wc -l <"$results/found")" -eq 1 ]; then
    echo "$(cat "$results/found") ($took)"
  else
    echo "($took)"
    sed 's/^/  /' "$results/found"
  fi
  [ $status -ne 0 ] || return 0
  echo "test: $name FAILED:"
  if [ -s "$results/shown" ]; then
    cat "$results/shown"
  else
    tail -n "+$first" "$log" | tail -n 25
  fi
  return 1
}

finish() {
  local status=$?
  {
    scripts/wine-run.sh "$wine_prefix" wineserver -k || true
    scripts/wine-run.sh --wow64 "$wow64_prefix" wineserver -k || true
    TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" wineserver -k || true
    scripts/guest.sh stop
  } >>"$log" 2>&1
  [ $failed -ne 0 ] || [ $status -eq 0 ] || failed=1
  local took=$((SECONDS - started))
  echo "test: $((took / 60)) min $((took % 60)) s in all; the whole output is in build/test.log"
  echo "$passed passed, $failed failed"
  [ $failed -eq 0 ] || exit 1
}
trap finish EXIT

xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }

# ---- The steps -----------------------------------------------------------------

check_format() {
  local sources
  mapfile -t sources < <(find src tests bench demo \( -name '*.cpp' -o -name '*.h' \) | sort)
  clang-format --dry-run -Werror "${sources[@]}"
  counted 1 0
  found "${#sources[@]} C++ sources as .clang-format lays them out"
}

host_tests() {
  cmake --preset host
  cmake --build --preset host
  run_ctest host "=." ctest --preset host
}

# A bounded run of the fuzz target; the corpus grows from run to run.
fuzz() {
  cmake --preset fuzz
  cmake --build --preset fuzz
  mkdir -p build/fuzz/corpus
  if ! build/fuzz/tests/fuzz/blockmap_fuzz -max_total_time=30 -max_len=4096 -artifact_prefix=build/fuzz/ \
    build/fuzz/corpus >"$results/fuzz.log" 2>&1; then
    cat "$results/fuzz.log"
    show "$(tail -n 20 "$results/fuzz.log")" \
      "blockmap_fuzz: the analysis and the literal algorithm disagree (the input is saved under build/fuzz/)"
    return 1
  fi
  cat "$results/fuzz.log"
  counted 1 0
  found "$(sed -n 's/^Done \([0-9]*\) runs in \([0-9]*\) .*/\1 maps in \2 s/p' "$results/fuzz.log"), all analysed as the literal algorithm does"
}

bench_build() {
  cmake --preset bench
  cmake --build --preset bench
  found "built"
}

win32_build() {
  cmake --preset win32
  cmake --build --preset win32
  found "tavix.exe, tavixc.exe, $(cd build/win32/package && echo tavix-*-win32.zip) and the Wine tests"
}

release_rebuild() {
  local said
  said=$(scripts/release-rebuild.sh)
  echo "$said"
  counted 1 0
  local release=${said#*on Debian }
  found "the same bytes on Debian ${release%%,*}, checked alone in a folder as a download, SHA-256 ${said##* }"
}

wine_tests() {
  run_ctest wine "32-bit Windows, C.UTF-8 (code page 1252)=_c_utf8$" "WoW64, ja_JP.UTF-8=^wow64_" \
    "the archive's contents and notices, the resources (no Wine)=^(release_archive_contents|release_notices|tavix_resources)$" \
    "32-bit Windows, ja_JP.UTF-8=." xvfb ctest --preset win32 --no-tests=error
}

# tavixc --version without the CR of its CRLF line end, which on the screen
# would send the cursor back over the step's line.
tavixc_version() {
  local said
  said=$(scripts/wine-run.sh "$wine_prefix" build/win32/tavixc.exe --version)
  echo "${said%$'\r'}"
}

# On a machine that runs 32-bit code: the emulated PC, which machines that
# run none take for every Wine test, boots, starts tavixc in the tests'
# prefix and runs one end-to-end test, then stops.
emulated_pc() {
  local version e2e_test=Tavixc.ReportsAndChangesWhatTheWindowDoesInBothModes
  scripts/wine-run.sh "$wine_prefix" wineserver -k || true # the prefix is the emulated PC's now
  version=$(TAVIX_EMULATE=1 tavixc_version)
  echo "$version"
  [[ $version == "tavixc "[0-9]* ]] || { show "tavixc --version in the emulated PC printed: $version"; return 1; }
  counted 1 0
  TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" build/win32/tests/win32/e2e/tavix_e2e.exe \
    "$PWD/build/win32/tavix.exe" "$PWD/build/win32/tavixc.exe" --gtest_filter=$e2e_test
  counted 1 0
  TAVIX_EMULATE=1 scripts/wine-run.sh "$wine_prefix" wineserver -k
  scripts/guest.sh stop
  found "$version, $e2e_test"
}

# The README's way to remove tavix's setting, as the README and the guide
# give it, in the tests' prefix: tavix's key goes, the client's stays as it was.
removal_line() {
  local line words client='HKCU\Software\Halvorn' before after
  line=$(grep -m1 '^reg delete ' README.md) || { show "README.md gives no 'reg delete' line"; return 1; }
  if ! sed 's/^ *//' docs/guide-ja.txt | grep -xF "$line" >/dev/null; then
    show "the guide does not give README.md's removal line: $line"
    return 1
  fi
  echo "$line"
  read -ra words <<<"$line"
  scripts/wine-run.sh "$wine_prefix" reg add 'HKCU\Software\ULBAR\tavix' /v realDefrag /t REG_DWORD /d 1 /f
  scripts/wine-run.sh "$wine_prefix" reg add "$client\Morvex\Properties" /v rootPath /d 'C:\Morvex' /f
  before=$(scripts/wine-run.sh "$wine_prefix" reg query "$client" /s)
  scripts/wine-run.sh "$wine_prefix" "${words[@]}"
  if scripts/wine-run.sh "$wine_prefix" reg query 'HKCU\Software\ULBAR\tavix'; then
    show "after '$line' tavix's key is still there"
    return 1
  fi
  after=$(scripts/wine-run.sh "$wine_prefix" reg query "$client" /s)
  [ "$after" = "$before" ] || { show "'$line' changed the client's key:" "$before" "became:" "$after"; return 1; }
  scripts/wine-run.sh "$wine_prefix" reg delete "$client" /f
  counted 1 0
}

# The examples of the README and docs/developing.md that run here.
readme_examples() {
  (cd build/win32/package && sha256sum -c tavix-*-win32.zip.sha256)
  counted 1 0
  local version
  version=$(tavixc_version)
  echo "$version"
  [[ $version == "tavixc "[0-9]* ]] || { show "tavixc --version printed: $version"; return 1; }
  counted 1 0
  scripts/wine-run.sh "$wine_prefix" build/win32/bench/blockmap_bench.exe --benchmark_min_time=0.01
  counted 1 0
  removal_line
  found "the archive's checksum, $version, blockmap_bench.exe, the removal line"
}

echo "test: $(scripts/guest.sh where)"
# A step that fails leaves the others to run, but for the 32-bit build,
# which every later step needs.
step "format" check_format || true
step "host unit tests (AddressSanitizer, UBSan)" host_tests || true
step "fuzzing the analysis" fuzz || true
step "host benchmark build" bench_build || true
step "32-bit build" win32_build || exit 1
step "release archive rebuilt in another folder" release_rebuild || true
step "Wine tests" wine_tests || true
if ! scripts/guest.sh needed; then
  step "the emulated PC that machines running no 32-bit code use" emulated_pc || true
fi
step "the examples of the README and docs/developing.md" readme_examples || true
