#!/usr/bin/env bash
# Opening a day-long run in the analysis window: a synthetic record stream of
# N exchanges (default 288,000: 24 hours at 300 ms, scripts/synthetic-stream.py)
# opened by qvx-viewbench (read, fed, each page painted, scrubbed back and
# forth, the scrubber dragged) and by the program itself,
# qvx-loopback --open FILE --screenshot PNG --quit, timed from start to exit.
# Prints the machine's load and cores with the figures.
# Usage: scripts/bench-open.sh [exchanges] [build dir]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
n=${1:-288000}
bin=${2:-$here/../build}/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/synthetic-stream.py" "$n" >"$work/day.jsonl"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
echo "machine: $(nproc) cores, load before: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "stream: $n exchanges, $(du -h "$work/day.jsonl" | cut -f1)"
echo "== qvx-viewbench"
"$bin/qvx-viewbench" "$work/day.jsonl"
echo "== qvx-loopback --open (start to exit: read, fed, window painted, screenshot)"
mkdir "$work/data"
/usr/bin/time -f "%e s wall, %U s user, %S s system, %M kB peak" -o "$work/time" \
  "$bin/qvx-loopback" --data-dir "$work/data" --open "$work/day.jsonl" --screenshot "$work/shot.png" --quit
cat "$work/time"
echo "data folder afterwards: $(ls -A "$work/data" | wc -l) entries"
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
