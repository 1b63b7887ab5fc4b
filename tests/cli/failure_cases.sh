#!/usr/bin/env bash
# padscope-report where its outputs cannot go where they are sent: standard
# output full, closed or read by a reader that leaves early, and --record
# pointed at links, pipes, devices, files it may not write, missing folders,
# long and non-ASCII names. Each row is checked against the rules of the
# README's padscope-report section:
#
#   - a write to standard output that fails ends with exit code 1 and one
#     line on standard error, "padscope-report: cannot write WHAT to
#     standard output: REASON";
#   - a FILE that may not be written (a folder, a FIFO, a device, a Windows
#     device name, a file this user may not write, a missing folder) is
#     refused before anything runs: exit code 2, nothing on standard output,
#     one line "padscope-report: cannot write 'FILE': REASON", FILE as it was;
#   - otherwise the recording is written whole, even when standard output
#     failed; a link is followed and its target replaced, the link stays;
#   - no temporary file is ever left behind.
#
#   failure_cases.sh MODE PROGRAM SIM_DIR WORK_DIR [WINE_RUN]
#   MODE: native, wine (x64) or wine-x86 (a sample, in the emulated machine)
set -uo pipefail

readonly mode="$1" program="$2" sim_dir="$3" work="$4" wine_run="${5:-}"
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
skip() { echo "SKIP: $*"; }

rm -rf "$work"
mkdir -p "$work/bin"
if [ "$mode" != native ]; then
  cp "$program" "$work/bin/padscope-report.exe"
  cp "$sim_dir/WINTAB32.DLL" "$work/bin/"
fi

# The path the program is given: under Wine an absolute path goes through
# drive Z:.
host_path() {
  if [ "$mode" != native ] && [ "${1:0:1}" = / ]; then printf 'Z:%s' "$1"; else printf '%s' "$1"; fi
}

# The program over the simulated library; the caller redirects.
if [ "$mode" = native ]; then
  launcher=(env "LD_LIBRARY_PATH=$sim_dir" timeout 60 "$program")
else
  launcher=(env WINEDLLOVERRIDES=wintab32=n timeout 120 "$wine_run" "$work/bin/padscope-report.exe")
fi
program() { "${launcher[@]}" "$@"; }

# A reader that is gone before the first byte is written: the write end of
# a pipe whose read end is closed (the program's SIGPIPE set back to the
# default, as a shell would leave it).
to_closed_pipe() {
  python3 -c 'import os, subprocess, sys
r, w = os.pipe()
os.close(r)
sys.exit(subprocess.call(sys.argv[1:], stdout=w, restore_signals=True))' "$@"
}

# The complete recording of the default tablet, to compare every written
# recording with: made by a plain run into a new file.
reference="$work/reference.profile"
program --record "$(host_path "$reference")" >/dev/null 2>"$work/reference.err"
reference_status=$?
[ "$reference_status" -eq 0 ] && head -1 "$reference" | grep -q '^padscope-recording 2' || {
  fail "the reference recording: exit code $reference_status ($(head -c 300 "$work/reference.err"))"
  echo "0 passed, 1 failed"
  exit 1
}

# ---- Set-ups: each prepares $d (the row's folder) and sets $file, the
# ---- name --record is given (empty: no --record), or says why it cannot.
long_name=$(printf 'r%.0s' $(seq 246)).txt  # 250 characters: a valid name, not past the limit of 255
setup_none() { file=""; }
setup_new() { file="$d/new.profile"; }
setup_long() { file="$d/$long_name"; }
setup_greek() { file="$d/Ω-εγγραφή.txt"; }
setup_cyrillic() { file="$d/запись.txt"; }
setup_cjk() { file="$d/記録ファイル.txt"; }
setup_arabic() { file="$d/تسجيل.txt"; }
setup_astral() { file="$d/pen-🖊-𝒳.txt"; }
setup_missing_folder() { file="$d/no-such-folder/x.profile"; }
setup_missing_cjk_folder() { file="$d/無い-Ωφ/記録.txt"; }
setup_folder() { mkdir "$d/folder"; file="$d/folder"; }
setup_kept() { echo kept >"$d/kept.profile"; file="$d/kept.profile"; }
setup_symlink() {
  echo kept >"$d/target.profile"
  ln -s target.profile "$d/link" 2>/dev/null || { reason="this filesystem has no symbolic links"; return 1; }
  file="$d/link"
}
setup_dangling() {
  mkdir "$d/sub"
  ln -s sub/created.profile "$d/link" 2>/dev/null || { reason="this filesystem has no symbolic links"; return 1; }
  file="$d/link"
}
setup_fifo() { mkfifo "$d/fifo" 2>/dev/null || { reason="this filesystem has no FIFOs"; return 1; }; file="$d/fifo"; }
setup_device() {
  mknod "$d/null" c 1 3 2>/dev/null || { reason="mknod is not permitted here"; return 1; }
  file="$d/null"
}
setup_immutable() {
  echo kept >"$d/kept.profile"
  chattr +i "$d/kept.profile" 2>/dev/null ||
    { reason="this filesystem or user cannot make a file immutable (chattr +i)"; return 1; }
  file="$d/kept.profile"
}
setup_nul() { file="NUL"; }
setup_nul_folder() { file="$d/nul.txt"; }

# ---- Checks of the files afterwards (besides: no temporary file left).
recorded() { cmp -s "$reference" "$1"; }
check_none() { true; }
check_recorded() { recorded "$file" || echo "FILE is not the complete recording"; }
check_kept() { [ "$(cat "$file")" = kept ] || echo "FILE was changed"; }
check_absent() { [ ! -e "$file" ] || echo "FILE was created"; }
check_link() {
  [ -L "$file" ] || echo "the link was replaced"
  recorded "$file" || echo "the link's target is not the complete recording"
}
check_fifo() { [ -p "$file" ] || echo "the FIFO was replaced"; }
check_device() { [ -c "$file" ] || echo "the device node was replaced"; }
check_folder() { [ -d "$file" ] || echo "the folder was replaced"; }

# ---- The rows.
#   name|set-up|standard output (file, full, closed, closed-pipe, limited)|options|exit code|stderr line ("": none)|check|editions
# limited: standard output to /dev/null, every file the program writes held
# to 4 KiB (a file-size limit, whose signal is ignored as a shell may leave
# it), so that only the recording's final write fails.
# In the stderr line FILE stands for the name given to --record; a line
# ending in ": " is matched up to there (the rest is the system's reason).
# Editions: n native, w Wine x64, x the emulated x86 machine's sample.
readonly refused="padscope-report: cannot write 'FILE': "
rows=(
  "full report|none|full||1|padscope-report: cannot write the report to standard output: |none|nwx"
  "full JSON|none|full|--json|1|padscope-report: cannot write the JSON document to standard output: |none|nw"
  "full diagnosis|none|full|--diagnose|1|padscope-report: cannot write the report to standard output: |none|nw"
  "full before the pen check|none|full|--pen=1|1|padscope-report: cannot write the report to standard output: |none|nw"
  "full help|none|full|--help|1|padscope-report: cannot write the help to standard output: |none|nwx"
  "full version|none|full|--version|1|padscope-report: cannot write the version to standard output: |none|nw"
  "full, recording still whole|new|full||1|padscope-report: cannot write the report to standard output: |recorded|nw"
  "closed stdout|none|closed||1|padscope-report: cannot write the report to standard output: |none|nwx"
  "closed stdout, recording|new|closed||1|padscope-report: cannot write the report to standard output: |recorded|nw"
  "pipe closed early|none|closed-pipe||1|padscope-report: cannot write the report to standard output: |none|nw"
  "pipe closed early, recording|new|closed-pipe||1|padscope-report: cannot write the report to standard output: |recorded|nwx"
  "regular new file|new|file||0||recorded|nwx"
  "existing file replaced|kept|file||0||recorded|nw"
  "symbolic link followed|symlink|file||0||link|nwx"
  "link to a name not yet there|dangling|file||0||link|n"
  "FIFO refused|fifo|file||2|$refused|fifo|nwx"
  "device node refused|device|file||2|$refused|device|nw"
  "immutable file refused|immutable|file||2|$refused|kept|nw"
  "folder refused|folder|file||2|$refused|folder|nw"
  "missing folder|missing_folder|file||2|$refused|absent|nwx"
  "250-character name|long|file||0||recorded|nwx"
  "Greek name|greek|file||0||recorded|nwx"
  "Cyrillic name|cyrillic|file||0||recorded|nw"
  "CJK name|cjk|file||0||recorded|nwx"
  "Arabic name|arabic|file||0||recorded|nw"
  "name beyond the BMP|astral|file||0||recorded|nw"
  "missing folder named in CJK and Greek|missing_cjk_folder|file||2|$refused|absent|nwx"
  "NUL refused|nul|file||2|$refused|none|wx"
  "nul.txt in a folder refused|nul_folder|file||2|$refused|absent|w"
  "final write past a file-size limit|new|limited||1|padscope-report: writing 'FILE' failed: |absent|n"
)
edition=n
[ "$mode" = wine ] && edition=w
[ "$mode" = wine-x86 ] && edition=x

number=0
for row in "${rows[@]}"; do
  IFS='|' read -r name setup output options expected line check editions <<<"$row"
  [[ "$editions" == *"$edition"* ]] || continue
  number=$((number + 1))
  d="$work/case-$number"
  mkdir -p "$d"
  file="" reason=""
  if ! "setup_$setup"; then
    skip "$name: $reason"
    continue
  fi
  arguments=()
  # shellcheck disable=SC2206
  [ -z "$options" ] || arguments=($options)
  [ -z "$file" ] || arguments+=(--record "$(host_path "$file")")
  out="$d.out" err="$d.err"
  case "$output" in
    file) program "${arguments[@]}" >"$out" 2>"$err" ;;
    full) program "${arguments[@]}" >/dev/full 2>"$err" ;;
    closed) program "${arguments[@]}" >&- 2>"$err" ;;
    closed-pipe) to_closed_pipe "${launcher[@]}" "${arguments[@]}" 2>"$err" ;;
    limited) (trap '' XFSZ; ulimit -f 4; program "${arguments[@]}" >/dev/null 2>"$err") ;;
  esac
  status=$?
  [ "$status" -eq "$expected" ] || fail "$name: exit code $status, expected $expected ($(head -c 300 "$err"))"
  expected_line="${line//FILE/$(host_path "$file")}"
  if [ -z "$expected_line" ]; then
    [ ! -s "$err" ] || fail "$name: standard error is not empty: $(head -c 300 "$err")"
  else
    [ "$(wc -l <"$err")" -eq 1 ] || fail "$name: not one line on standard error: $(head -c 300 "$err")"
    if [[ "$expected_line" == *": " ]]; then
      [[ "$(head -1 "$err")" == "$expected_line"* ]] || fail "$name: stderr '$(head -1 "$err")', expected '$expected_line...'"
    else
      [ "$(head -1 "$err" | tr -d '\r')" = "$expected_line" ] || fail "$name: stderr '$(head -1 "$err")'"
    fi
  fi
  if [ "$expected" -eq 2 ] && [ "$output" = file ] && [ -s "$out" ]; then fail "$name: something was run"; fi
  problem=$("check_$check")
  [ -z "$problem" ] || fail "$name: $problem"
  leftover=$(find "$d" -name '.padscope-*' -o -name '*.partial-*' | head -3)
  [ -z "$leftover" ] || fail "$name: temporary files left behind: $leftover"
  [ "$setup" != immutable ] || chattr -i "$file"
done

# A WINTAB32.DLL that cannot be loaded: --diagnose's no-library finding
# says what the system answered, the report's own error line stays.
#   name|library file (none, text, other-edition)|error code|what the finding says
bits=64
[ "$mode" = wine-x86 ] && bits=32
other_edition=""
[ "$mode" = wine ] && other_edition="$sim_dir/../../x86/sim/WINTAB32.DLL"
[ "$mode" = wine-x86 ] && other_edition="$sim_dir/../../x64/sim/WINTAB32.DLL"
other_edition_code=126
other_edition_says="no tablet library is where programs look for it."
if [ "$mode" = wine-x86 ]; then
  other_edition_code=193
  other_edition_says="a WINTAB32.DLL is there, but it is not a valid library for this $bits-bit program"
fi
library_rows=(
  "no library|none|126|no tablet library is where programs look for it."
  "a text file|text|193|a WINTAB32.DLL is there, but it is not a valid library for this $bits-bit program"
  # Windows answers 193 for the other edition's library, and so does 32-bit
  # Wine for a 64-bit one; 64-bit Wine's loader passes over a 32-bit one
  # and looks on, as if it were not there.
  "the other edition's library|other-edition|$other_edition_code|$other_edition_says"
)
for row in "${library_rows[@]}"; do
  IFS='|' read -r name kind code says <<<"$row"
  d="$work/library-$kind"
  mkdir -p "$d"
  case "$kind" in
    text) echo "not a library" >"$d/WINTAB32.DLL" ;;
    other-edition)
      if [ "$mode" = native ] || [ ! -f "$other_edition" ]; then
        skip "$name: no library of the other edition built beside this one"
        continue
      fi
      cp "$other_edition" "$d/WINTAB32.DLL" ;;
  esac
  if [ "$mode" = native ]; then
    LD_LIBRARY_PATH="$d" timeout 60 "$program" --diagnose >"$d.out" 2>"$d.err"
  else
    cp "$program" "$d/padscope-report.exe"
    # No library at all: Wine's own switched off too.
    override=wintab32=n
    [ "$kind" = none ] && override=wintab32=d
    WINEDLLOVERRIDES=$override timeout 120 "$wine_run" "$d/padscope-report.exe" --diagnose >"$d.out" 2>"$d.err"
  fi
  status=$?
  [ "$status" -eq 3 ] || fail "$name: exit code $status, expected 3"
  grep -qF "Error: library WINTAB32.DLL not found or failed to load (GetLastError()=$code)"$'\r' "$d.out" ||
    fail "$name: the report's error line with $code"
  grep -a '^problem  *no-library ' "$d.out" | grep -qF "Rows: LoadLibrary(\"WINTAB32.DLL\") failed with error $code." ||
    fail "$name: no no-library finding with error $code"
  grep -a '^problem  *no-library ' "$d.out" | grep -qF "$says" || fail "$name: the finding does not say '$says'"
done

# A run ended by a signal while the report is under way (the simulated
# tablet hangs, the watchdog waits its second): no temporary file and no
# FILE. Natively: under Wine a posix signal does not reach the program as
# the system's own end would.
if [ "$mode" = native ]; then
  d="$work/signal"
  mkdir -p "$d"
  # (INT and QUIT: a shell leaves them ignored for a command in the background.)
  for signal in TERM HUP; do
    rm -f "$d/signalled.profile"
    LD_LIBRARY_PATH="$sim_dir" PADSCOPE_SIM_PROFILE=hang "$program" --record "$d/signalled.profile" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 200); do
      [ -n "$(find "$d" -name '.padscope-*')" ] && break
      sleep 0.01
    done
    kill -"$signal" "$pid"
    wait "$pid" 2>/dev/null
    status=$?
    [ "$status" -eq $((128 + $(kill -l "$signal"))) ] || fail "SIG$signal during the run: exit code $status"
    [ -z "$(find "$d" -name '.padscope-*')" ] || fail "SIG$signal during the run: the temporary file was left behind"
    [ ! -e "$d/signalled.profile" ] || fail "SIG$signal during the run: FILE was written"
  done
fi

echo "$number rows; $((failures == 0 ? 1 : 0)) passed, $((failures > 0 ? 1 : 0)) failed"
[ "$failures" -eq 0 ]
