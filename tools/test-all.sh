#!/usr/bin/env bash
# Runs ctest in every build of `make test` (each build keeps its own test
# names and environments) and closes with one line that sums them up.
set -uo pipefail
cd "$(dirname "$0")/.."

passed=0
failed=0
status=0
for dir in "$@"; do
  echo "== ctest in $dir"
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  # "97% tests passed, 1 tests failed out of 39"
  summary=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -z "$summary" ] && grep -q 'No tests were found' "$log"; then
    echo "(no tests to run in $dir: it is only built and inspected)"
    rm -f "$log"
    continue
  fi
  if [ -z "$summary" ]; then
    echo "no ctest summary in $dir"
    status=1
    continue
  fi
  rm -f "$log"
  total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$summary")
  bad=$(sed -E 's/.*passed, ([0-9]+) tests failed.*/\1/' <<<"$summary")
  passed=$((passed + total - bad))
  failed=$((failed + bad))
done
echo
echo "total: $passed passed, $failed failed"
exit "$status"
