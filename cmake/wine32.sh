#!/bin/bash
# 32-bit Windows programs under Wine, for the tests of the 32-bit build, on
# machines whose own Wine cannot start them: Wine comes from a Debian trixie
# root of its own, and where the kernel refuses 32-bit x86 programs,
# qemu-i386 runs them for it.
#
#   wine32.sh setup ROOT DIR               make or complete ROOT, start Wine
#                                          seeing the host's folder DIR
#   wine32.sh run ROOT PROGRAM [ARG...]    a program below DIR under Wine
#   wine32.sh exec ROOT COMMAND [ARG...]   a command of the root (wine reg...)
#   wine32.sh teardown ROOT                stop Wine, forget qemu-i386
#
# Standard input, output and error, the exit status and the current folder
# (below DIR) pass through. Needs root. WINE32_QEMU=1 takes qemu even where
# the kernel runs 32-bit programs itself, to try the other way here.
#
# Nothing is mounted where the host sees it: the root's /proc, /dev, /tmp
# and DIR are mounted in a mount namespace that Wine's server keeps, which
# every command enters; an rm -rf of ROOT or DIR never runs through them.
set -eu

die() { echo "wine32.sh: $*" >&2; exit 1; }

self=$(readlink -f "$0")
prefix=/opt/wineprefix
wine_env=(PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root WINEPREFIX=$prefix WINEDEBUG=-all
          XDG_RUNTIME_DIR=/tmp/xdg)
binfmt=/proc/sys/fs/binfmt_misc
entry=teklo-i386
# qemu's own pattern for i386 programs (qemu-binfmt-conf.sh).
magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

[ "$(id -u)" = 0 ] || die "needs root (chroot, mounts and binfmt_misc); run it with sudo"
for tool in unshare nsenter chroot; do
  command -v $tool > /dev/null || die "$tool is missing: apt-get install util-linux coreutils"
done
[ -n "${2:-}" ] || die "usage: wine32.sh setup ROOT DIR | run ROOT PROGRAM... | exec ROOT COMMAND... | teardown ROOT"
root=$(realpath -m "$2")
[ "$root" != / ] || die "ROOT cannot be /"
qemu=$root/usr/local/bin/qemu-i386
log=$root.log

# The mirror apt uses here.
mirror() {
  local found
  found=$(cat /etc/apt/sources.list.d/*.sources 2> /dev/null | awk '/^URIs:/ && !/security/ { print $2; exit }')
  [ -n "$found" ] || found=$(awk '$1 == "deb" && !/security/ { print $2; exit }' /etc/apt/sources.list 2> /dev/null)
  echo "${found:-http://deb.debian.org/debian}"
}

# A command of the root with /proc and /dev, its mounts gone when it ends.
in_root_once() {
  unshare --mount --propagation private -- sh -c '
    root=$1; shift
    mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" &&
      exec chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
                                      DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8 "$@"' sh "$root" "$@"
}

runs_i386() { [ -z "${WINE32_QEMU:-}" ] && chroot "$root" /lib/ld-linux.so.2 --version > /dev/null 2>&1; }

# qemu-i386, registered for i386 programs with F, which opens it now, so
# that it also serves inside the root, where its host path does not exist.
register_qemu() {
  [ -e "$binfmt/$entry" ] && return 0
  [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2> /dev/null ||
    die "binfmt_misc cannot be mounted on $binfmt, so qemu-i386 cannot run the 32-bit programs"
  if [ ! -x "$qemu" ]; then
    # trixie's qemu-user is linked statically: it runs wherever the kernel can start it.
    in_root_once sh -c 'cd /tmp && apt-get download qemu-user' >> "$log" 2>&1 ||
      die "downloading qemu-user failed (see $log); check that $(mirror) is reachable"
    mkdir -p "$(dirname "$qemu")"
    dpkg-deb --fsys-tarfile "$root"/tmp/qemu-user_*.deb | tar -xO ./usr/bin/qemu-i386 > "$qemu.new" &&
      chmod 755 "$qemu.new" && mv "$qemu.new" "$qemu" && rm "$root"/tmp/qemu-user_*.deb ||
      die "qemu-i386 is not in qemu-user (see $log)"
  fi
  printf '%s' ":$entry:M::$magic:$mask:$qemu:F" > "$binfmt/register" ||
    die "binfmt_misc refused qemu-i386"
}

make_root() {
  command -v debootstrap > /dev/null || die "debootstrap is missing: apt-get install debootstrap"
  if [ ! -e "$root/.base" ]; then
    # What an interrupted try left is no base to build on; anything else
    # in the folder is not ours to remove.
    [ ! -e "$root" ] || [ -e "$root/.teklo-wine32" ] || [ -z "$(ls -A "$root")" ] ||
      die "$root holds something else: remove it or choose another folder"
    rm -rf --one-file-system "$root"
    mkdir -p "$root"
    touch "$root/.teklo-wine32"
    unshare --mount --propagation private -- \
      debootstrap --variant=minbase trixie "$root" "$(mirror)" > "$log" 2>&1 ||
      die "debootstrap of Debian trixie from $(mirror) failed (see $log)"
    touch "$root/.base"
  fi
  # The i386 C library first, to learn whether qemu is needed before the
  # i386 packages' scripts run programs.
  in_root_once sh -c 'dpkg --add-architecture i386 && apt-get update && apt-get install -y libc6:i386' >> "$log" 2>&1 ||
    die "installing the i386 C library failed (see $log); check that $(mirror) is reachable"
  runs_i386 || register_qemu
  in_root_once sh -c 'apt-get install -y --no-install-recommends wine wine64 wine32:i386 && apt-get clean' >> "$log" 2>&1 ||
    die "installing Wine failed (see $log); check that $(mirror) is reachable"
  touch "$root/.ready"
}

# The processes whose root is the root, by device and inode, since a path
# does not name a folder seen through another namespace.
root_processes() {
  local id
  id=$(stat -c %d:%i "$root/" 2> /dev/null) || return 0
  stat -L -c '%d:%i %n' /proc/[0-9]*/root/ 2> /dev/null | awk -v id="$id" '$1 == id { split($2, p, "/"); print p[3] }'
}

server() {
  local pid name
  for pid in $(root_processes); do
    read -r name < "/proc/$pid/comm" 2> /dev/null && [[ $name = wineserver* ]] && { echo "$pid"; return 0; }
  done
  return 1
}

# In a new mount namespace: what Wine needs of the host, and DIR at its
# own path; then Wine's server, in a session of its own so that the end of
# a test does not end it, keeping the namespace for ten idle minutes.
namespace() {
  local dir=$1
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount --rbind /sys "$root/sys"
  mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
  mkdir -m 700 "$root/tmp/xdg"
  mkdir -p "$root$dir"
  mount --rbind "$dir" "$root$dir"
  # The prefix is made under a server that then ends: programs on a
  # terminal wait for their console for ever under the one that made it.
  if [ ! -e "$root$prefix/system.reg" ]; then
    chroot "$root" /usr/bin/env -i "${wine_env[@]}" sh -c 'wineboot --init && wineserver -w' > /dev/null 2>&1
  fi
  setsid chroot "$root" /usr/bin/env -i "${wine_env[@]}" wineserver -f -p600 > /dev/null 2>&1 &
  for _ in $(seq 200); do
    ls "$root"/tmp/*wine*/server-*/socket > /dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

# Runs a command of the root in the server's namespace, in the caller's
# folder, with Wine's settings and nothing that would point it at the host.
in_wine() {
  local pid dir
  pid=$(server) && dir=$(cat "$root/.dir") || die "Wine is not running in $root: run wine32.sh setup $root DIR first"
  case $PWD/ in "$dir"/*) ;; *) die "$PWD is not below $dir, the folder Wine sees" ;; esac
  exec nsenter --mount="/proc/$pid/ns/mnt" -- chroot "$root" /usr/bin/env -i -C "$PWD" "${wine_env[@]}" \
    TERM="${TERM:-dumb}" "$@"
}

teardown() {
  local pid
  [ -d "$root" ] || return 0
  if pid=$(server); then
    nsenter --mount="/proc/$pid/ns/mnt" -- chroot "$root" /usr/bin/env -i "${wine_env[@]}" wineserver -k > /dev/null 2>&1 || true
  fi
  for _ in $(seq 50); do
    [ -z "$(root_processes)" ] && break
    sleep 0.1
  done
  for pid in $(root_processes); do kill -9 "$pid" 2> /dev/null || true; done
}

case $1 in
  setup)
    [ -n "${3:-}" ] && dir=$(realpath -e "$3") || die "no folder ${3:-} for Wine to see"
    teardown  # a server from before may see another folder
    [ -e "$root/.ready" ] || make_root
    runs_i386 || register_qemu
    unshare --mount --propagation private -- "$self" __namespace "$root" "$dir" || die "Wine's server did not start in $root"
    echo "$dir" > "$root/.dir"
    # Wine's helpers live as long as the server and keep the descriptors of
    # the program that started them: started here, they hold no test's.
    (cd "$dir" && "$self" exec "$root" wineboot --init) < /dev/null > /dev/null 2>&1 || die "wineboot failed in $root" ;;
  __namespace) namespace "$3" ;;
  run)
    [ -n "${3:-}" ] && program=$(realpath -e "$3") || die "no program ${3:-}"
    shift 3
    in_wine wine "$program" "$@" ;;
  exec) shift 2; in_wine "$@" ;;
  teardown)
    teardown
    if [ -e "$binfmt/$entry" ]; then echo -1 > "$binfmt/$entry"; fi ;;
  *) die "no command $1: setup, run, exec or teardown" ;;
esac
