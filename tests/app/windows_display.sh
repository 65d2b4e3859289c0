#!/usr/bin/env bash
# Runs a Windows test program of the main window under Wine with a window system: the window is
# a Win32 one, which Wine makes only on an X display. Every run gets a virtual X server of its
# own and the window tests' own Wine prefix, one run at a time: the prefix's desktop belongs to
# the display of the run that started the prefix's server, so that server ends with the run.
#   windows_display.sh <wine64> <wineserver> <prefix> <program> [arguments...]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/virtual_display.sh"
wine=$1
wineserver=$2
prefix=$3
shift 3
export WINEPREFIX=$prefix WINEDEBUG=-all WINESERVER=$wineserver

exec 9>"$prefix.lock"
flock 9

# Programs started here do not keep the lock: one left behind by a killed run holds no other.
finish() {
  "$wineserver" -k 9>&- 2>/dev/null || true
  "$wineserver" -w 9>&- 2>/dev/null || true
  stop_virtual_display
}
trap finish EXIT
start_virtual_display 1600x1200x24

status=0
bash "$(dirname "$0")/../run_under_wine.sh" "$wine" "$@" 9>&- || status=$?
exit $status
