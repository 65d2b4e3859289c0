#!/usr/bin/env bash
# The program shows its window, paints it, takes clicks and typing, keeps a second start out.
#   main_window.sh <program> <output folder>
source "$(dirname "$0")/common.sh"
program=$1
output=$2
mkdir -p "$output"
make_folders
trap cleanup EXIT

start_wm
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
geometry=$(xwininfo -id "$window_id")
echo "$geometry" | grep -q "Width: 880" || fail "client width: $geometry"
echo "$geometry" | grep -q "Height: 476" || fail "client height: $geometry"

# The start-up has loaded the settings and enabled the controls once parameters.xml exists and
# the painted window no longer changes.
wait_until 60 test -f "$parameters" || fail "the start-up did not load the settings"
# The window's pixels, and the colour of one pixel of the control area.
capture() {
  import -window "$window_id" "$work/capture.png"
}
control_area_colour() {
  convert "$work/capture.png" -crop 1x1+870+200 -depth 8 txt:- | tail -n 1
}
painted() {
  capture || return 1
  control_area_colour | grep -qi "#99CCFF" || return 1
  local first
  first=$(convert "$work/capture.png" rgb:- | md5sum)
  capture || return 1
  [ "$(convert "$work/capture.png" rgb:- | md5sum)" = "$first" ]
}
if ! wait_until 60 painted; then
  cp "$work/capture.png" "$output/main_window_unpainted.png" 2>/dev/null || true
  fail "the control area of window $window_id is not painted light blue: $(control_area_colour 2>&1)"
fi
import -window "$window_id" "$output/main_window.png"

# A second start ends at once with -1 and writes nothing.
log_before=$(md5sum <"$log")
set +e
(cd "$work/program" && timeout 60 "$program")
second=$?
set -e
[ $second -eq 255 ] || fail "a second start ended with $second"
[ "$(md5sum <"$log")" = "$log_before" ] || fail "the second start wrote to the log"
[ ! -e "$work/program/Log0.txt" ] || fail "the second start backed the log up"

# A click on the LOG box unticks it and saves the setting.
xdotool mousemove --window "$window_id" 658 155 click 1
wait_until 60 stored_is LOG false || fail "LOG was not saved after a click"

# Letters typed into a number box are refused on Enter with the invalid-input message.
xdotool mousemove --window "$window_id" 229 211 click 1
xdotool key ctrl+a
xdotool type abc
xdotool key Return
wait_until 60 log_has "invalid input: abc" || fail "no invalid-input message"

# Stay on top asks the window manager to keep the window above the others.
xdotool mousemove --window "$window_id" 754 155 click 1
above() {
  xprop -id "$window_id" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE
}
wait_until 60 above || fail "the window is not kept above"
wait_until 60 painted || fail "the window did not settle"
import -window "$window_id" "$output/main_window_after_input.png"
kill -0 "$program_pid" || fail "the program ended"
echo "main window ok: $output/main_window.png"
