#!/usr/bin/env bash
# padscope-pen against Wine's builtin wintab32 with the stub pen: a stroke
# fed once the session reads is counted, shown in the values panel and
# drawn where the stub put the pen, wider where it pressed harder.
#
#   pen_window_case.sh WINE_TABLET STATE_DIR PROGRAM DRIVER STROKE_PIXELS WORK_DIR
#
# What the expectations rest on (Wine 8, as in pen_check_case.sh): every
# event of the stub is one packet, leaving proximity with the values of the
# event before; x as sent, y flipped (20320 - y); pressure as sent, of the
# device's 0..2047; an upright pen (no tilt) reads azimuth 900, altitude
# 1000; the stylus is cursor 1, named "stylus". A point is in contact when
# its pressure is above 0.
set -uo pipefail

readonly wine_tablet="$1" state="$2" program="$3" driver="$4" stroke_pixels="$5" work="$6"

failures=0
fail() {
  echo "FAIL [wine_builtin_tablet_pen_window]: $*"
  failures=$((failures + 1))
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"
cp "$program" "$work/padscope-pen.exe"

readonly stroke=("in 2540 2032 0 0 0" "move 5080 4064 512 10 -10" "move 7620 6096 2047 -20 30"
  "move 12000 9000 1500 0 0" "move 15000 12000 300 0 0" "out")

# The points in contact, in the packets' coordinates, for the pixels' check.
contact=()
for event in "${stroke[@]}"; do
  read -r verb x y pressure _ <<<"$event"
  [ "$verb" = move ] && [ "$pressure" -gt 0 ] && contact+=("$x,$((20320 - y)),$pressure")
done
read -r _ last_x last_y last_pressure _ <<<"${stroke[${#stroke[@]} - 2]}"

drive() {
  local name="$1"
  shift
  timeout 110 "$wine_tablet" run "$state" "$driver" "$(windows_path "$work/$name")" "$@" >"$work/$name.out" 2>&1 ||
    fail "$name: the driver failed: $(tr -d '\r' <"$work/$name.out" | grep '^FAIL' | head -3)"
}

timeout 150 "$wine_tablet" run "$state" "$work/padscope-pen.exe" >"$work/program.out" 2>&1 &
pid=$!
drive reading wait "stage=reading" 90000
"$wine_tablet" feed "$state" stylus "${stroke[@]}" || fail "feeding the stroke"
drive stroke wait "packets=${#stroke[@]} " 10000 wait "proximity=0" 5000 sleep 300 dump dump close
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "padscope-pen ended with $status"

dump="$work/stroke.dump.txt"
has() { tr -d '\r' <"$dump" | grep -qxF -- "$1" || fail "no line '$1' in: $(tr -d '\r' <"$dump" | tr '\n' '|')"; }
tr -d '\r' <"$dump" | grep -qi '^Library: .*system32\\WINTAB32.DLL' || fail "Wine's builtin library was not the one tested"
has 'Cursor: 1 "stylus"'
has "x: $last_x"
has "y: $((20320 - last_y))"
tr -d '\r' <"$dump" | grep -q "^Pressure: $last_pressure (" || fail "no pressure $last_pressure in the values"
has 'Tilt: azimuth 900, altitude 1000 (tenths of a degree)'
has 'Proximity: out'
has "Packets read: ${#stroke[@]}"
has 'Strokes drawn: 1'
python3 "$stroke_pixels" "$dump" "$work/stroke.dump.bmp" "${contact[@]}" || fail "the pixels"

[ "$failures" -eq 0 ] && echo "[wine_builtin_tablet_pen_window] passed"
[ "$failures" -eq 0 ]
