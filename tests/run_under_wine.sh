#!/usr/bin/env bash
# Runs a Windows test program under Wine and passes on its status and output.
# Under load, Wine now and then ends a process without the program in it having a say: the
# process exits 1 a millisecond after its start, before the program printed anything (its test
# framework prints a line before any test runs), or the process is killed (SIGKILL), which no
# program under Wine does to itself. Such a run is reported and made once more. Every other end
# stands, a kill after the program reported a failure among them.
#   run_under_wine.sh <wine command...>
set -u
output=$(mktemp)
trap 'rm -f "$output"' EXIT

run() {
  "$@" >"$output" 2>&1
  status=$?
  cat "$output"
}

ended_by_wine() {
  if [ "$status" -eq 137 ]; then
    ! grep -q '^\[  FAILED  \]' "$output"
  else
    [ "$status" -ne 0 ] && [ ! -s "$output" ]
  fi
}

run "$@"
if ended_by_wine; then
  echo "run_under_wine: status $status is Wine's, not the program's; the run is made once more" >&2
  run "$@"
fi
exit "$status"
