#!/usr/bin/env bash
# Each file the program writes, killed (SIGKILL) at random moments while it is being saved, 100
# times: what is left is always the whole previous or the whole new file, never a part or a mix,
# and the temporary file a killed save leaves is removed by the next save.
#   save_kills.sh <save_kill_driver> [kills per file]
set -euo pipefail
shopt -s nullglob
driver=$1 kills=${2:-100}
work=$(mktemp -d "${TMPDIR:-/tmp}/orvanta-saves.XXXXXX")
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The file each kind saves, below the driver's folder.
declare -A saved=([parameters]=parameters.xml [liveries]=output/LiveriesScanned.xml
  [learned]=KLAX.xml [generated]=KLAX_gen.xml [park-list]=airports/my_park_airports.txt
  [flight-plan]=flight_plans/100.pln)

for kind in parameters liveries learned generated park-list flight-plan; do
  folder=$work/$kind
  mkdir -p "$folder"
  file=$folder/${saved[$kind]}
  "$driver" "$kind" "$folder" a || fail "$kind: version a not saved"
  cp "$file" "$work/$kind.a"
  "$driver" "$kind" "$folder" b || fail "$kind: version b not saved"
  cp "$file" "$work/$kind.b"
  cmp -s "$work/$kind.a" "$work/$kind.b" && fail "$kind: both versions alike"
  # At least `kills` kills, and more (up to a hundred times as many) until a tenth of them, or
  # 10, fell inside a save: a save without a flush to disk is over in a moment, and on a loaded
  # machine one kill in a hundred or fewer may land inside it (the generated airport file's save
  # is mostly the building of its text, and its write and rename are brief).
  kills_mid_file=0 i=0
  wanted_mid_file=$((kills / 10 < 10 ? kills / 10 : 10))
  while [ "$i" -lt "$kills" ] || { [ "$kills_mid_file" -lt "$wanted_mid_file" ] && [ "$i" -lt $((kills * 100)) ]; }; do
    i=$((i + 1))
    coproc saver { exec "$driver" "$kind" "$folder" loop; }
    pid=$saver_PID
    read -r -t 60 started <&"${saver[0]}" || fail "$kind: the save loop did not start"
    [ "$started" = saving ] || fail "$kind: the save loop said \"$started\""
    # The three told saves give the length of one save in this build on this machine (a sanitizer
    # build's saves take several times as long, mostly in building the text).
    first=${EPOCHREALTIME/./}
    for _ in 1 2 3; do
      read -r -t 60 _ <&"${saver[0]}" || fail "$kind: the save loop stopped saving"
    done
    save_us=$(((${EPOCHREALTIME/./} - first) / 3))
    # A random moment within the next save: right after a told save the next one has only begun,
    # and a kill there would seldom find its file half done. The loop tells nothing more, so the
    # read waits out the moment without a process of its own.
    wait_us=$((save_us * ((RANDOM << 15) | RANDOM) >> 30))
    read -r -t "$((wait_us / 1000000)).$(printf '%06d' $((wait_us % 1000000)))" _ <&"${saver[0]}" || true
    kill -9 "$pid"
    wait "$pid" 2>/dev/null || true
    if cmp -s "$file" "$work/$kind.a" || cmp -s "$file" "$work/$kind.b"; then
      :
    else
      cp "$file" "$work/broken" 2>/dev/null || true
      fail "$kind: after kill $i the file is neither the previous nor the new whole file"
    fi
    # Counted without a process of its own: on a loaded machine every start costs.
    temporaries=("$file".tmp*)
    leftovers=${#temporaries[@]}
    [ "$leftovers" -gt 0 ] && kills_mid_file=$((kills_mid_file + 1))
    [ "$leftovers" -le 1 ] || fail "$kind: $leftovers temporary files left: the next save did not remove them"
  done
  [ "$kills_mid_file" -ge "$wanted_mid_file" ] || fail "$kind: only $kills_mid_file of $i kills fell inside a save"
  echo "$kind: $i kills, the file always whole; $kills_mid_file kills fell between a save's write and its rename"
done
echo "save kills ok"
