#!/usr/bin/env bash
# The soak: the program at KLAX for ORVANTA_SOAK_SECONDS (default 3600) against the simulator
# stand-in, with the RealTraffic stand-in replaying the recorded capture in a loop, 14 copies at
# once with fresh hex ids and callsigns on every pass, the traffic range at 100 nm (the whole
# capture), MAX_LIVE at 300 and no static aircraft (ORVANTA_SOAK_PARKING_PERCENTAGE parks them on
# that share of the stands), so that every AI object in the simulator is a live one. Once a minute it samples the program's resident memory and the live aircraft in the
# simulator. It fails when the memory grows by 5 MB or more after the first 5 minutes, when a
# minute's longest pass (which the program logs when it took more than 2 ms) took more than
# 10 ms, or when the program did not end cleanly after the close box. The figures go to standard
# output, and to ORVANTA_SOAK_REPORT when set, each sample as soon as it is taken.
#   soak.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5
duration=${ORVANTA_SOAK_SECONDS:-3600}
settle=${ORVANTA_SOAK_SETTLE_SECONDS:-300} # the memory that counts as the start is sampled here
copies=${ORVANTA_SOAK_COPIES:-14}
report=${ORVANTA_SOAK_REPORT:-/dev/null}
parking=${ORVANTA_SOAK_PARKING_PERCENTAGE:-0} # static aircraft on this share of the KLAX stands
make_connected_folders
# The KLAX stands as the user's own stand file; options of every weekday count, as the captures
# were recorded on a Wednesday.
mkdir -p "$work/program/airports/my_thirdparty" "$(dirname "$parameters")"
cp "$repository_root/data/airports/KLAX.xml" "$work/program/airports/my_thirdparty/KLAX.xml"
cat >"$parameters" <<XML
<?xml version="1.0"?>
<parameters>
<parameter name="WEEK" value="true"/>
<parameter name="MAX_LIVE" value="300"/>
<parameter name="AUTO_RANGE" value="false"/>
<parameter name="LATERAL_RANGE" value="100"/>
<parameter name="CUSTOM_PARKING_PERCENTAGE" value="$parking"/>
</parameters>
XML

start_wm
start_fakesim "$fakesim" --lat 33.9425 --lon -118.408 --on-ground 1 --heading 83 --no-move-trace
start_fakert "$fakert" "$traffic" --loop --fresh-ids --copies "$copies" --seconds $((duration + 600))
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 120 log_has "Traffic Reader connected" || fail "the run did not reach the readers"

# The resident memory of the program, in kB.
rss_kb() {
  awk '/^VmRSS:/ { print $2 }' "/proc/$program_pid/status"
}

# The AI objects in the simulator stand-in, from its trace.
object_count() {
  python3 - "$work/fakesim.trace" <<'PY'
import json, sys
objects = set()
for line in open(sys.argv[1], encoding="utf-8", errors="replace"):
    try:
        entry = json.loads(line)
    except json.JSONDecodeError:
        continue  # a line being written
    if entry.get("type") == "created":
        objects.add(entry.get("object"))
    elif entry.get("type") == "removed":
        objects.discard(entry.get("object"))
print(len(objects))
PY
}

samples=$work/samples.txt
echo "== soak: $duration s at KLAX, $copies copies of the capture" | tee -a "$report"
printf '%8s %10s %6s\n' minute rss_kB live | tee -a "$report" >"$samples"
start=$SECONDS
rss_settled=
minute=0
while [ $((SECONDS - start)) -lt "$duration" ]; do
  sleep $((60 - (SECONDS - start) % 60))
  kill -0 "$program_pid" 2>/dev/null || fail "the program ended by itself after $((SECONDS - start)) s"
  minute=$(((SECONDS - start + 30) / 60))
  rss=$(rss_kb)
  printf '%8s %10s %6s\n' "$minute" "$rss" "$(object_count)" | tee -a "$report" >>"$samples"
  [ -z "$rss_settled" ] && [ $((SECONDS - start)) -ge "$settle" ] && rss_settled=$rss
done
rss_end=$(rss_kb)

close_program 120
stop_stand_ins
[ "$report" = /dev/null ] || cp "$log" "$report.Log.txt"

longest_passes=$(sed -n 's/.*Longest pass of the last minute: \([0-9.]*\) ms.*/\1/p' "$log")
longest=$(printf '%s\n' $longest_passes | sort -g | tail -n 1)
cat "$samples"
{
  echo "resident memory: ${rss_settled:-?} kB after $settle s, $rss_end kB at the end"
  echo "minutes with a pass above 2 ms: $(printf '%s\n' $longest_passes | grep -c . || true); longest pass: ${longest:-below 2} ms"
  grep -F "Longest pass of the last minute" "$log" || true
  grep -E "^fakert:" "$work/fakert.out" || true
} | tee -a "$report"

[ $status -eq 0 ] || fail "exit status $status"
grep -qx "Exiting: USER CLOSED SIM" "$log" || fail "no \"Exiting: USER CLOSED SIM\""
[ -n "$rss_settled" ] || fail "the run was shorter than $settle s"
[ $((rss_end - rss_settled)) -lt 5120 ] || fail "resident memory grew by $((rss_end - rss_settled)) kB"
[ -z "$longest" ] || python3 -c "import sys; sys.exit(0 if float('$longest') <= 10.0 else 1)" ||
  fail "a pass took $longest ms"
echo "soak ok"
