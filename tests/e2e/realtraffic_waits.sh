#!/usr/bin/env bash
# The program is closed while its work thread waits on the RealTraffic link: before any client
# connected, after the client was killed and started again (its traffic resumes), and with a
# client whose version reply has no line end.
# Each close ends the program with status 0 within 40 s, through the exit machine.
#   realtraffic_waits.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5
make_connected_folders

# close_and_expect_end <case>: the close box, then a prompt end with status 0.
close_and_expect_end() {
  close_program 40
  [ $status -eq 0 ] || fail "$1: exit status $status"
  log_has "Exiting: USER CLOSED SIM" || fail "$1: no \"Exiting: USER CLOSED SIM\""
  log_has "waiting for the work thread to end" && fail "$1: the exit had to wait for the work thread"
  echo "$1 ok"
}

# start_run <case>: the program with the simulator stand-in, from a fresh log.
start_run() {
  rm -f "$log"
  start_fakesim "$fakesim"
  start_program "$program"
  wait_until 60 find_window || fail "$1: no window titled Orvanta_P3D"
}

start_wm

start_run "no client"
wait_until 90 log_has "Waiting for RealTraffic to connect to Orvanta_P3D ..." || fail "no client: no wait for RealTraffic"
close_and_expect_end "no client"
stop_stand_ins

start_run "client killed"
start_fakert "$fakert" "$traffic" --seconds 300
wait_until 90 log_has "Traffic Reader connected" || fail "client killed: the run did not reach the readers"
link_is_ours || fail "client killed: the client of another run on this machine holds the program's link"
kill -9 "$fakert_pid"
wait "$fakert_pid" 2>/dev/null || true
fakert_pid=
wait_until 60 log_has "RealTraffic gone? Wait for RealTraffic to re-connect ..." ||
  fail "client killed: the program did not notice the client was gone"
# The client started again: the link comes back and the aircraft of its traffic are created anew.
trace_lines=$(wc -l <"$work/fakesim.trace")
start_fakert "$fakert" "$traffic" --seconds 300
wait_until 60 log_has "RealTraffic re-connected" || fail "client killed: the client did not connect again"
link_is_ours || fail "client killed: the client of another run on this machine took the program's link"
created_again() {
  tail -n +$((trace_lines + 1)) "$work/fakesim.trace" | grep -q '"type":"created"'
}
wait_until 90 created_again || fail "client killed: no traffic after the client came back"
close_and_expect_end "client killed"
stop_stand_ins

start_run "version reply without a line end"
start_fakert "$fakert" "$traffic" --seconds 300 --version-no-line-end
wait_until 90 log_has "RealTraffic connected" || fail "version reply without a line end: the start-up did not go on"
close_and_expect_end "version reply without a line end"
stop_stand_ins
echo "realtraffic waits ok"
