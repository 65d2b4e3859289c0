#!/usr/bin/env bash
# A connected run: the program against the simulator stand-in and the RealTraffic stand-in for
# about 40 s, then the close box.
#   connected_run.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5
need_files "$fakesim" "$fakert" "$close_tool"
make_connected_folders
mkdir -p "$(dirname "$parameters")"
cat >"$parameters" <<'XML'
<?xml version="1.0"?>
<parameters>
<parameter name="DESTINATION" value="KLAX"/>
<parameter name="BLOCK_CALLSIGN" value="DAL123"/>
</parameters>
XML

start_wm
start_fakesim "$fakesim" --lat 33.9425 --lon -118.408 --on-ground 1
start_fakert "$fakert" "$traffic" --seconds 300
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"

# The start-up's steps in their order, the simulator, the RealTraffic link, the readers.
wait_until 90 log_has "Traffic Reader connected" || fail "the run did not reach the readers"
order=("P3Dv5detected" "RealTraffic detected at this PC" "Waiting for Prepar3Dv5 ..."
  "Lockheed Martin Prepar3D v5 (5.3.17.28160) connected" "RealTraffic connected" "QNH Reader connected"
  "Traffic Reader connected")
previous=0
for text in "${order[@]}"; do
  line=$(grep -nF -- "$text" "$log" | head -n 1 | cut -d: -f1)
  [ -n "$line" ] || fail "no \"$text\" in the log"
  [ "$line" -gt "$previous" ] || fail "\"$text\" out of order"
  previous=$line
done

# 35 s of the main loop; the program asks for the aircraft in range once every 100 passes.
sleep 35
log_has "No traffic in this region?" && fail "the traffic reader saw no traffic"
# The recorded traffic becomes aircraft in the simulator, which the program then moves.
trace_has() {
  grep -q "\"type\":\"$1\"" "$work/fakesim.trace"
}
wait_until 120 trace_has created || fail "no aircraft created in the simulator"
wait_until 60 trace_has moved || fail "no aircraft moved in the simulator"
close_program 120
[ $status -eq 0 ] || fail "exit status $status"
stop_stand_ins

log_has_line "Exiting: USER CLOSED SIM" || fail "no \"Exiting: USER CLOSED SIM\""
[ "$(stored DESTINATION)" = "" ] || fail "DESTINATION kept: $(stored DESTINATION)"
[ "$(stored BLOCK_CALLSIGN)" = "" ] || fail "BLOCK_CALLSIGN kept: $(stored BLOCK_CALLSIGN)"
# Every aircraft created is gone from the simulator when the program has ended, and every one
# that the program moved (in the simulator, in its hands) it removed itself before it closed the
# connection, rather than leave it to go with the connection.
python3 - "$work/fakesim.trace" <<'PY' || fail "aircraft left in the simulator, or left to go with the connection"
import json, sys
entries = [json.loads(line) for line in open(sys.argv[1])]
created = {e["object"] for e in entries if e.get("type") == "created"}
moved = {e["object"] for e in entries if e.get("type") == "moved"}
removed = {e["object"]: e.get("by") for e in entries if e.get("type") == "removed"}
by_program = sum(1 for o in created if removed.get(o) == "client")
print(f"aircraft created: {len(created)}, moved: {len(moved)}, removed by the program: {by_program}, "
      f"with the connection: {sum(1 for o in created if removed.get(o) == 'disconnect')}")
left = sorted(o for o in moved if removed.get(o) != "client")
if left:
    print(f"moved by the program but not removed by it: {left}")
sys.exit(0 if created and created <= removed.keys() and moved and not left else 1)
PY
grep -q "^Qs999=version$" "$work/fakert.received" || fail "no version query"
grep -q "^exit$" "$work/fakert.received" || fail "no exit line to the client"
grep -q "^fakert: [1-9][0-9]* traffic lines sent" "$work/fakert.out" || fail "fakert sent no traffic"

summary=$(python3 "$(dirname "$0")/../../scripts/lib/summarize_run.py" "$log" "$work/fakesim.trace" \
  "$work/fakert.received" "$work/fakert.out")
echo "$summary"
pace=$(echo "$summary" | sed -n 's/.*main loop pace: \([0-9.]*\) passes a second.*/\1/p')
[ -n "$pace" ] || fail "no main loop pace"
python3 -c "import sys; p=float('$pace'); sys.exit(0 if 95.0 <= p <= 101.0 else 1)" ||
  fail "main loop pace $pace passes a second"
# The one-second user-aircraft data: one request and a reply a second at least.
data=$(python3 -c "import json,sys; print([json.loads(l) for l in open(sys.argv[1])][-1]['data_sent'])" "$work/fakesim.trace")
[ "$data" -ge 35 ] || fail "only $data data messages from the simulator"
echo "connected run ok"
