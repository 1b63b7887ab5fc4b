#!/usr/bin/env bash
# Wine's builtin wintab32 with the stub pen, recorded by padscope-report
# --record and replayed by the simulated library: the replay's report is
# the recorded one, rows that Wine fills from memory it never set included
# (the recording keeps those bytes as they came).
#
#   builtin_recording_case.sh WINE_TABLET STATE_DIR PROGRAM SIM_NO_VERSION_DLL WORK_DIR
#
# Wine's library has no version resource, so the replay uses the simulated
# library built without one.
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
mkdir -p "$work/replay"
cp "$program" "$work/padscope-report.exe"
cp "$program" "$work/replay/padscope-report.exe"
cp "$sim_dll" "$work/replay/WINTAB32.DLL"

for options in "" "--no-null-buffer"; do
  name="${options#--}"
  name="${name:-defaults}"
  # Wine's library can take longer to load than the watchdog allows on a
  # busy machine (the load row ends in "<hung>"): such a run is repeated.
  for attempt in 1 2 3; do
    rm -f "$work/$name.profile"
    # shellcheck disable=SC2086
    "$wine_tablet" run "$state" "$work/padscope-report.exe" $options --record "$(windows_path "$work/$name.profile")" \
      >"$work/$name.recorded.txt" 2>"$work/$name.recorded.err"
    recorded=$?
    [ "$attempt" -lt 3 ] && [ "$recorded" -eq 5 ] && grep -q '^LoadLibrary("WINTAB32.DLL") *<hung>' "$work/$name.recorded.txt" || break
  done
  [ "$recorded" -eq 0 ] || fail "$name: recording exited with $recorded ($(head -c 200 "$work/$name.recorded.err"))"
  grep -qi 'system32\\wintab32.dll"' "$work/$name.recorded.txt" || fail "$name: Wine's builtin wintab32 was not recorded"
  [ -s "$work/$name.profile" ] || { fail "$name: nothing recorded"; continue; }

  # shellcheck disable=SC2086
  WINEDLLOVERRIDES=wintab32=n PADSCOPE_SIM_PROFILE="$(windows_path "$work/$name.profile")" \
    "$wine_tablet" run "$state" "$work/replay/padscope-report.exe" $options >"$work/$name.replayed.txt" 2>"$work/$name.replayed.err"
  replayed=$?
  [ "$replayed" -eq "$recorded" ] || fail "$name: replay exited with $replayed, the recording with $recorded"
  grep -qi 'replay\\WINTAB32.DLL"' "$work/$name.replayed.txt" || fail "$name: the simulated library was not the one replayed"
  if ! cmp -s <("$normalize" <"$work/$name.recorded.txt") <("$normalize" <"$work/$name.replayed.txt"); then
    fail "$name: the replay's report differs from the recorded one:"
    diff <("$normalize" <"$work/$name.recorded.txt") <("$normalize" <"$work/$name.replayed.txt") | head -20
  fi
done

[ "$failures" -eq 0 ] && echo "[wine_builtin_tablet_recording] passed"
[ "$failures" -eq 0 ]
