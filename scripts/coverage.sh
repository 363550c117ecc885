#!/usr/bin/env bash
# What the tests take of src/, line by line and branch by branch: builds the
# host and the win32 programs with --coverage (presets coverage-host and
# coverage-win32, Debug), runs the host tests and the Wine tests as
# scripts/test.sh runs them (under Wine the Windows programs write their
# counts into the build folder themselves), and prints each file's line and
# branch coverage, both builds together, with Debian's gcovr. Branches of
# exceptions the C++ runtime throws, and of code the compiler proved
# unreachable, are left out. Not part of test.sh: the Wine tests of the
# coverage build take as long again. Runs as root, as test.sh does.
#   scripts/coverage.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
bash scripts/setup.sh --with-benchmark-source --with-emulator --with-coverage

out=build/coverage
mkdir -p "$out"
finish() {
  scripts/wine-run.sh build/win32/wineprefix wineserver -k 2>/dev/null || true
  scripts/wine-run.sh --wow64 build/win32/wow64prefix wineserver -k 2>/dev/null || true
  scripts/guest.sh stop
}
trap finish EXIT
xvfb() { xvfb-run -a -s "-screen 0 1280x1024x24" "$@"; }
# A failing test still leaves its counts: the report is then of what ran.
tests() {
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { grep -E 'tests passed|\(Failed\)|\(Timeout\)' "$log"; echo "(some tests failed: see $log)"; }
}
gcovr_options=(--root . --filter 'src/' --exclude-throw-branches --exclude-unreachable-branches)

echo "== host tests, with coverage"
cmake --preset coverage-host >/dev/null
cmake --build --preset coverage-host >/dev/null
find build/coverage-host -name '*.gcda' -delete
tests "$out/host-tests.log" ctest --preset coverage-host
gcovr "${gcovr_options[@]}" --json "$out/host.json" build/coverage-host

echo "== Wine tests, with coverage (both locales, 32-bit Windows and WoW64)"
cmake --preset coverage-win32 >/dev/null
cmake --build --preset coverage-win32 >/dev/null
find build/coverage-win32 -name '*.gcda' -delete
# (The notices are checked against the release build's link; this one also
# takes gcov's library.)
tests "$out/wine-tests.log" xvfb ctest --preset coverage-win32 -E '^release_notices$'
gcovr "${gcovr_options[@]}" --gcov-executable i686-w64-mingw32-gcov --json "$out/win32.json" build/coverage-win32

echo "== coverage of src/ by the host and Wine tests together"
both=(--add-tracefile "$out/host.json" --add-tracefile "$out/win32.json")
gcovr "${gcovr_options[@]}" "${both[@]}" --txt
gcovr "${gcovr_options[@]}" "${both[@]}" --txt --branches
