#!/usr/bin/env bash
# padscope-pen under Wine with the simulated library: the scripted stroke
# drawn where the script put it, wider where it pressed harder; the values
# panel and the header; faulting and hanging pen calls shown as
# "<exception>" and "<hung>" with the window answering throughout; a hung
# session given up by "Test again"; and the close at any moment ending the
# program with 0 within a second.
#
#   pen_canvas_case.sh PROGRAM REPORT_PROGRAM SIM_DIR DRIVER WORK_DIR WINE_RUN LIMIT_MS [CASE...]
#
# LIMIT_MS: how long the close and the answer to a message may take (1000,
# the program's promise; more in the emulated x86 machine, whose speed
# follows the host's load).
set -uo pipefail

readonly program="$1" report_program="$2" sim_dir="$3" driver="$4" work="$5" wine_run="$6" limit_ms="$7"
shift 7
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(stroke support eraser pressure_zero fault hang report_hang given_up close_table)
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
cp "$program" "$work/padscope-pen.exe"
cp "$report_program" "$work/padscope-report.exe"
cp "$sim_dir/WINTAB32.DLL" "$work/"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

# run NAME INJECT STEP...: the program with PADSCOPE_SIM_INJECT=INJECT (and
# PADSCOPE_SIM_PROFILE=$profile when set), the driver's steps; the driver's
# output in $work/NAME.out.
profile=""
run() {
  local name="$1" inject="$2"
  shift 2
  WINEDLLOVERRIDES=wintab32=n PADSCOPE_SIM_INJECT="$inject" PADSCOPE_SIM_PROFILE="$profile" \
    timeout 120 "$wine_run" "$work/padscope-pen.exe" \
    >"$work/$name.program" 2>&1 &
  local pid=$!
  timeout 110 "$wine_run" "$driver" "$(windows_path "$work/$name")" "$@" >"$work/$name.out" 2>&1
  local driven=$?
  wait "$pid"
  local status=$?
  tr -d '\r' <"$work/$name.out" | grep '^FAIL' | sed "s/^/$name: /"
  [ "$driven" -eq 0 ] || fail "$name: the driver failed ($driven)"
  [ "$status" -eq 0 ] || fail "$name: padscope-pen ended with $status"
  closed_in_time "$name"
}

# The close must end the process with 0 within a second (LIMIT_MS).
closed_in_time() {
  local line
  line="$(tr -d '\r' <"$work/$1.out" | grep '^exit ')"
  [[ "$line" =~ ^exit\ 0\ after\ ([0-9]+)\ ms$ ]] || { fail "$1: '$line', expected exit 0"; return; }
  [ "${BASH_REMATCH[1]}" -lt "$limit_ms" ] || fail "$1: the program took ${BASH_REMATCH[1]} ms to end after the close"
}

# The window answered every message the driver sent within a second (a
# window thread that waited for a stuck worker would not answer at all).
answered() {
  local slowest
  slowest="$(tr -d '\r' <"$work/$1.out" | sed -n 's/^slowest answer \([0-9]*\) ms.*$/\1/p')"
  [ -n "$slowest" ] && [ "$slowest" -lt "$limit_ms" ] || fail "$1: the window took ${slowest:-?} ms to answer a message"
}

has() { tr -d '\r' <"$work/$1.dump.txt" | grep -qxF -- "$2" || fail "$1: no line '$2' in: $(tr '\n' '|' <"$work/$1.dump.txt")"; }

for case in "${cases[@]}"; do
  case "$case" in
    stroke)
      # The default stroke: 9 packets in 160 ms, the last one leaving.
      run stroke "" wait "packets=9 " 60000 wait "proximity=0" 5000 sleep 300 dump dump close
      has stroke 'Tablet: Simulated Pen Tablet M; cursors: 0 "Pressure Pen", 1 "Pressure Eraser", 2 "Four-Button Puck"'
      has stroke 'Cursor: 0 "Pressure Pen"'
      has stroke 'x: 13500'
      has stroke 'y: 9400'
      has stroke 'Proximity: out'
      has stroke 'Packets read: 9'
      has stroke 'Strokes drawn: 1'
      # Pressure from 0 to the device's top and back: nothing wrong, the
      # session still reading.
      has stroke 'Verdict: no problem seen so far'
      grep -q '^Library: .*WINTAB32.DLL, version ' "$work/stroke.dump.txt" || fail "stroke: no library line"
      python3 "$here/stroke_pixels.py" "$work/stroke.dump.txt" "$work/stroke.dump.bmp" || fail "stroke: the pixels"
      answered stroke
      ;;
    support)
      # Copy report: the report, the findings and the pen's values.
      run support "" wait "packets=9 " 60000 wait "proximity=0" 5000 clipboard copied \
        save "$(windows_path "$work/saved.profile")" close
      copied="$(tr -d '\r' <"$work/support.copied.txt")"
      for line in "PADSCOPE x[0-9][0-9] - " "Diagnosis" "PEN SESSION" "Packets read: 9" "Strokes drawn: 1"; do
        grep -q "^$line" <<<"$copied" || fail "support: the copied text has no line '$line'"
      done
      # Save for support: the recording padscope-report --record writes of
      # the same library with the diagnosis and a pen check, the stroke's
      # packets included; the check lasts as long as the window had read
      # (whole seconds, at least one), which the options line says.
      WINEDLLOVERRIDES=wintab32=n timeout 120 "$wine_run" "$work/padscope-report.exe" --diagnose --pen=1 \
        --record "$(windows_path "$work/recorded.profile")" >/dev/null 2>&1
      grep -qE $'^options --diagnose --pen=[1-9][0-9]*\r$' "$work/saved.profile" ||
        fail "support: the saved recording's options are not the diagnosis and a pen check"
      [ "$(grep -c '^packet status' "$work/saved.profile")" -eq 9 ] || fail "support: the saved recording lacks the stroke's 9 packets"
      pen_seconds_said() { sed -E 's/^options --diagnose --pen=[0-9]+/options --diagnose --pen=N/' "$1"; }
      cmp -s <(pen_seconds_said "$work/saved.profile") <(pen_seconds_said "$work/recorded.profile") ||
        fail "support: the saved recording differs from --record's: $(diff "$work/saved.profile" "$work/recorded.profile" | head -5)"
      ;;
    eraser)
      # The eraser (cursor 1, named "Pressure Eraser") draws in blue.
      printf '%s\n' 'base default' 'packet none' 'packet time 1000 cursor 1 x 10000 y 8000 pressure 8191 buttons 1' \
        'packet time 1020 x 14000 y 8000' 'packet time 1040 status 1 pressure 0 buttons 0' >"$work/eraser.profile"
      profile="$(windows_path "$work/eraser.profile")"
      run eraser "" wait "packets=3 " 60000 sleep 300 dump dump close
      profile=""
      has eraser 'Cursor: 1 "Pressure Eraser"'
      has eraser 'Strokes drawn: 1'
      python3 - "$work/eraser.dump.bmp" <<'PY' || fail "eraser: no blue ink"
import struct, sys
data = open(sys.argv[1], 'rb').read()
offset = struct.unpack_from('<I', data, 10)[0]
width, height = struct.unpack_from('<ii', data, 18)
row = (width * 3 + 3) & ~3
# The eraser's ink at full pressure is pure blue (stored as blue, green, red).
blue = sum(1 for y in range(abs(height)) for x in range(width)
           if data[offset + y * row + 3 * x] > 200 and max(data[offset + y * row + 3 * x + 1:offset + y * row + 3 * x + 3]) < 60)
sys.exit(0 if blue > 20 else 1)
PY
      ;;
    pressure_zero)
      # The tip down but the pressure 0 throughout: a stroke by the tip
      # button at the lightest width, and the verdict while still reading.
      printf '%s\n' 'base default' 'packet none' 'packet time 1000 cursor 0 x 10000 y 8000 pressure 0 buttons 1' \
        'packet time 1020 x 11000 y 8400' 'packet time 1040 x 12000 y 8800' 'packet time 1060 status 1 buttons 0' \
        >"$work/pressure-zero.profile"
      profile="$(windows_path "$work/pressure-zero.profile")"
      run pressure_zero "" wait "packets=4 " 60000 sleep 300 dump dump close
      profile=""
      has pressure_zero 'Strokes drawn: 1'
      has pressure_zero 'Verdict: pressure never left 0 while the tip touched the tablet'
      grep -q '^stage=reading ' "$work/pressure_zero.dump.txt" || fail "pressure_zero: the session was not still reading"
      ;;
    fault)
      # A fault in the reading costs that call; the session ends cleanly.
      run fault "WTPacketsGet,segv" wait "stage=ended" 60000 sleep 300 dump dump close
      has fault 'WTPacketsGet() <exception>'
      has fault 'Verdict: the library failed: WTPacketsGet() faulted (see its row above)'
      grep -q ' faults=1 hard=0' "$work/fault.dump.txt" || fail "fault: status $(tail -1 "$work/fault.dump.txt")"
      answered fault
      ;;
    hang)
      # The reading's first call never returns: "<hung>" within two
      # seconds, the window answering; Test again gives the session up and
      # the next one hangs as well; the close still ends the program.
      run hang "WTPacketsGet,hang" wait "stage=reading" 60000 wait "hung=WTPacketsGet()" 2000 dump dump \
        click 1101 gone "hung=" 5000 wait "hung=WTPacketsGet()" 30000 sleep 200 close
      has hang 'WTPacketsGet() <hung>'
      answered hang
      ;;
    report_hang)
      # The report's DVC_PKTDATA never returns: the header names the row,
      # the window answers, and no pen session follows.
      profile=hang
      run report_hang "" wait "hung=DVC_PKTDATA" 60000 dump dump close
      profile=""
      tr -d '\r' <"$work/report_hang.dump.txt" | grep -qxF 'The test stopped: DVC_PKTDATA never returned <hung>' ||
        fail "report_hang: no line saying so in the header"
      answered report_hang
      ;;
    given_up)
      # Only the first call hangs: the session after Test again reads the stroke.
      run given_up "WTPacketsGet,hang-once" wait "hung=WTPacketsGet()" 60000 click 1101 wait "packets=9 " 30000 \
        wait "strokes=1" 5000 dump dump close
      has given_up 'Packets read: 9'
      answered given_up
      ;;
    close_table)
      # Closing at any moment of a session: while the report runs, as the
      # reading starts, during it, and with the reading hung.
      for moment in 0 150 400 800 1500 3000; do
        run "close_$moment" "" sleep "$moment" close
        run "close_hung_$moment" "WTPacketsGet,hang" sleep "$moment" close
      done
      ;;
    *)
      fail "unknown case $case"
      ;;
  esac
done

echo "$((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
[ "$failures" -eq 0 ]
