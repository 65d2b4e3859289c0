#!/usr/bin/env bash
# A close request through the window manager ends the program through the final exit.
#   close_window.sh <program> <wm_close_window> <output folder>
source "$(dirname "$0")/common.sh"
program=$1
close_tool=$2
make_folders
trap cleanup EXIT

start_wm
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 60 test -f "$parameters" || fail "the start-up did not load the settings"

geometry=$(xwininfo -id "$window_id")
left=$(echo "$geometry" | sed -n 's/.*Absolute upper-left X: *//p')
top=$(echo "$geometry" | sed -n 's/.*Absolute upper-left Y: *//p')
close_program 120
[ $status -eq 0 ] || fail "exit status $status"

grep -qx "Exiting: USER CLOSED SIM" "$log" || fail "no \"Exiting: USER CLOSED SIM\""
grep -qx "User closed Orvanta_P3D" "$log" || fail "no \"User closed Orvanta_P3D\""
last=$(tail -n 1 "$log")
echo "$last" | grep -Eq '^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$' ||
  fail "the log does not end with the time: $last"
# The saved position is where the window stood.
[ "$(stored MAIN_WINDOW_X)" = "$left" ] || fail "saved MAIN_WINDOW_X $(stored MAIN_WINDOW_X), not $left"
[ "$(stored MAIN_WINDOW_Y)" = "$top" ] || fail "saved MAIN_WINDOW_Y $(stored MAIN_WINDOW_Y), not $top"
echo "close ok"
