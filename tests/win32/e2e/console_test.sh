#!/usr/bin/env bash
# tavixc's output where it is not a plain file:
# - a console whose output code page is UTF-8 (chcp 65001, as many
#   PowerShell users set it), seen the way a user sees it: through a
#   pseudo-terminal, which Wine's console writes UTF-8 to. The Japanese
#   captions must read right there, not as U+FFFD;
# - a full disk: the trim is done all the same, and the exit code says the
#   report was lost;
# - a code page that is not 932 (the copy of tavixc that does not ask for
#   it, under C.UTF-8: code page 1252, as Windows 10 set to another language
#   gives it): its messages still read as Japanese, in that console and
#   through a pipe.
#   console_test.sh WINE_RUN PREFIX DEMO_EXE TAVIXC_EXE SYSTEM_CODE_PAGE_TAVIXC_EXE
set -euo pipefail
wine_run=$1 prefix=$2 demo=$3 tavixc=$4 system_code_page_tavixc=$5

"$wine_run" "$prefix" "$demo" prepare 'C:\tavix-console-test'
trap 'rm -rf "$prefix/drive_c/tavix-console-test"' EXIT
windows_path() { echo "Z:$(realpath "$1" | tr / '\\')"; }
# The console expands tabs and adds cursor controls; the terminal adds a
# carriage return before each line feed. Exit codes are not looked at here.
# The terminal gets no input and echoes none (with no standard input of its
# own, as in CI, script would otherwise echo a stray "^@" into the output).
in_utf8_console() {
  script -E never -qc "'$wine_run' '$prefix' cmd /c 'chcp 65001 >nul & $*'" /dev/null </dev/null |
    sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tr -d '\r' | tr -s ' ' | grep -v '^$'
}
shown=$(in_utf8_console "$(windows_path "$tavixc")" list)

expected=$(printf '0 fj.news.reader\n5 fj.rec.travel\n2 japan.comp.misc\n1 ニュース速報\n4 表計算ソフト')
if [ "$shown" != "$expected" ]; then
  echo "tavixc list under chcp 65001 showed:"
  printf '%s\n' "$shown" | od -c | head -20
  exit 1
fi
# An argument code page 932 cannot hold is refused; the console shows it as typed.
refused=$(in_utf8_console "$(windows_path "$tavixc")" trim --caption café)
[[ $refused == *"を含む引数です: café"* ]] || { echo "tavixc's refusal in a console showed: $refused"; exit 1; }

status=0
"$wine_run" "$prefix" "$tavixc" trim 0 >/dev/full 2>/dev/null || status=$?
length=$(stat -c %s "$prefix/drive_c/tavix-console-test/account0/news.mbx")
if [ "$status" != 3 ] || [ "$length" != 410624 ]; then
  echo "tavixc trim on a full disk: exit code $status (3 expected), mailbox $length bytes (410624 expected)"
  exit 1
fi

refusal=$(printf '%s\n' 'tavixc: このWindowsではアカウント名を正しく読めないため、--caption は使えません。番号で指定してください' \
  'tavixc --help で使い方を表示します')
export TAVIX_WINE_LOCALE=C.UTF-8
shown=$(in_utf8_console "$(windows_path "$system_code_page_tavixc")" trim --caption ニュース速報)
piped=$("$wine_run" "$prefix" "$system_code_page_tavixc" trim --caption ニュース速報 2>&1 | iconv -f CP932 -t UTF-8 |
  tr -d '\r' || true)
for way in shown piped; do
  if [ "${!way}" != "$refusal" ]; then
    echo "tavixc under code page 1252, $way:"
    printf '%s\n' "${!way}" | od -c | head -20
    exit 1
  fi
done
