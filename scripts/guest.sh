#!/usr/bin/env bash
# The 32-bit programs on a machine that runs 64-bit code only: a small PC
# emulated by qemu (no KVM needed) whose Linux kernel runs 32-bit code. It has
# no disk of its own: it sees this machine's files read-only at the same
# paths, this clone read-write, and runs the same Wine, fonts and locales as
# the machine has installed; it has its own /tmp and an X display of its own.
# Commands reach it by ssh over a port on 127.0.0.1.
#   guest.sh needed       exit 0 where 32-bit programs must run in the guest
#   guest.sh where        say in one line where they run, and why
#   guest.sh build        make its kernel and start-up image, once (as root)
#   guest.sh run CMD...   run CMD in the guest, starting it if need be, in
#                         this folder, with the standard streams and the exit
#                         code passed through
#   guest.sh running      exit 0 while this clone's guest runs
#   guest.sh stop         power off this clone's guest
# The image lives in /var/cache/tavix-guest and survives a clean build; the
# running guest's state in build/guest. Unused for 10 minutes, it powers off.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache=/var/cache/tavix-guest
state=$top/build/guest

# Whether this machine runs 32-bit (i386) Linux programs, as Debian's 32-bit
# Wine needs: asked of wine32's own server, started by bash's exec, which
# refuses a binary it cannot run instead of reading it as a script. Inside the
# guest they run, so the guest never starts another. TAVIX_EMULATE=1 sends the
# programs to the guest on a machine that runs them itself, so that this path
# is tried there too.
needed() {
  [ -z "${TAVIX_GUEST:-}" ] || return 1
  [ "${TAVIX_EMULATE:-}" != 1 ] || return 0
  local version
  # shellcheck disable=SC2016
  version=$(timeout -k 5 30 bash -c 'exec "$0" --version' /usr/lib/wine/wineserver32 </dev/null 2>&1) &&
    [[ $version == Wine* ]] && return 1
  return 0
}

where() {
  if [ "${TAVIX_EMULATE:-}" = 1 ]; then
    echo "TAVIX_EMULATE=1: the 32-bit programs run in the emulated PC of scripts/guest.sh"
  elif needed; then
    echo "this machine runs no 32-bit code: the 32-bit programs run in the emulated PC of scripts/guest.sh"
  else
    echo "this machine runs 32-bit code: the 32-bit programs run here under Wine"
  fi
}

# The guest's first process, in its start-up image: loads the drivers for the
# shared folders and the network, mounts this machine's files, starts an X
# server and the ssh server, and powers off after 10 minutes with nothing of
# ours running.
guest_init() {
  cat <<'INIT'
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin
mkdir -p /proc /dev
mount -t proc proc /proc
mount -t devtmpfs dev /dev
for m in $(cat /modules/order); do insmod /modules/$m.ko; done
ip link set lo up
ip link set eth0 up
ip addr add 10.0.2.15/24 dev eth0
# The machine's files, cached (they do not change under the guest), then the
# clone, uncached, since builds change it while the guest runs.
r=/root9p
mkdir -p $r
nine='trans=virtio,version=9p2000.L,msize=524288'
mount -t 9p -o ro,$nine,cache=loose machine $r
mount -t proc proc $r/proc
mount -t sysfs sys $r/sys
mount -t devtmpfs dev $r/dev
mkdir -p $r/dev/pts $r/dev/shm
mount -t devpts -o gid=5,mode=620,ptmxmode=666 devpts $r/dev/pts
for d in /dev/shm /run /tmp; do mount -t tmpfs -o mode=700 tmpfs $r$d; done
chmod 1777 $r/tmp $r/dev/shm
mkdir -m 1777 $r/tmp/.X11-unix
clone=$(sed -n 's/.*tavix.clone=\([^ ]*\).*/\1/p' /proc/cmdline)
mkdir -p $r$clone
mount -t 9p -o $nine,cache=mmap clone $r$clone
# root's home is its own, in /run: this machine's /root, read-only here,
# may have no .ssh folder to mount the key over.
mkdir -p -m 700 $r/run/root/.ssh
cp /authorized_keys $r/run/root/.ssh/authorized_keys
cp /host_key $r/run/host_key
# root's shell without its start-up files (a login shell here runs whatever
# this machine's ~/.bashrc runs, at emulated speed).
sed 's#^\(root:[^:]*:[^:]*:[^:]*:[^:]*:\).*#\1/run/root:/bin/sh#' $r/etc/passwd > $r/run/passwd
mount --bind $r/run/passwd $r/etc/passwd
in_root() { chroot $r /usr/bin/env -i PATH=/usr/local/bin:/usr/bin:/bin:/usr/sbin:/sbin HOME=/run/root "$@"; }
in_root Xvfb :42 -nolisten tcp -screen 0 1280x1024x24 >/dev/null 2>&1 &
# Fontconfig's caches on this machine are its own 64-bit library's; the
# 32-bit one that 32-bit Wine loads writes its own, here in the guest's /tmp.
in_root DISPLAY=:42 TAVIX_GUEST=1 XDG_CACHE_HOME=/tmp/cache /usr/sbin/dropbear -F -e -s -m -r /run/host_key -p 22 >/dev/null 2>&1 &
ours_running() {
  for c in /proc/[0-9]*/comm; do
    read -r name <"$c" 2>/dev/null || continue
    case $name in sh | bash | wine* | *.exe) return 0 ;; esac
  done
  return 1
}
idle=0
while [ $idle -lt 600 ]; do
  sleep 30
  if ours_running; then idle=0; else idle=$((idle + 30)); fi
done
poweroff -f
INIT
}

# The drivers the guest loads, in an order that meets their dependencies.
modules="failover net_failover virtio_ring virtio virtio_pci_modern_dev virtio_pci_legacy_dev
  virtio_pci virtio_net netfs fscache 9pnet 9pnet_virtio 9p"

# The kernel and busybox come from Debian's packages, unpacked here, never
# installed, wherever the release puts them (/bin or /usr/bin, /lib/modules
# or /usr/lib/modules), its modules uncompressed for busybox's insmod; a
# module this kernel has built in, or merged into another, is left out. The
# image is made again whenever what goes into it changes.
build() {
  local stamp
  stamp=$({ guest_init; echo $modules; } | sha256sum | cut -d' ' -f1)
  [ "$(cat "$cache/stamp" 2>/dev/null)" = "$stamp" ] && return 0
  local kernel_package work busybox
  kernel_package=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-[0-9]/ {print $2; exit}')
  work=$(mktemp -d)
  # apt downloads as its own user, which must be able to write there.
  chown _apt "$work"
  (cd "$work" && apt-get download -q "$kernel_package" busybox-static >/dev/null)
  mkdir -p "$work/deb" "$work/image/bin" "$work/image/modules" "$cache"
  for deb in "$work"/*.deb; do dpkg-deb -x "$deb" "$work/deb"; done
  cp "$work"/deb/boot/vmlinuz-* "$cache/vmlinuz"
  busybox=$(find "$work/deb" -path '*/bin/busybox' -type f | head -n 1)
  cp "$busybox" "$work/image/bin/"
  guest_init >"$work/image/init"
  chmod 755 "$work/image/init"
  local m file order=()
  for m in $modules; do
    file=$(find "$work/deb" -path '*/modules/*' -name "$m.ko*" | head -n 1)
    [ -n "$file" ] || continue
    case $file in
      *.ko.xz) xz -dc "$file" ;;
      *.ko.zst) zstd -qdc "$file" ;;
      *) cat "$file" ;;
    esac >"$work/image/modules/$m.ko"
    order+=("$m")
  done
  echo "${order[@]}" >"$work/image/modules/order"
  rm -f "$cache/key" "$cache/key.pub"
  ssh-keygen -q -t ed25519 -N '' -C tavix-guest -f "$cache/key"
  cp "$cache/key.pub" "$work/image/authorized_keys"
  dropbearkey -t ed25519 -f "$work/image/host_key" >/dev/null 2>&1
  (cd "$work/image" && find . | "$busybox" cpio -o -H newc 2>/dev/null | gzip -1) >"$cache/initrd.img"
  rm -rf "$work"
  echo "$stamp" >"$cache/stamp"
}

# Over the one connection that boot() keeps open, unless control_path says
# otherwise.
ssh_to_guest() {
  ssh -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null -o LogLevel=ERROR \
    -o ControlPath="${control_path:-$state/ssh}" -i "$cache/key" -p "$(cat "$state/port")" root@127.0.0.1 "$@"
}

running() {
  [ -S "$state/ssh" ] && ssh_to_guest -O check 2>/dev/null
}

# Boots the guest unless it runs, under a lock: the first of several
# commands started at once boots it, the others wait for it.
start() {
  mkdir -p "$state"
  (
    flock 9
    running && exit 0
    boot
  ) 9>"$state/lock"
}

boot() {
  [ -f "$cache/stamp" ] || { echo "guest.sh: no guest image: run scripts/setup.sh first" >&2; return 1; }
  [[ $top != *[[:space:]]* ]] || { echo "guest.sh: the clone's path must have no spaces: $top" >&2; return 1; }
  stop
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' >"$state/port"
  # -cpu max without SMAP: with it, every 32-bit process dies at its first
  # return from the kernel under TCG. 8 GB, for the copies of the prefixes'
  # folders that wine-run.sh keeps in memory there (2 GB for the tests' two).
  # Nothing of ours stays open in the background processes, so that whoever
  # reads our output sees its end.
  qemu-system-x86_64 -machine q35 -accel tcg,thread=multi -cpu max,-smap -smp 2 -m 8G \
    -display none -serial "file:$state/console.log" -monitor none -no-reboot -daemonize -pidfile "$state/pid" \
    -kernel "$cache/vmlinuz" -initrd "$cache/initrd.img" -append "console=ttyS0 quiet panic=-1 tavix.clone=$top" \
    -virtfs local,path=/,mount_tag=machine,security_model=none,multidevs=remap,readonly=on \
    -virtfs "local,path=$top,mount_tag=clone,security_model=none,multidevs=remap" \
    -netdev "user,id=net,hostfwd=tcp:127.0.0.1:$(cat "$state/port")-:22" -device virtio-net-pci,netdev=net \
    </dev/null >"$state/qemu.log" 2>&1 9>&-
  local tries
  for tries in $(seq 120); do
    # One connection for every later command, kept open in the background.
    ssh_to_guest -f -N -M -o ControlPersist=yes </dev/null >/dev/null 2>&1 9>&- && return 0
    sleep 1
  done
  echo "guest.sh: the guest did not answer within 2 minutes (see $state/console.log)" >&2
  return 1
}

# Ends the ssh connection and the qemu this clone started, by its pid once
# that is still the qemu whose pid file it is.
stop() {
  [ -f "$state/pid" ] || return 0
  [ ! -S "$state/ssh" ] || ssh_to_guest -O exit 2>/dev/null || true
  local pid
  pid=$(cat "$state/pid")
  if grep -qF "$state/pid" "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid"; fi
  rm -f "$state/pid" "$state/ssh"
}

# For the shell in the guest: the argument in single quotes.
quoted() {
  local a=${1//\'/\'\\\'\'}
  printf "'%s' " "$a"
}

# A standard stream that is a file or a device (/dev/null, /dev/full) is
# opened again in the guest, so that the program writes to it itself and sees
# its errors; a closed one is closed there too; pipes and terminals are
# carried by ssh.
redirection() {
  local fd=$1 op=$2 target
  [ -e "/proc/$$/fd/$fd" ] || { printf '%s>&- ' "$fd"; return; }
  target=$(readlink "/proc/$$/fd/$fd")
  case $target in
    /dev/null | /dev/full | /dev/zero) ;;
    /*) [ -f "$target" ] && [[ $target == "$top"/* ]] || return 0 ;;
    *) return 0 ;;
  esac
  printf '%s%s' "$fd" "$op"
  quoted "$target"
}

run() {
  start
  # (bash would run ~/.bashrc for a command it takes from ssh.)
  local command="cd $(quoted "$PWD") && exec env -u SSH_CLIENT -u SSH_CONNECTION" name
  for name in $(compgen -e | grep '^TAVIX_' || true); do
    command+=" $(quoted "$name=${!name}")"
  done
  for name in "$@"; do command+=" $(quoted "$name")"; done
  local in out err tty=-T
  in=$(redirection 0 '<') out=$(redirection 1 '>>') err=$(redirection 2 '>>')
  command+=" $in$out$err"
  # A terminal gets a connection of its own: over the shared one, Debian
  # 13's ssh loses a terminal session's output and exit status.
  local control_path=''
  if [ -t 0 ] && [ -t 1 ]; then tty=-tt control_path=none; fi
  if [ -n "$in" ]; then
    ssh_to_guest "$tty" "$command" </dev/null
  else
    ssh_to_guest "$tty" "$command"
  fi
}

case ${1:-} in
  needed | where | build | running | stop) "$1" ;;
  run) shift; run "$@" ;;
  *) echo "usage: guest.sh needed | where | build | run COMMAND... | running | stop" >&2; exit 2 ;;
esac
