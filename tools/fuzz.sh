#!/usr/bin/env bash
# make fuzz [SECONDS=n]: runs the report fuzz target for as long as asked
# (default 600 s), growing build/fuzz/tests/fuzz/corpus-work from the
# committed seeds. Crash inputs land in build/fuzz/tests/fuzz/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz --target report_fuzz >/dev/null
out=build/fuzz/tests/fuzz
mkdir -p "$out/corpus-work"
LD_LIBRARY_PATH="$out/shim" "$out/report_fuzz" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
  -rss_limit_mb=4096 -print_final_stats=1 -artifact_prefix="$out/" "$out/corpus-work" tests/fuzz/corpus
