#!/usr/bin/env bash
# The Windows program's window beside the Linux one: the same client size, the same title and the
# same texts in the boxes, read from each window as a user would copy them, for the same settings.
# The screenshots of both are left in the output folder.
#   window_compare.sh <Linux program> <Windows program> <wm_close_window> <output folder>
# Runs on a virtual X server (on_virtual_display.sh).
source "$(dirname "$0")/common.sh"
linux_program=$1 windows_program=$2 close_tool=$3 output=$4
need_files "$linux_program" "$close_tool"
mkdir -p "$output"

# The boxes that take input while the program waits for the simulator, at their centres: the
# layout's x + width / 2 and the row + 8 (app/controls.cpp, params/parameters.cpp), each with a
# setting of its own, so that a box that was not read shows another's text. The install path
# differs by system and is left out.
boxes=(MATCHING_DEPTH=229,211 LATERAL_RANGE=234,239
  BLOCK_CALLSIGN=267,267 CUSTOM_MAX_PARK=370,323 MAX_LIVE=618,323 AIRPORT_RANGE=370,351
  AIRPORT_HEIGHT=591,351)
settings=(MATCHING_DEPTH=3 LATERAL_RANGE=55 BLOCK_CALLSIGN=DAL123
  CUSTOM_MAX_PARK=77 MAX_LIVE=120 AIRPORT_RANGE=25 AIRPORT_HEIGHT=9000)

# look_at <program> <name>: runs the program up to its wait for the simulator and writes what its
# window shows to <output>/<name>.txt and <name>.png.
look_at() (
  program=$1
  make_folders
  trap cleanup EXIT
  mkdir -p "$(dirname "$parameters")"
  {
    echo '<?xml version="1.0"?>'
    echo '<parameters>'
    echo '<parameter name="AUTO_RANGE" value="false"/>'
    local setting
    for setting in "${settings[@]}"; do
      echo "<parameter name=\"${setting%%=*}\" value=\"${setting#*=}\"/>"
    done
    echo '</parameters>'
  } >"$parameters"
  start_wm
  start_program "$program"
  wait_until 120 find_window || fail "$2: no window titled Orvanta_P3D"
  wait_until 120 log_has "Waiting for Prepar3Dv5" || fail "$2: the start-up did not reach the simulator"
  local geometry width height
  geometry=$(xwininfo -id "$window_id")
  width=$(echo "$geometry" | sed -n 's/.*Width: *//p')
  height=$(echo "$geometry" | sed -n 's/.*Height: *//p')
  {
    echo "size=${width}x${height}"
    echo "title=$(xdotool getwindowname "$window_id")"
    python3 "$(dirname "$0")/box_texts.py" "$window_id" "${boxes[@]}"
  } >"$output/$2.txt" || fail "$2: the boxes could not be read"
  import -window "$window_id" "$output/$2.png"
  close_program 120
  [ $status -eq 0 ] || fail "$2: exit status $status"
)

look_at "$linux_program" linux
look_at "$windows_program" windows
# The Linux window shows the settings: the reading is sound.
printf '%s\n' "size=880x476" "title=Orvanta_P3D" "${settings[@]}" | diff -u - "$output/linux.txt" ||
  fail "the Linux window does not show its settings"
diff -u "$output/linux.txt" "$output/windows.txt" || fail "the Windows window shows other texts or another size"
cat "$output/windows.txt"
echo "windows compared ok: $output/linux.png $output/windows.png"
