#!/usr/bin/env bash
# `make run`: starts PADSCOPE (the 64-bit build, which this machine can
# execute) under Wine with the simulated tablet's WINTAB32.DLL beside it.
#
# With a display (DISPLAY set) the dialog opens for you to use.
# Without one, the dialog runs on a private Xvfb: "Do Test" is pressed the
# way a person presses it, the report that the dialog shows is printed, and
# a screenshot of the window is saved as build/run/padscope-window.png.
#
# Expects `make build` to have built the x64 preset.
set -euo pipefail

repository="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly repository
readonly build="$repository/build/x64"
readonly run_dir="$repository/build/run"
readonly prefix="$build/wine-prefix"
readonly wine=/usr/lib/wine/wine64
readonly driver="$build/tests/wine/padscope_driver.exe"

for file in "$build/padscope.exe" "$build/sim/WINTAB32.DLL"; do
  if [ ! -f "$file" ]; then
    echo "run: $file is missing; build the x64 preset first (make build)" >&2
    exit 1
  fi
done

mkdir -p "$run_dir"
cp "$build/padscope.exe" "$build/sim/WINTAB32.DLL" "$run_dir/"

# The prefix is the one the tests use; tools/wine-run.sh creates it on first
# use (running the driver without arguments only prints its usage).
if [ ! -f "$prefix/.padscope-ready" ]; then
  echo "run: creating the Wine prefix $prefix (about 15 s, once)"
  "$repository/tools/wine-run.sh" "$driver" >/dev/null 2>&1 || true
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# Wine loads its own builtin wintab32 unless told to prefer the file beside
# the program.
export WINEDLLOVERRIDES="mscoree,mshtml=;wintab32=n"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }

if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--headless-inside" ]; then
  echo "run: opening PADSCOPE on $DISPLAY (close the dialog to return)"
  cd "$run_dir"
  exec "$wine" "$run_dir/padscope.exe"
fi

# Headless: everything below runs inside xvfb-run with its own display.
headless() {
  local flag="$run_dir/screenshot-taken" out="$run_dir/driver.out"
  rm -f "$flag" "$out" "$run_dir"/report.* "$run_dir/padscope-window.png"
  "$wine" "$driver" --wine-dll wintab32=native --exe "$(windows_path "$run_dir/padscope.exe")" \
    --out "$(windows_path "$run_dir/report")" --test --wait-for "$(windows_path "$flag")" >"$out" 2>&1 &
  local driver_pid=$!
  for _ in $(seq 600); do
    [ -f "$run_dir/report.1.txt" ] && break
    kill -0 "$driver_pid" 2>/dev/null || break
    sleep 0.1
  done
  sleep 0.5  # let the output box paint the new text
  local geometry
  geometry="$(tr -d '\r' <"$out" | sed -n 's/^window found at \(-\?[0-9]*\),\(-\?[0-9]*\) size \([0-9]*\)x\([0-9]*\)$/\3x\4+\1+\2/p')"
  if [ -f "$run_dir/report.1.txt" ] && [ -n "$geometry" ]; then
    import -window root -crop "$geometry" +repage "$run_dir/padscope-window.png" || true
  fi
  touch "$flag"
  local status=0
  wait "$driver_pid" || status=$?
  return "$status"
}

if [ "${1:-}" = "--headless-inside" ]; then
  headless
  exit $?
fi

echo "run: no DISPLAY; running PADSCOPE on a private Xvfb and pressing \"Do Test\""
status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" --headless-inside || status=$?
if [ -f "$run_dir/report.1.txt" ]; then
  echo "----- the report shown in the dialog -----"
  tr -d '\r' <"$run_dir/report.1.txt"
  echo "------------------------------------------"
else
  echo "run: no report was read from the dialog" >&2
  tr -d '\r' <"$run_dir/driver.out" >&2 || true
  status=1
fi
if [ -f "$run_dir/padscope-window.png" ]; then
  echo "run: screenshot of the window: $run_dir/padscope-window.png"
else
  echo "run: no screenshot was taken" >&2
fi
exit "$status"
