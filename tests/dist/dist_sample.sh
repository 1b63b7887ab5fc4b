#!/usr/bin/env bash
# The programs of one edition of the release start under Wine and name
# their version; the simulated library of the release is the one the dialog
# loads.
#
#   dist_sample.sh ARCH VERSION SIM_VERSION_H WINE_RUN DRIVER WORK_DIR PADSCOPE REPORT SIM_DLL
#
# ARCH x64 or x86; VERSION the project version; SIM_VERSION_H the simulated
# library's version texts (sim/sim_version.h); DRIVER padscope_driver.exe,
# which operates the dialog as a person would.
set -uo pipefail

readonly arch="$1" version="$2" sim_version_h="$3" wine_run="$4" driver="$5" work="$6"
readonly padscope="$7" report="$8" sim_dll="$9"

failures=0
fail() {
  echo "FAIL [$arch]: $*"
  failures=$((failures + 1))
}

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

rm -rf "$work"
mkdir -p "$work"

# padscope-report --version: one line, exit 0.
output="$("$wine_run" "$report" --version 2>"$work/report.err" | tr -d '\r')"
status=${PIPESTATUS[0]}
[ "$status" -eq 0 ] || fail "padscope-report.exe --version exited with $status"
[ "$output" = "padscope-report $version" ] ||
  fail "padscope-report.exe --version printed [$output], not [padscope-report $version]"

# The dialog names its build and version in the first line of every report;
# with the release's simulated library beside it, the report shows that
# library's company from its version resource.
company="$(sed -n 's/^#define PADSCOPE_SIM_COMPANY_NAME "\(.*\)"$/\1/p' "$sim_version_h")"
[ -n "$company" ] || fail "no company name in $sim_version_h"
cp "$padscope" "$work/padscope.exe"
cp "$sim_dll" "$work/WINTAB32.DLL"
# In the emulated machine a busy host can starve the worker past the
# one-second watchdog before it writes a line: the report is "<hung>"
# alone, and the dialog gets another try. A freshly shown dialog is still
# being set up by Wine there: "Do Test" waits three seconds.
tries=1
[ "$arch" = x86 ] && tries=3
for try in $(seq "$tries"); do
  rm -f "$work"/report.*
  "$wine_run" "$driver" --wine-dll wintab32=native --exe "$(windows_path "$work/padscope.exe")" \
    --out "$(windows_path "$work/report")" --check-initial --idle 3000 --test >"$work/driver.out" 2>"$work/driver.err"
  status=$?
  tr -d '\r' <"$work/driver.out" | sed 's/^/  driver: /'
  first_line="$(head -n 1 "$work/report.1.txt" 2>/dev/null | tr -d '\r')"
  [ "$first_line" = "<hung>" ] && [ "$try" -lt "$tries" ] || break
  echo "  the report is <hung> alone: the worker was starved; try $((try + 1))"
done
[ "$status" -eq 0 ] || fail "the driver exited with $status"
[ "$first_line" = "PADSCOPE $arch - $version" ] ||
  fail "the dialog's report begins [$first_line], not [PADSCOPE $arch - $version]"
company_row="$(printf '%-30s %s' CompanyName "$company")"
grep -qxF "$company_row" <(tr -d '\r' <"$work/report.1.txt" 2>/dev/null) ||
  fail "the dialog's report has no row [$company_row]: the simulated library was not the one loaded"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "padscope.exe and padscope-report.exe ($arch) start and name version $version"
