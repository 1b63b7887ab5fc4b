#!/usr/bin/env bash
# Wine's builtin wintab32 with the stub pen, recorded by padscope-report
# --record and replayed with --replay by the simulated library: the
# replay's report is the recorded one, rows that Wine fills from memory it
# never set included (the recording keeps those bytes as they came); and a
# run with --diagnose and --pen while the stub feeds a stroke replays with
# the same findings (the machine they judged is the recorded one) and the
# same packets, in order.
#
#   builtin_recording_case.sh WINE_TABLET STATE_DIR PROGRAM SIM_NO_VERSION_DLL WORK_DIR
#
# Wine's library has no version resource, so the replay uses the simulated
# library built without one, in sim/ beside the program.
set -uo pipefail

readonly wine_tablet="$1" state="$2" program="$3" sim_dll="$4" work="$5"
here="$(cd "$(dirname "$0")" && pwd)"
readonly normalize="$here/../../cli/normalize_report.sh"

failures=0
fail() {
  echo "FAIL [wine_builtin_tablet_recording]: $*"
  failures=$((failures + 1))
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work/replay/sim"
cp "$program" "$work/padscope-report.exe"
cp "$program" "$work/replay/padscope-report.exe"
cp "$sim_dll" "$work/replay/sim/WINTAB32.DLL"

# record NAME OPTIONS...: runs the recording in the background ($pid) into
# $work/NAME.recorded.txt and $work/NAME.profile.
record() {
  local name="$1"
  shift
  rm -f "$work/$name.profile"
  "$wine_tablet" run "$state" "$work/padscope-report.exe" "$@" --record "$(windows_path "$work/$name.profile")" \
    >"$work/$name.recorded.txt" 2>"$work/$name.recorded.err" &
  pid=$!
}
# Wine's library can take longer to load than the watchdog allows on a
# busy machine (the load row ends in "<hung>"): such a run is repeated.
load_hung() { grep -q '^LoadLibrary("WINTAB32.DLL") *<hung>' "$work/$1.recorded.txt"; }

# replay NAME: the recording replayed; compares exit code and report.
replay() {
  local name="$1" recorded="$2"
  WINEDLLOVERRIDES=wintab32=n,b "$wine_tablet" run "$state" "$work/replay/padscope-report.exe" \
    --replay "$(windows_path "$work/$name.profile")" >"$work/$name.replayed.txt" 2>"$work/$name.replayed.err"
  local replayed=$?
  [ "$replayed" -eq "$recorded" ] || fail "$name: replay exited with $replayed, the recording with $recorded"
  grep -qi 'replay\\sim\\WINTAB32.DLL"' "$work/$name.replayed.txt" || fail "$name: the simulated library was not the one replayed"
  if ! cmp -s <("$normalize" <"$work/$name.recorded.txt") <("$normalize" <"$work/$name.replayed.txt"); then
    fail "$name: the replay differs from the recorded run:"
    diff <("$normalize" <"$work/$name.recorded.txt") <("$normalize" <"$work/$name.replayed.txt") | head -20
  fi
}

for options in "" "--no-null-buffer"; do
  name="${options#--}"
  name="${name:-defaults}"
  for attempt in 1 2 3; do
    # shellcheck disable=SC2086
    record "$name" $options
    wait "$pid"
    recorded=$?
    [ "$attempt" -lt 3 ] && [ "$recorded" -eq 5 ] && load_hung "$name" || break
  done
  [ "$recorded" -eq 0 ] || fail "$name: recording exited with $recorded ($(head -c 200 "$work/$name.recorded.err"))"
  grep -qi 'system32\\wintab32.dll"' "$work/$name.recorded.txt" || fail "$name: Wine's builtin wintab32 was not recorded"
  [ -s "$work/$name.profile" ] || { fail "$name: nothing recorded"; continue; }
  replay "$name" "$recorded"
done

# A stroke of the stub pen (tools/wine-tablet.sh feed): four events, each one
# packet. Wine hands packets only to a window under the pen (--pen-window).
readonly stroke=("in 2540 2032 0 0 0" "move 5080 4064 512 10 -10" "move 7620 6096 2047 -20 30" "out")
packets_printed() {
  tr -d '\r' <"$work/stroke.recorded.txt" | sed -n '/^      time  cursor/,$p' | grep -cE '^ +[0-9]+ +[0-9]+  0x' || true
}
for attempt in 1 2 3; do
  record stroke --diagnose --pen=10 --pen-window
  for _ in $(seq 300); do
    grep -q "^Reading packets for" "$work/stroke.recorded.txt" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if load_hung stroke; then
    wait "$pid"
    continue
  fi
  break
done
grep -q "^Reading packets for" "$work/stroke.recorded.txt" || fail "stroke: the check did not start reading"
sleep 0.5  # the window on the screen
"$wine_tablet" feed "$state" stylus "${stroke[@]}" || fail "feeding the stroke"
for _ in $(seq 100); do
  [ "$(packets_printed)" -ge "${#stroke[@]}" ] && break
  sleep 0.1
done
wait "$pid"
recorded=$?
[ "$(packets_printed)" -eq "${#stroke[@]}" ] || fail "stroke: $(packets_printed) packets read, ${#stroke[@]} fed"
# The builtin library answers the cursor slots past its count: a finding
# that rests on the diagnosis's own questions, which the replay must have.
grep -q '^warning  cursor-beyond-count ' "$work/stroke.recorded.txt" ||
  fail "stroke: no cursor-beyond-count finding in the recorded run"
[ -s "$work/stroke.profile" ] && replay stroke "$recorded" || fail "stroke: nothing recorded"

[ "$failures" -eq 0 ] && echo "[wine_builtin_tablet_recording] passed"
[ "$failures" -eq 0 ]
