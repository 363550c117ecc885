#!/usr/bin/env bash
# tavixc's output where it is not a plain file:
# - a console whose output code page is UTF-8 (chcp 65001, as many
#   PowerShell users set it), seen the way a user sees it: through a
#   pseudo-terminal, which Wine's console writes UTF-8 to. The Japanese
#   captions must read right there, not as U+FFFD;
# - a full disk: the trim is done all the same, and the exit code says the
#   report was lost.
#   console_test.sh WINE_RUN PREFIX DEMO_EXE TAVIXC_EXE
set -euo pipefail
wine_run=$1 prefix=$2 demo=$3 tavixc=$4

"$wine_run" "$prefix" "$demo" prepare 'C:\tavix-console-test'
trap 'rm -rf "$prefix/drive_c/tavix-console-test"' EXIT
tavixc_windows="Z:$(realpath "$tavixc" | tr / '\\')"
# The console expands tabs and adds cursor controls; the terminal adds a
# carriage return before each line feed.
shown=$(script -qec "'$wine_run' '$prefix' cmd /c 'chcp 65001 >nul & $tavixc_windows list'" /dev/null |
  sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r' | tr -s ' ' | grep -v '^$')

expected=$(printf '0 fj.news.reader\n5 fj.rec.travel\n2 japan.comp.misc\n1 ニュース速報\n4 表計算ソフト')
if [ "$shown" != "$expected" ]; then
  echo "tavixc list under chcp 65001 showed:"
  printf '%s\n' "$shown" | od -c | head -20
  exit 1
fi
# An argument code page 932 cannot hold is refused; the console shows it as typed.
refused=$(script -qc "'$wine_run' '$prefix' cmd /c 'chcp 65001 >nul & $tavixc_windows trim --caption café'" /dev/null |
  sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r')
[[ $refused == *"を含む引数です: café"* ]] || { echo "tavixc's refusal in a console showed: $refused"; exit 1; }

status=0
"$wine_run" "$prefix" "$tavixc" trim 0 >/dev/full 2>/dev/null || status=$?
length=$(stat -c %s "$prefix/drive_c/tavix-console-test/account0/news.mbx")
if [ "$status" != 3 ] || [ "$length" != 410624 ]; then
  echo "tavixc trim on a full disk: exit code $status (3 expected), mailbox $length bytes (410624 expected)"
  exit 1
fi
