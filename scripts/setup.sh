#!/usr/bin/env bash
# Installs, as root on Debian 12, everything that building, testing and running
# tavix under Wine needs. Idempotent: a second run installs nothing new.
# Sourced by test.sh and demo.sh; can also be run on its own.
set -euo pipefail

benchmark_source=/usr/local/src/benchmark

host_packages=(
  cmake g++ make ninja-build clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine32:i386 wine64 xvfb xauth imagemagick locales
  fonts-ipafont-gothic fonts-wine python3 python3-pefile
)

missing_packages() {
  local p
  for p in "${host_packages[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

ensure_packages() {
  local missing
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  missing=$(missing_packages)
  [ -z "$missing" ] && return 0
  echo "setup: installing:" $missing
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  # shellcheck disable=SC2086
  apt-get install -y -q --no-install-recommends $missing
}

ensure_locale() {
  locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' && return 0
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen
}

# Google Benchmark has no MinGW build in Debian; the win32 and win64 presets
# build its Debian source package with the cross compiler, from outside the
# build tree.
# Only the tests need it: the demo does not fetch it.
ensure_benchmark_source() {
  [ -f "$benchmark_source/CMakeLists.txt" ] && return 0
  local list=/etc/apt/sources.list.d/tavix-deb-src.sources
  if ! apt-cache showsrc benchmark 2>/dev/null | grep -q '^Package: benchmark'; then
    cat > "$list" <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
    apt-get update -q
  fi
  local tmp
  tmp=$(mktemp -d)
  # apt downloads as its own user, which must be able to write there.
  chown _apt "$tmp"
  (cd "$tmp" && apt-get source --download-only -q benchmark)
  mkdir -p "$benchmark_source"
  tar -xzf "$tmp"/benchmark_*.orig.tar.gz -C "$benchmark_source" --strip-components=1
  rm -rf "$tmp"
}

# Whether this machine runs 32-bit (i386) Linux programs, as Debian's 32-bit
# Wine needs: some virtual machines run 64-bit code only, and there the
# tests and the demo use the 64-bit build under 64-bit Wine. Asked of wine32's
# own server, which prints its version (on standard error) and ends. Started
# by bash's exec, which refuses a binary it cannot run instead of reading it
# as a script; the time limit keeps a strange machine from hanging here.
tavix_runs_32bit_code() {
  local version
  # shellcheck disable=SC2016
  version=$(timeout -k 5 30 bash -c 'exec "$0" --version' /usr/lib/wine/wineserver32 </dev/null 2>&1) ||
    return 1
  [[ $version == Wine* ]]
}

# tavix_setup [--with-benchmark-source]
tavix_setup() {
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: run as root (it installs Debian packages)" >&2
    return 1
  fi
  ensure_packages
  ensure_locale
  if [ "${1:-}" = --with-benchmark-source ]; then
    ensure_benchmark_source
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  tavix_setup --with-benchmark-source
fi
