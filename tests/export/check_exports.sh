#!/usr/bin/env bash
# qvx-export end to end on the hand-made logs and record stream of
# tests/data/export: both give the same points; the GeoJSON validates against
# the GeoJSON schema (ajv), KML and GPX against the schemas of what the tool
# writes (xmllint), the HTML map opens in headless Chromium without a script
# error and with one marker per point; a cut input is named and the rest
# still exported. Usage: check_exports.sh <qvx-export> <source dir> <npm dir>
set -euo pipefail
tool=$1 src=$2 npm=$3
data=$src/tests/data/export
here=$src/tests/export
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$data/170921_FSK Mode_field.log"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The same points from the logs and from the stream (times compared without
# the UTC offset the logs do not record, layer names aside).
"$tool" --to csv "$log" >"$work/log.csv"
"$tool" --to csv "$data/field.jsonl" >"$work/stream.csv"
strip() { cut -d, -f2- "$1" | sed -E 's/(T[0-9:]{8})\+09:00/\1/'; }
diff <(strip "$work/log.csv") <(strip "$work/stream.csv") || fail "logs and stream differ"
[[ $(wc -l <"$work/log.csv") -eq 9 ]] || fail "expected a header and 8 exchanges"

# GeoJSON against the GeoJSON schema.
"$tool" --to geojson --output "$work/points.json" "$log" "$data/field.jsonl"
ajv=$npm/node_modules/.bin/ajv
schema=$npm/node_modules/geojson-schema/FeatureCollection.json
[[ -x $ajv && -f $schema ]] || fail "ajv-cli and geojson-schema missing under $npm (scripts/setup.sh installs them)"
"$ajv" validate --strict=false -s "$schema" -d "$work/points.json" >/dev/null || fail "GeoJSON invalid"
sed 's/"Point"/"Pointe"/' "$work/points.json" >"$work/bad.json"
! "$ajv" validate --strict=false -s "$schema" -d "$work/bad.json" >/dev/null 2>&1 || fail "the validator took a bad GeoJSON"
[[ $(grep -c '"type": "Feature"' "$work/points.json") -eq 10 ]] || fail "expected 10 features"

# KML and GPX.
"$tool" --to kml --output "$work/points.kml" "$log" "$data/field.jsonl"
"$tool" --to gpx --output "$work/points.gpx" "$log" "$data/field.jsonl"
xmllint --noout --schema "$here/kml-subset.xsd" "$work/points.kml" 2>/dev/null || fail "KML invalid"
xmllint --noout --schema "$here/gpx-subset.xsd" "$work/points.gpx" 2>/dev/null || fail "GPX invalid"
[[ $(grep -c '<trkpt' "$work/points.gpx") -eq 10 ]] || fail "expected 10 track points"
[[ $(grep -c '<name>lost</name>' "$work/points.kml") -eq 4 ]] || fail "expected a lost folder per run"

# The HTML map, offline: no script error, one marker per point.
"$tool" --to html --output "$work/map.html" "$log" "$data/field.jsonl"
chromium=$(command -v chromium || command -v chromium-browser || true)
[[ -n $chromium ]] || fail "chromium missing (scripts/setup.sh installs it)"
body=$(timeout 60 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --virtual-time-budget=3000 --dump-dom "file://$work/map.html" 2>/dev/null | grep -o '<body[^>]*>')
[[ $body == *'data-ready="1"'* && $body == *'data-errors="0"'* && $body == *'data-markers="10"'* ]] \
    || fail "HTML map: $body"

# RSSI against distance beside the map: a stream whose exchanges carry
# distances from the datum point gives a dot per answered RSSI value (3
# answered exchanges, far and answer RSSI each) and no script error.
awk '/"type": "exchange"/ { n++; sub(/"dist_m": null/, "\"dist_m\": " 5 * n * n) } { print }' \
    "$data/field.jsonl" >"$work/distance.jsonl"
"$tool" --to html --output "$work/distance.html" "$work/distance.jsonl"
body=$(timeout 60 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --virtual-time-budget=3000 --dump-dom "file://$work/distance.html" 2>/dev/null | grep -o '<body[^>]*>')
[[ $body == *'data-ready="1"'* && $body == *'data-errors="0"'* && $body == *'data-distance-dots="6"'* ]] \
    || fail "HTML distance plot: $body"

# A cut stream: named with its line, the rest still exported, exit status 2.
head -c 1500 "$data/field.jsonl" >"$work/cut.jsonl"
rc=0
"$tool" --to csv "$work/cut.jsonl" >"$work/cut.csv" 2>"$work/cut.err" || rc=$?
[[ $rc -eq 2 ]] || fail "cut stream: exit $rc"
grep -q "cut.jsonl:[0-9]*: last line cut short" "$work/cut.err" || fail "cut stream: $(cat "$work/cut.err")"
[[ $(wc -l <"$work/cut.csv") -ge 4 ]] || fail "cut stream: nothing exported"

# A run without its end record (the program was killed): exported whole,
# a note on standard error, exit status 0.
grep -v '"type": "end", "cause": "completed"' "$data/field.jsonl" >"$work/killed.jsonl"
rc=0
"$tool" --to csv "$work/killed.jsonl" >"$work/killed.csv" 2>"$work/killed.err" || rc=$?
[[ $rc -eq 0 ]] || fail "run without end: exit $rc"
grep -q 'killed.jsonl:9: run without its "end" record' "$work/killed.err" || fail "run without end: $(cat "$work/killed.err")"
cmp -s "$work/killed.csv" <("$tool" --to csv "$data/field.jsonl" 2>/dev/null | sed 's/field\.jsonl/killed.jsonl/g') \
    || fail "run without end: not the same rows"
echo "exports checked"
