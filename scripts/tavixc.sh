#!/usr/bin/env bash
# Runs tavixc under Wine on the sample client profile that scripts/demo.sh
# makes, in the demo's own prefix and environment:
#   scripts/tavixc.sh list
#   scripts/tavixc.sh estimate --real
# In a terminal the Japanese shows as it is; piped or redirected, tavixc
# writes code page 932 (| iconv -f CP932 -t UTF-8). Its exit code is tavixc's.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
program="$top/build/win32/tavixc.exe"
prefix="$top/build/demo/wineprefix"
if [ ! -f "$program" ] || [ ! -f "$prefix/.tavix-ready" ]; then
  echo "tavixc.sh: run scripts/demo.sh first: it builds tavixc and makes the sample profile" >&2
  exit 2
fi
exec "$top/scripts/wine-run.sh" "$prefix" "$program" "$@"
