#!/usr/bin/env bash
# Builds the emulated x86 machine that runs the 32-bit build's tests: a
# Debian 12 system (amd64 with i386 added) holding 32-bit Wine and Xvfb, its
# kernel and an initramfs, and a 32-bit Wine prefix made inside the machine.
#
#   x86-machine-image.sh DIR
#
# writes DIR/vmlinuz, DIR/initrd.img and DIR/disk.img (raw ext4). It is called
# by tools/x86-machine.sh, which builds into a temporary folder and renames
# it into the cache only once this script succeeded; this file and the way
# tools/wine-run.sh makes a prefix are the recipe whose hash names the cached
# machine, so a change to either builds a new one. Needs root, debootstrap, mke2fs and
# qemu-system-x86_64; no loop mounts (mkfs.ext4 -d).
set -euo pipefail

readonly out="$1"
script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly script_dir
readonly suite=bookworm
# The archive the host's own apt uses, so that the machine gets the same
# packages the build machine can reach.
mirror="$(sed -n 's/^URIs: *\([^ ]*debian\)$/\1/p' /etc/apt/sources.list.d/debian.sources 2>/dev/null | head -n 1)"
[ -n "$mirror" ] || mirror="$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' /etc/apt/sources.list 2>/dev/null)"
[ -n "$mirror" ] || mirror=http://deb.debian.org/debian
readonly mirror

# python3 checks the JSON documents of padscope-report. Xorg with its dummy
# video driver carries the stub pen of tools/wine-tablet.sh (the module is
# built on the host, whose Xorg is the same release and architecture), and
# 32-bit Wine finds a tablet only through the 32-bit XInput library, which
# it merely recommends.
readonly guest_packages="wine wine64 wine32:i386 xvfb xauth python3 linux-image-amd64 initramfs-tools kmod
  xserver-xorg-core xserver-xorg-video-dummy libxi6:i386"

root="$out/root"
mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
}
trap cleanup EXIT

step() { echo "x86-machine: $(date +%T) $*"; }

step "debootstrap $suite (amd64, minbase) from $mirror"
mkdir -p "$root"
debootstrap --variant=minbase --arch=amd64 "$suite" "$root" "$mirror" >"$out/debootstrap.log" 2>&1 || {
  tail -n 30 "$out/debootstrap.log" >&2
  exit 1
}

# The chroot's apt: the same archive with security updates, no
# recommended packages, nothing started while installing.
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror $suite main
deb $mirror $suite-updates main
deb ${mirror%/debian}/debian-security $suite-security main
EOF
cat >"$root/etc/apt/apt.conf.d/90padscope" <<'EOF'
APT::Install-Recommends "false";
APT::Install-Suggests "false";
Acquire::Check-Valid-Until "false";
EOF
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod +x "$root/usr/sbin/policy-rc.d"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

# The initramfs finds the root file system on the virtio disk; the shares
# come over 9p.
mkdir -p "$root/etc/initramfs-tools/conf.d"
printf '%s\n' virtio_pci virtio_blk ext4 crc32c_generic 9p 9pnet_virtio >"$root/etc/initramfs-tools/modules"
# Only the modules listed ("dep" would look at the build host's devices).
echo 'MODULES=list' >"$root/etc/initramfs-tools/conf.d/padscope"

mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")

in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive "$@"; }

step "installing $guest_packages"
in_root dpkg --add-architecture i386
in_root apt-get update -qq >"$out/apt.log" 2>&1 || { tail -n 30 "$out/apt.log" >&2; exit 1; }
# shellcheck disable=SC2086
in_root apt-get install -y -qq $guest_packages >>"$out/apt.log" 2>&1 || { tail -n 30 "$out/apt.log" >&2; exit 1; }
in_root apt-get clean

cleanup
mounted=()

# The kernel and initramfs are booted directly by the emulator.
kernel="$(ls "$root"/boot/vmlinuz-* | sort -V | tail -n 1)"
initrd="$(ls "$root"/boot/initrd.img-* | sort -V | tail -n 1)"
cp "$kernel" "$out/vmlinuz"
cp "$initrd" "$out/initrd.img"

# The machine's first process: mounts the job's share and hands over to the
# boot script that tools/x86-machine.sh puts there (so that how a job is run
# can change without building a new machine), then powers off.
cat >"$root/sbin/padscope-init" <<'EOF'
#!/bin/bash
export PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev 2>/dev/null
modprobe 9pnet_virtio 2>/dev/null
mkdir -p /job
if mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288 job /job && [ -f /job/boot.sh ]; then
  bash /job/boot.sh >/job/boot.log 2>&1
else
  echo "x86-machine: no job share" >/dev/console
fi
sync
echo 1 >/proc/sys/kernel/sysrq
echo o >/proc/sysrq-trigger
sleep 10
EOF
chmod +x "$root/sbin/padscope-init"


step "writing the disk image"
size_mb=$(( $(du -sm "$root" | cut -f1) + 2048 ))
mkfs.ext4 -q -F -L padscope -d "$root" "$out/disk.img" "${size_mb}M"
if grep -q " $root/" /proc/mounts; then
  echo "x86-machine: something is still mounted under $root" >&2
  exit 1
fi
rm -rf --one-file-system "$root"

# The 32-bit Wine prefix, made inside the machine by the script that makes
# the 64-bit one on the host (a prefix takes about 40 s to create there;
# every later boot starts from this one).
step "creating the 32-bit Wine prefix inside the machine"
job="$out/provision"
mkdir -p "$job"
: >"$job/shares"
cat >"$job/job.sh" <<EOF
set -e
export PADSCOPE_WINE_ARCH=win32 WINEPREFIX=/root/wine-prefix-x86
"$script_dir/wine-run.sh" --create-prefix
test -f /root/wine-prefix-x86/.padscope-ready
# The tablet's Wine session (tools/wine-tablet.sh) has a prefix of its own.
WINEPREFIX=/root/wine-prefix-x86-tablet "$script_dir/wine-run.sh" --create-prefix
test -f /root/wine-prefix-x86-tablet/.padscope-ready
EOF
PADSCOPE_X86_MACHINE_DIR="$out" "$script_dir/x86-machine.sh" boot "$job" --persistent 900 "$script_dir"
rc="$(cat "$job/job.rc" 2>/dev/null || echo none)"
if [ "$rc" != 0 ]; then
  echo "x86-machine: creating the prefix failed (exit $rc):" >&2
  tail -n 30 "$job/job.log" >&2 2>/dev/null || true
  exit 1
fi
rm -rf "$job"
step "done"
