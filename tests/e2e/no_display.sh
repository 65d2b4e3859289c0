#!/usr/bin/env bash
# Without a display the program makes no window: it logs "initInstance failed" and ends with 0.
#   no_display.sh <program>
source "$(dirname "$0")/common.sh"
program=$1
make_folders
trap cleanup EXIT
unset DISPLAY
set +e
(cd "$work/program" && timeout 120 "$program")
status=$?
set -e
[ $status -eq 0 ] || fail "exit status $status"
grep -qx "initInstance failed" "$log" || fail "no \"initInstance failed\" in the log"
echo "no display ok"
