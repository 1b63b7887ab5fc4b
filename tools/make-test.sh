#!/usr/bin/env bash
# `make test`: every build, then ctest in each (tools/test-all.sh), the x86
# build's last: its tests run in the emulated x86 machine.
#
# On a host whose cache does not hold the machine yet, the machine is built
# in the background from the start (tools/x86-machine.sh ensure), while the
# other builds compile and their tests run; the x86 build's first test waits
# for it on the machine's lock. The background build is stopped, by its
# process group, when this script ends for any reason; a build cut short is
# never taken for a machine.
set -uo pipefail
cd "$(dirname "$0")/.."

mkdir -p build
prepare_log=build/x86-machine-prepare.log
# Its own session, so that the whole build (debootstrap, apt, the emulator)
# can be stopped as one group.
setsid bash tools/x86-machine.sh ensure </dev/null >"$prepare_log" 2>&1 &
prepare_pid=$!
stop_prepare() {
  if kill -0 "$prepare_pid" 2>/dev/null; then
    kill -TERM -- "-$prepare_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$prepare_pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL -- "-$prepare_pid" 2>/dev/null || true
  fi
}
trap stop_prepare EXIT
trap 'exit 143' TERM INT HUP

make --no-print-directory build || exit 1
{ cmake --preset fuzz >/dev/null && cmake --build --preset fuzz --target report_fuzz >/dev/null; } || exit 1

bash tools/test-all.sh build/native build/native-asan build/x64 build/fuzz/tests/fuzz build/x86
status=$?
wait "$prepare_pid" 2>/dev/null || { echo "the x86 machine's build (log: $prepare_log):"; tail -n 20 "$prepare_log"; }
exit "$status"
