# The world around the program, for the demo and the whole-program tests: a program folder, a
# per-user data folder with the RealTraffic client "installed", a Wine prefix with Prepar3D v5
# installed, the simulator stand-in (tools/fakesim) and the RealTraffic stand-in (tools/fakert).
# Sourced by bash scripts; every function works below the folder in $work.

repository_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sample_dbase_folder=$repository_root/tests/liveries/fixtures/dbase
sample_airports_file=$repository_root/data/airports/airports_p3d.xml

# A fresh set of folders below $work; exports the variables that point the program at them.
make_program_folders() {
  mkdir -p "$work/program/docs" "$work/program/server/release" "$work/config/InsideSystems" \
    "$work/runtime" "$work/home/Documents"
  chmod 700 "$work/runtime"
  export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
  export XDG_DOCUMENTS_DIR=$work/home/Documents WINEPREFIX=$work/wine
  export ORVANTA_DOWNLOAD_BASE="file://$work/program/server/"
  mkdir -p "$WINEPREFIX/drive_c/Prepar3D v5/Scenery"
  # AI aircraft with the liveries of the airlines that fly around Los Angeles.
  python3 "$repository_root/scripts/lib/make_ai_liveries.py" "$WINEPREFIX/drive_c/Prepar3D v5" \
    "$WINEPREFIX/drive_c/ProgramData/Lockheed Martin/Prepar3D v5"
  printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' \
    '[Software\\Lockheed Martin\\Prepar3D v5] 1700000000' \
    '"SetupPath"="C:\\Prepar3D v5\\"' >"$WINEPREFIX/system.reg"
  # The sample model and airline data base, served as the download server would, and the
  # airport data base that comes with the program.
  (cd "$sample_dbase_folder" && zip -q "$work/program/server/dbase.zip" temp2.xml)
  mkdir -p "$work/program/input"
  cp "$sample_airports_file" "$work/program/input/airports_p3d.xml"
  parameters=$work/config/Orvanta_P3D/parameters.xml
  log=$work/program/Log.txt
}

# The RealTraffic client on this PC: its program in the per-user data folder.
install_realtraffic_client() {
  : >"$work/config/InsideSystems/RealTraffic.jar"
}

# The newest released version on the download server.
publish_version() {
  printf '%s\r\n' "$1" >"$work/program/server/release/version_P3D.json"
}

# start_fakesim <fakesim> [options...]: the simulator stand-in with its trace and control file;
# the program finds it through SimConnect.cfg in its folder. Sets fakesim_pid and fakesim_port.
start_fakesim() {
  local program=$1
  shift
  : >"$work/fakesim.control"
  "$program" --port 0 --trace "$work/fakesim.trace" --control "$work/fakesim.control" --no-stdin "$@" \
    >"$work/fakesim.out" 2>"$work/fakesim.err" &
  fakesim_pid=$!
  local i
  for i in $(seq 1 600); do
    fakesim_port=$(head -n 1 "$work/fakesim.out" 2>/dev/null || true)
    [ -n "$fakesim_port" ] && break
    sleep 0.05
  done
  [ -n "$fakesim_port" ] || { echo "fakesim did not start: $(cat "$work/fakesim.err")" >&2; return 1; }
  printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$fakesim_port" \
    >"$work/program/SimConnect.cfg"
}

# fakesim_control <line>: one control line for the running stand-in.
fakesim_control() {
  echo "$1" >>"$work/fakesim.control"
}

# start_fakert <fakert> <traffic file> [options...]: replays the file, serves the TCP link and
# records what the program sends. Sets fakert_pid.
start_fakert() {
  local program=$1 file=$2
  shift 2
  "$program" --file "$file" --record "$work/fakert.received" "$@" >"$work/fakert.out" 2>"$work/fakert.err" &
  fakert_pid=$!
}

# stop_process <pid> <seconds>: waits for the process to end, else ends it.
stop_process() {
  local pid=$1 limit=$2 i
  for i in $(seq 1 $((limit * 20))); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
}
