#!/usr/bin/env bash
# Traffic beyond any real client: a burst of a whole capture at once is taken without a loss,
# then a flood of 50,000 traffic lines a second for the given seconds leaves the program's memory
# under 150 MB, its log at a few lines a second and its close prompt.
#   traffic_flood.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file> <seconds>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5 flood_seconds=$6
flood_rate=50000
make_connected_folders
mkdir -p "$(dirname "$parameters")"
cat >"$parameters" <<'XML'
<?xml version="1.0"?>
<parameters>
<parameter name="DESTINATION" value="KLAX"/>
</parameters>
XML

# The traffic reader's socket as the kernel sees it: its unread bytes and the datagrams it
# dropped for want of room.
reader_socket() {
  ss -uamnH "( sport = :49005 )" | tr '\n' ' '
}
unread_bytes() {
  reader_socket | awk '{print $2}'
}
kernel_drops() {
  reader_socket | sed -n 's/.*,d\([0-9]*\)).*/\1/p'
}
reader_idle() {
  [ "$(unread_bytes)" = 0 ]
}
rss_kb() {
  awk '/^VmRSS:/ {print $2}' "/proc/$program_pid/status"
}
log_lines() {
  wc -l <"$log"
}

start_wm
start_fakesim "$fakesim" --lat 33.9425 --lon -118.408 --on-ground 1 --no-move-trace
start_fakert "$fakert" "$traffic" --seconds 900
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 90 log_has "Traffic Reader connected" || fail "the run did not reach the readers"
wait_until 10 reader_idle || fail "the traffic reader does not read"

# The burst: the whole capture as fast as fakert sends it.
drops_before=$(kernel_drops)
"$fakert" --file "$traffic" --speed 100000 --no-tcp --qnh-period 0 >"$work/burst.out" 2>&1
burst=$(sed -n 's/^fakert: \([0-9]*\) traffic lines sent.*/\1/p' "$work/burst.out")
wait_until 60 reader_idle || fail "the burst was not read"
[ "$(kernel_drops)" = "$drops_before" ] || fail "the kernel dropped $(($(kernel_drops) - drops_before)) of the burst's $burst lines"
log_has "traffic queue full" && fail "the queue dropped lines of a burst of $burst"
echo "burst: $burst lines sent at once, none dropped"

# The flood, from a second client that sends no QNH and does not connect.
lines_before=$(log_lines)
drops_before=$(kernel_drops)
"$fakert" --file "$traffic" --flood "$flood_rate" --seconds "$flood_seconds" --no-tcp --qnh-period 0 \
  >"$work/flood.out" 2>&1 &
flood_pid=$!
max_rss=0
while ! process_ended "$flood_pid"; do
  rss=$(rss_kb)
  [ "$rss" -gt "$max_rss" ] && max_rss=$rss
  sleep 0.2
done
wait "$flood_pid"
sent=$(sed -n 's/^fakert: \([0-9]*\) traffic lines sent.*/\1/p' "$work/flood.out")
wait_until 60 reader_idle || fail "the reader is still behind 60 s after the flood"
dropped_by_kernel=$(($(kernel_drops) - drops_before))
logged=$(($(log_lines) - lines_before))
echo "flood: $sent lines in $flood_seconds s ($((sent / flood_seconds)) a second), $dropped_by_kernel of them" \
  "dropped by the kernel for a full socket"
echo "flood: largest resident memory $((max_rss / 1024)) MB, $logged log lines"
[ "$sent" -ge $((flood_rate * flood_seconds / 2)) ] || fail "fakert sent only $sent lines"
[ "$max_rss" -lt $((150 * 1024)) ] || fail "resident memory $((max_rss / 1024)) MB under the flood"
log_has "traffic queue full" || fail "the flood never filled the queue"
[ "$logged" -le $((3 * flood_seconds + 10)) ] || fail "$logged log lines in a flood of $flood_seconds s"

close_program 40
[ $status -eq 0 ] || fail "exit status $status"
log_has "Exiting: USER CLOSED SIM" || fail "no \"Exiting: USER CLOSED SIM\""
grep "traffic queue full" "$log" | tail -n 1
echo "traffic flood ok"
