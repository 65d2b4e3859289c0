#!/usr/bin/env bash
# The first start of the download as a simmer makes it: the zip unpacked alone into an empty
# folder of a fresh Wine prefix in which only Prepar3D v5 is installed (its registry key and its
# folders), no RealTraffic client, no settings, no download folder laid out beside it. The
# program reads the data base from the folder the package carries, shows its window, reaches the
# wait for the simulator and ends at the close box.
#   first_start.sh <package.zip> <wm_close_window>
# Runs on a virtual X server (on_virtual_display.sh).
source "$(dirname "$0")/common.sh"
program=$1 close_tool=$2
need_files "$close_tool"
make_folders
trap 'status=$?; cleanup "$status"' EXIT
[ -z "${ORVANTA_DOWNLOAD_BASE:-}" ] || fail "a download base is laid out: $ORVANTA_DOWNLOAD_BASE"

start_wm
start_program "$program"
wait_until 60 find_window || fail "no window titled Orvanta_P3D"
wait_until 120 log_has "Waiting for Prepar3Dv5" || fail "the first start did not reach the wait for the simulator"
grep -qiE "sys error|^Error " "$log" && fail "the first start logged an error: $(grep -iE "sys error|^Error " "$log" | head -n 3)"
# Nor the warnings of a download folder without what the package carries.
unmeant_warnings=(
  "downloading AIG-regcodes.zip failed?"
  'reading input\AIG-regcodes.xml failed?'
  "reading AIG-regcodes failed?"
)
for warning in "${unmeant_warnings[@]}"; do
  log_has "$warning" && fail "the first start logged \"$warning\""
done
kill -0 "$program_pid" || fail "the program ended"
close_program 120
[ $status -eq 0 ] || fail "exit status $status"
echo "first start ok"
