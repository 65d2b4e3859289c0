#!/usr/bin/env bash
# The download for simmers: scripts/package-windows packs the given program; the zip holds what
# a simmer needs, carries the version in its name, in the program's version resource and in what
# the program logs; unpacked alone into a fresh Wine prefix it starts, and the connected run
# passes with the program unpacked from it, under a user name outside ASCII; the README names
# the place of the download folder where that program asks for a stock airport file.
#   windows_package.sh <Orvanta_P3D.exe> <fakesim> <fakert> <wm_close_window> <traffic file> <download_paths>
#                      <output folder>
# Runs on a virtual X server (on_virtual_display.sh).
source "$(dirname "$0")/common.sh"
exe=$1 fakesim=$2 fakert=$3 close_tool=$4 traffic=$5 paths_tool=$6 output=$7
need_files "$fakesim" "$fakert" "$close_tool" "$paths_tool"

# The simmer's Windows user name has letters outside ASCII, so AppData, Documents and the paths
# of the settings, the liveries and the flight plans have them too.
export USER="Jörg Müller ß 山田" LOGNAME="Jörg Müller ß 山田"

rm -rf "$output"
zip=$(bash "$repository_root/scripts/package-windows" --program "$exe" --out "$output" --paths-tool "$paths_tool" |
  tail -n 1)
[ -f "$zip" ] || fail "no package made"
version=$(basename "$zip" | sed -n 's/^Orvanta_P3D-\([0-9]*\.[0-9]*\.[0-9]*\)-win64\.zip$/\1/p')
[ -n "$version" ] || fail "the package's name carries no version: $(basename "$zip")"
echo "package: $zip, $(stat -c %s "$zip") bytes"

listing=$(unzip -Z1 "$zip")
for licence in pugixml libzip zlib libcurl fmt nlohmann-json GSL; do
  echo "$listing" | grep -qx "Orvanta_P3D/docs/licences/$licence.txt" || fail "no licence of $licence"
done
for file in Orvanta_P3D.exe README.txt input/airports_p3d.xml server/dbase.zip server/AIG-regcodes.zip \
  server/release/version_P3D.json; do
  echo "$listing" | grep -qx "Orvanta_P3D/$file" || fail "no $file in the package"
done
unzip -p "$zip" Orvanta_P3D/README.txt | grep -q "^Orvanta_P3D $version" || fail "the README names another version"

# The version resource: the fixed file information (after its signature 0xFEEF04BD) and the
# ProductVersion text.
unzip -p "$zip" Orvanta_P3D/Orvanta_P3D.exe | python3 -c '
import struct, sys
image, version = sys.stdin.buffer.read(), sys.argv[1]
at = image.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit("no version resource")
file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<4I", image, at + 8)
fixed = f"{file_ms >> 16}.{file_ms & 0xFFFF}.{file_ls >> 16}"
key = "ProductVersion".encode("utf-16-le") + b"\0\0"
text_at = image.find(key)
if text_at < 0:
    sys.exit("no ProductVersion text")
text_at += len(key) + (-(text_at + len(key)) % 4)  # the value starts on a 32-bit boundary
text = image[text_at:image.find(b"\0\0", text_at)]
text = (text + b"\0" * (len(text) % 2)).decode("utf-16-le")
print(f"version resource: file {fixed}, product {product_ms >> 16}.{product_ms & 0xFFFF}.{product_ls >> 16}, text {text}")
sys.exit(0 if fixed == version and text == version else f"the version resource says {fixed} / {text}, not {version}")
' "$version" || fail "version resource"

# The zip alone starts; then the connected run from a folder unpacked the same way. The program
# logs the same version.
first=$(bash "$(dirname "$0")/first_start.sh" "$zip" "$close_tool") || { echo "$first"; fail "the first start failed"; }
echo "$first"
# The connected run from the unpacked package.
run=$(ORVANTA_E2E_KEPT_LOG=$output/connected_run.log bash "$(dirname "$0")/connected_run.sh" "$zip" "$fakesim" \
  "$fakert" "$close_tool" "$traffic") || { echo "$run"; fail "the connected run from the package failed"; }
echo "$run"
echo "$run" | grep -qF "Orvanta_P3D version $version for" || fail "the program logs another version than $version"

# The run asked for the stock airport file of KLAX, where the user's aircraft stands, at the
# place below the program's folder that the README names for stock airport files.
stock=$(unzip -p "$zip" Orvanta_P3D/README.txt | grep -o 'server\\[^ ]*<ICAO>\.xml' | head -n 1)
[ -n "$stock" ] || fail "the README names no place for stock airport files"
asked=/program/$(echo "$stock" | tr '\\' / | sed 's/<ICAO>/KLAX/')
grep -qF "$asked" "$output/connected_run.log" ||
  fail "the README names $stock, but the program asked for $(grep -o 'file://[^ ]*KLAX\.xml' "$output/connected_run.log" |
    head -n 1)"
# Where the README explains why nothing is parked, it quotes the lines that this run logged at
# KLAX, which the sample download folder has no stock airport file for.
readme=$(unzip -p "$zip" Orvanta_P3D/README.txt | tr -d '\r')
for quoted in "/$(echo "$stock" | tr '\\' /) failed: " "User aircraft on the ground at <ICAO>, no airport file found"; do
  grep -qF -- "$quoted" <<<"$readme" || fail "the README does not quote \"$quoted\""
  grep -qF -- "${quoted//<ICAO>/KLAX}" "$output/connected_run.log" ||
    fail "the README quotes \"$quoted\", which the run from the package did not log at KLAX"
done
echo "package ok"
