#!/usr/bin/env python3
"""How far each exchange of a record stream lies from where the GPS feeder
really was at its send.

Usage: scripts/position-check.py TRUTH.csv STREAM.jsonl [--limit M]

TRUTH.csv is qvx-nmea's --truth trace (mono_us,utc,lat,lon,sent: a line per
second of its walk, straight and at constant speed between lines);
STREAM.jsonl the program's record stream of a run fed by that walk. Both
count microseconds on the machine's monotonic clock. Prints the number of
exchanges placed on the map and not placed (by their gps state), and the
worst and median distance of the placed ones from the truth at their
sent_us; exits 1 when the worst exceeds --limit metres (default 2).
"""
import bisect
import csv
import json
import math
import statistics
import sys

A, E2 = 6378137.0, 0.00669437999014  # WGS84


def metres(lat1, lon1, lat2, lon2):
    """Hubeny's distance on WGS84 (what the program uses), no height."""
    p1, p2 = math.radians(lat1), math.radians(lat2)
    dp, dl = p1 - p2, math.radians(lon1 - lon2)
    pm = (p1 + p2) / 2
    w = math.sqrt(1 - E2 * math.sin(pm) ** 2)
    m = A * (1 - E2) / w ** 3
    n = A / w
    return math.hypot(dp * m, dl * n * math.cos(pm))


def main(argv):
    args = [a for a in argv[1:] if not a.startswith("--")]
    limit = 2.0
    if "--limit" in argv:
        limit = float(argv[argv.index("--limit") + 1])
        args.remove(argv[argv.index("--limit") + 1])
    if len(args) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(args[0], newline="") as f:
        truth = [(int(r["mono_us"]), float(r["lat"]), float(r["lon"])) for r in csv.DictReader(f)]
    times = [t for t, _, _ in truth]

    def where(us):
        i = bisect.bisect_right(times, us)
        if i == 0 or i == len(truth):
            return None  # outside the trace
        (t0, a0, o0), (t1, a1, o1) = truth[i - 1], truth[i]
        k = (us - t0) / (t1 - t0)
        return a0 + (a1 - a0) * k, o0 + (o1 - o0) * k

    off, states, how = [], {}, {}
    with open(args[1]) as f:
        for line in f:
            o = json.loads(line)
            if o.get("type") != "exchange":
                continue
            states[o.get("gps")] = states.get(o.get("gps"), 0) + 1
            if o.get("lat") is None:
                continue
            how[o.get("pos_how")] = how.get(o.get("pos_how"), 0) + 1
            at = where(o["sent_us"])
            if at is None:
                print(f"packet {o['packet']}: sent outside the truth trace", file=sys.stderr)
                return 2
            off.append((metres(o["lat"], o["lon"], *at), o["packet"]))
    if not off:
        print("no exchange on the map", file=sys.stderr)
        return 1
    worst = max(off)
    print(f"exchanges by gps state: {states}; placed by how: {how}")
    print(f"placed {len(off)}: worst {worst[0]:.3f} m (packet {worst[1]}), "
          f"median {statistics.median(d for d, _ in off):.3f} m")
    return 0 if worst[0] <= limit else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
