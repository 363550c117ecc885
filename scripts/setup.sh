#!/usr/bin/env bash
# Installs, as root on Debian 12, everything that building, testing and running
# tavix under Wine needs: 32-bit and 64-bit Wine, so that the 32-bit programs
# run on 32-bit Windows and under WoW64; where this machine runs no 32-bit
# code, or when asked, also the emulated PC that runs the 32-bit programs there
# (scripts/guest.sh). Idempotent: a second run installs nothing new. One line
# per step; the details go to build/setup.log, whose end is shown when a step
# fails.
#   setup.sh [--with-benchmark-source] [--with-emulator] [--with-coverage]
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
benchmark_source=/usr/local/src/benchmark
mkdir -p build
log=$PWD/build/setup.log
: >"$log"

packages=(
  cmake g++ make ninja-build clang libclang-rt-14-dev clang-format
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  g++-mingw-w64-i686 g++-mingw-w64-i686-posix binutils-mingw-w64-i686
  wine wine32:i386 wine64 xvfb xauth imagemagick locales
  fonts-ipafont-gothic fonts-wine python3 python3-pefile
)
guest_packages=(qemu-system-x86 dropbear-bin openssh-client)
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
  local what=$1
  shift
  echo "setup: $what"
  if ! "$@" >>"$log" 2>&1; then
    tail -n 30 "$log"
    echo "setup: failed: $what (whole log: $log)" >&2
    exit 1
  fi
}

missing() {
  local p
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

install_packages() {
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "$@"
}

make_locale() {
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen
}

# Google Benchmark has no MinGW build in Debian; the win32 preset builds its
# Debian source package with the cross compiler, from outside the build tree.
unpack_benchmark_source() {
  local list=/etc/apt/sources.list.d/tavix-deb-src.sources
  if ! apt-cache showsrc benchmark 2>/dev/null | grep -q '^Package: benchmark'; then
    cat >"$list" <<'SRC'
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

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root (it installs Debian packages)" >&2
  exit 1
fi
dpkg --print-foreign-architectures | grep -qx i386 || step "adding the i386 architecture" dpkg --add-architecture i386
mapfile -t wanted < <(missing "${packages[@]}")
[ ${#wanted[@]} -eq 0 ] || step "installing ${#wanted[@]} Debian packages (a few minutes the first time)" install_packages "${wanted[@]}"
locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || step "generating the ja_JP.UTF-8 locale" make_locale
if [ -n "$with_benchmark_source" ] && [ ! -f "$benchmark_source/CMakeLists.txt" ]; then
  step "unpacking Google Benchmark's source into $benchmark_source" unpack_benchmark_source
fi
if [ -n "$with_emulator" ] || scripts/guest.sh needed; then
  mapfile -t wanted < <(missing "${guest_packages[@]}")
  [ ${#wanted[@]} -eq 0 ] || step "installing the emulator for the 32-bit programs" install_packages "${wanted[@]}"
  step "the emulated PC that runs the 32-bit programs here (made once: scripts/guest.sh)" scripts/guest.sh build
fi
