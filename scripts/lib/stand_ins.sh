# The world around the program, for the demo and the whole-program tests: a program folder, a
# per-user data folder with the RealTraffic client "installed", a Wine prefix with Prepar3D v5
# installed, the simulator stand-in (tools/fakesim) and the RealTraffic stand-in (tools/fakert).
# The same folders serve the Linux program and the Windows one under Wine (use_wine first): for
# the Windows program the prefix is a real Wine prefix of the run, the registry is written with
# `wine reg add` and the per-user folders are the Wine user's.
# Sourced by bash scripts; every function works below the folder in $work.

repository_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
sample_dbase_folder=$repository_root/tests/liveries/fixtures/dbase
sample_airports_file=$repository_root/data/airports/airports_p3d.xml

# use_wine <wine64>: the folders, the program and the stand-ins' links are those of the Windows
# program under Wine from now on.
use_wine() {
  wine=$1
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  # Debian keeps wineserver beside wine64, outside PATH.
  PATH=$(dirname "$(readlink -f "$wine")"):$PATH
}

# A fresh set of folders below $work; exports the variables that point the program at them.
# Sets parameters (the settings file), log (Log.txt), appdata (the per-user data folder) and
# simconnect_cfg_folder (where the stand-in's SimConnect.cfg goes).
# make_program_folders <package.zip>: the program folder is the Windows package's folder alone,
# unpacked into an empty folder as a simmer does, and the program reads its data base from the
# download folder the package carries.
make_program_folders() {
  local package=${1:-}
  if [ -n "$package" ]; then
    install_package "$package"
  else
    mkdir -p "$work/program/docs" "$work/program/server/release"
  fi
  mkdir -p "$work/runtime" "$work/home/Documents"
  chmod 700 "$work/runtime"
  export XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
  export XDG_DOCUMENTS_DIR=$work/home/Documents WINEPREFIX=$work/wine
  if [ -n "${wine:-}" ]; then
    make_wine_prefix
  else
    appdata=$work/config
    simconnect_cfg_folder=$work/program
    [ -n "$package" ] || export ORVANTA_DOWNLOAD_BASE="file://$work/program/server/"
    mkdir -p "$WINEPREFIX"
    printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' \
      '[Software\\Lockheed Martin\\Prepar3D v5] 1700000000' \
      '"SetupPath"="C:\\Prepar3D v5\\"' >"$WINEPREFIX/system.reg"
  fi
  mkdir -p "$appdata/InsideSystems" "$WINEPREFIX/drive_c/Prepar3D v5/Scenery"
  # AI aircraft with the liveries of the airlines that fly around Los Angeles.
  python3 "$repository_root/scripts/lib/make_ai_liveries.py" "$WINEPREFIX/drive_c/Prepar3D v5" \
    "$WINEPREFIX/drive_c/ProgramData/Lockheed Martin/Prepar3D v5"
  # The sample model and airline data base and the registration-code list of the AI liveries,
  # served as the download server would, and the airport data base that comes with the program.
  if [ -z "$package" ]; then
    (cd "$sample_dbase_folder" && zip -q "$work/program/server/dbase.zip" temp2.xml &&
      zip -q "$work/program/server/AIG-regcodes.zip" AIG-regcodes.xml)
    mkdir -p "$work/program/input"
    cp "$sample_airports_file" "$work/program/input/airports_p3d.xml"
  fi
  parameters=$appdata/Orvanta_P3D/parameters.xml
  log=$work/program/Log.txt
}

# The Wine prefix of the Windows program, with Prepar3D v5 in its registry. Wine links the
# user's Documents folder to $XDG_DOCUMENTS_DIR.
make_wine_prefix() {
  "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || {
    echo "the Wine prefix could not be made: $(cat "$work/wineboot.log")" >&2
    return 1
  }
  wineserver --wait
  "$wine" reg add 'HKLM\Software\Lockheed Martin\Prepar3D v5' /v SetupPath /d 'C:\Prepar3D v5\' /f \
    >>"$work/wineboot.log" 2>&1 || { echo "the simulator's registry key could not be written" >&2; return 1; }
  local user
  user=$(cd "$WINEPREFIX/drive_c/users" && ls -d */AppData/Roaming | head -n 1 | cut -d/ -f1)
  [ -n "$user" ] || { echo "the Wine prefix has no user folder" >&2; return 1; }
  appdata=$WINEPREFIX/drive_c/users/$user/AppData/Roaming
  simconnect_cfg_folder=$WINEPREFIX/drive_c/users/$user/Documents
  [ -n "$package" ] || export ORVANTA_DOWNLOAD_BASE="file:///Z:$work/program/server/"
}

# install_package <zip>: the Windows package unpacked as a simmer does into an empty folder,
# its Orvanta_P3D folder made the program folder.
install_package() {
  rm -rf "$work/unpacked" "$work/program"
  unzip -q "$1" -d "$work/unpacked"
  [ -f "$work/unpacked/Orvanta_P3D/Orvanta_P3D.exe" ] || { echo "no Orvanta_P3D/Orvanta_P3D.exe in $1" >&2; return 1; }
  mv "$work/unpacked/Orvanta_P3D" "$work/program"
  rm -rf "$work/unpacked"
}

# run_program <program>: runs it here, the Windows program under Wine; replaces the shell.
run_program() {
  if [ -n "${wine:-}" ]; then
    exec "$wine" "$1"
  fi
  exec "$1"
}

# The simulator's install folder as the program's install-path box takes it.
simulator_install_path() {
  if [ -n "${wine:-}" ]; then
    echo 'C:\Prepar3D v5'
  else
    echo "$WINEPREFIX/drive_c/Prepar3D v5"
  fi
}

# The RealTraffic client on this PC: its program in the per-user data folder.
install_realtraffic_client() {
  : >"$appdata/InsideSystems/RealTraffic.jar"
}

# The newest released version on the download server.
publish_version() {
  printf '%s\r\n' "$1" >"$work/program/server/release/version_P3D.json"
}

# start_fakesim <fakesim> [options...]: the simulator stand-in with its trace and control file.
# A stand-in named *.exe runs under Wine. The link is $ORVANTA_FAKESIM_TRANSPORT: "tcp" (the default),
# where the stand-in listens on a free TCP port of 127.0.0.1 and the program finds it through
# SimConnect.cfg ($simconnect_cfg_folder); or "pipe", where it serves the simulator's named pipe,
# which the program tries first when no SimConnect.cfg names another way.
# Sets fakesim_pid and fakesim_port (0 for the pipe).
start_fakesim() {
  local program=$1
  shift
  local command=("$program")
  [[ $program == *.exe ]] && command=("${wine:?a Windows stand-in needs use_wine}" "$program")
  local transport=${ORVANTA_FAKESIM_TRANSPORT:-tcp}
  local link=(--port 0)
  [ "$transport" = pipe ] && link=(--no-tcp --pipe '\\.\pipe\Lockheed Martin Prepar3D v5\SimConnect')
  : >"$work/fakesim.control"
  "${command[@]}" "${link[@]}" --trace "$work/fakesim.trace" --control "$work/fakesim.control" --no-stdin "$@" \
    >"$work/fakesim.out" 2>"$work/fakesim.err" &
  fakesim_pid=$!
  local i
  for i in $(seq 1 1200); do
    fakesim_port=$(head -n 1 "$work/fakesim.out" 2>/dev/null | tr -d '\r' || true)
    [ -n "$fakesim_port" ] && break
    sleep 0.05
  done
  [ -n "$fakesim_port" ] || { echo "fakesim did not start: $(cat "$work/fakesim.err")" >&2; return 1; }
  [ "$transport" = pipe ] && return 0
  mkdir -p "$simconnect_cfg_folder"
  printf '[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=%s\r\n' "$fakesim_port" \
    >"$simconnect_cfg_folder/SimConnect.cfg"
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
