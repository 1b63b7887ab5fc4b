#!/usr/bin/env bash
# The emulated x86 machine that runs the 32-bit build's tests. This build
# host refuses 32-bit code, so the tests of the x86 preset run under 32-bit
# Wine in a full-system emulator (qemu, software emulation).
#
#   x86-machine.sh ensure
#       builds the machine unless the cache holds it; prints its folder
#   x86-machine.sh run JOB_DIR TIMEOUT_S PATH...
#       boots the machine once with the folders PATH... shared at the same
#       paths, runs JOB_DIR/job.sh inside it (output in JOB_DIR/job.log, exit
#       code in JOB_DIR/job.rc) and waits until the machine is off
#   x86-machine.sh boot JOB_DIR [--persistent] TIMEOUT_S PATH...
#       the boot alone, for a machine folder in $PADSCOPE_X86_MACHINE_DIR
#       (used while the machine is built; --persistent keeps what the job
#       writes on the disk)
#
# The machine lives outside the clone, in $PADSCOPE_CACHE_DIR (default
# /var/cache/padscope) under x86-machine-HASH, HASH being that of its recipe
# (tools/x86-machine-image.sh and how tools/wine-run.sh makes a prefix), so that every clone on
# this host shares it and a change of the recipe builds a new one. It is built
# in a temporary folder that is renamed only when complete: a build cut short
# is never taken for a machine. The disk is booted read-only (qemu -snapshot):
# a run leaves the cached machine as it was.
#
# One lock serialises building and booting on this host. The emulator's pid
# is recorded; a run that finds the emulator of a run that died still going
# stops it by that pid, and the emulator is stopped when this script ends for
# any reason, so nothing stays behind.
set -euo pipefail

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly script_dir
readonly cache_root="${PADSCOPE_CACHE_DIR:-/var/cache/padscope}"
readonly qemu_name=padscope-x86-machine

# The recipe: the image script and the part of tools/wine-run.sh that makes
# the prefix baked into the machine.
recipe_hash() {
  { cat "$script_dir/x86-machine-image.sh"; sed -n '/^ensure_prefix() {/,/^}/p' "$script_dir/wine-run.sh"; } |
    sha256sum | cut -c1-16
}

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# Takes the host-wide lock on fd 8; waits for a run or build in progress.
take_lock() {
  mkdir -p "$cache_root"
  exec 8>"$cache_root/x86-machine.lock"
  if ! flock -n 8; then
    echo "x86-machine: waiting for another run or build of the machine"
    flock 8
  fi
}

# Stops the emulator of an earlier run whose script is gone. Only called
# with the lock held, so a recorded emulator that still runs is stale.
stop_stale_emulator() {
  local pid_file="$cache_root/x86-machine.pid" pid
  pid="$(cat "$pid_file" 2>/dev/null || true)"
  if alive "$pid" && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -q -- "-name $qemu_name"; then
    echo "x86-machine: stopping the emulator of an earlier run (pid $pid)"
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    alive "$pid" && kill -9 "$pid" 2>/dev/null || true
  fi
  rm -f "$pid_file"
}

# The folder of the finished machine, built first when missing. Needs the
# lock.
ensure_locked() {
  local dir="$cache_root/x86-machine-$(recipe_hash)"
  if [ -f "$dir/ready" ]; then
    echo "$dir"
    return 0
  fi
  # With the lock held, any temporary folder is the remains of a build
  # that was cut short; older machines belong to older recipes.
  local old
  for old in "$cache_root"/x86-machine-*; do
    [ -d "$old" ] || continue
    [ "$old" = "$dir" ] && continue
    rm -rf --one-file-system "$old"
  done
  local build="$dir.building"
  rm -rf --one-file-system "$build"
  mkdir -p "$build"
  echo "x86-machine: building the machine in $build (4 minutes on a quiet host, more on a busy one; once per host)" >&2
  local started=$SECONDS
  if ! "$script_dir/x86-machine-image.sh" "$build" >&2; then
    echo "x86-machine: building the machine failed; logs in $build" >&2
    return 1
  fi
  touch "$build/ready"
  mv "$build" "$dir"
  echo "x86-machine: built in $((SECONDS - started)) s" >&2
  echo "$dir"
}

# What the machine's first process runs from the job's share: the rest of
# the system's mounts, the further shares, the job; output to files in the
# share, never through a pipe (Wine's background processes would keep it
# open).
write_boot_script() {
  cat >"$1/boot.sh" <<'EOF'
mkdir -p /dev/pts /dev/shm
mount -t devpts devpts /dev/pts
mount -t tmpfs tmpfs /dev/shm
mount -t tmpfs tmpfs /tmp
mount -t tmpfs tmpfs /run
hostname x86-machine
while read -r tag path; do
  [ -n "$tag" ] || continue
  # Page-cached: Wine maps the programs it runs, which the uncached mode
  # serves with pages of zeros.
  mkdir -p "$path" && mount -t 9p -o trans=virtio,version=9p2000.L,msize=524288,cache=loose "$tag" "$path"
done </job/shares
echo "x86-machine: job started $(date -u +%T)" >/dev/console
bash /job/job.sh </dev/null >/job/job.log 2>&1
echo $? >/job/job.rc
echo "x86-machine: job ended $(date -u +%T)" >/dev/console
sync
EOF
}

emulator_pid=""
stop_emulator() {
  if alive "$emulator_pid"; then
    kill "$emulator_pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$emulator_pid" || break; sleep 0.1; done
    alive "$emulator_pid" && kill -9 "$emulator_pid" 2>/dev/null || true
  fi
  rm -f "$cache_root/x86-machine.pid"
}

# boot MACHINE_DIR JOB_DIR PERSISTENT TIMEOUT_S PATH...
boot() {
  local machine="$1" job="$2" persistent="$3" timeout_s="$4"
  shift 4
  command -v qemu-system-x86_64 >/dev/null || { echo "x86-machine: qemu-system-x86_64 is missing" >&2; return 1; }
  rm -f "$job/job.rc" "$job/job.log"
  local args=(
    -name "$qemu_name"
    # Software emulation on every host core; SMAP off, or the guest kernel
    # faults on returning to 32-bit code and kills every 32-bit process.
    -accel tcg,thread=multi,tb-size=1024 -cpu max,-smap,-la57 -smp 2 -m 4096
    -display none -monitor none -serial "file:$job/console.log" -no-reboot -nic none
    -kernel "$machine/vmlinuz" -initrd "$machine/initrd.img"
    -append "root=/dev/vda rw rootfstype=ext4 console=ttyS0 init=/sbin/padscope-init quiet panic=1"
    -drive "file=$machine/disk.img,format=raw,if=virtio,cache=unsafe"
    -virtfs "local,path=$job,mount_tag=job,security_model=none"
  )
  [ "$persistent" = yes ] || args+=(-snapshot)
  # Further shares, mounted at their own paths; a folder inside another is
  # mounted after it.
  local index=0 path
  : >"$job/shares"
  while read -r path; do
    [ -n "$path" ] || continue
    index=$((index + 1))
    args+=(-virtfs "local,path=$path,mount_tag=share$index,security_model=none")
    echo "share$index $path" >>"$job/shares"
  done < <(for path in "$@"; do realpath "$path"; done | awk '{ print length($0) " " $0 }' | sort -n | cut -d' ' -f2-)

  write_boot_script "$job"
  trap stop_emulator EXIT
  trap 'exit 143' TERM INT HUP
  # Not holding the lock's descriptor: only this script does. Ahead of the
  # host's other work (builds, as root may): the dialog's one-second
  # watchdog runs on the emulated processors, and on a busy host a starved
  # emulator stretches healthy steps past it.
  nice -n "${PADSCOPE_X86_MACHINE_NICE:--10}" qemu-system-x86_64 "${args[@]}" </dev/null >"$job/qemu.log" 2>&1 8>&- &
  emulator_pid=$!
  echo "$emulator_pid" >"$cache_root/x86-machine.pid"
  local started=$SECONDS
  while alive "$emulator_pid"; do
    if [ $((SECONDS - started)) -ge "$timeout_s" ]; then
      echo "x86-machine: the machine was still running after $timeout_s s; stopped (console: $job/console.log)" >&2
      stop_emulator
      return 1
    fi
    sleep 1
  done
  wait "$emulator_pid" 2>/dev/null || true
  emulator_pid=""
  rm -f "$cache_root/x86-machine.pid"
  echo "x86-machine: the machine ran for $((SECONDS - started)) s"
  if [ ! -f "$job/job.rc" ]; then
    echo "x86-machine: the job did not finish; the end of the console:" >&2
    tail -n 30 "$job/console.log" >&2 2>/dev/null || true
    cat "$job/qemu.log" >&2 2>/dev/null || true
    return 1
  fi
}

case "${1:-}" in
  ensure)
    take_lock
    ensure_locked
    ;;
  run)
    [ $# -ge 3 ] || { echo "usage: x86-machine.sh run JOB_DIR TIMEOUT_S PATH..." >&2; exit 2; }
    job="$(realpath "$2")" timeout_s="$3"
    shift 3
    take_lock
    stop_stale_emulator
    machine="$(ensure_locked)"
    boot "$machine" "$job" no "$timeout_s" "$@"
    ;;
  boot)
    job="$(realpath "$2")"
    persistent=no
    if [ "${3:-}" = --persistent ]; then persistent=yes; shift; fi
    timeout_s="${3:?}"
    shift 3
    boot "${PADSCOPE_X86_MACHINE_DIR:?}" "$job" "$persistent" "$timeout_s" "$@"
    ;;
  *)
    echo "usage: x86-machine.sh ensure | run JOB_DIR TIMEOUT_S PATH... | boot JOB_DIR [--persistent] TIMEOUT_S PATH..." >&2
    exit 2
    ;;
esac
