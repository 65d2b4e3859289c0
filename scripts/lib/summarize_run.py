#!/usr/bin/env python3
"""Sums up one run of the program against the stand-ins, from what each of them wrote:
the program's Log.txt, fakesim's JSON-lines trace and the lines fakert received.

    summarize_run.py <Log.txt> <fakesim trace> <fakert received> [fakert output]

Everything printed is counted from those files; nothing is assumed.
"""
import json
import re
import sys
from collections import Counter


def read_lines(path):
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return [line.rstrip("\r\n") for line in f]
    except FileNotFoundError:
        return []


def main_log_lines(lines):
    """The run's events: no settings dump, no banners, no blank lines."""
    setting = re.compile(r"^[A-Za-z_0-9]+=")
    events = []
    for line in lines:
        if not line.strip() or line.startswith("*") or setting.match(line) or line.startswith('"'):
            continue
        events.append(line)
    return events


def loop_pace(times, window=30.0):
    """Update passes per second over the last `window` seconds: the program asks for the
    aircraft in range once every 100 passes."""
    if len(times) < 2:
        return None
    end = times[-1]
    inside = [t for t in times if t >= end - window]
    if len(inside) < 2 or inside[-1] == inside[0]:
        return None
    return 100.0 * (len(inside) - 1) / (inside[-1] - inside[0]), inside[-1] - inside[0]


def summarize_trace(lines):
    entries = []
    for line in lines:
        try:
            entries.append(json.loads(line))
        except json.JSONDecodeError:
            print(f"  (unreadable trace line: {line[:60]})")
    types = Counter(e.get("type") for e in entries)
    requests = Counter(e.get("request") for e in entries if e.get("type") == "request")
    opened = [e.get("app_name") for e in entries if e.get("type") == "opened"]
    subscriptions = [e.get("event_name", "?") for e in entries
                     if e.get("type") == "request" and e.get("request") == "SubscribeToSystemEvent"]
    user_requests = [e for e in entries if e.get("type") == "request"
                     and e.get("request") == "RequestDataOnSimObject"]
    range_times = [e["t"] for e in entries if e.get("type") == "request"
                   and e.get("request") == "RequestDataOnSimObjectType"]
    end = next((e for e in reversed(entries) if e.get("type") == "end"), {})

    print("Simulator stand-in (fakesim trace):")
    print(f"  connections: {types['connect']} made, {len(opened)} opened by {sorted(set(opened))}")
    print(f"  system events subscribed: {len(subscriptions)} ({', '.join(subscriptions)})")
    print(f"  user-aircraft data requests: {len(user_requests)}; data messages sent: {end.get('data_sent', '?')}; "
          f"frames sent: {end.get('frames_sent', '?')}")
    print(f"  aircraft-in-range requests: {len(range_times)}")
    pace = loop_pace(range_times)
    if pace:
        print(f"  main loop pace: {pace[0]:.1f} passes a second (over the last {pace[1]:.0f} s)")
    print(f"  AI objects: {types['created']} created, {types['moved']} position writes, "
          f"{types['removed']} removed; exceptions sent: {end.get('exceptions_sent', '?')}")
    print(f"  requests by kind: " + ", ".join(f"{k} {v}" for k, v in sorted(requests.items())))
    print(f"  trace ended: {end.get('reason', 'no end line')}")


def summarize_fakert(received, output):
    kinds = Counter(line.split("=", 1)[0] for line in received if line)
    print("RealTraffic stand-in (fakert):")
    print("  lines received from the program: " + (", ".join(f"{k} {v}" for k, v in sorted(kinds.items())) or "none"))
    for line in output:
        if line.startswith("fakert:"):
            print("  " + line)


def summarize_stands(log):
    """Static aircraft parked and live aircraft at stands, from the engine's stand lines
    ("P3      : AAL612   parked" and the like), each callsign counted once."""
    line_of = re.compile(r"^(\S+)\s*: (\S+)\s+(parked|parks|arrived at stand|pulling out)$")
    seen = {"parked": set(), "parks": set(), "arrived at stand": set(), "pulling out": set()}
    for line in log:
        match = line_of.match(line.strip())
        if match:
            seen[match.group(3)].add(match.group(2))
    print("Stands (program log):")
    print(f"  static aircraft parked: {len(seen['parked'])}")
    print(f"  live aircraft at stands: {len(seen['parks'] | seen['arrived at stand'])} "
          f"({len(seen['parks'])} parked when they came into range, {len(seen['arrived at stand'])} arrived), "
          f"{len(seen['pulling out'])} left their stands")


def fakert_sent_lines(output):
    """The traffic lines fakert sent, from its summary line; None when it wrote none."""
    for line in output:
        found = re.match(r"fakert: (\d+) traffic lines sent", line)
        if found:
            return int(found.group(1))
    return None


def summarize_traffic(log, trace_lines, fakert_output):
    """What became of the traffic: lines sent to the program, aircraft created, moved and removed,
    and why none were created when none were."""
    entries = []
    for line in trace_lines:
        try:
            entries.append(json.loads(line))
        except json.JSONDecodeError:
            pass
    created = sum(1 for e in entries if e.get("type") == "created")
    moved = len({e.get("object") for e in entries if e.get("type") == "moved"})
    removed = sum(1 for e in entries if e.get("type") == "removed")
    sent = fakert_sent_lines(fakert_output)
    text = "\n".join(log)
    print("Traffic:")
    print(f"  traffic lines sent to the program: {'unknown (no fakert summary)' if sent is None else sent}"
          f"; Traffic Reader listening: {'yes' if 'Traffic Reader connected' in text else 'no'}")
    print(f"  aircraft created: {created}, moved: {moved}, removed: {removed}")
    if created:
        return
    if "RealTraffic connected" not in text:
        why = "the RealTraffic link never connected"
    elif sent == 0:
        why = "the RealTraffic stand-in sent no traffic lines"
    elif "No traffic in this region?" in text:
        why = "no traffic line reached the program before the run gave up waiting (\"No traffic in this region?\")"
    else:
        why = ("the run ended before the first creation: aircraft are created about 30 s after the first "
               "traffic; run the demo longer")
    print(f"  no aircraft were created: {why}")


def main(argv):
    if len(argv) < 4:
        print(__doc__)
        return 2
    log = read_lines(argv[1])
    print("Program log (main lines):")
    events = main_log_lines(log)
    for line in events[:40]:
        print("  " + line)
    if len(events) > 40:
        print(f"  ... {len(events) - 40} more lines")
    summarize_stands(log)
    summarize_trace(read_lines(argv[2]))
    fakert_output = read_lines(argv[4]) if len(argv) > 4 else []
    summarize_fakert(read_lines(argv[3]), fakert_output)
    summarize_traffic(log, read_lines(argv[2]), fakert_output)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
