#!/usr/bin/env bash
# PADSCOPE against Wine's builtin wintab32 with the stub pen: the report
# must be the one that expected_report.py derives from the raw answers that
# wintab_prober.exe recorded in the same X and Wine session.
#
#   builtin_tablet_case.sh dialog|report WINE_TABLET STATE_DIR PROBER PROGRAM DRIVER WORK_DIR
#
# dialog: padscope.exe operated by padscope_driver.exe as a person would,
# one test per check box combination; report: padscope-report.exe with the
# matching options.
set -uo pipefail

readonly mode="$1" wine_tablet="$2" state="$3" prober="$4" program="$5" driver="$6" work="$7"
here="$(cd "$(dirname "$0")" && pwd)"
readonly expected_report="$here/expected_report.py" normalize="$here/../../cli/normalize_report.sh"

# Rows whose answers Wine takes from memory it never set, so that they
# differ from one process to the next: only their size echoes are compared.
# Seen: CSR_TPBUTTON 3, 32 or 112 from one program to the next;
# CSR_BTNNAMES a pointer where the names belong; CSR_SYSBTNMAP and
# CSR_TPBTNMARKS ending in bytes that change; CSR_BUTTONBITS changing too.
uninitialised_rows="CSR_BUTTONBITS,CSR_BTNNAMES,CSR_SYSBTNMAP,CSR_TPBUTTON,CSR_TPBTNMARKS"
# 32-bit Wine leaves three more unset: CSR_MODE changes from one process to
# the next, CSR_MINPKTDATA and CSR_MINBUTTONS from one program to another.
if [ "${PADSCOPE_WINE_ARCH:-win64}" = win32 ]; then
  uninitialised_rows+=",CSR_MODE,CSR_MINPKTDATA,CSR_MINBUTTONS"
fi
readonly uninitialised_rows

# The check box combinations: a name, the dialog's check boxes (id=state)
# and padscope-report's options. Wine's counts are not 0, its probe answers
# and the system context names device 0, so only "No null-buffer" changes
# which questions are asked; the others must change nothing.
readonly combinations=(
  "defaults||"
  "no-null-buffer|1004=1|--no-null-buffer"
  "all-but-no-null-buffer|1004=0 1002=1 1007=0 1008=1|--override-counts --no-context-device --ignore-probe"
  "all|1004=1 1002=1 1007=0 1008=1|--no-null-buffer --override-counts --no-context-device --ignore-probe"
)

failures=0
fail() {
  echo "FAIL [$mode]: $*"
  failures=$((failures + 1))
}

# Wine's wintab32 takes some hundred milliseconds to load (it opens the X
# input devices and creates a window); on a busy machine that can pass the
# watchdog's limit and the test ends at the load row in "<hung>". That is
# the watchdog doing its job, not a wrong report: such a run is repeated, up
# to twice. (After a hang in the loader the rest of a dialog session can
# only hang too, so the dialog's whole session is repeated.)
loader_hung() { grep -q '^LoadLibrary("WINTAB32.DLL") *<hung>' "$@" 2>/dev/null; }
readonly attempts=3

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
masked() { python3 "$expected_report" mask "$uninitialised_rows" <"$1"; }

rm -rf "$work"
mkdir -p "$work"

# The raw answers, twice, from two processes.
for k in 1 2; do
  "$wine_tablet" run "$state" "$prober" >"$work/raw.$k.txt" 2>"$work/prober.$k.err" || fail "prober run $k exited with $?"
done
# A fixture that gave Wine no tablet would make every report a trivial one.
stylus_hex="$(printf 'stylus' | iconv -f ASCII -t UTF-16LE | od -An -tx1 | tr -d ' \n')"
grep -q '^probe [1-9]' "$work/raw.1.txt" || fail "Wine's wintab32 sees no tablet (probe answers 0)"
grep -qE "^item 20[0-9] 1 [0-9]+ [0-9]+ $stylus_hex" "$work/raw.1.txt" || fail "no cursor is the stub's stylus"
varying="$(python3 "$expected_report" varying "$work/raw.1.txt" "$work/raw.2.txt")"
echo "rows that differ between two processes: ${varying:-none}"
for row in $varying; do
  [[ ",$uninitialised_rows," == *",$row,"* ]] || fail "$row differs between two processes and is not masked"
done

# Runs every combination; leaves the report of combination k in
# $work/actual.k.txt, normalized.
case "$mode" in
  dialog)
    cp "$program" "$work/padscope.exe"
    steps=()
    for combination in "${combinations[@]}"; do
      IFS='|' read -r _ boxes _ <<<"$combination"
      for box in $boxes; do steps+=(--set "$box"); done
      steps+=(--test)
    done
    for attempt in $(seq $attempts); do
      rm -f "$work"/report.*
      "$wine_tablet" run "$state" "$driver" --wine-dll wintab32=builtin --exe "$(windows_path "$work/padscope.exe")" \
        --out "$(windows_path "$work/report")" "${steps[@]}" >"$work/driver.out" 2>"$work/driver.err"
      status=$?
      tr -d '\r' <"$work/driver.out" | sed 's/^/  driver: /'
      [ "$attempt" -lt $attempts ] && loader_hung "$work"/report.*[0-9].txt || break
      echo "  the library took longer to load than the watchdog allows: once more"
    done
    [ "$status" -eq 0 ] || fail "driver exited with $status"
    for k in $(seq ${#combinations[@]}); do
      cp "$work/report.$k.normalized.txt" "$work/actual.$k.txt" 2>/dev/null || fail "no report $k"
    done
    raw_report="$work/report.1.txt"
    ;;
  report)
    cp "$program" "$work/padscope-report.exe"
    k=0
    for combination in "${combinations[@]}"; do
      IFS='|' read -r name _ options <<<"$combination"
      k=$((k + 1))
      for attempt in $(seq $attempts); do
        # shellcheck disable=SC2086  # the options are separate words
        "$wine_tablet" run "$state" "$work/padscope-report.exe" $options >"$work/report.$k.txt" 2>"$work/report.$k.err"
        status=$?
        [ "$attempt" -lt $attempts ] && [ "$status" -eq 5 ] && loader_hung "$work/report.$k.txt" || break
        echo "  $name: the library took longer to load than the watchdog allows: once more"
      done
      [ "$status" -eq 0 ] || fail "padscope-report $options exited with $status"
      "$normalize" <"$work/report.$k.txt" >"$work/actual.$k.txt"
    done
    raw_report="$work/report.1.txt"
    ;;
  *)
    fail "unknown mode"
    ;;
esac

grep -qi 'system32\\wintab32.dll"' "$raw_report" || fail "Wine's builtin wintab32 was not the library loaded"

k=0
for combination in "${combinations[@]}"; do
  IFS='|' read -r name _ options <<<"$combination"
  k=$((k + 1))
  # shellcheck disable=SC2086
  python3 "$expected_report" render "$work/raw.1.txt" $options >"$work/expected.$k.txt" || fail "$name: no expected report"
  if ! cmp -s <(masked "$work/expected.$k.txt") <(masked "$work/actual.$k.txt"); then
    fail "$name: the report differs from the one derived from the raw answers:"
    diff <(masked "$work/expected.$k.txt") <(masked "$work/actual.$k.txt") | head -20
  fi
done

# --diagnose: Wine's cursors sit in slots past its IFC_NCURSORS while a
# slot inside the count is empty. The slots the finding must name come from
# the raw answers: IFC_NCURSORS, and which CSR_NAME (index 1) answer.
if [ "$mode" = report ]; then
  expected_slots="$(python3 - "$work/raw.1.txt" <<'PY'
import sys
items = {}
for line in open(sys.argv[1]):
    fields = line.split()
    if len(fields) >= 5 and fields[0] == "item":
        items[(int(fields[1]), int(fields[2]))] = int(fields[4])
raw = [l.split() for l in open(sys.argv[1]) if l.startswith("item 1 5 ")][0]
count = int.from_bytes(bytes.fromhex(raw[5])[:4].ljust(4, b"\0"), "little") if int(raw[4]) else 0
end = (count + 2) // 3 * 3 + 3   # up to the next multiple of three, and three more
past = [k for k in range(count, min(end, count + 8)) if items.get((200 + k, 1), 0) > 0]
empty_inside = [k for k in range(count) if items.get((200 + k, 1), 1) == 0]
if past and (count == 0 or empty_inside):
    print("\n".join("WTI_CURSOR+%d CSR_NAME" % k for k in past))
PY
)"
  [ -n "$expected_slots" ] || fail "the raw answers show no cursor past the count: the fixture changed"
  for attempt in $(seq $attempts); do
    "$wine_tablet" run "$state" "$work/padscope-report.exe" --diagnose >"$work/diagnose.txt" 2>"$work/diagnose.err"
    status=$?
    [ "$attempt" -lt $attempts ] && [ "$status" -eq 5 ] && loader_hung "$work/diagnose.txt" || break
  done
  finding="$(tr -d '\r' <"$work/diagnose.txt" | grep '^warning  cursor-beyond-count ')"
  [ -n "$finding" ] || fail "--diagnose: no cursor-beyond-count finding"
  while IFS= read -r slot; do
    [[ "$finding" == *"$slot"* ]] || fail "--diagnose: the finding does not name $slot: $finding"
  done <<<"$expected_slots"
  # Wine's library lies in system32: no finding about its place.
  tr -d '\r' <"$work/diagnose.txt" | grep -q ' library-outside-system ' && fail "--diagnose: library-outside-system for system32"
  problems=$(tr -d '\r' <"$work/diagnose.txt" | grep -c '^problem  ')
  [ "$status" -eq $((problems > 0 ? 8 : 0)) ] || fail "--diagnose exited with $status with $problems problem(s)"
fi

if [ "$failures" -eq 0 ]; then
  echo "[wine_builtin_tablet_$mode] passed"
  exit 0
fi
echo "[wine_builtin_tablet_$mode] $failures failure(s); files in $work"
exit 1
