#!/usr/bin/env bash
# A restart and the simulator going away: a new install path restarts the program, which runs
# its start-up again and reconnects; the simulator dropping the connection ends the program.
#   restart_and_drop.sh <program> <fakesim> <fakert> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 traffic=$4
need_files "$fakesim" "$fakert"
make_connected_folders
count() {
  grep -cF -- "$1" "$log" || true
}

start_wm
start_fakesim "$fakesim"
start_fakert "$fakert" "$traffic" --seconds 300 --reconnect-after-exit
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 90 log_has "Traffic Reader connected" || fail "the run did not reach the readers"

# Enter in the install-path box with the simulator's folder: a restart after 3 seconds.
xdotool mousemove --window "$window_id" 400 127 click 1
xdotool key End shift+Home
xdotool type --delay 5 "$(simulator_install_path)"
xdotool key Return
wait_until 30 log_has "Install path exists, Orvanta_P3D will restart" || fail "the new install path was not taken"
wait_until 60 log_has "Exiting: RESTART_IPP" || fail "no restart"
wait_until 60 log_has "Restarting after 3 seconds" || fail "no countdown"
restarted() {
  [ "$(count "Waiting for Prepar3Dv5 ...")" -ge 2 ] && [ "$(count "Traffic Reader connected")" -ge 2 ]
}
wait_until 120 restarted || fail "the start-up and the run did not come again after the restart"
[ "$(count "RealTraffic connected")" -ge 2 ] || fail "the RealTraffic client did not connect again"

# The simulator drops the connection: the program ends.
fakesim_control drop
wait_until 120 process_ended "$program_pid" || fail "the program did not end when the simulator went away"
set +e
wait "$program_pid"
status=$?
set -e
program_pid=
[ $status -eq 0 ] || fail "exit status $status"
log_has "Exiting: SIM WAS CLOSED" || fail "no \"Exiting: SIM WAS CLOSED\""
echo "restart and drop ok"
