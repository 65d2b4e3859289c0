#!/usr/bin/env bash
# The simulator failing under a connected run. Killed outright (SIGKILL): the program notices
# within 10 s, logs it and ends through the exit machine with status 0. Hung with its connection
# open (nothing read, nothing answered): the close box still ends the program within 40 s.
# Hostile, flooding the program with messages it does not handle (of an unknown id, exceptions,
# creation replies for objects it never created) as fast as it reads them, or with object events
# of aircraft it never created while it waits for RealTraffic: for the given seconds the log stays
# under 3 MB and the resident memory under 100 MB, and the close box, clicked while the flood goes
# on, ends the program within 10 s.
#   sim_faults.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file> [flood seconds]
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5 flood_seconds=${6:-15}
make_connected_folders

# start_run <case> [no-client]: the program with both stand-ins, from a fresh log, until the
# readers run; without the client stand-in, until the program waits for it.
start_run() {
  rm -f "$log"
  start_fakesim "$fakesim"
  [ "${2:-}" = no-client ] || start_fakert "$fakert" "$traffic" --seconds 300
  start_program "$program"
  wait_until 60 find_window || fail "$1: no window titled Orvanta_P3D"
  if [ "${2:-}" = no-client ]; then
    wait_until 90 log_has "Waiting for RealTraffic to connect" || fail "$1: the run did not wait for RealTraffic"
  else
    wait_until 90 log_has "Traffic Reader connected" || fail "$1: the run did not reach the readers"
  fi
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

rss_kb() {
  awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status"
}

# The resident memory allowed under a flood. The address sanitizer holds freed blocks back (256 MB
# by default) and keeps shadow memory of its own: with a small quarantine its program may use
# 60 MB more than the plain one.
if ldd "$program" 2>/dev/null | grep -q libasan; then
  export ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}quarantine_size_mb=8
  flood_rss_mb=160
else
  flood_rss_mb=100
fi

# flood_case <case> <flood words> <logged line> [last flood word] [no-client]: the flood for
# $flood_seconds, still going when the close box is clicked; the line the flooded message makes is
# in the log (once at least).
flood_case() {
  local name=$1 what=$2 line=$3 last=${4:-}
  start_run "$name" "${5:-}"
  fakesim_control "flood $what $((flood_seconds + 120)) $last"
  wait_until 10 grep -q '"type":"flood"' "$work/fakesim.trace" || fail "$name: fakesim does not flood"
  local max_rss=0 rss end=$((SECONDS + flood_seconds))
  while [ $SECONDS -lt $end ]; do
    rss=$(rss_kb) || fail "$name: the program ended under the flood"
    [ "$rss" -gt "$max_rss" ] && max_rss=$rss
    sleep 0.2
  done
  local closed_at log_bytes
  echo "$name: after $flood_seconds s: log $(($(stat -c %s "$log") / 1024)) KB," \
    "largest resident memory $((max_rss / 1024)) MB"
  "$close_tool" "$window_id"
  closed_at=$EPOCHREALTIME
  expect_end "$name" 10 "Exiting: USER CLOSED SIM"
  log_bytes=$(stat -c %s "$log")
  echo "$name: ended $(seconds_since "$closed_at") s after the close with status 0, log $((log_bytes / 1024)) KB"
  log_has "$line" || fail "$name: no \"$line\""
  [ "$log_bytes" -lt $((3 * 1024 * 1024)) ] || fail "$name: the log grew to $((log_bytes / 1024)) KB"
  [ "$max_rss" -lt $((flood_rss_mb * 1024)) ] || fail "$name: resident memory $((max_rss / 1024)) MB"
  stop_fakert
  stop_stand_ins
  echo "$name: fakesim sent $(sed -n 's/.*"type":"end".*"flood_sent":\([0-9]*\).*/\1/p' "$work/fakesim.trace")" \
    "flood messages until it quit"
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

flood_case "unknown-message flood" "unknown" "! Unknown Dispatch dwID 99"
flood_case "exception flood" "exception 11" "SimConnect: too many objects (max 1000)"
# Request id 104, that of the program's creations; a simulator so busy that it takes none of the
# program's requests meanwhile ("deaf"), so that whatever the replies make it send piles up.
flood_case "creation-reply flood" "assigned 104" "! Creation reply without a creation sent, ignored" deaf
# Before RealTraffic connects the main loop does not run, and nothing takes the commands that the
# simulator's object events make.
flood_case "object-event flood before RealTraffic" "objects" "simulator command queue full (10000 commands)" "" \
  no-client
echo "simulator faults ok"
