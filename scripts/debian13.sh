#!/usr/bin/env bash
# Keeps the README's two commands true on Debian 13 from a machine of another
# release: makes a fresh Debian 13 root with debootstrap from the Debian
# archive this machine's apt uses (with the security archive, as a Debian 13
# machine has it), copies this clone's files into it as a user's clone
# (/root/tavix), and runs scripts/demo.sh, then scripts/test.sh there as
# root, each screen as it is. The root also gets a package source whose list
# cannot be fetched, as a user's own broken source: the set-up must name it
# and go on. Then it checks what a user would see: both commands exit 0, the
# set-up named that list, neither screen shows Wine's complaint of a missing
# XDG_RUNTIME_DIR, and test.sh ends with "N passed, 0 failed". Where this
# machine runs no 32-bit code, the root's 32-bit programs run in its own
# emulated PC, booted from Debian 13's kernel, as they do outside.
# The root is build/debian13/root, made anew each run; its mounts are made
# in a mount namespace of its own and go when the command ends. As root:
#   scripts/debian13.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
[ "$(id -u)" -eq 0 ] || { echo "debian13: run as root (it makes a root with debootstrap)" >&2; exit 1; }
out=$PWD/build/debian13
root=$out/root
release=trixie
started=$SECONDS
mkdir -p "$out"
log=$out/debian13.log
: >"$log"

say() { echo "debian13: $*"; }
took() { local s=$((SECONDS - $1)); echo "$((s / 60)) min $((s % 60)) s"; }

# The Debian archive and security archive this machine's apt uses.
archive_of() {
  # shellcheck disable=SC2016 # apt's own field, not the shell's
  apt-get indextargets --format '$(REPO_URI)' 'Identifier: Packages' "Label: $1" 'Component: main' | head -n 1
}
if ! command -v debootstrap >/dev/null || [ -z "$(archive_of Debian)" ]; then
  say "installing debootstrap"
  { apt-get update -q || true; DEBIAN_FRONTEND=noninteractive apt-get install -y -q debootstrap; } >>"$log" 2>&1 ||
    { tail -n 20 "$log"; exit 1; }
fi
archive=$(archive_of Debian) security=$(archive_of Debian-Security)
[ -n "$archive" ] || { say "this machine's apt uses no Debian archive to make the root from" >&2; exit 1; }

# A root that something still has mounted is left alone rather than removed.
if grep -qF " $root/" /proc/mounts; then
  say "something is mounted under $root: unmount it first" >&2
  exit 1
fi
rm -rf "$root"
start=$SECONDS
say "making a fresh Debian 13 root ($release) from $archive"
debootstrap --variant=minbase "$release" "$root" "$archive" >>"$log" 2>&1 || { tail -n 20 "$log"; exit 1; }
rm -f "$root/etc/apt/sources.list"
{
  printf '%s\n' 'Types: deb' "URIs: $archive" "Suites: $release $release-updates" 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'
  [ -z "$security" ] || printf '%s\n' '' 'Types: deb' "URIs: $security" "Suites: $release-security" \
    'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'
} >"$root/etc/apt/sources.list.d/debian.sources"
unfetchable=file:/srv/no-such-repository
echo "deb [trusted=yes] $unfetchable ./" >"$root/etc/apt/sources.list.d/unfetchable.list"
cp /etc/resolv.conf /etc/hosts "$root/etc/"
# The files this clone tracks, as they are in the work tree.
mkdir -p "$root/root/tavix"
git ls-files -z | tar --null -T - --ignore-failed-read -cf - 2>>"$log" | tar -C "$root/root/tavix" -xf -
say "root made ($(took $start)); the README's two commands in it:"

# One command in the root, as its root user from a login, its screen shown
# and kept.
in_root() {
  local screen=$out/$1.screen status=0 start=$SECONDS
  echo "---- bash scripts/$1"
  # shellcheck disable=SC2016 # expanded by the inner shell
  unshare --mount --propagation private bash -c '
    mount --rbind /dev "$1/dev"
    mount -t proc proc "$1/proc"
    mount --rbind /sys "$1/sys"
    exec chroot "$1" /usr/bin/env -i HOME=/root TERM="${TERM:-dumb}" \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin ${TAVIX_EMULATE:+TAVIX_EMULATE=$TAVIX_EMULATE} \
      bash -c "cd /root/tavix && bash scripts/$2"' debian13 "$root" "$1" </dev/null 2>&1 | tee "$screen" ||
    status=$?
  echo "---- scripts/$1 exited $status ($(took $start))"
  return $status
}

failures=()
in_root demo.sh || failures+=("demo.sh failed")
in_root test.sh || failures+=("test.sh failed")
grep -q "not fetched, going on without it: .*${unfetchable#file:}" "$out/demo.sh.screen" ||
  failures+=("the set-up did not name the list it could not fetch ($unfetchable)")
! grep -l XDG_RUNTIME_DIR "$out"/*.screen >/dev/null || failures+=("a screen shows Wine's XDG_RUNTIME_DIR complaint")
count=$(tail -n 1 "$out/test.sh.screen" | tr -d '\r')
[[ $count =~ ^[0-9]+\ passed,\ 0\ failed$ ]] || failures+=("test.sh did not end with N passed, 0 failed")
if [ ${#failures[@]} -ne 0 ]; then
  printf 'debian13: %s\n' "${failures[@]}" >&2
  say "FAILED in $(took $started); the screens are in $out/*.screen, the root in $root"
  exit 1
fi
say "on Debian 13 both commands passed and the set-up named the list it could not fetch: $count ($(took $started) in all)"
