#!/usr/bin/env python3
"""Builds KLAX.xml, the demo's stand file for Los Angeles, from the recorded KLAX traffic:
every airliner that stands still on the ground at the airport for two minutes or more gives a
stand (the median of its still positions and headings, a radius of half its type's wingspan plus
3 m) and one learned option (airline, type, callsign, registration, weekday and the half hours
it stood there). Stands closer than 20 m to one another are one stand.

    make_klax_stands.py <capture.rttfc>... > KLAX.xml
"""
import datetime
import math
import statistics
import sys
from collections import defaultdict

AIRPORT_BOX = (33.928, 33.955, -118.435, -118.375)  # lat min, lat max, lon min, lon max
MIN_STILL_SECONDS = 120
STILL_RADIUS_M = 20.0
SAME_STAND_M = 20.0
# Wingspans in metres (ICAO Doc 8643 types seen standing at KLAX in the captures).
WINGSPAN_M = {"A319": 35.8, "A320": 35.8, "A20N": 35.8, "A321": 35.8, "A21N": 35.8,
              "B737": 35.8, "B738": 35.8, "B739": 35.8, "B789": 60.1, "E75L": 26.0, "CRJ7": 23.2}


def metres(a, b):
    dlat = (a[0] - b[0]) * 111_195.0
    dlon = (a[1] - b[1]) * 111_195.0 * math.cos(math.radians(a[0]))
    return math.hypot(dlat, dlon)


def read_tracks(paths):
    tracks = defaultdict(list)
    for path in paths:
        with open(path, encoding="utf-8") as f:
            for line in f:
                if not line.startswith("RTTFC"):
                    continue
                x = line.rstrip("\r\n").split(",")
                tracks[x[1]].append((int(x[14]), float(x[2]), float(x[3]), float(x[8]), x[6] == "1",
                                     float(x[7]), x[9], x[10], x[11]))
    return tracks


def longest_still_run(points):
    """The longest run of consecutive still reports within STILL_RADIUS_M of its first one."""
    best, run = [], []
    for p in points:
        still = p[4] and p[3] <= 1.0
        if still and run and metres(p[1:3], run[0][1:3]) <= STILL_RADIUS_M:
            run.append(p)
        else:
            run = [p] if still else []
        if run and (not best or run[-1][0] - run[0][0] > best[-1][0] - best[0][0]):
            best = list(run)
    return best


def inside_airport(position):
    return AIRPORT_BOX[0] <= position[0] <= AIRPORT_BOX[1] and AIRPORT_BOX[2] <= position[1] <= AIRPORT_BOX[3]


def half_hours(start, end):
    slots = set()
    for t in range(start - start % 1800, end + 1, 1800):
        moment = datetime.datetime.fromtimestamp(t, datetime.timezone.utc)
        slots.add(moment.hour * 2 + moment.minute // 30)
    return sorted(slots)


def airline_of(callsign):
    return callsign[:3] if len(callsign) > 3 and callsign[:3].isalpha() and callsign[3].isdigit() else ""


def stands_from(tracks):
    stands = []  # [position, heading, radius, options]
    for points in tracks.values():
        points.sort()
        run = longest_still_run(points)
        if len(run) < 2 or run[-1][0] - run[0][0] < MIN_STILL_SECONDS:
            continue
        position = (statistics.median(p[1] for p in run), statistics.median(p[2] for p in run))
        callsign, actype, registration = run[0][6], run[0][7], run[0][8]
        if not inside_airport(position) or actype not in WINGSPAN_M or not airline_of(callsign):
            continue
        day = datetime.datetime.fromtimestamp(run[0][0], datetime.timezone.utc).isoweekday()
        option = {"airl": airline_of(callsign), "type": actype, "cs": callsign, "reg": registration,
                  "day": day, "hh": half_hours(run[0][0], run[-1][0])}
        radius = WINGSPAN_M[actype] / 2.0 + 3.0
        same = next((s for s in stands if metres(s[0], position) < SAME_STAND_M), None)
        if same:
            same[2] = max(same[2], radius)
            same[3].append(option)
        else:
            stands.append([position, statistics.median(p[5] for p in run), radius, [option]])
    stands.sort(key=lambda s: (round(s[0][1], 4), s[0][0]))
    return stands


def main():
    stands = stands_from(read_tracks(sys.argv[1:]))
    out = ['<?xml version="1.0"?>',
           '<meta><info name="author" value="Orvanta_P3D demo data"/><info name="version" value="1.0.0"/>'
           '<info name="date" value="Dec 09, 2026"/><info name="copyright" value="see README.md"/></meta>',
           "<parameters>",
           '<parameter name="airport_name" value="Los Angeles Intl (stands of the recorded traffic)"/>',
           '<parameter name="publisher" value="demo"/>',
           '<parameter name="altitude" value="128"/>',
           f'<parameter name="num_parkpos" value="{len(stands)}"/>',
           "</parameters>", "<parkpositions>"]
    for n, (position, heading, radius, options) in enumerate(stands, start=1):
        out.append(f'<parkpos id="P{n}" latitude="{position[0]:.6f}" longitude="{position[1]:.6f}" '
                   f'heading="{heading:.1f}" radius="{radius:.1f}" cargo="false" ramp="false">')
        for o in options:
            out.append(f'<opt reg="{o["reg"]}" airl="{o["airl"]}" type="{o["type"]}" day="{o["day"]}" '
                       f'hh="{",".join(map(str, o["hh"]))}" cs="{o["cs"]}"/>')
        out.append("</parkpos>")
    out.append("</parkpositions>")
    print("\n".join(out))


if __name__ == "__main__":
    main()
