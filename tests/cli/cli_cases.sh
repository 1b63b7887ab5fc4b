#!/usr/bin/env bash
# padscope-report against the simulated library: options, exit codes and the
# report on standard output, natively or (with a runner) under Wine.
#
#   cli_cases.sh native   PROGRAM SIM_DIR NO_WTINFO_DIR GOLDEN_DIR WORK_DIR
#   cli_cases.sh wine     PROGRAM SIM_DIR NO_WTINFO_DIR GOLDEN_DIR WORK_DIR WINE_RUN
#   cli_cases.sh wine-x86 PROGRAM SIM_DIR NO_WTINFO_DIR GOLDEN_DIR WORK_DIR WINE_RUN
#
# Natively the library is found through LD_LIBRARY_PATH; under Wine it sits
# beside the program and Wine is told to prefer it over its builtin one.
# The golden reports are those of the 64-bit builds; the 32-bit program
# (wine-x86) names its own build in the first line.
set -uo pipefail

readonly mode="$1" program="$2" sim_dir="$3" no_wtinfo_dir="$4" golden_dir="$5" work="$6"
readonly wine_run="${7:-}"
# Both Windows editions run under Wine and share its paths and folders.
windows=no
[ "$mode" = native ] || windows=yes
readonly windows
here="$(cd "$(dirname "$0")" && pwd)"

# A failure is a line in $failed as well, so that one in a case run in the
# background counts too.
readonly failed="$work/failed"
fail() {
  echo "FAIL: $*"
  echo "$*" >>"$failed"
}

rm -rf "$work"
mkdir -p "$work/jobs"

# Cases that mostly wait (for a hang's watchdog or a pen check's reading)
# run side by side: `background FUNCTION ARGS...` runs one whose checks are
# all inside it in a subshell of its own, at most $parallel at once, its
# output kept and shown by finish_background in the order they started. A
# process under Wine costs seconds of processor time, and the emulated x86
# machine is starved easily: there fewer run at once, or one at a time, so
# that no healthy step waits a watchdog period for the processor.
case "$mode" in
  native) parallel=16 ;;
  wine) parallel=2 ;;
  *) parallel=1 ;;
esac
readonly parallel
started_jobs=0
background() {
  if [ "$parallel" -le 1 ]; then
    "$@"
    return
  fi
  while [ "$(jobs -pr | wc -l)" -ge "$parallel" ]; do wait -n; done
  started_jobs=$((started_jobs + 1))
  local job="$work/jobs/$started_jobs"
  { "$@"; echo "$*" >"$job.ended"; } >"$job.log" 2>&1 &
}
finish_background() {
  wait
  local n
  for ((n = 1; n <= started_jobs; n++)); do
    cat "$work/jobs/$n.log"
    [ -e "$work/jobs/$n.ended" ] || fail "a case run in the background ended early (its output above)"
  done
}

# run LIBRARY(sim|no-wtinfo|none|replay) PROFILE INJECT [OPTIONS...]: sets
# $out, $err (file names) and $status. A replay (--replay in the options)
# finds the simulated library in sim/ beside the program by itself: it runs
# without a library path, and with a profile and an injection in the
# environment that it must not heed. (Under Wine, which prefers its own
# wintab32 to any file of that name, with the override every native
# WINTAB32.DLL needs there.)
run() {
  local library="$1" profile="$2" inject="$3"
  shift 3
  local dir="$work/$library"
  out="$work/out.$BASHPID" err="$work/err.$BASHPID"
  if [ "$library" = replay ]; then
    local ignored="interface,IFC_NDEVICES,real,segv;WTOpenW,fail"
    if [ "$mode" = native ]; then
      env -u LD_LIBRARY_PATH PADSCOPE_SIM_PROFILE=no-tablet PADSCOPE_SIM_INJECT="$ignored" PADSCOPE_SIM_LOADER_HANG= \
        timeout 20 "$program" "$@" >"$out" 2>"$err"
    else
      # Beside the folder sim/ of the recorded runs: the replay loads the
      # library from the same path (a report that fills up stops at the
      # same row only when the path has the same length).
      WINEDLLOVERRIDES=wintab32=n,b PADSCOPE_SIM_PROFILE=no-tablet PADSCOPE_SIM_INJECT="$ignored" PADSCOPE_SIM_LOADER_HANG= \
        timeout 60 "$wine_run" "$work/padscope-report.exe" "$@" >"$out" 2>"$err"
    fi
    status=$?
    return
  fi
  if [ "$mode" = native ]; then
    local path="$dir"
    [ "$library" = sim ] && path="$sim_dir"
    [ "$library" = no-wtinfo ] && path="$no_wtinfo_dir"
    LD_LIBRARY_PATH="$path" PADSCOPE_SIM_PROFILE="$profile" PADSCOPE_SIM_INJECT="$inject" \
      PADSCOPE_SIM_LOADER_HANG="${LOADER_HANG:-}" \
      timeout 20 "$program" "$@" >"$out" 2>"$err"
    status=$?
  else
    local override=wintab32=n
    [ "$library" = none ] && override=wintab32=d
    WINEDLLOVERRIDES="$override" PADSCOPE_SIM_PROFILE="$profile" PADSCOPE_SIM_INJECT="$inject" \
      PADSCOPE_SIM_LOADER_HANG="${LOADER_HANG:-}" \
      timeout 60 "$wine_run" "$dir/padscope-report.exe" "$@" >"$out" 2>"$err"
    status=$?
  fi
}

# Under Wine each library sits beside its copy of the program, copied before
# any case runs (cases run side by side).
mkdir -p "$work/none" "$work/sim" "$work/no-wtinfo"
if [ "$windows" = yes ]; then
  # (A replay's program sits above sim/.)
  cp "$program" "$work/padscope-report.exe"
  for library in none sim no-wtinfo; do cp "$program" "$work/$library/padscope-report.exe"; done
  cp "$sim_dir/WINTAB32.DLL" "$work/sim/"
  cp "$no_wtinfo_dir/WINTAB32.DLL" "$work/no-wtinfo/"
fi

expect_status() {
  [ "$status" -eq "$1" ] || fail "$2: exit code $status, expected $1 ($(head -c 300 "$err"))"
}

# A golden report as this build writes it.
golden() {
  if [ "$mode" = wine-x86 ]; then
    sed '1s/^PADSCOPE x64 - /PADSCOPE x86 - /' "$golden_dir/$1"
  else
    cat "$golden_dir/$1"
  fi
}

expect_golden() {
  local normalized="$work/normalized.$BASHPID"
  "$NORMALIZE" <"$out" >"$normalized"
  cmp -s <(golden "$1") "$normalized" || {
    fail "$2: standard output differs from $1"
    diff <(golden "$1") "$normalized" | head -10
  }
}

ends_with() { tail -c "${#1}" "$out" | cmp -s - <(printf '%s' "$1"); }

readonly NORMALIZE="$here/normalize_report.sh"

# A healthy tablet: the report equals the golden one, as the dialog shows it.
run sim default ""
expect_status 0 "healthy tablet"
expect_golden default.txt "healthy tablet"
run sim default "" --no-null-buffer
expect_status 0 "--no-null-buffer"
expect_golden default-no-null-buffer.txt "--no-null-buffer"

# UTF-16 on request: the same text, two bytes a unit, little-endian.
run sim default "" --utf16
expect_status 0 "--utf16"
cp "$out" "$work/utf16"
run sim default ""
if command -v iconv >/dev/null; then
  iconv -f UTF-16LE -t UTF-8 "$work/utf16" | "$NORMALIZE" | cmp -s - <(golden default.txt) ||
    fail "--utf16: not the UTF-16LE form of the report"
fi

# Names that contain every marker of an ending, an error line and the probe
# row: the exit code comes from what happened, not from the text.
# (Under Wine the library opens the profile through a Windows path.)
host_path() { if [ "$windows" = yes ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi; }
markers='<exception> <hung> <hard exception>\u000D\nError: library WINTAB32.DLL not found\u000D\nError: WTInfoW() not found\u000D\nWTInfoW(0,0,0)                 {  0} \u000D\n<hung>'
printf 'base default\nitem device:0 DVC_NAME text "%s"\nitem cursor:1 CSR_NAME text "%s"\n' \
  "$markers" "$markers" >"$work/markers.profile"
run sim "$(host_path "$work/markers.profile")" ""
expect_status 0 "names holding every marker"
[ "$(grep -c '<hard exception>' "$out")" -eq 2 ] || fail "names holding every marker: the names are not in the report"

# The library missing, or lacking WTInfoW.
run none default ""
expect_status 3 "no library"
grep -q "(GetLastError()=126)" "$out" || fail "no library: error line with 126 missing"
run no-wtinfo default ""
expect_status 3 "no WTInfoW"
expect_golden no-wtinfo.txt "no WTInfoW"

# The availability probe answers 0: stop, unless told to go on.
run sim no-tablet ""
expect_status 4 "probe 0"
expect_golden no-tablet.txt "probe 0"
run sim no-tablet "" --ignore-probe
expect_status 0 "probe 0 ignored"
expect_golden no-tablet-ignore-probe.txt "probe 0 ignored"

# A fault in one row: "<exception>" there with Safe Mode, the end of the
# report without it.
run sim default "device:0,DVC_NAME,real,segv"
expect_status 7 "fault in Safe Mode"
grep -q "^DVC_NAME  *{ 46} <exception>"$'\r'"$" "$out" || fail "fault in Safe Mode: the DVC_NAME row"
run sim default "device:0,DVC_NAME,real,segv" --no-safe-mode
expect_status 6 "fault without Safe Mode"
ends_with $'{ 46} <hard exception>\r\n' || fail "fault without Safe Mode: report does not end at the fault"

# A driver that overflows its stack, three times in one test: with Safe Mode
# each overflow costs its own row, like any other fault.
run sim default "device:0,DVC_NAME,real,stack;device:0,DVC_PNPID,real,stack;cursor:0,CSR_NAME,real,stack"
expect_status 7 "stack overflows in Safe Mode"
for row in "DVC_NAME  *{ 46}" "DVC_PNPID  *{ 16}" "CSR_NAME  *{ 26}"; do
  grep -q "^$row <exception>"$'\r'"$" "$out" || fail "stack overflows in Safe Mode: the row $row"
done
[ "$(grep -c '<exception>' "$out")" -eq 3 ] || fail "stack overflows in Safe Mode: not exactly three rows"

# Without Safe Mode a fault anywhere ends the report right there: a sample of
# rows and fault kinds.
for sample in "1,4,probe,segv|IFC_NDEVICES|" "4,0,real,ill|(0)|{212} " \
              "cursor:2,CSR_CAPABILITIES,real,fpe|CSR_CAPABILITIES|{  4} "; do
  IFS='|' read -r inject label echoes <<<"$sample"
  run sim default "$inject" --no-safe-mode
  expect_status 6 "$inject without Safe Mode"
  ends_with "$(printf '%-30s %s<hard exception>' "$label" "$echoes")"$'\r\n' ||
    fail "$inject without Safe Mode: the report does not end on its row"
done

# A hang: "<hung>" after the last output and the process still ends.
hang_case() {
  local started elapsed_ms
  started=$(date +%s%N)
  run sim hang ""
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  expect_status 5 "hang"
  ends_with $'<hung>\r\n' || fail "hang: report does not end in <hung>"
  grep -q "^DVC_PKTDATA  *{  4} <hung>"$'\r'"$" "$out" || fail "hang: <hung> not right after the stuck row's echo"
  echo "hang: process ended after ${elapsed_ms} ms"
}
background hang_case

# Answers that keep coming for longer than a watchdog period: the default
# report asks 76 rows with a size probe and a real call each, every call
# taking 20 ms ("slow 20"), so it takes over 3 s while it moves on every
# 20 ms. It is complete, not hung.
slow_answers_case() {
  local profile="$work/slow.profile" started elapsed_ms
  printf 'base default\nslow 20\n' >"$profile"
  started=$(date +%s%N)
  run sim "$(host_path "$profile")" ""
  elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
  expect_status 0 "slow answers"
  expect_golden default.txt "slow answers"
  [ "$elapsed_ms" -ge 3000 ] || fail "slow answers: the report took ${elapsed_ms} ms, less than its answers take"
}
# The same watchdog in both Windows editions: the emulated x86 machine, where
# a process costs seconds, leaves it to the x64 run.
[ "$mode" = wine-x86 ] || background slow_answers_case

# A driver stuck in its own load or release: "<hung>" on that row, and the
# process still ends although the system's loader stays locked.
loader_hang_case() {  # loader_hang_case attach|detach WHILE ROW
  LOADER_HANG="$1" run sim default ""
  expect_status 5 "hang while $2"
  ends_with "$(printf '%-30s <hung>' "$3")"$'\r\n' || fail "hang while $2: not on the $3 row"
}
background loader_hang_case attach loading 'LoadLibrary("WINTAB32.DLL")'
# The posix library has no release that could hang.
[ "$mode" = native ] || background loader_hang_case detach releasing "FreeLibrary()"

# A report past the text's capacity is complete, not hung.
run sim many-cursors ""
expect_status 0 "many cursors"
grep -q "<report full>" "$out" || fail "many cursors: no <report full>"

# The pen check (--pen). Lines are compared whole; "row LABEL VALUE" is a
# row as the report writes them (the label in 30 columns, a blank, the value).
row() { printf '%-30s %s' "$1" "$2"; }
crlf() { sed 's/$/\r/'; }
pen_section() { sed -n '/^PEN CHECK\r$/,$p' "$out"; }
has_line() { pen_section | grep -qxF -- "$1"$'\r'; }
# A profile file as the library opens it: under Wine through drive Z:.
profile_path() {
  if [ "$windows" = yes ]; then printf 'Z:%s' "${1//\//\\}"; else printf '%s' "$1"; fi
}

# The default profile's stroke, line by line from its script (sim/README.md):
# times 1000 to 1160 every 20, x from 10000 and y from 8000 by 500 and 200 a
# packet up to packet 8, pressure 0 1024 2048 4096 6144 8191 4096 0, the tip
# (button 1) down from packet 2 to 7, azimuth 900 then 950 from packet 3 and
# 1000 from packet 6, altitude 600 then 550 from packet 4, twist 0; packet 9
# only sets status 1 (outside the context). Handles and pkContext are
# written as wide as a pointer: sixteen digits, eight in the 32-bit edition.
pointer_digits=16
[ "$mode" = wine-x86 ] && pointer_digits=8
pointer() { printf '0x%0*x' "$pointer_digits" "$1"; }
{
  echo "PEN CHECK"
  row WTI_DEFCONTEXT '{212} "Default Digitizing", lcDevice 0, lcPktData 0x00001fff, lcMsgBase 0x00007ff0'; echo
  row "WTOpenW()" "$(pointer 1)"; echo
  row "WTEnable(TRUE)" 1; echo
  echo "Reading packets for 1 s: move the pen over the tablet (Ctrl+C ends it early)"
  echo
  echo "      time  cursor     buttons         x         y  pressure  azimuth  altitude   twist"
  echo "proximity: cursor 0 entered the context"
  pressures=(0 1024 2048 4096 6144 8191 4096 0)
  buttons=(0 1 1 1 1 1 1 0)
  azimuths=(900 900 950 950 950 1000 1000 1000)
  altitudes=(600 600 600 550 550 550 550 550)
  for n in 0 1 2 3 4 5 6 7; do
    printf '%10u  %6u  0x%08x  %8d  %8d  %8u  %7d  %8d  %6d\n' $((1000 + 20 * n)) 0 "${buttons[n]}" \
      $((10000 + 500 * n)) $((8000 + 200 * n)) "${pressures[n]}" "${azimuths[n]}" "${altitudes[n]}" 0
  done
  echo "proximity: cursor 0 left the context"
  printf '%10u  %6u  0x%08x  %8d  %8d  %8u  %7d  %8d  %6d\n' 1160 0 0 13500 9400 0 1000 550 0
  echo
  row "Reading ended" "the time was up"; echo
  row "WTClose()" 1; echo
  echo
  row "Packets read" 9; echo
  # x covers 3500 of 44704 (7%), y 1400 of 27940 (5%).
  row x "10000..13500 seen of 0..44704 (7% of the axis)"; echo
  row y "8000..9400 seen of 0..27940 (5% of the axis)"; echo
  row pressure "0..8191 seen of 0..8191"; echo
  # The tip is down in packets 2 to 7; packets 1 and 8 hover; 9 is outside.
  row Contact "6 packets in contact, 2 hovering (by the tip button)"; echo
  row "Pressure in contact" "1024..8191, 100% of the range reached"; echo
  row Tilt "azimuth 900..1000, altitude 550..600"; echo
  row "Buttons pressed" "0 (0x00000001)"; echo
  # Packets 1 to 8 are in proximity: 7 gaps of 20 ms, 50 a second; the
  # default device's DVC_PKTRATE is 200.
  row "Report rate" "50 packets/s in proximity, gaps median 20 ms, largest 20 ms (by pkTime); DVC_PKTRATE 200"; echo
  row "Cursors seen" '0 "Pressure Pen" (9)'; echo
} | crlf >"$work/pen-default.expected"
pen_stroke_case() {
  run sim default "" --pen=1
  expect_status 0 "pen: default stroke"
  pen_section | cmp -s - "$work/pen-default.expected" || {
    fail "pen: default stroke: lines differ"
    pen_section | diff "$work/pen-default.expected" - | head -20
  }
}
background pen_stroke_case
pen_utf16_case() {
  run sim default "" --pen=1 --utf16
  expect_status 0 "pen: --utf16"
  if command -v iconv >/dev/null; then
    iconv -f UTF-16LE -t UTF-8 "$out" | sed -n '/^PEN CHECK\r$/,$p' | cmp -s - "$work/pen-default.expected" ||
      fail "pen: --utf16: not the UTF-16LE form of the pen lines"
  fi
}
background pen_utf16_case

# Another layout (lcPktData 0x05E7: context, status, time, cursor, buttons,
# x, y, pressure; 36 bytes of fields padded to 40 in a 64-bit process, 32
# in a 32-bit one),
# two cursors, a packet naming another context, and pressure stuck at 0.
cat >"$work/pen-flat.profile" <<'PROFILE'
base default
patch defcontext 0 104 u32 0x05E7
packet none
packet time 500 cursor 1 x -20 y 30 pressure 0
packet x -10 context 7
packet cursor 0 x 0 y 40 context 1
packet status 1
PROFILE
{
  echo "      time  cursor     buttons         x         y  pressure"
  echo "proximity: cursor 1 entered the context"
  echo "       500       1  0x00000000       -20        30         0"
  echo "       505       1  0x00000000       -10        30         0  <pkContext $(pointer 7)>"
  echo "       510       0  0x00000000         0        40         0"
  echo "proximity: cursor 0 left the context"
  echo "       515       0  0x00000000         0        40         0"
  echo
  row "Reading ended" "the time was up"; echo
  row "WTClose()" 1; echo
  echo
  row "Packets read" 4; echo
  row x "-20..0 seen of 0..44704 (0% of the axis)"; echo
  row y "30..40 seen of 0..27940 (0% of the axis)"; echo
  row pressure "0..0 seen of 0..8191"; echo
  # No button is ever down, so contact is judged by pressure, which is
  # always 0: the three packets in proximity hover.
  row Contact "0 packets in contact, 3 hovering (by pressure above 0)"; echo
  row "Buttons pressed" "none"; echo
  # Gaps of 5 and 5 ms between the packets in proximity: 200 a second.
  row "Report rate" "200 packets/s in proximity, gaps median 5 ms, largest 5 ms (by pkTime); DVC_PKTRATE 200"; echo
  row "Cursors seen" '1 "Pressure Eraser" (2), 0 "Pressure Pen" (2)'; echo
  row Verdict "the pen only hovered: no packet was in contact with the tablet; press the tip on the tablet during the check"; echo
} | crlf >"$work/pen-flat.expected"
pen_flat_case() {
  run sim "$(profile_path "$work/pen-flat.profile")" "" --pen=1
  expect_status 11 "pen: flat pressure"
  has_line "$(row WTI_DEFCONTEXT '{212} "Default Digitizing", lcDevice 0, lcPktData 0x000005e7, lcMsgBase 0x00007ff0')" ||
    fail "pen: flat pressure: the context row"
  pen_section | tail -n +7 | cmp -s - "$work/pen-flat.expected" || {
    fail "pen: flat pressure: lines differ"
    pen_section | tail -n +7 | diff "$work/pen-flat.expected" - | head -20
  }
}
background pen_flat_case

# Hostile drivers, and tablets at the edges of what the check reads: each
# case ends with its documented exit code and the lines that say what
# happened; the process never crashes.
#   library|injection|options|exit code|line|line that must end the output|profile
# (the profile's lines separated by ';'; none: the default tablet)
pen_cases=(
  "sim|WTOpenW,segv||7||$(row "WTOpenW()" "<exception>")"
  "sim|WTEnable,fpe||7|$(row "WTEnable(TRUE)" "<exception>")|$(row "Verdict" "the library failed: WTEnable(TRUE) faulted (see its row above)")"
  "sim|WTPacketsGet,segv||7|$(row "WTPacketsGet()" "<exception>")|$(row "Verdict" "the library failed: WTPacketsGet() faulted (see its row above)")"
  "sim|WTPacketsGet,raise||7|$(row "Reading ended" "at the fault above")|"
  "sim|WTPacketsGet,stack||7|$(row "WTPacketsGet()" "<exception>")|"
  "sim|WTClose,ill||7|$(row "WTClose()" "<exception>")|$(row "Cursors seen" '0 "Pressure Pen" (9)')"
  "sim|WTPacketsGet,hang||5||$(row "WTPacketsGet()" "<hung>")"
  "sim|WTPacketsGet,write=2||7|$(row "WTPacketsGet()" "<exception>")|"
  "sim|WTPacketsGet,count=5||7|$(row "WTPacketsGet()" "returned 5 for 1 packet asked")|$(row "Verdict" "the library failed: WTPacketsGet() answered another count than the 1 packet asked")"
  "sim|WTPacketsGet,count=-1||7|$(row "WTPacketsGet()" "returned -1 for 1 packet asked")|$(row "Verdict" "the library failed: WTPacketsGet() answered another count than the 1 packet asked")"
  "sim|WTOpenW,fail||10||Error: WTOpenW() opened no context: the pen check cannot read packets"
  "sim|WTEnable,fail||0|$(row "WTEnable(TRUE)" 0)|$(row "Cursors seen" '0 "Pressure Pen" (9)')"
  "sim|WTOpenW,handle=99||11|$(row "WTEnable(TRUE)" 0)|$(row "Verdict" "the library failed: WTEnable(TRUE) answered 0 and no packets came")"
  "sim|WTPacketsGet,segv|--no-safe-mode|6||$(row "WTPacketsGet()" "<hard exception>")"
  "no-wtinfo|||3||Error: WTInfoW() not found: the pen check needs WTInfoW, WTOpenW, WTEnable, WTPacketsGet and WTClose"
)
# The same code in both Windows editions: the emulated x86 machine, where a
# process costs seconds, leaves these to the other runs.
[ "$mode" = wine-x86 ] || pen_cases+=(
  # A reading of three watchdog periods makes progress with every call: its
  # time runs out, it does not hang.
  "sim||--pen=3|0|$(row "Reading ended" "the time was up")|$(row "Cursors seen" '0 "Pressure Pen" (9)')"
  # Names are kept to 32 units: of 40, the first 32.
  "sim|||0||$(row "Cursors seen" '0 "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345" (9)')|base default;item cursor:0 CSR_NAME text \"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789abcd\""
  # Only a context of exactly 212 bytes can be opened.
  "sim|||10|$(row WTI_DEFCONTEXT "{211} ")|Error: no 212-byte default context: the pen check cannot open one|base default;item defcontext 0 fill 211 u8 0"
  "sim|||10|$(row WTI_DEFCONTEXT "{213} ")|Error: no 212-byte default context: the pen check cannot open one|base default;patch defcontext 0 212 u8 0"
  # lcPktData 0x1FFF without PK_CURSOR (0x0020).
  "sim|||0||$(row "Cursors seen" "not in the packets")|base default;patch defcontext 0 104 u32 0x1FDF"
  # A size probe of 0 means no answer: the real call, which would fault, is
  # not made, and x has no axis to be measured against.
  "sim|||0|$(row x "10000..13500 seen (the device gave no axis)")||base default;on device:0 DVC_X probe count=0;on device:0 DVC_X real segv"
  # An answer of exactly the buffer's 131072 bytes is read; 2 bytes more
  # is not, and the name reads as none.
  "sim|||0||$(row "Cursors seen" "0 \"$(printf 'A%.0s' {1..32})\" (9)")|base default;item cursor:0 CSR_NAME fill 131072 u16 0x41"
  "sim|||0||$(row "Cursors seen" '0 "" (9)')|base default;item cursor:0 CSR_NAME fill 131074 u16 0x41"
)
pen_case() {
  local library inject options code line last lines
  IFS='|' read -r library inject options code line last lines <<<"$1"
  local profile=default name="pen: $library $inject $options${lines:+ ($lines)}"
  if [ -n "$lines" ]; then
    profile="$work/pen-case.$BASHPID.profile"
    tr ';' '\n' <<<"$lines" >"$profile"
    profile="$(profile_path "$profile")"
  fi
  # shellcheck disable=SC2086
  run "$library" "$profile" "$inject" --pen=1 $options
  expect_status "$code" "$name"
  [ -z "$line" ] || has_line "$line" || fail "$name: no line '$line'"
  [ -z "$last" ] || [ "$(pen_section | tail -n 1)" = "$last"$'\r' ] ||
    fail "$name: ends in '$(pen_section | tail -n 1)', not '$last'"
}
for case in "${pen_cases[@]}"; do background pen_case "$case"; done
# Several outcomes: the most severe wins (5, 6, 3, 4, 7, 9, 10, 8, 11, 12,
# 0). The "zero-counts" tablet has problem findings (8) and the default
# stroke: a faulted pen call (7) and a refused open (10) win over them, a
# clean pen check (0) does not.
precedence_case() {
  local inject code
  IFS='|' read -r inject code <<<"$1"
  run sim zero-counts "$inject" --diagnose --pen=1
  expect_status "$code" "precedence: --diagnose with the pen check ${inject:-clean}"
}
for case in "WTPacketsGet,segv|7" "WTOpenW,fail|10" "|8"; do background precedence_case "$case"; done

# Verdicts from packet scripts, each beside a near miss. The stroke: a
# hovering packet, the tip (button 1) down for three packets, then lifted;
# the device's pressure axis is 0..8191, so near zero is up to 8191 / 50 =
# 163 and a small share is below 25% (2047). Each row: name | lcPktData
# (empty: the default 0x1FFF) | the pressures of the five packets | the
# buttons of the five | exit code | the verdict ("" for none) | a line more
# for the profile | the axis the pen moves along, x by 100 a packet (empty:
# x; none: it stays at 100,100).
no_packet_verdict="no packets came: was the pen moved over the tablet during the check?"
[ "$windows" = yes ] && no_packet_verdict="no packets came to the check's hidden window: some libraries deliver packets only to a window under the pen; run the check again with --pen-window"
verdict_cases=(
  "healthy||0 3000 6000 2000 0|0 1 1 1 0|0|"
  "pressure zero in contact||0 0 0 0 0|0 1 1 1 0|12|pressure never left 0 while the tip touched the tablet"
  "hovering only||0 0 0 0 0|0 0 0 0 0|11|the pen only hovered: no packet was in contact with the tablet; press the tip on the tablet during the check"
  "pressure stuck||0 3000 3000 3000 0|0 1 1 1 0|12|pressure never changed (always 3000) while the tip touched the tablet"
  "worn tip||0 3000 6000 2000 400|0 1 1 1 0|12|pressure stayed at 400 or more after the tip lifted (near zero is up to 163): a worn or stuck tip, or a driver that does not release pressure"
  "tip released near zero||0 3000 6000 2000 163|0 1 1 1 0|0|"
  "tip on another button: contact by pressure||0 3000 6000 2000 0|0 2 2 2 0|0|"
  "no tip button, no pressure||0 0 0 0 0|0 2 2 2 0|11|the pen only hovered: no packet was in contact with the tablet; press the tip on the tablet during the check"
  "small range||0 500 1500 1000 0|0 1 1 1 0|12|pressure reached only 18% of the device's range: press harder, or check the pen's pressure settings in the driver"
  "a quarter of the range||0 500 2048 1000 0|0 1 1 1 0|0|"
  "no pressure in the packets|0x1BFF|0 3000 6000 2000 0|0 1 1 1 0|12|the packets carry no pressure: lcPktData lacks PK_NORMAL_PRESSURE"
  "no packets||||11|$no_packet_verdict"
  "packets held for a shown window||0 3000 6000 2000 0|0 1 1 1 0|11|$no_packet_verdict|packets to-shown-window"
)
# The pen moving along one axis alone, or not at all: the same rule in both
# Windows editions, left to the other runs in the emulated x86 machine.
[ "$mode" = wine-x86 ] || verdict_cases+=(
  "pressure stuck along y alone||0 3000 3000 3000 0|0 1 1 1 0|12|pressure never changed (always 3000) while the tip touched the tablet||y"
  "pressure constant, the pen held still||0 3000 3000 3000 0|0 1 1 1 0|0|||none"
)
verdict_case() {
  local name fields pressures buttons code verdict extra axis p b n
  IFS='|' read -r name fields pressures buttons code verdict extra axis <<<"$1"
  read -r -a p <<<"$pressures"
  read -r -a b <<<"$buttons"
  local profile="$work/verdict.$BASHPID.profile"
  {
    echo "base default"
    [ -z "$fields" ] || echo "patch defcontext 0 104 u32 $fields"
    [ -z "$extra" ] || echo "$extra"
    echo "packet none"
    for n in "${!p[@]}"; do
      local x=$((100 + 100 * n)) y=100
      case "$axis" in
        y) x=100 y=$((100 + 100 * n)) ;;
        none) x=100 ;;
      esac
      echo "packet time $((1000 + 10 * n)) cursor 0 x $x y $y pressure ${p[n]} buttons ${b[n]}"
    done
  } >"$profile"
  run sim "$(profile_path "$profile")" "" --pen=1
  expect_status "$code" "pen verdict: $name"
  if [ -n "$verdict" ]; then
    has_line "$(row Verdict "$verdict")" || fail "pen verdict: $name: no verdict '$verdict' ($(pen_section | grep Verdict))"
  else
    pen_section | grep -q '^Verdict' && fail "pen verdict: $name: $(pen_section | grep Verdict)"
  fi
}
for case in "${verdict_cases[@]}"; do background verdict_case "$case"; done

# Ctrl+C ends the reading early and the check still ends cleanly (natively:
# under Wine a signal to the loader is no console's Ctrl+C).
pen_ctrl_c_case() {
  out="$work/out.$BASHPID" err="$work/err.$BASHPID"
  LD_LIBRARY_PATH="$sim_dir" timeout 20 "$program" --pen=60 >"$out" 2>"$err" &
  local pid=$!
  # Ctrl+C once the stroke's 9 packet lines are out (however long a busy
  # host takes to print them), long before the 60 s are up.
  for _ in $(seq 300); do
    [ "$(grep -c '^ *[0-9]' "$out")" -ge 9 ] && break
    sleep 0.05
  done
  kill -INT "$pid"
  wait "$pid"
  status=$?
  expect_status 0 "pen: Ctrl+C"
  has_line "$(row "Reading ended" "at Ctrl+C")" || fail "pen: Ctrl+C: not ended by it"
  has_line "$(row "Packets read" 9)" || fail "pen: Ctrl+C: not every packet of the stroke read"
}
[ "$mode" != native ] || background pen_ctrl_c_case
run sim default "" --pen=soon
expect_status 2 "pen: a bad duration"
grep -q "'--pen=soon'" "$err" || fail "pen: a bad duration: not named"
# Recorded and replayed: every built-in profile of the simulated library,
# option combinations, the pen check with each of its calls failing, and a
# hostile run (faults with Safe Mode at several rows, a late hang) give the
# same report, findings and pen lines (apart from what the normalizer
# replaces) and the same exit code, replayed with --replay alone: the
# recording brings its options and the machine it was made on (natively
# the stand-ins' desktop, folders and other edition, which the replay's
# environment does not have).
normalized() { "$NORMALIZE" <"$1"; }
mkdir -p "$work/other-edition"
cp "$sim_dir/WINTAB32.DLL" "$work/other-edition/"
round_trip() {  # round_trip NAME PROFILE INJECT [OPTIONS...]
  local name="$1" profile="$2" inject="$3"
  shift 3
  local recording="$work/recorded-$name.profile"
  rm -f "$recording"
  PADSCOPE_POSIX_DESKTOP=0,0,1280,1024 PADSCOPE_POSIX_SYSTEM_FOLDERS="$sim_dir" \
    PADSCOPE_POSIX_OTHER_EDITION="$work/other-edition" \
    LOADER_HANG="${RECORD_LOADER_HANG:-}" run sim "$profile" "$inject" "$@" --record "$(host_path "$recording")"
  local recorded_status=$status
  local recorded_out="$work/recorded-$name.out"
  cp "$out" "$recorded_out"
  [ -s "$recording" ] || { fail "round trip $name: nothing recorded ($(head -c 300 "$err"))"; return; }
  [ "$(head -1 "$recording" | tr -d '\r')" = "padscope-recording 2" ] || fail "round trip $name: no format line"
  run replay "" "" --replay "$(host_path "$recording")"
  [ "$status" -eq "$recorded_status" ] || fail "round trip $name: replay exit code $status, recorded $recorded_status"
  cmp -s <(normalized "$recorded_out") <(normalized "$out") || {
    fail "round trip $name: the replay's report differs"
    diff <(normalized "$recorded_out") <(normalized "$out") | head -6
  }
}
profiles="default tablet-pc no-tablet wrong-sizes faults hang availability-fault availability-hang zero-counts"
profiles+=" context-device-beyond many-cursors capacity-unterminated capacity-big-probe capacity-undercount"
profiles+=" capacity-overrun"
# In the emulated x86 machine a process costs seconds: there a sample that
# has a fault, a hang, many rows and an answer past its buffer.
[ "$mode" = wine-x86 ] && profiles="default faults hang many-cursors capacity-overrun"
for profile in $profiles; do
  background round_trip "$profile" "$profile" ""
done
# The options change which calls are made, not how they are recorded: a
# sample of them natively (a Wine process costs seconds on a busy machine).
if [ "$mode" = native ]; then
  background round_trip no-null-buffer default "" --no-null-buffer
  background round_trip overrides zero-counts "" --override-counts --no-context-device
  background round_trip probe-ignored no-tablet "" --ignore-probe
  background round_trip diagnose-overrides zero-counts "" --diagnose --override-counts
  background round_trip diagnose-faults faults "" --diagnose
  background round_trip pen-diagnose-zero-counts zero-counts "" --diagnose --pen=1
fi
# The diagnosis's own questions past the count (zero-counts' cursors answer
# past a count of 0) and the recorded machine: a desktop of 1280x1024 under
# a system context of 1920x1080, and (natively) another edition.
round_trip diagnose-zero-counts zero-counts "" --diagnose
for id in cursor-beyond-count screen-mismatch; do
  grep -q "^warning  $id " "$out" || fail "round trip diagnose-zero-counts: no $id finding in the replay"
done
[ "$mode" = native ] && ! grep -q "^warning  other-edition-differs " "$out" &&
  fail "round trip diagnose-zero-counts: the recorded other edition was not judged"
# The pen check: its packets in order and each of its calls failing.
[ "$mode" = wine-x86 ] && pen_failures="WTPacketsGet,segv" ||
  pen_failures="WTOpenW,fail WTOpenW,segv WTEnable,fail WTPacketsGet,segv WTPacketsGet,count=3 WTClose,fail WTClose,ill"
round_trip pen default "" --pen=1
[ "$(grep -c '^ *1[01][0-9]0 ' "$out")" -eq 9 ] || fail "round trip pen: not the nine packets of the stroke"
for failure in $pen_failures; do
  background round_trip "pen-$failure" default "$failure" --pen=1
done
if [ "$mode" != wine-x86 ]; then
  background round_trip pen-hang default "WTPacketsGet,hang" --pen=1
  background round_trip pen-diagnose default "" --diagnose --pen=1 --no-null-buffer
fi
background round_trip unguarded default "cursor:1,CSR_MODE,real,fpe" --no-safe-mode
hostile="device:0,DVC_NAME,real,segv;interface,IFC_NCONTEXTS,probe,ill;cursor:0,CSR_BUTTONS,probe,fpe"
hostile+=";cursor:1,CSR_PKTDATA,real,raise;cursor:2,CSR_PHYSID,real,hang"
hostile_round_trip() {
  round_trip hostile default "$hostile"
  grep -q '<hung>'$'\r'"\$" "$out" && [ "$(grep -c '<exception>' "$out")" -eq 4 ] ||
    fail "hostile round trip: not four faulted rows and a hang"
}
background hostile_round_trip
RECORD_LOADER_HANG=attach background round_trip load-hang default ""  # the replay hangs from the recording alone
[ "$windows" = yes ] && RECORD_LOADER_HANG=detach background round_trip release-hang default ""  # posix has no release to hang in
# The library the findings name is the recorded one, not the simulated one
# that answers the replay: a recording edited to say it was loaded from a
# vendor's folder outside the system's.
sed -e 's|^system library-path .*|system library-path "/opt/vendor/WINTAB32.DLL"|' \
  -e 's|^system in-system-folder .*|system in-system-folder no|' \
  "$work/recorded-diagnose-zero-counts.profile" >"$work/vendor.recording"
run replay "" "" --replay "$(host_path "$work/vendor.recording")"
grep -q '^warning  library-outside-system .*Rows: loaded from /opt/vendor/WINTAB32\.DLL\.' "$out" ||
  fail "a replay names the simulated library instead of the recorded one"
# What a recording writes (sim/README.md, "Recordings"): a text answer as
# text, a long run of one unit as a fill, the library's own version strings
# (posix: the profile's; Windows: the simulated DLL's resource), line ends
# of the system.
printf 'base capacity-unterminated\nitem device:0 DVC_NAME text "Side Pad"\nversion FileVersion "9.9.9.9"\nversion CompanyName none\n' \
  >"$work/versioned.profile"
run sim "$(host_path "$work/versioned.profile")" "" --override-counts --record "$(host_path "$work/versioned.recording")"
tr -d '\r' <"$work/versioned.recording" >"$work/versioned.lines"
grep -qxF 'item device:0 DVC_NAME text "Side Pad"' "$work/versioned.lines" || fail "recording: a text answer not as text"
grep -qxF '  fill 131072 u16 0x0041' "$work/versioned.lines" || fail "recording: 131072 bytes of \"A\" not as one fill"
if [ "$windows" = yes ]; then
  versions=('version FileVersion "1.4.2.7"' 'version CompanyName "PADSCOPE Test Bench"')
  [ "$(grep -c $'\r$' "$work/versioned.recording")" -eq "$(wc -l <"$work/versioned.recording")" ] ||
    fail "recording: not every line ends in CR LF"
else
  versions=('version FileVersion "9.9.9.9"' 'version CompanyName none' 'system library-FileVersion "9.9.9.9"')
  grep -q $'\r' "$work/versioned.recording" && fail "recording: CR in a posix recording"
fi
for line in "${versions[@]}"; do grep -qxF "$line" "$work/versioned.lines" || fail "recording: no line '$line'"; done
# A --replay FILE that cannot be read: one line that names the file, the
# line and what was expected; exit code 2, nothing run. A UTF-8 byte order
# mark is no fault.
#   name|the file's bytes (printf format; "-": no file)|the line after "FILE: "
malformed=(
  "empty||the file is empty"
  "UTF-16|\xff\xfep\0a\0d\0|line 1: the file is UTF-16 text; expected UTF-8 (save it as UTF-8)"
  "cut short|padscope-recording 2\noptions\nitem interface 1 u8 1\n|the file is cut short: the recording's last line is not 'end'"
  "newer format|padscope-recording 3\nend\n|line 1: 'padscope-recording 3' is a format this version cannot replay; expected 'padscope-recording 2'"
  "past a limit|padscope-recording 2\noptions\nitem interface 1 u8 300\nend\n|line 3: u8 value '300' is past the limit of u8, 255"
  "no such file|-|no built-in profile and no readable file of that name"
)
# (The emulated x86 machine, where a process costs seconds, takes one: the
# reader is the same code in every edition.)
[ "$mode" = wine-x86 ] && malformed=("${malformed[3]}")
for row in "${malformed[@]}"; do
  IFS='|' read -r name bytes expected <<<"$row"
  file="$work/malformed-${name// /-}.recording"
  # shellcheck disable=SC2059
  [ "$bytes" = - ] || printf "$bytes" >"$file"
  run replay "" "" --replay "$(host_path "$file")"
  expect_status 2 "--replay of a file $name"
  [ ! -s "$out" ] || fail "--replay of a file $name: something was run"
  [ "$(wc -l <"$err")" -eq 1 ] && [ "$(tr -d '\r' <"$err")" = "padscope-report: --replay: $(host_path "$file"): $expected" ] ||
    fail "--replay of a file $name: '$(head -c 300 "$err")'"
done
printf '\xef\xbb\xbf' | cat - "$work/recorded-default.profile" >"$work/with-mark.recording"
run replay "" "" --replay "$(host_path "$work/with-mark.recording")"
expect_status 0 "--replay of a recording with a UTF-8 byte order mark"
# A recording made under Wine (x64) from its builtin wintab32 while the stub
# pen drew a stroke (tests/wine/tablet/builtin_recording_case.sh), CR LF
# line ends and all, replayed here: the findings judge the recorded machine
# (the library in its system folder, a desktop as large as the system
# context, no 32-bit edition), and the pen lines are the recorded packets in
# order.
if [ "$mode" = native ]; then
  wine_recording="$here/recordings/wine-builtin-stroke.recording"
  run replay "" "" --replay "$wine_recording"
  expect_status 0 "the Wine recording replayed"
  for id in cursor-beyond-count other-edition-missing; do
    grep -q "^warning  $id " "$out" || fail "the Wine recording replayed: no $id finding"
  done
  grep -qF 'Rows: there is no C:\windows\syswow64\WINTAB32.DLL.' "$out" ||
    fail "the Wine recording replayed: not the recorded other edition"
  grep -qE '^warning  (library-outside-system|screen-mismatch) ' "$out" &&
    fail "the Wine recording replayed: the replaying machine was judged"
  # x, y and pressure of every recorded packet, against the packet lines.
  tr -d '\r' <"$wine_recording" | awk '$1 == "packet" && $2 == "status" {
    for (k = 2; k < NF; k += 2) v[$k] = $(k + 1); print v["x"], v["y"], v["pressure"] }' >"$work/wine-packets"
  tr -d '\r' <"$out" | sed -n '/^      time  cursor/,/^$/p' | awk 'NF == 9 && $1 ~ /^[0-9]+$/ { print $4, $5, $6 }' >"$work/replayed-packets"
  [ -s "$work/wine-packets" ] && cmp -s "$work/wine-packets" "$work/replayed-packets" ||
    fail "the Wine recording replayed: the packets differ: $(diff "$work/wine-packets" "$work/replayed-packets" | head -4)"
fi
# Options given to --replay replace the recorded ones.
run replay "" "" --replay "$(host_path "$work/recorded-diagnose-zero-counts.profile")" --override-counts
expect_status 0 "--replay with options of its own"
grep -q '^Diagnosis' "$out" && fail "--replay with options of its own: the recorded --diagnose still ran"
grep -q '^CSR_NAME ' "$out" || fail "--replay with options of its own: --override-counts not heeded"

# --json: one document, parsed by a real JSON parser and checked against the
# report it carries and against the text run of the same tablet: its report,
# its exit code, and with --diagnose or --pen its findings and pen check.
json_case() {  # json_case NAME LIBRARY PROFILE INJECT [OPTIONS...]
  local name="$1" library="$2" profile="$3" inject="$4"
  shift 4
  run "$library" "$profile" "$inject" "$@"
  cp "$out" "$work/$name.text.out"
  local text_status=$status
  run "$library" "$profile" "$inject" "$@" --json
  cp "$out" "$work/$name.json"
  [ "$status" = "$text_status" ] || fail "--json $name: exit code $status, the text run's $text_status"
  python3 "$here/check_json.py" "$work/$name.json" "$status" "$work/$name.json-report.out" \
    "$work/$name.text.out" "$work/$name.text-report.out" || fail "--json $name: the document does not match its run"
  cmp -s <(normalized "$work/$name.text-report.out") <(normalized "$work/$name.json-report.out") ||
    fail "--json $name: its report differs from the text run's"
}
background json_case default sim default ""
background json_case hostile sim default "$hostile"
background json_case no-library none default ""
if [ "$mode" = native ]; then
  background json_case faults sim faults ""
  background json_case no-null-buffer sim wrong-sizes "" --no-null-buffer
  background json_case probe-zero sim no-tablet ""
  background json_case no-wtinfo no-wtinfo default ""
  background json_case unguarded sim default "1,4,probe,segv" --no-safe-mode
  # DVC_NAME writes 46 bytes and says 4: 4 bytes of answer, the rest past its count.
  json_case undercount sim capacity-undercount ""
  python3 -c 'import json, sys
calls = [c for c in json.load(open(sys.argv[1]))["calls"] if c.get("section") == "WTI_DEVICE+0" and c["row"] == "DVC_NAME"]
name = "Simulated Pen Tablet M".encode("utf-16-le").hex()
sys.exit(not (calls and calls[0]["bytes"] == name[:8] and name[8:].startswith(calls[0]["pastCount"][:40])))' \
    "$work/undercount.json" || fail "--json undercount: DVC_NAME not 4 bytes of answer and the rest past its count"
fi
# With the findings and the pen check: the default stroke and its two
# warnings; zero-counts' problems (8); a pen call that faults (7).
background json_case diagnose-pen sim default "" --diagnose --pen=1
background json_case diagnose-problems sim zero-counts "" --diagnose --pen=1
[ "$mode" = wine-x86 ] || background json_case pen-fault sim default "WTPacketsGet,segv" --pen=1

# A recording is complete or absent: nothing to record (no library) leaves
# an existing FILE as it was, and no temporary file behind.
# (In a folder of its own: recordings of cases in the background come and go.)
mkdir -p "$work/kept"
echo "kept" >"$work/kept/kept.profile"
run none default "" --record "$(host_path "$work/kept/kept.profile")"
expect_status 3 "--record without a library"
[ "$(cat "$work/kept/kept.profile")" = kept ] || fail "--record without a library: FILE was changed"
ls "$work/kept" | grep -q partial && fail "--record: a temporary file was left behind"

# Options that conflict, or a FILE that cannot be written: one line, exit
# code 2, nothing run.
for bad in "--json --utf16" "--record" "--record $(host_path "$work/a") --record $(host_path "$work/b")" \
           "--record $(host_path "$work/no-such-folder/x.profile")" "--record $(host_path "$work")"; do
  # shellcheck disable=SC2086
  run sim default "" $bad
  expect_status 2 "$bad"
  [ ! -s "$out" ] || fail "$bad: something was run"
  [ "$(wc -l <"$err")" -eq 1 ] || fail "$bad: the error is not one line: $(cat "$err")"
done
[ ! -e "$work/a" ] && [ ! -e "$work/b" ] || fail "--record given twice: a file was written"

# --diagnose: for every rule a tablet that triggers it and one that must
# not, each derived from the profile's data. The desktop is the one the
# Wine fixture gives every program (1280x1024, tools/wine-run.sh), natively
# through the posix stand-in; natively the simulated library's folder stands
# in for a system folder unless a case says otherwise.
readonly wine_desktop_posix=0,0,1280,1024
diag_profile() {  # diag_profile NAME LINES...: a profile file; prints its path for the library
  local file="$work/diag-$1.profile"
  shift
  printf '%s\n' "$@" >"$file"
  host_path "$file"
}
# Dimensions of the default system context patched to the fixture's desktop,
# and a DVC_Z axis for the Z bit that DVC_PKTDATA 0x1FFF promises: a
# tablet with nothing to find.
healthy=$(diag_profile healthy "base default" "patch defsysctx 0 196 i32 1280 1024" \
  "item device:0 DVC_Z axis 0 1023 0 0")
diag_lines() { awk '{ sub(/\r$/, "") } found { print } $0 == "Diagnosis" { found = 1 }' "$out"; }
diag_ids() { diag_lines | awk '$1 == "problem" || $1 == "warning" || $1 == "note" { print $2 }'; }
diagnose() {  # diagnose NAME STATUS PRESENT ABSENT TEXT PROFILE INJECT [OPTIONS...]
  local name="$1" expected="$2" present="$3" absent="$4" text="$5" profile="$6" inject="$7"
  shift 7
  PADSCOPE_POSIX_DESKTOP="${DESKTOP-$wine_desktop_posix}" \
    PADSCOPE_POSIX_SYSTEM_FOLDERS="${SYSTEM_FOLDERS-$sim_dir}" \
    run sim "$profile" "$inject" --diagnose "$@"
  expect_status "$expected" "--diagnose $name"
  local ids
  ids=" $(diag_ids | tr '\n' ' ')"
  for id in $present; do [[ "$ids" == *" $id "* ]] || fail "--diagnose $name: no $id finding (found:$ids)"; done
  for id in $absent; do [[ "$ids" != *" $id "* ]] || fail "--diagnose $name: a $id finding it must not give"; done
  [ -z "$text" ] || diag_lines | grep -qF -- "$text" || fail "--diagnose $name: no finding says '$text'"
  # The closing line counts the lines above it.
  local p w n
  p=$(diag_ids_of problem) w=$(diag_ids_of warning) n=$(diag_ids_of note)
  local closing
  closing="$(diag_lines | tail -1)"
  if [ $((p + w + n)) -eq 0 ]; then
    [ "$closing" = "No findings (0 problems, 0 warnings, 0 notes)." ] || fail "--diagnose $name: closing line '$closing'"
  else
    [[ "$closing" == "$((p + w + n)) finding"*": $p problem"*", $w warning"*", $n note"*"." ]] ||
      fail "--diagnose $name: closing line '$closing' for $p, $w, $n"
  fi
  if [ "$expected" -eq 0 ] && [ "$p" -ne 0 ]; then fail "--diagnose $name: a problem, yet exit code 0"; fi
}
diag_ids_of() { diag_lines | awk -v s="$1" '$1 == s { n++ } END { print n + 0 }'; }
# A rule that reads only the recorded answers is the same code in every
# edition; the emulated x86 machine, where a process costs seconds, leaves
# it to the other runs and keeps the rules that ask the system (desktop,
# folders, the other edition) or follow a fault or a hang. Its checks are
# all in the call: it runs in the background.
diagnose_rule() { [ "$mode" = wine-x86 ] || background diagnose "$@"; }
problems="no-library no-wtinfo no-interface no-devices no-cursors no-active-cursor context-device-beyond wrong-size"
problems+=" contained-faults hung hard-exception entry-point-missing"
answer_faults="size-disagrees probe-beyond-buffer text-unterminated report-full"

# The default tablet has no problem. Its DVC_PKTDATA 0x1FFF, CSR_PKTDATA
# 0x1FFF of pen and eraser and the digitizing context's lcPktData 0x1FFF
# carry the Z bit (0x0200) while it has no DVC_Z item: that finding is right.
diagnose default 0 "axis-promised" "$problems $answer_faults cursor-beyond-count no-pressure cursor-data-beyond-device" \
  "WTI_DEVICE+0 DVC_PKTDATA promises Z;" default ""
# (Under Wine the simulated library sits beside the program: outside the system's folders.)
place=library-outside-system
[ "$windows" = yes ] && place=
diagnose healthy 0 "" "$problems $answer_faults axis-promised screen-mismatch $place cursor-beyond-count" "" "$healthy" ""
if [ "$mode" = native ]; then
  [ -z "$(diag_ids)" ] || fail "--diagnose healthy: findings: $(diag_ids | tr '\n' ' ')"
  # The posix desktop's documented default, 0,0 1920x1080, is the default tablet's lcSysOrg/lcSysExt.
  DESKTOP= diagnose default-desktop 0 "" "screen-mismatch" "" default ""
fi
# The findings come after the report, which stays as the plain run writes it.
report_before_diagnosis() { sed -n '1,/^Diagnosis\r$/p' "$out" | head -n -2; }
for sample in "default|" "slot-fault|cursor:3,CSR_NAME,probe,segv"; do
  IFS='|' read -r name inject <<<"$sample"
  run sim default "$inject"
  cp "$out" "$work/plain.out"
  run sim default "$inject" --diagnose
  cmp -s <(normalized "$work/plain.out") <(report_before_diagnosis | "$NORMALIZE") ||
    fail "--diagnose $name: the report before the findings differs from the plain run's"
done

# Counts of 0 while the probe answers; the cursors 0 to 2 still answer
# (zero-counts keeps the default's cursors), slots past a count of 0.
diagnose_rule zero-counts 8 "no-devices no-cursors cursor-beyond-count" "" "IFC_NCURSORS is 0" zero-counts ""
# No cursor active: CSR_ACTIVE 0 for all three; the default has pen and eraser active.
diagnose_rule no-active 8 "no-active-cursor" "" "WTI_CURSOR+2 CSR_ACTIVE" \
  "$(diag_profile no-active "base default" "item cursor:0-2 CSR_ACTIVE u32 0")" ""
# Cursors past the count: a count of 2 whose cursor 0 has no name, while
# cursor 2 (the default's puck) still answers; with cursor 0 named, every
# counted cursor is there and the puck past the count does no harm.
diagnose_rule beyond-count 0 "cursor-beyond-count" "" "WTI_CURSOR+2 CSR_NAME answers; WTI_CURSOR+0 CSR_NAME answers nothing" \
  "$(diag_profile beyond "base default" "item interface IFC_NCURSORS u32 2" "item cursor:0 CSR_NAME empty")" ""
diagnose_rule counted 0 "" "cursor-beyond-count" "" "$(diag_profile counted "base default" "item interface IFC_NCURSORS u32 2")" ""
# The questions past the count fault or hang: a finding, and the report and
# its exit code stay those of the complete report.
diagnose slot-fault 0 "cursor-slot-failed" "$problems" "WTI_CURSOR+3 CSR_NAME: the size probe faulted" \
  default "cursor:3,CSR_NAME,probe,segv"
background diagnose slot-hang 0 "cursor-slot-failed" "$problems" "WTI_CURSOR+4 CSR_NAME: the size probe hung" \
  default "cursor:4,CSR_NAME,probe,hang"
# A zero range for the tangent pressure that DVC_PKTDATA 0x1FFF promises.
diagnose_rule zero-range 0 "axis-promised" "" "promises TANGENT_PRESSURE" \
  "$(diag_profile zero-range "base default" "item device:0 DVC_TPRESSURE axis 0 0 0 0")" ""
# ROTATION (0x2000) in the puck's packet data, in no device's DVC_PKTDATA.
diagnose_rule cursor-data 0 "cursor-data-beyond-device" "" "WTI_CURSOR+2 CSR_PKTDATA is 0x000031ff and has ROTATION" \
  "$(diag_profile cursor-data "base default" "item cursor:2 CSR_PKTDATA u32 0x31FF")" ""
diagnose_rule cursor-data-subset 0 "" "cursor-data-beyond-device" "" default ""
# No pressure: tablet-pc's touch panel has DVC_PKTDATA 0x01E7 without
# NORMAL_PRESSURE (0x0400), and its finger (CSR_PKTDATA 0x01E7, no
# CSR_NPBTNMARKS or CSR_NPRESPONSE) is no pressure device: a note. A
# pressure axis 0..0 on a pen tablet is a warning.
[ "$mode" = wine-x86 ] || diagnose no-pressure 0 "no-pressure" "" \
  "WTI_DEVICE+1 DVC_PKTDATA has no NORMAL_PRESSURE; WTI_CURSOR+2 CSR_PKTDATA fits it, has no NORMAL_PRESSURE" tablet-pc ""
[ "$mode" = wine-x86 ] || [ "$(diag_lines | awk '$2 == "no-pressure" { print $1 }')" = note ] ||
  fail "--diagnose no-pressure: the touch panel's finding is not a note"
diagnose_rule flat-pressure 0 "no-pressure" "" "DVC_NPRESSURE has max 0, not above its min 0" \
  "$(diag_profile flat-pressure "$(cat "$work/diag-healthy.profile")" "item device:0 DVC_NPRESSURE axis 0 0 0 0")" ""
# The system context's 0,0 1920x1080 against the 1280x1024 desktop.
diagnose screen 0 "screen-mismatch" "" "lcSysExtY is 0,0 1920x1080; the desktop the program sees is 0,0 1280x1024" \
  default ""
# lcDevice 3 of tablet-pc's 2 devices; tablet-pc itself names device 0.
diagnose_rule context-device 8 "context-device-beyond" "" "WTI_DEFSYSCTX (0) lcDevice is 3; WTI_INTERFACE IFC_NDEVICES is 2" \
  context-device-beyond ""
diagnose_rule context-device-within 0 "" "context-device-beyond" "" tablet-pc ""
# wrong-sizes gives IFC_SPECVERSION 4 bytes where a version has 2.
diagnose_rule wrong-size 8 "wrong-size" "" "WTI_INTERFACE IFC_SPECVERSION (4 bytes, expected 2)" wrong-sizes ""
# faults: eight faults (its eight "on" lines), the exit code stays 7.
diagnose faults 7 "contained-faults" "" "8 questions crashed inside the library" faults ""
background diagnose hang 5 "hung" "" "Rows: WTI_DEVICE+0 DVC_PKTDATA: the real call never returned" hang ""
diagnose hard-exception 6 "hard-exception" "" "ended the report (Safe Mode was off, so nothing caught it)" default \
  "cursor:1,CSR_MODE,real,fpe" --no-safe-mode
diagnose_rule no-interface 4 "no-interface" "no-devices" "" no-tablet ""
# lcDevice at the boundary: device 2 of tablet-pc's 2 is beyond them, device 1 is not.
diagnose_rule context-device-2 8 "context-device-beyond" "" "lcDevice is 2; WTI_INTERFACE IFC_NDEVICES is 2" \
  "$(diag_profile context-device-2 "base tablet-pc" "patch defsysctx 0 96 u32 2")" ""
diagnose_rule context-device-1 0 "" "context-device-beyond" "" \
  "$(diag_profile context-device-1 "base tablet-pc" "patch defsysctx 0 96 u32 1")" ""
# The default's 3 cursors: slots 3 to 5 are asked past the count, slot 6 is not.
diagnose_rule slot-last 0 "cursor-slot-failed" "$problems" "WTI_CURSOR+5 CSR_NAME: the size probe faulted" \
  default "cursor:5,CSR_NAME,probe,segv"
diagnose_rule slot-past-last 0 "" "cursor-slot-failed $problems" "" default "cursor:6,CSR_NAME,probe,segv"
# No slot is asked after an incomplete report: its one fault is the finding.
diagnose probe-fault 7 "contained-faults" "no-interface no-devices no-cursors cursor-beyond-count cursor-slot-failed" \
  "1 question crashed inside the library (Safe Mode caught it)" availability-fault ""
[ "$mode" != native ] || [ "$(diag_ids | tr '\n' ' ')" = "contained-faults " ] ||
  fail "--diagnose probe-fault: findings besides contained-faults: $(diag_ids | tr '\n' ' ')"
# Answers that contradict themselves or the program's room: DVC_NAME's size
# probe says 46 and its real call 4 (the 4 bytes "In" hold no zero unit), a
# size probe of 200000, IFC_WINTABID of 131072 bytes without a zero unit.
diagnose_rule undercount 0 "size-disagrees text-unterminated" "probe-beyond-buffer" \
  "WTI_DEVICE+0 DVC_NAME: the size probe answered 46, the real call 4" capacity-undercount ""
diagnose_rule big-probe 0 "probe-beyond-buffer" "size-disagrees text-unterminated" \
  "WTI_DEVICE+0 DVC_NAME: the size probe answered 200000." capacity-big-probe ""
diagnose_rule unterminated 0 "text-unterminated" "size-disagrees probe-beyond-buffer" \
  "WTI_INTERFACE IFC_WINTABID: 131072 bytes without a zero unit" capacity-unterminated ""
# 100000 cursors fill the report: the cursors not shown are the count less
# the cursor sections the report holds.
if [ "$mode" != wine-x86 ]; then
  diagnose report-full 0 "report-full" "" "WTI_INTERFACE IFC_NCURSORS is 100000, " many-cursors ""
  grep -q '<report full>' "$out" || fail "--diagnose report-full: the report is not full"
  shown=$(tr -d '\r' <"$out" | grep -c '^WTI_CURSOR+[0-9]*$')
  diag_lines | grep -qF "so $((100000 - shown)) of the 100000 cursors are not in it" ||
    fail "--diagnose report-full: not $((100000 - shown)) cursors lost ($shown shown)"
fi
PADSCOPE_POSIX_DESKTOP=$wine_desktop_posix run none default "" --diagnose
expect_status 3 "--diagnose without a library"
diag_ids | grep -qx no-library || fail "--diagnose without a library: no no-library finding"
PADSCOPE_POSIX_DESKTOP=$wine_desktop_posix run no-wtinfo default "" --diagnose
expect_status 3 "--diagnose without WTInfoW"
diag_ids | grep -qx no-wtinfo || fail "--diagnose without WTInfoW: no no-wtinfo finding"
# Where the library lies: natively through the stand-ins; under Wine the
# simulated library sits beside the program, and the x64 prefix either
# lacks the 32-bit WINTAB32.DLL or has Wine's own, whose company is not
# the simulated one's.
if [ "$mode" = native ]; then
  SYSTEM_FOLDERS=/usr/lib diagnose outside 0 "library-outside-system" "" "$sim_dir/WINTAB32.DLL" default ""
  diagnose unset-edition 0 "" "other-edition-missing other-edition-differs" "" default ""
  mkdir -p "$work/other-empty" "$work/other-copy"
  cp "$sim_dir/WINTAB32.DLL" "$work/other-copy/"
  PADSCOPE_POSIX_OTHER_EDITION="$work/other-empty" diagnose edition-missing 0 "other-edition-missing" \
    "other-edition-differs" "there is no $work/other-empty/WINTAB32.DLL" default ""
  # The posix stand-in reads no version strings of a file that is not loaded.
  PADSCOPE_POSIX_OTHER_EDITION="$work/other-copy" diagnose edition-differs 0 "other-edition-differs" \
    "other-edition-missing" "has FileVersion none and CompanyName none" default ""
else
  diagnose outside 0 "library-outside-system" "" "was loaded from outside the system's folders" default ""
  # The 64-bit edition's prefix has a 32-bit folder to look in; the 32-bit
  # edition's prefix is a 32-bit system, which has no other edition.
  expected_editions=1
  [ "$mode" = wine-x86 ] && expected_editions=0
  editions=$(diag_ids | grep -c '^other-edition-')
  [ "$editions" -eq "$expected_editions" ] ||
    fail "--diagnose: $editions findings about the other edition, expected $expected_editions"
fi

# The command line.
run sim default "" --safe
expect_status 2 "unknown option"
[ ! -s "$out" ] || fail "unknown option: something was run"
grep -q "'--safe'" "$err" || fail "unknown option: not named"
[ "$(wc -l <"$err")" -eq 1 ] || fail "unknown option: error is not one line"
run sim default "" extra
expect_status 2 "stray argument"
run sim default "" --help
expect_status 0 "--help"
for option in --no-safe-mode --json --record --replay --diagnose; do
  grep -q -- "$option" "$out" || fail "--help: $option not listed"
done
run sim default "" --version
expect_status 0 "--version"
grep -q "2.6.1.0" "$out" || fail "--version"

finish_background
failures=0
[ -e "$failed" ] && failures=$(wc -l <"$failed")
echo "$((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
[ "$failures" -eq 0 ]
