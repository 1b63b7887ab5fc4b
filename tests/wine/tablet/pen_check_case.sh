#!/usr/bin/env bash
# padscope-report --pen against Wine's builtin wintab32 with the stub pen:
# the pen follows a known path, and the packet lines must be that path as
# Wine converts it.
#
#   pen_check_case.sh WINE_TABLET STATE_DIR PROGRAM WORK_DIR
#
# The conversions relied on (Wine 8's wintab32 and X11 driver, the default
# context's output area equal to the device's 0..25400 by 0..20320):
# - x as the stub sends it; y flipped: 20320 - y;
# - pressure as sent;
# - tilt (tx, ty) as orientation: azimuth = atan2(ty, tx) + 90 degrees in
#   tenths, rounded, in (0, 3600] (900 for an upright pen); altitude =
#   1000 - 15 * max(|tx|, |ty|); twist 0;
# - the stub's button N as bit N of pkButtons (button 1 is 0x2), read as the
#   device's state when Wine handles the event (it asks the X server then),
#   so the path is fed in parts, each once the packets of the part before
#   have come, and a button changes only between parts;
# - every event of the stub one packet: entering and leaving proximity and
#   each button change included, with the values of the event before
#   (leaving with status TPS_PROXIMITY); the stylus is cursor 1, named
#   "stylus";
# - pkTime is the X server's clock, so the time column is not compared.
# Wine hands packets only to a window under the pen, so the check's window
# is shown over the whole screen (--pen-window).
set -uo pipefail

readonly wine_tablet="$1" state="$2" program="$3" work="$4"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"
out="$work/out"

# The path: "in" or "move" X Y PRESSURE TILTX TILTY, "down N", "up N", "out";
# "|" ends a part.
readonly path=(
  "in 2540 2032 0 0 0"
  "move 5080 4064 512 10 -10"
  "|"
  "down 1"
  "move 7620 6096 1024 -20 30"
  "move 10160 8128 2047 0 40"
  "|"
  "up 1"
  "out"
)

# The packet lines the path must give, without the time column.
expected_lines() {
  local x=0 y=0 pressure=0 tx=0 ty=0 buttons=0 event
  for event in "${path[@]}"; do
    [ "$event" = "|" ] && continue
    read -r verb a b c d e <<<"$event"
    case "$verb" in
      in | move) x=$a y=$b pressure=$c tx=$d ty=$e ;;
      down) buttons=$((buttons | (1 << a))) ;;
      up) buttons=$((buttons & ~(1 << a))) ;;
    esac
    [ "$verb" = in ] && echo "proximity: cursor 1 entered the context"
    [ "$verb" = out ] && echo "proximity: cursor 1 left the context"
    awk -v x="$x" -v y="$y" -v p="$pressure" -v tx="$tx" -v ty="$ty" -v b="$buttons" 'BEGIN {
      pi = atan2(0, -1)
      angle = atan2(ty, tx) + pi / 2
      if (angle <= 0) angle += 2 * pi
      azimuth = int(0.5 + angle * 1800 / pi)
      tilt = (tx < 0 ? -tx : tx) > (ty < 0 ? -ty : ty) ? (tx < 0 ? -tx : tx) : (ty < 0 ? -ty : ty)
      printf "  %6u  0x%08x  %8d  %8d  %8u  %7d  %8d  %6d\n", 1, b, x, 20320 - y, p, azimuth, 1000 - 15 * tilt, 0
    }'
  done
}
expected_lines >"$work/expected"

# Packet lines with their first ten columns (the time) cut off; proximity
# lines as they are; everything between the column headings and the end of
# the reading.
packet_lines() {
  tr -d '\r' <"$out" | sed -n '/^      time  cursor/,/^$/p' | sed '1d;$d' |
    sed -E 's/^ {0,9}[0-9]{1,10}(  )/\1/'
}

start_check() {
  bash "$wine_tablet" run "$state" "$program" --pen=20 --pen-window >"$out" 2>"$work/err" &
  pid=$!
  for _ in $(seq 300); do
    grep -q "^Reading packets for" "$out" 2>/dev/null && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
}
# On a busy machine the report's watchdog sometimes ends the load of Wine's
# builtin library (it opens the X input devices then) before it is done:
# that is the report's ending, not the pen check's, so it is tried again.
for attempt in 1 2 3; do
  start_check
  grep -q $'^LoadLibrary("WINTAB32.DLL")    <hung>\r$' "$out" || break
  wait "$pid"
  echo "attempt $attempt: the load of the library was declared hung"
done
grep -q "^Reading packets for" "$out" || fail "the check did not start reading ($(tail -n 3 "$out" | tr -d '\r'))"
sleep 0.5  # the window on the screen
# Each part at once (one feed can take a second on a busy machine); then
# wait until its packets have been printed.
packets_printed() {
  tr -d '\r' <"$out" | sed -n '/^      time  cursor/,$p' | grep -cE '^ +[0-9]+ +[0-9]+  0x' || true
}
part=()
fed=0
for event in "${path[@]}" "|"; do
  if [ "$event" != "|" ]; then
    part+=("$event")
    continue
  fi
  bash "$wine_tablet" feed "$state" stylus "${part[@]}" || fail "feeding '${part[*]}'"
  fed=$((fed + ${#part[@]}))
  part=()
  for _ in $(seq 100); do
    [ "$(packets_printed)" -ge "$fed" ] && break
    sleep 0.1
  done
done
wait "$pid"
status=$?
[ "$status" -eq 0 ] || fail "exit code $status, expected 0 ($(head -c 300 "$work/err"))"

grep -qxF $'      time  cursor     buttons         x         y  pressure  azimuth  altitude   twist\r' "$out" ||
  fail "the column headings of lcPktData 0x15f7"
packet_lines | diff "$work/expected" - >"$work/diff" || {
  fail "the packet lines differ from the path"
  head -20 "$work/diff"
}
row() { printf '%-30s %s\r' "$1" "$2"; }
# x covers 7620 of 25400 and y 6096 of 20320: 30% of each axis. The tip is
# the stub's button 1 (bit 1), so contact is judged by pressure: the six
# packets in proximity but the first have some.
for line in "$(row "Packets read" 7)" "$(row x "2540..10160 seen of 0..25400 (30% of the axis)")" \
            "$(row y "12192..18288 seen of 0..20320 (30% of the axis)")" "$(row pressure "0..2047 seen of 0..2047")" \
            "$(row Contact "5 packets in contact, 1 hovering (by pressure above 0)")" \
            "$(row "Pressure in contact" "512..2047, 100% of the range reached")" \
            "$(row "Cursors seen" '1 "stylus" (7)')"; do
  grep -qxF -- "$line" "$out" || fail "no summary line '${line%$'\r'}'"
done

echo "$((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
[ "$failures" -eq 0 ]
