#!/usr/bin/env bash
# Runs a command on a virtual X server of its own, which ends with it.
#   on_virtual_display.sh <width>x<height>x<depth> <command> [arguments...]
set -euo pipefail
source "$(dirname "$0")/../../scripts/lib/virtual_display.sh"
screen=$1
shift
trap stop_virtual_display EXIT
start_virtual_display "$screen"
"$@"
