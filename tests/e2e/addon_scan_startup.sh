#!/usr/bin/env bash
# The start-up with 2,000 add-on airports to scan, against a download server on this machine that
# answers every request after a delay (tests/e2e/delaying_server.py): each round starts the
# program once with the server answering at once and once with it answering 20 ms late, and
# prints both start-up times (program start to "Waiting for Prepar3Dv5 ...") and their ratio.
# The scenery is 2,000 copies of the recorded LEAB files, each with an airport code of its own;
# the stock archive holds a file for every fourth airport. A timed tool run, not a test:
#   xvfb-run -a bash tests/e2e/addon_scan_startup.sh <program> [rounds] [delay ms]
#   (TMPDIR chooses the file system of the program folder; the first start, which also scans
#   the liveries, is not counted)
source "$(dirname "$0")/common.sh"
program=$(realpath "$1")
rounds=${2:-3}
delay_ms=${3:-20}
airports=2000
data=${ORVANTA_SHARED_DATA_DIR:-$repository_root/../shared/data}
make_folders
trap 'status=$?; stop_server; cleanup "$status"' EXIT

scenery=$work/addon_scenery
server_folder=$work/program/server
python3 - "$data/bgl" "$scenery" "$server_folder/P3D/archive/stock" "$airports" <<'PYTHON'
import os, struct, sys
data, scenery, stock, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])

def packed(code):
    value = 0
    for c in code:
        value = value * 38 + (ord(c) - 46 if c.isdigit() else ord(c) - 53)
    return value

def code_of(n):
    code = "Q"
    for _ in range(3):
        code += chr(ord("A") + n % 26)
        n //= 26
    return code

layouts = [open(os.path.join(data, name), "rb").read() for name in ("LEAB_ADEP5_ARV187.bgl", "LEAB_ADEP4_ARV187.bgl")]
source = packed("LEAB")
os.makedirs(stock, exist_ok=True)
for n in range(count):
    code = code_of(n)
    target = packed(code)
    content = bytearray(layouts[n % 2])
    for at in range(len(content) - 3):
        (word,) = struct.unpack_from("<I", content, at)
        if word >> 5 == source:
            struct.pack_into("<I", content, at, (target << 5) | (word & 31))
    folder = os.path.join(scenery, f"area{n // 100}")
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, code + ".bgl"), "wb") as out:
        out.write(content)
    if n % 4 == 0:
        week = 20 if n % 8 == 0 else 10
        with open(os.path.join(stock, code + ".xml"), "w") as out:
            out.write('<?xml version="1.0"?>\n<parameters>\n<parameter name="Qf_real" value="3"/>\n'
                      f'<parameter name="WEEK" value="{week}"/>\n</parameters>\n<parkpositions/>\n')
PYTHON
publish_version "10.9.8"

server_pid=
start_server() {
  rm -f "$work/port" "$work/port.requests"
  python3 "$(dirname "$0")/delaying_server.py" "$server_folder" "$1" "$work/port" &
  server_pid=$!
  wait_until 30 test -s "$work/port" || fail "the download server did not start"
  export ORVANTA_DOWNLOAD_BASE="http://127.0.0.1:$(cat "$work/port")/"
}
stop_server() {
  [ -n "$server_pid" ] || return 0
  kill "$server_pid" 2>/dev/null || true
  wait "$server_pid" 2>/dev/null || true
  server_pid=
}

# set_parameter <name> <value>: in parameters.xml, made when the program has not saved one yet.
set_parameter() {
  mkdir -p "$(dirname "$parameters")"
  [ -f "$parameters" ] || printf '<?xml version="1.0"?>\n<parameters>\n</parameters>\n' >"$parameters"
  if grep -q "name=\"$1\"" "$parameters"; then
    sed -i "s|name=\"$1\" value=\"[^\"]*\"|name=\"$1\" value=\"$2\"|" "$parameters"
  else
    sed -i "s|</parameters>|<parameter name=\"$1\" value=\"$2\"/>\n</parameters>|" "$parameters"
  fi
}

start_up_ended() {
  log_has "Waiting for Prepar3Dv5 ..." || process_ended "$program_pid"
}

# start_up <delay ms>: the seconds from the program's start to the end of its start-up.
start_up() {
  start_server "$1"
  set_parameter SCAN_AIRPORTS true
  set_parameter AFG_AUTOMATIC false
  set_parameter afolder0 "$scenery"
  rm -f "$log"
  local started ended
  started=$(date +%s.%N)
  start_program "$program"
  wait_until 600 start_up_ended || fail "the start-up did not end"
  log_has "Waiting for Prepar3Dv5 ..." || fail "the program ended during its start-up"
  ended=$(date +%s.%N)
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
  stop_server
  log_has "AirportsScanLog.txt written" || fail "the add-on airports were not scanned"
  [ "$(ls "$work/program/airports/my_thirdparty" | grep -c '\.xml$')" -eq "$airports" ] ||
    fail "not every add-on airport got its generated file"
  echo "$ended - $started" | bc
}

start_up 0 >/dev/null # also scans the liveries, and fills the file cache
echo "round  no delay (s)  ${delay_ms} ms delay (s)  ratio  requests"
for round in $(seq 1 "$rounds"); do
  plain=$(start_up 0)
  delayed=$(start_up "$delay_ms")
  printf '%5d  %12.2f  %17.2f  %5.2f  %8d\n' "$round" "$plain" "$delayed" "$(echo "$delayed / $plain" | bc -l)" \
    "$(cat "$work/port.requests")"
done
