#!/usr/bin/env python3
"""Counts, independently of the program, how many lines of a RTTFC capture the traffic reader
queues with the user aircraft at KLAX and a 40 NM range. The test pins the counts it prints.

Usage: count_queued.py <capture.rttfc>
Prints one line per setting: "<setting> <lines> <queued> <distinct hex ids>".
"""

import math
import re
import sys
import time

KLAX = (33.942536, -118.408075)
KLAX_ELEVATION_FT = 128.0
RANGE_NM = 40.0
EARTH_RADIUS_NM = 10800.0 / math.pi

NUMBER = re.compile(r"-?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?")


class Bad(Exception):
    pass


def number(text):
    match = NUMBER.match(text)
    if not match:
        raise Bad(text)
    return float(match.group(0))


def bounded(value, lowest, highest):
    if not lowest <= value <= highest:
        raise Bad(value)
    return value


def distance_nm(a, b):
    lat1, lon1, lat2, lon2 = map(math.radians, (a[0], a[1], b[0], b[1]))
    h = math.sin((lat2 - lat1) / 2) ** 2 + math.cos(lat1) * math.cos(lat2) * math.sin((lon2 - lon1) / 2) ** 2
    return 2 * EARTH_RADIUS_NM * math.atan2(math.sqrt(h), math.sqrt(1 - h))


def fields_of(line):
    fields = line.split(",")
    if fields and fields[-1] == "":
        fields.pop()  # a final comma ends the last field, it does not start another
    return fields


def queued(line, park_airport):
    """The hex id when the line is queued, else None."""
    if " VEH" in line:
        return None
    f = fields_of(line)
    if len(f) < 29:
        return None
    try:
        # The capture is replayed history: only a stamp in the future is refused.
        bounded(number(f[14]), 0.0, time.time() + 86400.0)
        registration = f[11] if len(f[11]) <= 12 and f[11] != "null" else ""
        if not registration and f[15] == "F":
            return None
        lat, lon = number(f[2]), number(f[3])
        if not (-90 <= lat <= 90 and -180 <= lon <= 180) or (0 <= lat <= 0.0009 and 0 <= lon <= 0.05):
            return None
        if distance_nm(KLAX, (lat, lon)) > RANGE_NM:
            return None
        kind = "" if f[10] in ("null", "0", "ZZZZ") else f[10]
        if not f[28] or f[28] in ("B1", "B2", "B4", "C1", "C2"):
            return None
        if not kind or len(kind) > 4 or kind in ("GRND", "GLID", "SERV", "BALL", "PARA", "SHIP", "EMER"):
            return None
        if re.fullmatch(r"([A-Za-z]_)?adsb_icao", f[17]):
            if number(f[25]) > 360:
                return None
        digits = re.match(r"\d+", f[1])
        if not digits or int(digits.group(0)) > 0xFFFFFFFF:
            return None
        hex_id = int(digits.group(0))
        if hex_id <= 10000:
            return None
        speed = bounded(number(f[8]), 0.0, 2000.0)
        altitude = max(bounded(number(f[4]), -2000.0, 100000.0), 0.0)
        flagged_airborne = f[6] == "0" and speed > 120
        if 0 < altitude < 14000 and not flagged_airborne:
            h = altitude - (KLAX_ELEVATION_FT if park_airport else -1000.0)
            if h <= 0 or (h <= 45 and speed <= 120) or (h <= 90 and speed <= 80) or (h <= 120 and speed <= 43):
                altitude = 0.0
        if altitude > 0 and speed <= 35 and not flagged_airborne:
            altitude = 0.0
        callsign = "" if f[9] == "null" or "@" in f[9] else f[9]
        if callsign == "ERARMTR0" or (not registration and not callsign):
            return None
        if altitude == 0:
            if not park_airport or distance_nm(KLAX, (lat, lon)) > 5.0:
                return None
        if f[7]:
            bounded(number(f[7]), -360.0, 720.0)
        bounded(number(f[5]), -30000.0, 30000.0)
        if altitude > 0:
            number(f[23])
        airspeed = number(f[20])
        if airspeed != -1:
            bounded(airspeed, 0.0, 2000.0)
        return hex_id
    except Bad:
        return None


def main():
    with open(sys.argv[1], encoding="utf-8") as capture:
        lines = [line.rstrip("\r\n") for line in capture]
    for setting, park_airport in (("without_park_airport", False), ("park_airport_KLAX", True)):
        ids = [queued(line, park_airport) for line in lines]
        kept = [hex_id for hex_id in ids if hex_id is not None]
        print(setting, len(lines), len(kept), len(set(kept)))


if __name__ == "__main__":
    main()
