#!/usr/bin/env bash
# Installs, as root on Debian 12 or 13, everything that building, testing and
# running tavix under Wine needs: 32-bit and 64-bit Wine, so that the 32-bit
# programs run on 32-bit Windows and under WoW64; where this machine runs no
# 32-bit code, or when asked, also the emulated PC that runs the 32-bit
# programs there (scripts/guest.sh). Idempotent: a second run installs nothing
# new. One line per step; the details go to build/setup.log. A package list
# that cannot be fetched is tried again, then named, and the set-up goes on
# without it; a step that fails shows apt's own errors first, then the end of
# its part of the log.
#   setup.sh [--with-benchmark-source] [--with-emulator] [--with-coverage]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
benchmark_source=/usr/local/src/benchmark
mkdir -p build
log=$PWD/build/setup.log
: >"$log"
unfetched='' # the package lists apt could not fetch, a line each

# Names both Debian 12 and 13 have (libclang-rt-dev follows the default clang).
packages=(
  cmake g++ make ninja-build clang libclang-rt-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xauth imagemagick locales
  fonts-ipafont-gothic fonts-wine python3 python3-pefile
)
guest_packages=(qemu-system-x86 dropbear-bin openssh-client xz-utils zstd)
with_benchmark_source='' with_emulator=''
for option in "$@"; do
  case $option in
    --with-benchmark-source) with_benchmark_source=1 ;;
    --with-emulator) with_emulator=1 ;;
    --with-coverage) packages+=(gcovr) ;;
    *) echo "usage: setup.sh [--with-benchmark-source] [--with-emulator] [--with-coverage]" >&2; exit 2 ;;
  esac
done

step() {
  local what=$1 first
  shift
  echo "setup: $what"
  first=$(($(wc -l <"$log") + 1))
  "$@" >>"$log" 2>&1 && return 0
  # The resolver's complaints never name their cause: the lists that could
  # not be fetched and apt's own errors come first.
  if [ -n "$unfetched" ]; then
    sed 's/^/setup: not fetched: /' <<<"$unfetched"
    echo "setup: a list of Debian's mends itself within minutes, once the mirror ends its sync: run again then; a source of your own: mend or remove it"
  fi
  tail -n "+$first" "$log" | grep '^E: ' || true
  tail -n "+$first" "$log" | grep -v '^E: ' | tail -n 20
  echo "setup: failed: $what (whole log: $log)" >&2
  exit 1
}

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

# Room for the first run, in MB, as the cost table of docs/developing.md
# gives it: the packages with apt's cache on a machine that has none of them
# yet, and the clone's Wine prefixes and builds; told before anything is
# installed.
packages_mb=4500 clone_mb=3000
check_free_disk() {
  local system_fs system_free clone_fs clone_free
  read -r system_fs system_free < <(df -m --output=target,avail /usr | tail -n 1)
  read -r clone_fs clone_free < <(df -m --output=target,avail . | tail -n 1)
  if [ "$system_fs" = "$clone_fs" ]; then
    enough_free "$system_fs" "$system_free" $((packages_mb + clone_mb)) "the packages, Wine prefixes and builds"
  else
    enough_free "$system_fs" "$system_free" $packages_mb "the packages"
    enough_free "$clone_fs" "$clone_free" $clone_mb "the Wine prefixes and builds"
  fi
}

enough_free() {
  local where=$1 free=$2 need=$3 what=$4
  [ "$free" -lt "$need" ] || return 0
  echo "setup: $where has $free MB free; $what need about $need MB there: free some space and run again (nothing was installed)" >&2
  exit 1
}

# apt-get update (with the options given), tried twice more when a package
# list cannot be fetched: a mirror in the middle of its sync serves lists
# that do not match their index, and mends itself within minutes. A list
# that still fails is named on the screen, one line each, with apt's reason,
# and the set-up goes on without it: a broken source of the user's own need
# not be one that the set-up uses.
update_lists() {
  local wait
  for wait in 30 60 ''; do
    unfetched=$(apt-get update -q "$@" 2>&1 | tee -a "$log" | failed_lists) || true
    [ -n "$unfetched" ] || return 0
    [ -n "$wait" ] || break
    echo "setup: a package list could not be fetched; trying again in $wait s"
    sleep "$wait"
  done
  sed 's/^/setup: not fetched, going on without it: /' <<<"$unfetched"
}

# apt's errors of a failed list, one line each: "URL: reason" where apt says
# "Failed to fetch URL  reason".
failed_lists() {
  sed -n -e '/Some index files failed to download/d' \
    -e '/^E: /{s/^E: //;s/^Failed to fetch \([^ ]*\)  */\1: /;p}' \
    -e '/^W: \(Failed to fetch\|GPG error\)/{s/^W: //;s/^Failed to fetch \([^ ]*\)  */\1: /;p}'
}

# Installs the packages given, reading the package lists first, once a run.
lists_read=''
install() {
  local what=$1 suites
  shift
  if [ -z "$lists_read" ]; then
    echo "setup: reading the package lists"
    update_lists
    lists_read=1
  fi
  suites=$(sed -n 's#.*/dists/\([^/]*\)/.*#\1#p' <<<"$unfetched" | sort -u | paste -sd ' ')
  if [ -z "$suites" ] || apt_install --simulate "$@" >>"$log" 2>&1; then
    step "$what" apt_install "$@"
    return
  fi
  # A library's 32-bit and 64-bit halves must be one version. With one half's
  # list of a suite missing, apt cannot follow the other half to that suite's
  # newer version; the suite's versions are held back instead, as a user
  # would with apt-get -t. Versions installed already stay.
  echo "setup: apt cannot install them without that list (a library's 32-bit and 64-bit halves must be one version): holding back the updates of $suites"
  held_back "$suites" >"$held_back_preferences"
  step "$what" apt_install -o Dir::Etc::Preferences="$held_back_preferences" "$@"
  echo "setup: once that list can be fetched, apt-get update and apt-get upgrade bring the updates held back"
}

apt_install() {
  env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"
}

# The machine's own preferences, then the suites given below the default,
# by the name they have in the list's address (a codename or a suite).
held_back_preferences=$PWD/build/held-back.pref
held_back() {
  local suite
  cat /etc/apt/preferences 2>/dev/null || true
  for suite in $1; do
    printf '\nPackage: *\nPin: release %s=%s\nPin-Priority: 100\n' n "$suite" a "$suite"
  done
}

make_locale() {
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
}

# Google Benchmark has no MinGW build in Debian; the win32 preset builds its
# Debian source package with the cross compiler, from outside the build tree.
# Its source comes from the archive and release this machine's apt uses.
deb_src_list=/etc/apt/sources.list.d/tavix-deb-src.sources
add_deb_src() {
  local release archive
  release=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
  # shellcheck disable=SC2016 # apt's own field, not the shell's
  archive=$(apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' "Codename: $release" \
    'Label: Debian' 'Component: main' | head -n 1)
  [ -n "$archive" ] || { echo "setup: apt uses no Debian archive for $release (main)" >&2; return 1; }
  printf '%s\n' 'Types: deb-src' "URIs: $archive" "Suites: $release" 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' >"$deb_src_list"
}

unpack_benchmark_source() {
  local tmp
  tmp=$(mktemp -d)
  # apt downloads as its own user, which must be able to write there.
  chown _apt "$tmp"
  (cd "$tmp" && apt-get source --download-only -q benchmark)
  mkdir -p "$benchmark_source"
  tar -xzf "$tmp"/benchmark_*.orig.tar.gz -C "$benchmark_source" --strip-components=1
  rm -rf "$tmp"
}

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root (it installs Debian packages)" >&2
  exit 1
fi
mapfile -t wanted < <(missing "${packages[@]}")
if [ ${#wanted[@]} -ne 0 ]; then
  check_free_disk
  dpkg --print-foreign-architectures | grep -qx i386 || step "adding the i386 architecture" dpkg --add-architecture i386
  install "installing ${#wanted[@]} Debian packages (a few minutes the first time)" "${wanted[@]}"
fi
locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || step "generating the ja_JP.UTF-8 locale" make_locale
if [ -n "$with_benchmark_source" ] && [ ! -f "$benchmark_source/CMakeLists.txt" ]; then
  if ! apt-cache showsrc benchmark 2>/dev/null | grep -q '^Package: benchmark'; then
    step "adding Debian's source packages to apt ($deb_src_list)" add_deb_src
    echo "setup: reading the source package list"
    # That list alone: the others are fresh.
    update_lists -o Dir::Etc::SourceList="$deb_src_list" -o Dir::Etc::SourceParts=- -o APT::Get::List-Cleanup=0
  fi
  step "unpacking Google Benchmark's source into $benchmark_source" unpack_benchmark_source
fi
if [ -n "$with_emulator" ] || scripts/guest.sh needed; then
  mapfile -t wanted < <(missing "${guest_packages[@]}")
  [ ${#wanted[@]} -eq 0 ] || install "installing the emulator for the 32-bit programs" "${wanted[@]}"
  step "the emulated PC that runs the 32-bit programs here (made once: scripts/guest.sh)" scripts/guest.sh build
fi
