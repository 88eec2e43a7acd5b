#!/usr/bin/env bash
# The coverage pictures and exports of a demo walk, re-made from scratch: a
# headless demo run of COUNT packets (default 200, one every 300 ms) with
# the GPS walking north-east at 12 m/s (a drive), logged under a fresh name
# (the simulated link follows the drive: over its 720 m the levels fall by
# some 30 dB and the first packets go missing past 400 m);
# then docs/map.png, docs/map-grid.png, docs/rssi-distance.png and
# docs/sensitivity.png from its
# record stream (datum point: the walk's start), and the run exported by
# qvx-export as an HTML map, GeoJSON, KML, GPX and CSV beside its logs.
# Usage: scripts/demo-map.sh [COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-200}
name="walk$(date +%H%M%S)"
QVX_DEMO=1 QVX_DEMO_COUNT="$count" QVX_DEMO_LOG="$name" QVX_DEMO_SPEED=12 env -u DISPLAY -u WAYLAND_DISPLAY \
    scripts/run.sh >/dev/null
demo=build/demo
stream=$(ls "$demo"/*_"$name".jsonl)
log=${stream%.jsonl}.log
scripts/map-picture.sh "$stream" --datum 35.6812,139.7671
for to in html geojson kml gpx csv; do
    build/bin/qvx-export --to "$to" --output "${stream%.jsonl}.$to" "$log"
done
echo "exports of $log:"
ls -1 "${stream%.jsonl}".{html,geojson,kml,gpx,csv}
