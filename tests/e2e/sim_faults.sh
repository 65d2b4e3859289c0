#!/usr/bin/env bash
# The simulator failing under a connected run. Killed outright (SIGKILL): the program notices
# within 10 s, logs it and ends through the exit machine with status 0. Hung with its connection
# open (nothing read, nothing answered): the close box still ends the program within 40 s.
#   sim_faults.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5
make_connected_folders

# start_run <case>: the program with both stand-ins, from a fresh log, until the readers run.
start_run() {
  rm -f "$log"
  start_fakesim "$fakesim"
  start_fakert "$fakert" "$traffic" --seconds 300
  start_program "$program"
  wait_until 60 find_window || fail "$1: no window titled Orvanta_P3D"
  wait_until 90 log_has "Traffic Reader connected" || fail "$1: the run did not reach the readers"
}

# expect_end <case> <seconds> <exit line>: the program ends in time with status 0 and that line.
expect_end() {
  wait_until "$2" process_ended "$program_pid" || fail "$1: the program did not end within $2 s"
  set +e
  wait "$program_pid"
  local status=$?
  set -e
  program_pid=
  [ $status -eq 0 ] || fail "$1: exit status $status"
  grep -qx -- "$3" "$log" || fail "$1: no \"$3\""
  log_has "waiting for the work thread to end" && fail "$1: the exit had to wait for the work thread"
  return 0
}

# The client stand-in ends with each case (its replay would go on for minutes).
stop_fakert() {
  kill "$fakert_pid" 2>/dev/null || true
  wait "$fakert_pid" 2>/dev/null || true
  fakert_pid=
}

seconds_since() {
  python3 -c "import sys; print(f'{float(sys.argv[2]) - float(sys.argv[1]):.2f}')" "$1" "$EPOCHREALTIME"
}

start_wm

start_run "simulator killed"
kill -9 "$fakesim_pid"
killed_at=$EPOCHREALTIME
wait "$fakesim_pid" 2>/dev/null || true
fakesim_pid=
wait_until 10 log_has "Flight Simulator no longer connected" ||
  fail "simulator killed: not noticed within 10 s"
echo "simulator killed: noticed after $(seconds_since "$killed_at") s"
expect_end "simulator killed" 30 "Exiting: SIM WAS CLOSED"
echo "simulator killed: the program ended $(seconds_since "$killed_at") s after the kill"
stop_fakert

start_run "simulator hung"
fakesim_control mute
wait_until 10 grep -q '"type":"mute"' "$work/fakesim.trace" || fail "simulator hung: fakesim did not go mute"
"$close_tool" "$window_id"
closed_at=$EPOCHREALTIME
expect_end "simulator hung" 40 "Exiting: USER CLOSED SIM"
echo "simulator hung: the program ended $(seconds_since "$closed_at") s after the close"
stop_fakert
stop_stand_ins
echo "simulator faults ok"
