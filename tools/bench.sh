#!/usr/bin/env bash
# make bench: times the report with the simulated library (default and large
# tablets) next to its floor, the parts of the floor, the heap allocations of
# one report, and, under Wine, the dialog's start-up next to a bare dialog of
# the same template; the whole table is measured twice, each figure as the
# median of its repetitions, and the spread between the two runs is shown.
# Then the pen session at 1,000 packets a second, natively and (the pen
# window) under Wine; the sizes of both Windows executables and, under
# Wine, the delay from a hang to <hung>.
set -euo pipefail
cd "$(dirname "$0")/.."
readonly runs=2 startup_rounds=15
work="$(mktemp -d)"
wine_fixture=""
cleanup() {
  if [ -n "$wine_fixture" ]; then (cd build/x64 && bash ../../tools/wine-run.sh --fixture-cleanup >/dev/null 2>&1) || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

cmake --preset bench >/dev/null
cmake --build --preset bench --target report_bench pen_bench wintab_sim >/dev/null

# The dialog and its yardstick are built in this run, from the same sources
# and the same dialog template.
have_wine=0
if command -v wine >/dev/null 2>&1 || [ -x /usr/lib/wine/wine64 ]; then
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 --target padscope bench_bare_dialog bench_startup_timer >/dev/null
  mkdir -p "$work/dialog" "$work/bare"
  cp build/x64/padscope.exe "$work/dialog/padscope.exe"
  cp build/x64/tests/bench/bench_bare_dialog.exe "$work/bare/bare_dialog.exe"
  # One wineserver and one X server for all starts, as for the Wine tests.
  (cd build/x64 && bash ../../tools/wine-run.sh --fixture-setup >/dev/null)
  wine_fixture=1
  have_wine=1
fi

winpath() { printf 'Z:%s' "${1//\//\\}"; }

for run in $(seq "$runs"); do
  LD_LIBRARY_PATH=build/bench/sim build/bench/tests/bench/report_bench --benchmark_format=json \
    --benchmark_repetitions=5 --benchmark_report_aggregates_only=true >"$work/report.$run.json" 2>/dev/null
  if [ "$have_wine" = 1 ]; then
    # No WINTAB32.DLL beside either program: the dialog does not load one
    # before "Do Test", and the start-up is all that is timed.
    bash tools/wine-run.sh build/x64/tests/bench/bench_startup_timer.exe "$startup_rounds" \
      "$(winpath "$work/dialog/padscope.exe")" "$(winpath "$work/bare/bare_dialog.exe")" \
      </dev/null >"$work/startup.$run.txt" 2>"$work/startup.$run.err" || {
      echo "(the Wine start-up timing failed: $(tr -d '\r' <"$work/startup.$run.err" | tail -n 1))"
      rm -f "$work/startup.$run.txt"
    }
  fi
done

python3 - "$work" "$runs" "$startup_rounds" <<'PY'
import json, os, re, sys
work, runs, rounds = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])

def load(run):
    rows = {b["name"]: b for b in json.load(open(os.path.join(work, "report.%d.json" % run)))["benchmarks"]}
    m = {}
    for p in ("default_profile", "large_profile"):
        b = rows["ReportAndFloor/%s/iterations:%d_median" % (p, 400 if p == "default_profile" else 40)]
        m["queries " + p] = int(b["queries"])
        m["report " + p] = b["report_us"]
        m["clears " + p] = b["clears_us"]
        m["load " + p] = b["load_release_us"]
        m["versions " + p] = b["versions_us"]
        m["floor " + p] = b["clears_us"] + b["load_release_us"] + b["versions_us"]
        m["ratio " + p] = b["ratio"]
    m["allocations"] = int(rows["Allocations/default_profile/iterations:3_median"]["allocations"])
    path = os.path.join(work, "startup.%d.txt" % run)
    if os.path.exists(path):
        text = open(path).read()
        medians = [float(x) for x in re.findall(r"exe median=([0-9.]+)", text)]
        ratio = re.findall(r"ratio median=([0-9.]+)", text)
        if len(medians) == 2 and ratio:
            m["dialog"], m["bare"] = medians
            m["ratio startup"] = float(ratio[0])
    return m

results = [load(run) for run in range(1, runs + 1)]
q = results[0]
lines = [
    ("report, default tablet, %d queries (us)" % q["queries default_profile"], "report default_profile", "%.0f"),
    ("  floor (us)", "floor default_profile", "%.0f"),
    ("    clears of the answer buffer (us)", "clears default_profile", "%.0f"),
    ("    load and release of the library (us)", "load default_profile", "%.1f"),
    ("    version reads (us)", "versions default_profile", "%.0f"),
    ("  report / floor", "ratio default_profile", "%.2f"),
    ("report, large tablet, %d queries (us)" % q["queries large_profile"], "report large_profile", "%.0f"),
    ("  floor (us)", "floor large_profile", "%.0f"),
    ("    clears of the answer buffer (us)", "clears large_profile", "%.0f"),
    ("    load and release of the library (us)", "load large_profile", "%.1f"),
    ("    version reads (us)", "versions large_profile", "%.0f"),
    ("  report / floor", "ratio large_profile", "%.2f"),
    ("heap allocations in one report", "allocations", "%d"),
    ("dialog start-up under Wine (ms)", "dialog", "%.0f"),
    ("bare dialog start-up under Wine (ms)", "bare", "%.0f"),
    ("  dialog / bare dialog", "ratio startup", "%.2f"),
]
header = "%-42s" % "median (see README)"
header += "".join("%10s" % ("run %d" % (i + 1)) for i in range(runs)) + "%9s" % "spread"
print("\n" + header)
for label, key, form in lines:
    values = [r.get(key) for r in results]
    if any(v is None for v in values):
        continue
    cells = "".join("%10s" % (form % v) for v in values)
    low, high = min(values), max(values)
    spread = "%8.0f%%" % (100.0 * (high - low) / low) if low else "%9s" % "-"
    print("%-42s%s%s" % (label, cells, spread))
PY

# The pen session at 1,000 packets a second for 10 seconds: a stroke of
# 10,000 packets 1 ms apart from the simulated library, read for 11 s.
python3 - "$work/pen.profile" <<'PY'
import sys
lines = ["base default", "packet none"]
for n in range(10000):
    lines.append("packet time %d cursor 0 x %d y %d pressure %d buttons 1" % (1000 + n, 1000 + n % 5000, 2000 + n % 3000, n % 8192))
open(sys.argv[1], "w").write("\n".join(lines) + "\n")
PY
echo
for run in $(seq "$runs"); do
  echo "pen session, run $run:"
  LD_LIBRARY_PATH=build/bench/sim build/bench/tests/bench/pen_bench "$work/pen.profile" 10000 11 | sed 's/^/  /'
done
if [ "$have_wine" = 1 ]; then
  bash tools/bench-pen-window.sh "$work/pen.profile" "$work/pen-window" "$runs"
fi
echo

for arch in x86 x64; do
  [ -f "build/$arch/padscope.exe" ] || { cmake --preset "$arch" >/dev/null; cmake --build --preset "$arch" >/dev/null; }
  printf '%-42s %11s\n' "build/$arch/padscope.exe (bytes)" "$(stat -c %s "build/$arch/padscope.exe")"
done

if [ "$have_wine" = 1 ]; then
  # The hang timing runs its own ctest fixture.
  (cd build/x64 && bash ../../tools/wine-run.sh --fixture-cleanup >/dev/null 2>&1) || true
  wine_fixture=""
  if [ -x tools/wine-hang-timing.sh ]; then bash tools/wine-hang-timing.sh; fi
fi
