#!/usr/bin/env bash
# make bench: times the report with the simulated library (default and large
# tablets) next to its floor, counts heap allocations, gives the sizes of
# both Windows executables and, under Wine, the delay from a hang to <hung>.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target report_bench wintab_sim >/dev/null
json=$(LD_LIBRARY_PATH=build/bench/sim build/bench/tests/bench/report_bench --benchmark_format=json \
       --benchmark_repetitions=5 --benchmark_report_aggregates_only=true 2>/dev/null)
python3 - "$json" <<'PY'
import json, sys
rows = {b["name"]: b for b in json.loads(sys.argv[1])["benchmarks"]}
def us(name):
    b = rows[name + "_median"]
    scale = {"ns": 1e-3, "us": 1.0, "ms": 1e3}[b["time_unit"]]
    return b["real_time"] * scale
print("\n%-36s %11s %11s %7s" % ("report (median of 5 runs)", "time (us)", "floor (us)", "ratio"))
for p in ("default_profile", "large_profile"):
    t, f = us("Report/" + p), us("Floor/" + p)
    q = int(rows["Report/%s_median" % p]["queries"])
    print("%-36s %11.0f %11.0f %7.2f" % ("%s, %d queries" % (p, q), t, f, t / f))
a = rows["Allocations/default_profile/iterations:3_median"]["allocations"]
print("%-36s %11d" % ("heap allocations in one report", a))
PY
for arch in x86 x64; do
  [ -f "build/$arch/padscope.exe" ] || { cmake --preset "$arch" >/dev/null; cmake --build --preset "$arch" >/dev/null; }
  printf '%-36s %11s\n' "build/$arch/padscope.exe (bytes)" "$(stat -c %s "build/$arch/padscope.exe")"
done

if [ -x tools/wine-hang-timing.sh ]; then
  bash tools/wine-hang-timing.sh
fi
