#!/usr/bin/env bash
# The x86 build's tests in the emulated x86 machine (tools/x86-machine.sh),
# all in one boot. CMake writes JOB_DIR/suites.sh, one line per test:
#   suite NAME TIMEOUT_S WORKING_DIR COMMAND...
#
#   x86-suites.sh run JOB_DIR PATH...    (the CTest test `x86_machine`)
#       boots the machine with PATH... shared (the sources and the build),
#       which runs every test; each leaves JOB_DIR/results/NAME.log and
#       NAME.rc
#   x86-suites.sh result JOB_DIR NAME    (the CTest test NAME)
#       prints what the test printed in the machine, the failing cases last,
#       and exits with its exit code
#   x86-suites.sh guest JOB_DIR          (inside the machine)
#       runs the tests under 32-bit Wine, one Wine fixture for all of them
set -uo pipefail

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly script_dir

# The budget of one boot: the sum of the tests' own plus the boot itself,
# at most 50 minutes (the ctest timeout of the boot is an hour): on a busy
# host the lane, the builtin-tablet cases included, has come near half an hour.
boot_timeout() {
  awk '$1 == "suite" { total += $3 } END { total += 300; print total < 3000 ? total : 3000 }' "$1/suites.sh"
}

run() {
  local job="$1"
  shift
  if [ ! -f "$job/suites.sh" ]; then
    echo "x86-suites: $job/suites.sh is missing; configure the x86 preset" >&2
    return 1
  fi
  # Results of an earlier run must never pass for this one's.
  rm -rf "$job/results"
  mkdir -p "$job/results"
  # The machine sees the job's folder as /job.
  printf 'exec bash %q guest /job\n' "$script_dir/x86-suites.sh" >"$job/job.sh"
  local started=$SECONDS status=0
  "$script_dir/x86-machine.sh" run "$job" "$(boot_timeout "$job")" "$@" || status=$?
  local ran expected
  ran="$(find "$job/results" -name '*.rc' | wc -l)"
  expected="$(grep -c '^suite ' "$job/suites.sh")"
  echo "x86-suites: $ran of $expected tests ran in the machine; $((SECONDS - started)) s in all"
  cat "$job/results/summary.txt" 2>/dev/null
  [ "$status" -eq 0 ] || return "$status"
  if ! grep -q '^job rc=0$' "$job/job.log" 2>/dev/null || [ "$ran" -ne "$expected" ]; then
    echo "x86-suites: the job in the machine failed:"
    tail -n 20 "$job/job.log"
    return 1
  fi
}

result() {
  local job="$1" name="$2"
  local log="$job/results/$name.log" rc_file="$job/results/$name.rc"
  if [ ! -f "$rc_file" ]; then
    echo "$name did not run in the emulated x86 machine (see the test x86_machine, $job/job.log and $job/console.log)"
    return 1
  fi
  cat "$log"
  local rc
  rc="$(cat "$rc_file")"
  if [ "$rc" != 0 ]; then
    echo
    local why=""
    [ "$rc" = 124 ] && why=" (timed out)"
    echo "$name failed in the emulated x86 machine with exit code $rc$why"
    # GoogleTest's failing cases, the scripts' failures.
    grep -E '^\[  FAILED  \] [A-Za-z_]|^FAIL' "$log" | grep -v ' listed below:$' | sort -u
  fi
  return "$rc"
}

guest() {
  local job="$1"
  export PADSCOPE_WINE_ARCH=win32 WINEPREFIX=/root/wine-prefix-x86
  local results="$job/results"
  "$script_dir/wine-run.sh" --fixture-setup
  # A test that failed (not timed out) gets one more try: on a busy host the
  # emulator can be starved for longer than the programs' one-second
  # watchdog, which then ends a healthy step in "<hung>". Both tries are in
  # the log; the second decides.
  suite() {
    local name="$1" timeout_s="$2" dir="$3"
    shift 3
    local started=$SECONDS rc=0 log="$results/$name.log" note=""
    (cd "$dir" && timeout -k 10 "$timeout_s" "$@") </dev/null >"$log" 2>&1 || rc=$?
    if [ "$rc" -ne 0 ] && [ "$rc" -ne 124 ]; then
      printf '\n%s: the first try failed with exit code %s; the second try:\n\n' "$name" "$rc" >>"$log"
      rc=0
      (cd "$dir" && timeout -k 10 "$timeout_s" "$@") </dev/null >>"$log" 2>&1 || rc=$?
      note=" (second try)"
    fi
    echo "$rc" >"$results/$name.rc"
    echo "$name: exit $rc$note, $((SECONDS - started)) s" | tee -a "$results/summary.txt"
  }
  # shellcheck disable=SC1091
  . "$job/suites.sh" || return 1
  "$script_dir/wine-run.sh" --fixture-cleanup
  echo "job rc=0"
}

case "${1:-}" in
  run) shift; run "$@" ;;
  result) result "$2" "$3" ;;
  guest) guest "$2" || exit 1 ;;
  *) echo "usage: x86-suites.sh run JOB_DIR PATH... | result JOB_DIR NAME | guest JOB_DIR" >&2; exit 2 ;;
esac
