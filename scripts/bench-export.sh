#!/usr/bin/env bash
# qvx-export against GDAL's ogr2ogr on the same data, side by side in one
# run: a synthetic record stream of N exchanges (default 300,000: a day at
# 300 ms) exported to every format by qvx-export, and the same exchanges
# (qvx-export's CSV of them) converted by ogr2ogr to the same format. Prints
# CPU seconds (user + system) and peak memory of each, and loads the HTML
# page in headless Chromium, counting its markers.
# Usage: scripts/bench-export.sh [exchanges] [qvx-export]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
n=${1:-300000}
tool=${2:-$here/../build/bin/qvx-export}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 "$here/synthetic-stream.py" "$n" >"$work/day.jsonl"
"$tool" --to csv --csv-encoding utf-8 --output "$work/day.csv" "$work/day.jsonl"

measure() {   # label command... -> "cpu_s peak_MB"
  if ! /usr/bin/time -f "%U %S %M" -o "$work/time" "$@" >/dev/null 2>&1; then echo "- -"; return; fi
  awk '{ printf "%.2f %.0f\n", $1 + $2, $3 / 1024 }' "$work/time"
}
ogr() {   # driver output [options]: the command, for measure (which runs programs, not functions)
  echo ogr2ogr -f "$1" "$2" "$work/day.csv" -oo X_POSSIBLE_NAMES=lon_deg -oo Y_POSSIBLE_NAMES=lat_deg \
    -oo AUTODETECT_TYPE=YES -oo KEEP_GEOM_COLUMNS=NO "${@:3}"
}
echo "exchanges: $n ($(du -h "$work/day.jsonl" | cut -f1) stream), load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-8s %14s %12s %14s %12s %8s\n' format "qvx CPU s" "qvx MB" "ogr2ogr CPU s" "ogr2ogr MB" ratio
for f in geojson kml gpx csv html; do
  read -r qc qm < <(measure "$tool" --to "$f" --output "$work/out.$f" "$work/day.jsonl")
  case $f in
    geojson) read -r oc om < <(measure $(ogr GeoJSON "$work/ogr.json")) ;;
    kml) read -r oc om < <(measure $(ogr KML "$work/ogr.kml")) ;;
    gpx) read -r oc om < <(measure $(ogr GPX "$work/ogr.gpx" -dsco GPX_USE_EXTENSIONS=YES)) ;;
    csv) read -r oc om < <(measure $(ogr CSV "$work/ogr.csv")) ;;
    html) oc=- om=- ;;   # no counterpart
  esac
  ratio=-
  [[ $oc != - && $qc != - ]] && ratio=$(awk -v a="$qc" -v b="$oc" 'BEGIN { printf "%.2f", a / b }')
  printf '%-8s %14s %12s %14s %12s %8s\n' "$f" "$qc" "$qm" "$oc" "$om" "$ratio"
  rm -f "$work"/ogr.*
done
chromium=$(command -v chromium || command -v chromium-browser)
body=$(timeout 600 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
  --virtual-time-budget=60000 --dump-dom "file://$work/out.html" 2>/dev/null | grep -o '<body[^>]*>' || true)
echo "HTML in headless Chromium: $body"
