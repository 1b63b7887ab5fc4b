#!/usr/bin/env bash
# A pen tablet for Wine's builtin wintab32: an Xorg server with the dummy
# video driver and the stub pen input driver (tests/wine/tablet/padscopepen_drv.c,
# a "stylus" and an "eraser"), and a Wine session of its own on that server.
#
#   wine-tablet.sh start STATE_DIR
#       builds the stub driver, starts Xorg on a free display and a
#       persistent Wine session (prefix STATE_DIR/prefix, created on first
#       use); stops first whatever an earlier start in STATE_DIR left running
#   wine-tablet.sh run STATE_DIR PROGRAM.exe [ARGUMENTS...]
#       runs a Windows program in that session with the builtin wintab32
#       (WINEDLLOVERRIDES=wintab32=b) and returns its exit code; as for
#       tools/wine-run.sh, standard output and error are the program's
#   wine-tablet.sh feed STATE_DIR stylus|eraser EVENT...
#       moves the pen: each EVENT is one line for the stub driver,
#         "in X Y PRESSURE TILTX TILTY"    enter proximity
#         "move X Y PRESSURE TILTX TILTY"  move (trailing values may be left out)
#         "out"                            leave proximity
#         "down N" / "up N"                press or release button N (1 to 3)
#       axis ranges: x 0..25400, y 0..20320, pressure 0..2047, tilt -64..63
#   wine-tablet.sh stop STATE_DIR
#       stops exactly what start started, by process id
#   wine-tablet.sh build-driver STATE_DIR
#       builds the stub driver alone (for a machine without a compiler: the
#       x86 build makes it on the host for the emulated x86 machine)
#
# Two variables serve the emulated x86 machine, where Wine is 32-bit and
# the state directory sits on a share: PADSCOPE_TABLET_PREFIX names the
# session's Wine prefix (default STATE_DIR/prefix), PADSCOPE_TABLET_DRIVER
# a stub driver built beforehand (default: built into STATE_DIR/modules).
#
# The CTest fixture `wine_tablet` of the x64 build (tests/wine/tablet) runs
# start and stop with STATE_DIR <build>/wine-tablet; a test that requires
# it runs its programs with `run` and moves the pen with `feed`.
#
# Xorg runs as root without a terminal: a private configuration and log,
# no configuration directory, no TCP, no server reset when the last client
# leaves, and the stub driver's folder on the module path. -displayfd
# picks a display that no other server (a stale one included) holds.
set -euo pipefail

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly repository="$(dirname "$script_dir")"
readonly wine_run="$script_dir/wine-run.sh"
readonly driver_source="$repository/tests/wine/tablet/padscopepen_drv.c"
readonly xorg=/usr/lib/xorg/Xorg

usage() {
  echo "usage: wine-tablet.sh start|stop|build-driver STATE_DIR | run STATE_DIR PROGRAM.exe [ARGUMENTS...]" \
    "| feed STATE_DIR stylus|eraser EVENT..." >&2
  exit 2
}

[ $# -ge 2 ] || usage
readonly command="$1"
mkdir -p "$2"
state="$(cd "$2" && pwd)"
readonly state
shift 2

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# The Xorg of this state directory, if it still runs: a recorded pid whose
# command line names this directory's configuration.
our_xorg_pid() {
  local pid
  pid="$(cat "$state/xorg.pid" 2>/dev/null || true)"
  alive "$pid" && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF -- "-config $state/xorg.conf" &&
    echo "$pid"
  return 0
}

display_of_session() {
  [ -s "$state/display" ] || { echo "wine-tablet: not started in $state" >&2; return 1; }
  echo ":$(cat "$state/display")"
}

readonly prefix="${PADSCOPE_TABLET_PREFIX:-$state/prefix}"

build_driver() {
  local module="$state/modules/input/padscopepen_drv.so"
  if [ -n "${PADSCOPE_TABLET_DRIVER:-}" ]; then
    mkdir -p "$(dirname "$module")"
    cp "$PADSCOPE_TABLET_DRIVER" "$module"
    return 0
  fi
  [ "$module" -nt "$driver_source" ] && return 0
  mkdir -p "$(dirname "$module")"
  # shellcheck disable=SC2046  # the flags are separate words
  cc -std=gnu11 -O2 -Wall -shared -fPIC $(pkg-config --cflags xorg-server) -o "$module.tmp" "$driver_source"
  mv "$module.tmp" "$module"
}

write_config() {
  local device devices=""
  for device in stylus eraser; do
    devices+="
Section \"InputDevice\"
  Identifier \"$device\"
  Driver \"padscopepen\"
  Option \"Type\" \"$device\"
  Option \"Path\" \"$state/$device.fifo\"
EndSection"
  done
  cat >"$state/xorg.conf" <<CONF
Section "ServerFlags"
  Option "AutoAddDevices" "false"
  Option "DontVTSwitch" "true"
  Option "BlankTime" "0"
  Option "StandbyTime" "0"
  Option "SuspendTime" "0"
  Option "OffTime" "0"
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0 - 1000.0
  VertRefresh 5.0 - 200.0
EndSection
Section "Device"
  Identifier "video"
  Driver "dummy"
  VideoRam 32768
EndSection
Section "Screen"
  Identifier "screen"
  Device "video"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Modes "1280x1024"
  EndSubSection
EndSection
$devices
Section "ServerLayout"
  Identifier "layout"
  Screen "screen"
  InputDevice "stylus"
  InputDevice "eraser"
EndSection
CONF
}

stop_session() {
  local pid
  if [ -s "$state/display" ]; then
    WINEPREFIX="$prefix" PADSCOPE_WINE_DISPLAY="$(display_of_session)" "$wine_run" --fixture-cleanup >/dev/null
  fi
  pid="$(our_xorg_pid)"
  if [ -n "$pid" ]; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    alive "$pid" && kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$state/xorg.pid" "$state/display"
}

start_session() {
  stop_session
  build_driver
  mkdir -p "$state/empty-config-dir"
  local device
  for device in stylus eraser; do
    rm -f "$state/$device.fifo"
    mkfifo -m 600 "$state/$device.fifo"
  done
  write_config
  rm -f "$state/display"
  # Started directly (Xorg leaves the terminal's session itself), so that
  # the recorded pid is the server's own.
  "$xorg" -displayfd 3 -config "$state/xorg.conf" -configdir "$state/empty-config-dir" -noreset \
    -nolisten tcp -logfile "$state/Xorg.log" -modulepath "/usr/lib/xorg/modules,$state/modules" \
    3>"$state/display" </dev/null >"$state/Xorg.out" 2>&1 &
  echo $! >"$state/xorg.pid"
  for _ in $(seq 200); do
    [ -s "$state/display" ] && break
    alive "$(cat "$state/xorg.pid")" || break
    sleep 0.05
  done
  if [ ! -s "$state/display" ]; then
    echo "wine-tablet: Xorg did not start; see $state/Xorg.log" >&2
    tail -n 5 "$state/Xorg.out" >&2 || true
    stop_session
    return 1
  fi
  local display
  display="$(display_of_session)"
  WINEPREFIX="$prefix" PADSCOPE_WINE_DISPLAY="$display" "$wine_run" --fixture-setup >/dev/null
  echo "wine tablet: Xorg $(cat "$state/xorg.pid") on $display, prefix $prefix"
}

feed() {
  [ $# -ge 2 ] || usage
  local device="$1"
  shift
  case "$device" in stylus | eraser) ;; *) usage ;; esac
  if [ -z "$(our_xorg_pid)" ]; then
    echo "wine-tablet: no Xorg runs for $state" >&2
    return 1
  fi
  # The server holds the FIFO open for reading, so this never blocks for
  # long; the timeout guards against a server that stopped meanwhile.
  printf '%s\n' "$@" | timeout 5 tee "$state/$device.fifo" >/dev/null
}

case "$command" in
  start) start_session ;;
  stop) stop_session; echo "wine tablet: stopped for $state" ;;
  run)
    [ $# -ge 1 ] || usage
    display="$(display_of_session)"
    WINEPREFIX="$prefix" PADSCOPE_WINE_DISPLAY="$display" \
      WINEDLLOVERRIDES="wintab32=b${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}" exec "$wine_run" "$@"
    ;;
  feed) feed "$@" ;;
  build-driver) build_driver ;;
  *) usage ;;
esac
