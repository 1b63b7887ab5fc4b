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
here="$(cd "$(dirname "$0")" && pwd)"

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

rm -rf "$work"
mkdir -p "$work"

# run LIBRARY(sim|no-wtinfo|none) PROFILE INJECT [OPTIONS...]: sets $out,
# $err (file names) and $status.
run() {
  local library="$1" profile="$2" inject="$3"
  shift 3
  local dir="$work/$library"
  out="$work/out" err="$work/err"
  mkdir -p "$dir"
  if [ "$mode" = native ]; then
    local path="$dir"
    [ "$library" = sim ] && path="$sim_dir"
    [ "$library" = no-wtinfo ] && path="$no_wtinfo_dir"
    LD_LIBRARY_PATH="$path" PADSCOPE_SIM_PROFILE="$profile" PADSCOPE_SIM_INJECT="$inject" \
      PADSCOPE_SIM_LOADER_HANG="${LOADER_HANG:-}" \
      timeout 20 "$program" "$@" >"$out" 2>"$err"
    status=$?
  else
    cp "$program" "$dir/padscope-report.exe"
    local override=wintab32=n
    case "$library" in
      sim) cp "$sim_dir/WINTAB32.DLL" "$dir/" ;;
      no-wtinfo) cp "$no_wtinfo_dir/WINTAB32.DLL" "$dir/" ;;
      none) override=wintab32=d ;;
    esac
    WINEDLLOVERRIDES="$override" PADSCOPE_SIM_PROFILE="$profile" PADSCOPE_SIM_INJECT="$inject" \
      PADSCOPE_SIM_LOADER_HANG="${LOADER_HANG:-}" \
      timeout 60 "$wine_run" "$dir/padscope-report.exe" "$@" >"$out" 2>"$err"
    status=$?
  fi
}

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
  local normalized="$work/normalized"
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
host_path() { if [ "$mode" = wine ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi; }
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
started=$(date +%s%N)
run sim hang ""
elapsed_ms=$(( ($(date +%s%N) - started) / 1000000 ))
expect_status 5 "hang"
ends_with $'<hung>\r\n' || fail "hang: report does not end in <hung>"
grep -q "^DVC_PKTDATA  *{  4} <hung>"$'\r'"$" "$out" || fail "hang: <hung> not right after the stuck row's echo"
echo "hang: process ended after ${elapsed_ms} ms"

# A driver stuck in its own load or release: "<hung>" on that row, and the
# process still ends although the system's loader stays locked.
LOADER_HANG=attach run sim default ""
expect_status 5 "hang while loading"
ends_with $'LoadLibrary("WINTAB32.DLL")    <hung>\r\n' || fail "hang while loading: not on the load row"
if [ "$mode" != native ]; then  # the posix library has no release that could hang
  LOADER_HANG=detach run sim default ""
  expect_status 5 "hang while releasing"
  ends_with $'FreeLibrary()                  <hung>\r\n' || fail "hang while releasing: not on the release row"
fi

# A report past the text's capacity is complete, not hung.
run sim many-cursors ""
expect_status 0 "many cursors"
grep -q "<report full>" "$out" || fail "many cursors: no <report full>"

# Recorded and replayed: every built-in profile of the simulated library,
# and a hostile run (faults with Safe Mode at several rows, a late hang),
# give the same report (apart from what the normalizer replaces) and the
# same exit code.
normalized() { "$NORMALIZE" <"$1"; }
round_trip() {  # round_trip NAME PROFILE INJECT [OPTIONS...]
  local name="$1" profile="$2" inject="$3"
  shift 3
  local recording="$work/recorded-$name.profile"
  rm -f "$recording"
  LOADER_HANG="${RECORD_LOADER_HANG:-}" run sim "$profile" "$inject" "$@" --record "$(host_path "$recording")"
  local recorded_status=$status
  cp "$out" "$work/recorded.out"
  [ -s "$recording" ] || { fail "round trip $name: nothing recorded ($(head -c 300 "$err"))"; return; }
  run sim "$(host_path "$recording")" "" "$@"
  [ "$status" -eq "$recorded_status" ] || fail "round trip $name: replay exit code $status, recorded $recorded_status"
  cmp -s <(normalized "$work/recorded.out") <(normalized "$out") || {
    fail "round trip $name: the replay's report differs"
    diff <(normalized "$work/recorded.out") <(normalized "$out") | head -6
  }
}
for profile in default tablet-pc no-tablet wrong-sizes faults hang availability-fault availability-hang zero-counts \
               context-device-beyond many-cursors capacity-unterminated capacity-big-probe capacity-undercount \
               capacity-overrun; do
  round_trip "$profile" "$profile" ""
done
# The options change which calls are made, not how they are recorded: a
# sample of them natively (a Wine process costs seconds on a busy machine).
if [ "$mode" = native ]; then
  round_trip no-null-buffer default "" --no-null-buffer
  round_trip overrides zero-counts "" --override-counts --no-context-device
  round_trip probe-ignored no-tablet "" --ignore-probe
fi
round_trip unguarded default "cursor:1,CSR_MODE,real,fpe" --no-safe-mode
hostile="device:0,DVC_NAME,real,segv;interface,IFC_NCONTEXTS,probe,ill;cursor:0,CSR_BUTTONS,probe,fpe"
hostile+=";cursor:1,CSR_PKTDATA,real,raise;cursor:2,CSR_PHYSID,real,hang"
round_trip hostile default "$hostile"
grep -q '<hung>'$'\r'"\$" "$out" && [ "$(grep -c '<exception>' "$out")" -eq 4 ] ||
  fail "hostile round trip: not four faulted rows and a hang"
RECORD_LOADER_HANG=attach round_trip load-hang default ""  # the replay hangs from the recording alone
[ "$mode" = wine ] && RECORD_LOADER_HANG=detach round_trip release-hang default ""  # posix has no release to hang in

# --json: one document, parsed by a real JSON parser and checked against the
# report it carries and against the text report of a run of the same tablet.
json_case() {  # json_case NAME LIBRARY PROFILE INJECT [OPTIONS...]
  local name="$1" library="$2" profile="$3" inject="$4"
  shift 4
  run "$library" "$profile" "$inject" "$@"
  cp "$out" "$work/text.out"
  run "$library" "$profile" "$inject" "$@" --json
  cp "$out" "$work/$name.json"
  python3 "$here/check_json.py" "$work/$name.json" "$status" "$work/json-report.out" ||
    fail "--json $name: the document does not match its run"
  cmp -s <(normalized "$work/text.out") <(normalized "$work/json-report.out") ||
    fail "--json $name: its report differs from the text run's"
}
json_case default sim default ""
json_case hostile sim default "$hostile"
json_case no-library none default ""
if [ "$mode" = native ]; then
  json_case faults sim faults ""
  json_case no-null-buffer sim wrong-sizes "" --no-null-buffer
  json_case probe-zero sim no-tablet ""
  json_case no-wtinfo no-wtinfo default ""
  json_case unguarded sim default "1,4,probe,segv" --no-safe-mode
fi

# A recording is complete or absent: nothing to record (no library) leaves
# an existing FILE as it was, and no temporary file behind.
echo "kept" >"$work/kept.profile"
run none default "" --record "$(host_path "$work/kept.profile")"
expect_status 3 "--record without a library"
[ "$(cat "$work/kept.profile")" = kept ] || fail "--record without a library: FILE was changed"
ls "$work" | grep -q partial && fail "--record: a temporary file was left behind"

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
for option in --no-safe-mode --json --record; do
  grep -q -- "$option" "$out" || fail "--help: $option not listed"
done
run sim default "" --version
expect_status 0 "--version"
grep -q "2.6.1.0" "$out" || fail "--version"

echo "$((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
[ "$failures" -eq 0 ]
