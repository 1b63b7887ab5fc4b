#!/usr/bin/env bash
# Part of make bench (tools/bench.sh): padscope-pen under Wine at 1,000
# packets a second for 10 seconds, from the simulated library's profile
# PROFILE (10,000 packets 1 ms apart): packets lost, paints that showed new
# packets per second (coalesced: at most about 60), the median delay from a
# packet's read to its paint, and the program's processor time per packet.
#
#   bench-pen-window.sh PROFILE WORK_DIR RUNS
# Expects the x64 build and the Wine fixture (tools/wine-run.sh --fixture-setup).
set -euo pipefail
cd "$(dirname "$0")/.."
readonly profile="$1" work="$2" runs="$3"
cmake --build --preset x64 --target padscope-pen pen_window_driver wintab_sim >/dev/null
mkdir -p "$work"
cp build/x64/padscope-pen.exe build/x64/sim/WINTAB32.DLL "$profile" "$work/"
# The prefix (and with it the fixture's X server) of the x64 build, wherever the programs lie.
export WINEPREFIX="$PWD/build/x64/wine-prefix"
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for run in $(seq "$runs"); do
  WINEDLLOVERRIDES=wintab32=n PADSCOPE_SIM_PROFILE="$(winpath "$work/$(basename "$profile")")" \
    bash tools/wine-run.sh "$work/padscope-pen.exe" >/dev/null 2>&1 &
  program=$!
  bash tools/wine-run.sh build/x64/tests/pen/pen_window_driver.exe "$(winpath "$work/run$run")" \
    wait "stage=reading" 60000 dump before wait "packets=10000 " 60000 sleep 200 dump after close \
    >"$work/run$run.out" 2>&1 || true
  wait "$program" || true
  python3 - "$work/run$run" "$run" <<'PY'
import re, sys
prefix, run = sys.argv[1], sys.argv[2]
def read(name):
    try:
        text = open("%s.%s.txt" % (prefix, name), encoding="utf-8").read()
    except OSError:
        return None
    status = dict(re.findall(r"(\S+?)=(\S+)", text.split("[status]")[1].split("[processor]")[0]))
    status["processor"] = int(re.search(r"\[processor\]\s*(\d+) ms", text).group(1))
    return status
before, after = read("before"), read("after")
if before is None or after is None:
    print("pen window, run %s: no figures (see %s.out)" % (run, prefix))
    sys.exit(0)
packets = int(after["packets"])
paints, reading_ms = int(after["packet-paints"]), int(after["reading-ms"])
per_packet_us = (after["processor"] - before["processor"]) * 1000.0 / max(packets, 1)
print("pen window, run %s: %d packets read (%d lost), %d paints with new packets in %d ms (%.0f a second), "
      "median read to paint %.1f ms, %.0f us of processor time per packet" %
      (run, packets, 10000 - packets, paints, reading_ms, paints * 1000.0 / max(reading_ms, 1),
       int(after["latency-median-us"]) / 1000.0, per_packet_us))
PY
done
