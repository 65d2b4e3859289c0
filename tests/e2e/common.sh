# Helpers of the whole-program runs; sourced by the test scripts, which run on a virtual X server
# (on_virtual_display.sh).
# Every wait polls a condition up to a generous deadline, so a loaded machine only makes a run
# slower, never wrong. The same scripts run the Windows program: a <program> named *.exe runs
# under Wine ($ORVANTA_WINE64) in a Wine prefix of the run, against the Linux stand-ins.

set -euo pipefail

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# wait_until <seconds> <command...>: true as soon as the command succeeds.
wait_until() {
  local limit=$1
  shift
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.05
  done
}

source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/lib/stand_ins.sh"

# A fresh program folder (with docs/), per-user data folder, runtime folder and home, and a Wine
# prefix in which Prepar3D v5 is installed.
# A <program> named *.zip is the Windows package: unpacked, its Orvanta_P3D folder is the program
# folder, and $program its Orvanta_P3D.exe.
make_folders() {
  work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-e2e.XXXXXX")
  if [[ ${program:-} == *.exe || ${program:-} == *.zip ]]; then
    use_wine "${ORVANTA_WINE64:?the Windows program runs under the wine64 that ORVANTA_WINE64 names}"
  fi
  if [[ ${program:-} == *.zip ]]; then
    make_program_folders "$program"
    program=$work/program/Orvanta_P3D.exe
  else
    make_program_folders
  fi
}

# need_files <file...>: a run whose programs were not built here is skipped (the Windows runs use
# the stand-ins and tools of the Linux build).
need_files() {
  local file
  for file in "$@"; do
    [ -f "$file" ] || { echo "skipped: no $file (the Linux build's tools, ORVANTA_HOST_TOOLS_DIR)"; exit 77; }
  done
}

# The stand-ins of a connected run end with it; fakesim says QUIT first.
stop_stand_ins() {
  [ -n "${fakesim_pid:-}" ] && { fakesim_control quit; stop_process "$fakesim_pid" 10; }
  [ -n "${fakert_pid:-}" ] && stop_process "$fakert_pid" 10
  fakesim_pid= fakert_pid=
}

fixed_ports_free() {
  [ -z "$(ss -uanH '( sport = :49004 or sport = :49005 )')" ] && [ -z "$(ss -tlnH '( sport = :10747 )')" ]
}

# The program's RealTraffic link is this run's fakert: fakert of another run on this machine
# keeps trying the same port and may have been taken instead. The peer of the program's
# connection is fakert's end.
link_is_ours() {
  local peer ours
  peer=$(ss -tnpH state established "( sport = :10747 )" | grep "pid=$program_pid," | awk '{print $4}')
  ours=$(ss -tnpH state established "( dport = :10747 )" | grep "pid=$fakert_pid," | awk '{print $3}')
  [ -n "$ours" ] && [ "$peer" = "$ours" ]
}

# The folders of a connected run: the RealTraffic client installed, the running version on the
# download server, and the stand-ins stopped when the script ends.
make_connected_folders() {
  # The program's fixed ports are shared by every connected run on this machine (another build's
  # too): one that is still running would take this run's traffic.
  wait_until 600 fixed_ports_free || fail "the ports 49004, 49005 and 10747 stay taken"
  make_folders
  install_realtraffic_client
  publish_version "10.9.8"
  # cleanup shows the log when the script failed: it is told the script's status.
  trap 'status=$?; stop_stand_ins; cleanup "$status"' EXIT
}

# Openbox names its theme and the work area only at the end of its start-up; a window mapped
# before that may never be managed.
wm_ready() {
  local root
  root=$(xprop -root _NET_SUPPORTING_WM_CHECK _OB_THEME _NET_WORKAREA)
  echo "$root" | grep -q "_NET_SUPPORTING_WM_CHECK(WINDOW)" &&
    echo "$root" | grep -q "_OB_THEME(UTF8_STRING)" &&
    echo "$root" | grep -q "_NET_WORKAREA(CARDINAL)"
}

start_wm() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  wm_pid=$!
  wait_until 60 wm_ready || fail "the window manager did not come up: $(cat "$work/openbox.log")"
}

# start_program <program>: runs it in the program folder; sets program_pid.
start_program() {
  (cd "$work/program" && run_program "$1") &
  program_pid=$!
}

# The program's window, once the window manager shows it.
find_window() {
  window_id=$(xdotool search --name '^Orvanta_P3D$' | head -n 1)
  [ -n "$window_id" ] && xwininfo -id "$window_id" | grep -q "IsViewable"
}

# The value stored for a key in parameters.xml.
stored() {
  grep -o "name=\"$1\" value=\"[^\"]*\"" "$parameters" | sed 's/.*value="\([^"]*\)"/\1/'
}

stored_is() {
  [ -f "$parameters" ] && [ "$(stored "$1")" = "$2" ]
}

log_has() {
  [ -f "$log" ] && grep -qF -- "$1" "$log"
}

# A whole line of the log (the Windows program ends its lines with CR LF).
log_has_line() {
  [ -f "$log" ] && tr -d '\r' <"$log" | grep -qx -- "$1"
}

process_ended() {
  ! kill -0 "$1" 2>/dev/null
}

# close_program <seconds>: clicks the close box of the window ($close_tool, $window_id) and waits
# for the program's end within the seconds; its exit status is left in `status`.
close_program() {
  "$close_tool" "$window_id"
  wait_until "$1" process_ended "$program_pid" || fail "the program did not end within $1 s of the close"
  set +e
  wait "$program_pid"
  status=$?
  set -e
  program_pid=
}

# cleanup [status]: the status of the script, else that of the last command.
cleanup() {
  local status=${1:-$?}
  for pid in ${program_pid:-} ${wm_pid:-}; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ -n "${wine:-}" ]; then
    wineserver -k 2>/dev/null || true
    wineserver -w 2>/dev/null || true
  fi
  if [ $status -ne 0 ] && [ $status -ne 77 ] && [ -f "${log:-}" ]; then
    echo "--- Log.txt" >&2
    # A flooded log would bury the failure: of a large one its end is enough.
    if [ "$(stat -c %s "$log")" -le $((1024 * 1024)) ]; then
      cat "$log" >&2
    else
      echo "(the last 400 lines of $(stat -c %s "$log") bytes)" >&2
      tail -n 400 "$log" >&2
    fi
  fi
  # The caller of a run that reads its log afterwards names the copy to keep.
  if [ -n "${ORVANTA_E2E_KEPT_LOG:-}" ] && [ -f "${log:-}" ]; then
    cp "$log" "$ORVANTA_E2E_KEPT_LOG"
  fi
  rm -rf "${work:?}"
}
