#!/usr/bin/env bash
# A close request through the window manager ends the program through the final exit.
#   close_window.sh <program> <wm_close_window> <output folder>
source "$(dirname "$0")/common.sh"
program=$1
close_tool=$2
need_files "$close_tool"
make_folders
trap cleanup EXIT

start_wm
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 60 test -f "$parameters" || fail "the start-up did not load the settings"

# The window moved by the window manager, from where the program put it.
client_corner() {
  xwininfo -id "$window_id" | sed -n 's/.*Absolute upper-left [XY]: *//p' | paste -sd' '
}
read -r first_left first_top <<<"$(client_corner)"
first_x=$(stored MAIN_WINDOW_X) first_y=$(stored MAIN_WINDOW_Y)
xdotool windowmove "$window_id" $((first_left + 60)) $((first_top + 40))
moved() {
  [ "$(client_corner)" != "$first_left $first_top" ]
}
wait_until 30 moved || fail "the window manager did not move the window"
read -r left top <<<"$(client_corner)"
close_program 120
[ $status -eq 0 ] || fail "exit status $status"

log_has_line "Exiting: USER CLOSED SIM" || fail "no \"Exiting: USER CLOSED SIM\""
log_has_line "User closed Orvanta_P3D" || fail "no \"User closed Orvanta_P3D\""
last=$(tail -n 1 "$log" | tr -d '\r')
echo "$last" | grep -Eq '^[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}$' ||
  fail "the log does not end with the time: $last"
# The saved position is where the window stood. The Linux program keeps the client area's
# corner. The Windows one keeps the outer corner of its frame, which Wine puts a few pixels
# outside the client area: it moved as far as the window did from where the program put it.
if [ -z "${wine:-}" ]; then
  [ "$(stored MAIN_WINDOW_X)" = "$left" ] || fail "saved MAIN_WINDOW_X $(stored MAIN_WINDOW_X), not $left"
  [ "$(stored MAIN_WINDOW_Y)" = "$top" ] || fail "saved MAIN_WINDOW_Y $(stored MAIN_WINDOW_Y), not $top"
else
  [ $(($(stored MAIN_WINDOW_X) - first_x)) -eq $((left - first_left)) ] ||
    fail "saved MAIN_WINDOW_X $(stored MAIN_WINDOW_X) after $first_x; the window moved from $first_left to $left"
  [ $(($(stored MAIN_WINDOW_Y) - first_y)) -eq $((top - first_top)) ] ||
    fail "saved MAIN_WINDOW_Y $(stored MAIN_WINDOW_Y) after $first_y; the window moved from $first_top to $top"
fi
echo "close ok"
