#!/usr/bin/env bash
# The start-up's own checks, without a simulator: the program's folder, and the update check.
#   startup_checks.sh <program>
source "$(dirname "$0")/common.sh"
program=$1
make_folders
trap cleanup EXIT
start_wm

# run_until <what> <condition...>: starts the program, waits for the condition, then kills it.
run_until() {
  local what=$1
  shift
  start_program "$program"
  wait_until 60 "$@" || fail "no $what"
  wait_until 60 find_window || fail "no window"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}
run_until_logged() {
  run_until "\"$1\"" log_has "$1"
}

# Not in its own folder: the window (with error 41, which the window's tests read), no run, and
# no Log.txt written into the wrong folder.
rm -rf "$work/program/docs"
start_program "$program"
wait_until 60 find_window || fail "no window"
[ -e "$log" ] && fail "Log.txt written into a folder without docs: $(head -n 3 "$log")"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=
mkdir -p "$work/program/docs"

# The same version on the server: nothing happens, the run starts.
publish_version "10.9.8"
run_until_logged "Waiting for Prepar3Dv5 ..."
log_has "available" && fail "an update for the running version"

# The saved destination is a park airport from the start-up on, before any simulator connected.
grep -q 'name="DESTINATION"' "$parameters" || fail "no DESTINATION in parameters.xml"
sed -i 's/name="DESTINATION" value="[^"]*"/name="DESTINATION" value="KLAX"/' "$parameters"
rm -f "$log"
# The park airport list is written on its own thread, after the wait for the simulator may be logged.
park_listed() {
  log_has "Waiting for Prepar3Dv5 ..." && grep -q "^KLAX" "$work/program/airports/my_park_airports.txt" 2>/dev/null
}
run_until "saved destination in the park airport list after the start-up" park_listed
log_has "New destination: KLAX" || fail "the saved destination was not applied"

# A newer version: the installer is unpacked next to the program and start-up stops.
publish_version "10.9.9"
mkdir -p "$work/installer"
printf 'MZ new installer' >"$work/installer/install_new_version.exe"
(cd "$work/installer" && zip -q "$work/program/server/release/setup_Orvanta_P3D_d_v10.9.9.zip" install_new_version.exe)
notice="Error New version 10.9.9 available. Exit here, and run as administrator:   \"$work/program/install_new_version.exe\""
run_until_logged "$notice"
[ "$(cat "$work/program/install_new_version.exe")" = "MZ new installer" ] || fail "the installer was not unpacked"
[ ! -e "$work/program/setup_Orvanta_P3D_d_v10.9.9.zip" ] || fail "the archive was left"
log_has "Waiting for Prepar3Dv5" && fail "a run started after the new-version notice"
echo "start-up checks ok"
