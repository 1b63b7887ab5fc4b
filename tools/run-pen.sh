#!/usr/bin/env bash
# `make run-pen`: starts padscope-pen (the 64-bit build) under Wine with the
# simulated tablet's WINTAB32.DLL beside it, the pen playing a wavy stroke
# that presses harder and lighter as it goes.
#
# The pen stays over the tablet at the end, so the screenshot shows its
# cross-hair and tilt line too. With a display (DISPLAY set) the window opens for you to use. Without one
# it runs on a private Xvfb: once the stroke is drawn the window's texts are
# printed and a screenshot of its client area is saved as
# build/run/padscope-pen-window.png.
#
# Expects `make build` to have built the x64 preset.
set -euo pipefail

repository="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
readonly repository
readonly build="$repository/build/x64"
readonly run_dir="$repository/build/run"
readonly prefix="$build/wine-prefix"
readonly wine=/usr/lib/wine/wine64
readonly driver="$build/tests/pen/pen_window_driver.exe"

for file in "$build/padscope-pen.exe" "$build/sim/WINTAB32.DLL" "$driver"; do
  if [ ! -f "$file" ]; then
    echo "run-pen: $file is missing; build the x64 preset first (make build)" >&2
    exit 1
  fi
done

mkdir -p "$run_dir"
cp "$build/padscope-pen.exe" "$build/sim/WINTAB32.DLL" "$run_dir/"

# The stroke: 121 packets 8 ms apart across the middle of the tablet
# (44704 x 27940), y a sine wave, the pressure rising and falling twice.
awk 'BEGIN {
  print "base default"
  print "packet none"
  print "packet time 1000 cursor 0 x 6000 y 14000 pressure 0 buttons 0 azimuth 1350 altitude 500"
  for (k = 0; k <= 120; ++k) {
    x = 6000 + k * 270
    y = 14000 + 6000 * sin(k / 120 * 6.2832)
    p = int(8191 * (0.15 + 0.85 * sin(k / 120 * 6.2832 * 1.5 - 1.5708) ^ 2))
    printf "packet time %d x %d y %d pressure %d buttons 1\n", 1100 + 8 * k, x, y, p
  }
  print "packet time 2200 x 38400 y 14000 pressure 0 buttons 0"
}' >"$run_dir/wave.profile"

if [ ! -f "$prefix/.padscope-ready" ]; then
  echo "run-pen: creating the Wine prefix $prefix (about 15 s, once)"
  "$repository/tools/wine-run.sh" --create-prefix >/dev/null 2>&1 || true
fi

export WINEPREFIX="$prefix"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;wintab32=n"
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
export PADSCOPE_SIM_PROFILE
PADSCOPE_SIM_PROFILE="$(windows_path "$run_dir/wave.profile")"

if [ -n "${DISPLAY:-}" ] && [ "${1:-}" != "--headless-inside" ]; then
  echo "run-pen: opening padscope-pen on $DISPLAY (close the window to return)"
  cd "$run_dir"
  exec "$wine" "$run_dir/padscope-pen.exe"
fi

headless() {
  rm -f "$run_dir"/pen.*
  "$wine" "$run_dir/padscope-pen.exe" >/dev/null 2>&1 &
  local program=$!
  local status=0
  "$wine" "$driver" "$(windows_path "$run_dir/pen")" wait "packets=123 " 60000 sleep 500 \
    dump shown close >"$run_dir/pen.driver" 2>&1 || status=$?
  wait "$program" || status=$?
  return "$status"
}

if [ "${1:-}" = "--headless-inside" ]; then
  headless
  exit $?
fi

echo "run-pen: no DISPLAY; running padscope-pen on a private Xvfb with a scripted stroke"
status=0
xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" --headless-inside || status=$?
if [ -f "$run_dir/pen.shown.txt" ]; then
  tr -d '\r' <"$run_dir/pen.shown.txt"
else
  echo "run-pen: nothing was read from the window" >&2
  tr -d '\r' <"$run_dir/pen.driver" >&2 || true
  status=1
fi
if [ -f "$run_dir/pen.shown.bmp" ] && convert "$run_dir/pen.shown.bmp" "$run_dir/padscope-pen-window.png"; then
  echo "run-pen: screenshot of the window: $run_dir/padscope-pen-window.png"
else
  echo "run-pen: no screenshot was taken" >&2
  status=1
fi
exit "$status"
