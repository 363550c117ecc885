#!/usr/bin/env bash
# The release archive as a user gets it: unpacked, it holds both programs
# and the Japanese guide, and (given the driver and Wine) the programs in it
# start under Wine.
#   release_archive_test.sh ZIP WORK_DIR [E2E_DRIVER WINE_RUN WINE_PREFIX]
set -euo pipefail
zip=$1 dir=$2 e2e=${3:-} wine_run=${4:-} prefix=${5:-}

[ -f "$zip" ] || { echo "no release archive at $zip (build the 'package' target)"; exit 1; }
rm -rf "$dir"
mkdir -p "$dir"
(cd "$dir" && cmake -E tar xf "$zip")

listing=$(cd "$dir" && find . -type f | sort | tr '\n' ' ')
if [ "$listing" != "./README-ja.txt ./tavix.exe ./tavixc.exe " ]; then
  echo "unexpected archive contents: $listing"
  exit 1
fi
if ! iconv -f CP932 -t UTF-8 "$dir/README-ja.txt" | grep -q '偽デフラグ'; then
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
