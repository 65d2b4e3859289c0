#!/usr/bin/env bash
# The close box while the stand-file reader still fetches from a download server that answers
# its stock airport files 15 s late: the user aircraft stands at KLAX, whose stand file is the
# user's, and the reader asks the server for the file of its neighbour KHHR. The program ends
# within a few seconds of the close, as it does without the download, with status 0, and leaves
# no part of the file behind.
#   close_during_download.sh <program> <fakesim> <fakert> <wm_close_window> <traffic file>
source "$(dirname "$0")/common.sh"
program=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5
need_files "$fakesim" "$fakert" "$close_tool"
make_connected_folders
server_pid=
trap 'status=$?; [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null; stop_stand_ins; cleanup "$status"' EXIT
mkdir -p "$work/program/airports/my_thirdparty"
cp "$repository_root/data/airports/KLAX.xml" "$work/program/airports/my_thirdparty/KLAX.xml"

python3 "$(dirname "$0")/delaying_server.py" "$work/program/server" 15000 "$work/port" archive/stock/ &
server_pid=$!
wait_until 30 test -s "$work/port" || fail "the download server did not start"
export ORVANTA_DOWNLOAD_BASE="http://127.0.0.1:$(cat "$work/port")/"

start_wm
start_fakesim "$fakesim" --lat 33.9425 --lon -118.408 --on-ground 1
start_fakert "$fakert" "$traffic" --seconds 300
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 120 log_has "Airport KLAX is closest, neighbour is KHHR" || fail "the park-airport check did not look at KLAX"
wait_until 60 grep -q "stock/KHHR.xml" "$work/port.waiting" || fail "the reader did not ask the server for KHHR"

closed_at=$(date +%s.%N)
close_program 8
ended_after=$(python3 -c "import sys, time; print(f'{time.time() - float(sys.argv[1]):.1f}')" "$closed_at")
[ $status -eq 0 ] || fail "exit status $status"
log_has_line "Exiting: USER CLOSED SIM" || fail "no \"Exiting: USER CLOSED SIM\""
[ ! -e "$work/program/KHHR.xml" ] || fail "the part of KHHR.xml that was fetched is left in the program folder"
echo "the program ended $ended_after s after the close box"
echo "close during download ok"
