#!/usr/bin/env bash
# Each file the program reads at start-up, damaged (cut in half, binary garbage, UTF-16 without
# a byte-order mark): the program neither crashes nor hangs; it either goes on to wait for the
# simulator or stops start-up with a user error that names the file, as each file's rules say;
# a damage that loses the file's content is reported with the file's name; the damaged file is
# left for the user; and no other file the program keeps is lost.
#   damaged_files.sh <program>
source "$(dirname "$0")/common.sh"
program=$1
make_folders
trap cleanup EXIT
start_wm

# A first start makes the files a start-up reads (the livery scan's result, the user's park
# airports with the saved destination); they are kept and restored before every case.
mkdir -p "$(dirname "$parameters")"
printf '%s\n' '<?xml version="1.0"?>' '<parameters>' '<parameter name="DESTINATION" value="KLAX"/>' \
  '</parameters>' >"$parameters"
publish_version "10.9.8"
# The park airport list is written on its own thread, so the wait for the simulator can be
# logged before the list is on disk.
started() {
  log_has "Waiting for Prepar3Dv5 ..." && [ -s "$work/program/airports/my_park_airports.txt" ]
}
start_program "$program"
wait_until 120 started || fail "the first start did not reach the wait for the simulator"
kill "$program_pid"
wait "$program_pid" 2>/dev/null || true
program_pid=
kept_files=("$parameters" "$work/program/output/LiveriesScanned.xml" "$work/program/airports/my_park_airports.txt"
  "$work/program/input/airports_p3d.xml" "$work/program/server/dbase.zip")
for file in "${kept_files[@]}"; do
  [ -s "$file" ] || fail "the first start left no $file"
done
mkdir -p "$work/pristine"
cp -a "$work/program" "$work/config" "$work/pristine/"

# damage <how> <file>
damage() {
  local size
  size=$(stat -c %s "$2")
  case $1 in
    truncated) truncate -s $((size / 2)) "$2" ;;
    garbage) head -c "$size" /dev/urandom >"$2" ;;
    utf16) iconv -f UTF-8 -t UTF-16LE "$2" >"$2.utf16" && mv "$2.utf16" "$2" ;;
  esac
}

# The data base comes zipped from the download server; its damage is that of the file inside.
damage_dbase() {
  mkdir -p "$work/dbase"
  (cd "$work/dbase" && unzip -qo "$work/program/server/dbase.zip" && damage "$1" temp2.xml &&
    rm "$work/program/server/dbase.zip" && zip -q "$work/program/server/dbase.zip" temp2.xml)
}

stopped_or_started() {
  started || grep -qE "^Error [0-9]+: " "$log"
}

# run_case <file> <name in messages> <how> <go|stop> <named|quiet>
run_case() {
  local file=$1 name=$2 how=$3 expected=$4 told=$5 case="$2 $3"
  rm -rf "$work/program" "$work/config"
  cp -a "$work/pristine/program" "$work/pristine/config" "$work/"
  rm -f "$log"
  if [ "$file" = dbase ]; then damage_dbase "$how"; else damage "$how" "$file"; fi
  start_program "$program"
  wait_until 120 stopped_or_started || fail "$case: start-up neither went on nor stopped"
  process_ended "$program_pid" && fail "$case: the program ended"
  if started; then
    [ "$expected" = go ] || fail "$case: start-up went on"
  else
    [ "$expected" = stop ] || fail "$case: start-up stopped: $(grep -aE '^Error [0-9]+: ' "$log")"
    grep -aE "^Error [0-9]+: " "$log" | grep -aqF "$name" || fail "$case: the error does not name the file"
  fi
  # A damage that loses content must be told, with the file's name.
  if [ "$told" = named ] && ! grep -av "^[A-Za-z_0-9]*=" "$log" | grep -aqF "$name"; then
    fail "$case: no message names the file"
  fi
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
  # The damaged file stays for the user to look at, in its place or set aside (the data base
  # is downloaded afresh at every start).
  if [ "$file" != dbase ] && [ ! -s "$file" ] && [ ! -s "$file.bad" ]; then
    fail "$case: the damaged file is gone"
  fi
  for kept in "${kept_files[@]}"; do
    [ "$kept" = "$file" ] && continue
    [ -s "$kept" ] || fail "$case: $kept was lost"
  done
  echo "$case: $(grep -aE "^Error [0-9]+: |$name" "$log" | grep -av "^[A-Za-z_0-9]*=" | head -n 2 | tr '\n' ' ')"
}

# A broken XML file is not read: the settings go back to their defaults (the file kept aside),
# the other files stop start-up with their user error. The XML files read UTF-16 as well. The
# user's park-airport list is plain lines: a cut one is a shorter list, garbage is a list of
# unknown airports.
mapfile -t rows <<ROWS
$parameters parameters.xml truncated go named
$parameters parameters.xml garbage go named
$parameters parameters.xml utf16 go quiet
$work/program/output/LiveriesScanned.xml LiveriesScanned.xml truncated stop named
$work/program/output/LiveriesScanned.xml LiveriesScanned.xml garbage stop named
$work/program/output/LiveriesScanned.xml LiveriesScanned.xml utf16 go quiet
$work/program/airports/my_park_airports.txt my_park_airports.txt truncated go quiet
$work/program/airports/my_park_airports.txt my_park_airports.txt garbage go named
$work/program/airports/my_park_airports.txt my_park_airports.txt utf16 go named
$work/program/input/airports_p3d.xml airports_p3d.xml truncated stop named
$work/program/input/airports_p3d.xml airports_p3d.xml garbage stop named
$work/program/input/airports_p3d.xml airports_p3d.xml utf16 go quiet
dbase temp2.xml truncated stop named
dbase temp2.xml garbage stop named
dbase temp2.xml utf16 go quiet
ROWS
for row in "${rows[@]}"; do
  # shellcheck disable=SC2086
  run_case $row
done
echo "damaged files ok"
