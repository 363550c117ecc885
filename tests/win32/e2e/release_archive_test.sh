#!/usr/bin/env bash
# The release archive as a user gets it: its checksum file holds; unpacked,
# it holds both programs, the Japanese guide, the licence and the notices,
# and (given the driver and Wine) the programs in it start under Wine.
#   release_archive_test.sh ZIP WORK_DIR [E2E_DRIVER WINE_RUN WINE_PREFIX]
set -euo pipefail
zip=$1 dir=$2 e2e=${3:-} wine_run=${4:-} prefix=${5:-}

[ -f "$zip" ] || { echo "no release archive at $zip (build the 'package' target)"; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
(cd "$dir" && cmake -E tar xf "$zip")

sums=$zip.sha256
if [ "$(wc -l < "$sums")" != 1 ] || ! (cd "$(dirname "$zip")" && sha256sum -c --quiet "${sums##*/}"); then
  echo "$sums is not the archive's SHA-256 on one line for sha256sum -c"
  exit 1
fi
listing=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
if [ "$listing" != "./LICENSE.txt ./README-ja.txt ./THIRD-PARTY-NOTICES.txt ./tavix.exe ./tavixc.exe " ]; then
  echo "unexpected archive contents: $listing"
  exit 1
fi
# Converted whole before the search: grep -q at the end of a pipe can end
# before iconv has written all, and iconv's SIGPIPE would fail the pipe.
if ! guide=$(iconv -f CP932 -t UTF-8 "$dir/README-ja.txt") || [[ $guide != *偽デフラグ* ]]; then
  echo "README-ja.txt is not Japanese text in code page 932"
  exit 1
fi
grep -q $'\r$' "$dir/README-ja.txt" || { echo "README-ja.txt lacks CRLF line ends"; exit 1; }
if [ -z "$e2e" ]; then
  echo "archive contents: $listing"
  exit 0
fi

"$wine_run" "$prefix" "$e2e" "$dir/tavix.exe" "$dir/tavixc.exe" \
  --gtest_filter='Tavix.MainWindowListsNewsAccountsByRawBytesWithItsControls:Tavix.StartsWithAnErrorAndEndsWithoutTheClientsProperties:Tavixc.EndsWithTwoWithoutTheClientsProperties'
