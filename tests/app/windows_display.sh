#!/usr/bin/env bash
# Runs a Windows test program of the main window under Wine with a window system: the window is
# a Win32 one, which Wine makes only on an X display. Every run gets a virtual X server of its
# own and the window tests' own Wine prefix, one run at a time: the prefix's desktop belongs to
# the display of the run that started the prefix's server, so that server ends with the run.
#   windows_display.sh <wine64> <wineserver> <prefix> <program> [arguments...]
set -euo pipefail
wine=$1
wineserver=$2
prefix=$3
shift 3
export WINEPREFIX=$prefix WINEDEBUG=-all WINESERVER=$wineserver

exec 9>"$prefix.lock"
flock 9

# The X server picks a free display itself and writes its number into the pipe.
work=$(mktemp -d)
mkfifo "$work/display"
# Programs started here do not keep the lock: one left behind by a killed run holds no other.
Xvfb -displayfd 3 -screen 0 1600x1200x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" 9>&- &
xvfb=$!
finish() {
  "$wineserver" -k 9>&- 2>/dev/null || true
  "$wineserver" -w 9>&- 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
if ! read -r display <"$work/display"; then
  echo "the virtual X server did not start:" >&2
  cat "$work/xvfb.log" >&2
  exit 1
fi

status=0
DISPLAY=:$display "$wine" "$@" 9>&- || status=$?
exit $status
