#!/usr/bin/env bash
# The Windows program under Wine, in a prefix of its own made for the run: it shows its window,
# writes Log.txt beside itself and parameters.xml in the Wine user's AppData, runs its start-up
# up to waiting for the simulator, a second start ends at once with -1, and its controls take
# clicks and typing.
#   windows_startup.sh <Orvanta_P3D.exe> <wine64> [screenshot.png]
# Runs on a virtual X server (on_virtual_display.sh).
source "$(dirname "$0")/common.sh"
program=$1
wine=$2
screenshot=${3:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-wine.XXXXXX")
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Debian keeps wineserver beside wine64, outside PATH.
export PATH=$(dirname "$(readlink -f "$wine")"):$PATH
stop_wine() {
  local status=$?
  wineserver -k 2>/dev/null || true
  if [ $status -ne 0 ] && [ -f "$work/program/Log.txt" ]; then
    echo "--- Log.txt" >&2
    cat "$work/program/Log.txt" >&2
  fi
  rm -rf "${work:?}"
}
trap stop_wine EXIT

"$wine" wineboot --init >/dev/null 2>&1 || fail "the Wine prefix could not be made"
wineserver --wait

# The program folder (docs/ beside the program, the airport data base in input/), a download
# server folder with the data base and the running version, and Prepar3D v5 with a few AI
# aircraft installed in the prefix.
mkdir -p "$work/program/docs" "$work/program/input" "$work/program/server/release"
cp "$program" "$work/program/Orvanta_P3D.exe"
cp "$sample_airports_file" "$work/program/input/airports_p3d.xml"
(cd "$sample_dbase_folder" && zip -q "$work/program/server/dbase.zip" temp2.xml)
printf '10.9.8\r\n' >"$work/program/server/release/version_P3D.json"
export ORVANTA_DOWNLOAD_BASE="file:///Z:$work/program/server/"
python3 "$repository_root/scripts/lib/make_ai_liveries.py" "$WINEPREFIX/drive_c/Prepar3D v5" \
  "$WINEPREFIX/drive_c/ProgramData/Lockheed Martin/Prepar3D v5"
mkdir -p "$WINEPREFIX/drive_c/Prepar3D v5/Scenery"
"$wine" reg add 'HKLM\Software\Lockheed Martin\Prepar3D v5' /v SetupPath /d 'C:\Prepar3D v5\' /f \
  >/dev/null 2>&1 || fail "the simulator's registry key could not be written"

log=$work/program/Log.txt
parameters=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming)/Orvanta_P3D/parameters.xml

(cd "$work/program" && exec "$wine" ./Orvanta_P3D.exe) &
program_pid=$!

window_shown() {
  xwininfo -root -tree | grep -q '"Orvanta_P3D": ("orvanta_p3d.exe"'
}
wait_until 120 window_shown || fail "no window titled Orvanta_P3D"
wait_until 120 test -f "$parameters" || fail "no parameters.xml in the user's AppData"
wait_until 120 log_has "Waiting for Prepar3Dv5" || fail "the start-up did not reach the simulator"
kill -0 "$program_pid" || fail "the program ended"

# The client area is 880 x 476 as on Linux.
geometry=$(xwininfo -root -tree | grep '"Orvanta_P3D": ("orvanta_p3d.exe"' | head -n 1)
echo "$geometry" | grep -q " 880x476+" || fail "client area: $geometry"
if [ -n "$screenshot" ]; then
  position=$(echo "$geometry" | grep -o ' 880x476+[0-9]*+[0-9]*' | cut -d+ -f2,3 | tr + ' ')
  read -r left top <<<"$position"
  mkdir -p "$(dirname "$screenshot")"
  import -window root -crop "880x476+$left+$top" +repage "$screenshot"
fi

# A second start ends at once with -1 (255 as the exit status) and writes nothing.
log_before=$(md5sum <"$log")
set +e
(cd "$work/program" && timeout 120 "$wine" ./Orvanta_P3D.exe)
second=$?
set -e
[ $second -eq 255 ] || fail "a second start ended with $second"
[ "$(md5sum <"$log")" = "$log_before" ] || fail "the second start wrote to the log"
kill -0 "$program_pid" || fail "the first program ended"

# The controls answer: a click on the LOG box unticks it and saves the setting; letters typed
# into a number box are refused on Enter; Stay on top is saved and keeps the window above.
window_id=$(xwininfo -root -tree | grep '"Orvanta_P3D": ("orvanta_p3d.exe"' | head -n 1 | awk '{print $1}')
xdotool mousemove --window "$window_id" 658 155 click 1
wait_until 60 stored_is LOG false || fail "LOG was not saved after a click"
xdotool mousemove --window "$window_id" 229 211 click 1
xdotool key End shift+Home
xdotool type abc
xdotool key Return
wait_until 60 log_has "invalid input: abc" || fail "no invalid-input message"
xdotool mousemove --window "$window_id" 754 155 click 1
wait_until 60 stored_is ALWAYS_ON_TOP true || fail "Stay on top was not saved after a click"
echo "Windows start-up ok"
