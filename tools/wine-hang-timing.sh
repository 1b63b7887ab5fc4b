#!/usr/bin/env bash
# Part of make bench: under Wine, how long after a driver call hangs the
# dialog's report ends in <hung>. Runs the end-to-end hang case of the x64
# build (a test that hangs, timed against the same test stopped at the same
# row by a fault) five times and prints each delay and their median.
set -euo pipefail
cd "$(dirname "$0")/.."
[ -f build/x64/CTestTestfile.cmake ] || { echo "(no x64 build: no Wine timing)"; exit 0; }
delays=()
for run in 1 2 3 4 5; do
  # A run whose case failed (a busy machine can push it out of its window)
  # gives no figure and does not end the bench.
  ms=$(ctest --test-dir build/x64 -R hang_detected -V 2>/dev/null |
       sed -n 's/.*<hung> came \([0-9]*\) ms after the last output.*/\1/p' | head -n 1) || true
  [ -n "$ms" ] && delays+=("$ms")
done
[ ${#delays[@]} -gt 0 ] || { echo "(the Wine hang case gave no timing)"; exit 0; }
median=$(printf '%s\n' "${delays[@]}" | sort -n | sed -n "$(((${#delays[@]} + 1) / 2))p")
printf '%-36s %11s   (runs: %s)\n' "hang to <hung> under Wine (ms)" "$median" "${delays[*]}"
