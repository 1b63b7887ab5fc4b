#!/usr/bin/env bash
# Runs a Windows program under Wine for the tests of the x64 build; the
# cross-compiling emulator of cmake/mingw-x86_64.cmake, so CTest calls it as
#   wine-run.sh PROGRAM.exe [ARGUMENTS...]
# and gets the program's exit code back.
#
# The Wine prefix belongs to one build directory: <build>/wine-prefix, where
# <build> is the nearest directory holding CMakeCache.txt above the program
# (or above the current directory); <repository>/build/wine-prefix when there
# is none. WINEPREFIX, when set, wins. Builds of different people or presets
# never share a prefix or a wineserver. The prefix is created on first use
# (wineboot --init, about 11 s, without Mono and Gecko), with Wine's crash
# dialog switched off (a crash prints its backtrace to the program's stderr
# and ends it with a nonzero exit code) and every program running inside
# one virtual desktop (without a window manager, closing a top-level
# window would otherwise wait about 2 s).
#
# Display: Windows programs get the shared Xvfb of the `wine` test fixture
# when it runs; otherwise each program gets its own server from xvfb-run.
# The caller's DISPLAY is never used, so no test window appears on a desktop.
# PADSCOPE_WINE_DISPLAY, when set, names the X server to use instead (the
# tablet fixture's, tools/wine-tablet.sh); the fixture then starts no Xvfb.
#
# Two more modes drive the `wine` CTest fixture (tests/platform):
#   wine-run.sh --fixture-setup    create the prefix, start a persistent
#                                  wineserver and a shared Xvfb, record pids
#   wine-run.sh --fixture-cleanup  stop exactly what setup started
# and one makes the prefix alone:
#   wine-run.sh --create-prefix
set -euo pipefail

# PADSCOPE_WINE_ARCH=win32 runs 32-bit Wine in a 32-bit prefix instead (in
# the emulated x86 machine of tools/x86-machine.sh, where the x86 build's
# tests run).
if [ "${PADSCOPE_WINE_ARCH:-win64}" = win32 ]; then
  readonly WINE=/usr/lib/wine/wine WINE_ARCH=win32
else
  readonly WINE=/usr/lib/wine/wine64 WINE_ARCH=win64
fi
readonly WINESERVER=/usr/lib/wine/wineserver
script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
readonly repository="$(dirname "$script_dir")"

# The nearest build directory above $1, or nothing.
build_dir_above() {
  local dir
  dir="$(cd "$1" 2>/dev/null && pwd)" || return 0
  while [ "$dir" != "/" ]; do
    if [ -f "$dir/CMakeCache.txt" ]; then
      echo "$dir"
      return 0
    fi
    dir="$(dirname "$dir")"
  done
}

choose_prefix() {
  if [ -n "${WINEPREFIX:-}" ]; then
    echo "$WINEPREFIX"
    return
  fi
  local build=""
  if [ $# -gt 0 ] && [ -e "$1" ]; then build="$(build_dir_above "$(dirname "$1")")"; fi
  [ -n "$build" ] || build="$(build_dir_above "$PWD")"
  [ -n "$build" ] || build="$repository/build"
  echo "$build/wine-prefix"
}

export WINEDEBUG=-all
export WINEARCH="$WINE_ARCH"
# The caller's own overrides (wintab32=n, for instance) come after ours.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# Creates the prefix once. Concurrent callers wait for the first one.
ensure_prefix() {
  local prefix="$1"
  [ -f "$prefix/.padscope-ready" ] && return 0
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.padscope-ready" ]; then
    rm -rf "$prefix"
    mkdir -p "$prefix"
    WINEPREFIX="$prefix" DISPLAY= "$WINE" wineboot --init >/dev/null 2>&1
    local settings="$prefix/padscope-settings.reg"
    cat >"$settings" <<'REG'
REGEDIT4

[HKEY_CURRENT_USER\Software\Wine\WineDbg]
"ShowCrashDialog"=dword:00000000

[HKEY_CURRENT_USER\Software\Wine\Explorer]
"Desktop"="padscope"

[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]
"padscope"="1280x1024"
REG
    WINEPREFIX="$prefix" DISPLAY= "$WINE" regedit /S "$settings" >/dev/null 2>&1
    WINEPREFIX="$prefix" "$WINESERVER" -w
    touch "$prefix/.padscope-ready"
  fi
  flock -u 9
  exec 9>&-
}

fixture_state_dir() { echo "$1/.padscope-fixture"; }

alive() { [ -n "$1" ] && kill -0 "$1" 2>/dev/null; }

# One Xvfb for every test of the run; it picks a free display itself.
start_xvfb() {
  local state="$1" display_file="$1/display"
  setsid Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
  echo $! >"$state/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$display_file" ] && return 0
    sleep 0.05
  done
  echo "wine-run: Xvfb did not start" >&2
  return 1
}

fixture_setup() {
  local prefix state
  prefix="$(choose_prefix)"
  ensure_prefix "$prefix"
  state="$(fixture_state_dir "$prefix")"
  mkdir -p "$state"
  fixture_cleanup_quietly "$prefix"

  local display_file="$state/display"
  rm -f "$display_file"
  if [ -n "${PADSCOPE_WINE_DISPLAY:-}" ]; then
    echo "${PADSCOPE_WINE_DISPLAY#:}" >"$display_file"
  else
    start_xvfb "$state" || return 1
  fi

  # A persistent wineserver in the foreground of its own session, so that
  # its pid is known and it outlives this setup step.
  WINEPREFIX="$prefix" setsid "$WINESERVER" -f -p </dev/null >/dev/null 2>&1 &
  echo $! >"$state/wineserver.pid"

  # Wine's own system processes (services, the virtual desktop) live as
  # long as the persistent server. Started here with no terminal attached:
  # started by a test, they would hold its output pipe open and CTest would
  # wait for them until the test's timeout.
  local display=":$(cat "$display_file")"
  WINEPREFIX="$prefix" DISPLAY="$display" setsid "$WINE" explorer.exe /desktop=padscope,1280x1024 \
    </dev/null >/dev/null 2>&1 &
  WINEPREFIX="$prefix" DISPLAY="$display" "$WINE" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 || true
  echo "wine fixture: prefix $prefix, display :$(cat "$display_file"), wineserver $(cat "$state/wineserver.pid")"
}

fixture_cleanup_quietly() {
  local prefix="$1" state pid
  state="$(fixture_state_dir "$prefix")"
  pid="$(cat "$state/wineserver.pid" 2>/dev/null || true)"
  if alive "$pid"; then
    # Ends the Wine processes of this prefix and its server, nothing else.
    WINEPREFIX="$prefix" "$WINESERVER" -k >/dev/null 2>&1 || true
    for _ in $(seq 50); do alive "$pid" || break; sleep 0.1; done
    alive "$pid" && kill "$pid" 2>/dev/null || true
  fi
  pid="$(cat "$state/xvfb.pid" 2>/dev/null || true)"
  if alive "$pid"; then kill "$pid" 2>/dev/null || true; fi
  rm -f "$state/wineserver.pid" "$state/xvfb.pid" "$state/display"
}

fixture_cleanup() {
  local prefix
  prefix="$(choose_prefix)"
  fixture_cleanup_quietly "$prefix"
  echo "wine fixture: stopped for $prefix"
}

run_program() {
  local prefix state display=""
  prefix="$(choose_prefix "$1")"
  ensure_prefix "$prefix"
  export WINEPREFIX="$prefix"
  state="$(fixture_state_dir "$prefix")"
  if [ -n "${PADSCOPE_WINE_DISPLAY:-}" ]; then
    display="$PADSCOPE_WINE_DISPLAY"
  elif alive "$(cat "$state/xvfb.pid" 2>/dev/null || true)" && [ -s "$state/display" ]; then
    display=":$(cat "$state/display")"
  fi
  local status=0
  if [ -n "$display" ]; then
    DISPLAY="$display" "$WINE" "$@" || status=$?
  else
    unset DISPLAY
    xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$WINE" "$@" || status=$?
  fi
  return "$status"
}

case "${1:-}" in
  --fixture-setup) fixture_setup ;;
  --fixture-cleanup) fixture_cleanup ;;
  --create-prefix) ensure_prefix "$(choose_prefix)" ;;
  "") echo "usage: wine-run.sh PROGRAM.exe [ARGUMENTS...] | --fixture-setup | --fixture-cleanup | --create-prefix" >&2; exit 2 ;;
  *) run_program "$@" ;;
esac
