#!/usr/bin/env bash
# qvx-export end to end on the hand-made logs and record stream of
# tests/data/export: both give the same points; the GeoJSON validates against
# the GeoJSON schema (ajv), KML and GPX against the schemas of what the tool
# writes (xmllint); GDAL reads every export with typed fields, gpsbabel
# reads the GPX and the KML, the CSV reads back through Python's csv module
# with its BOM; the HTML map opens in headless Chromium without a script
# error, with one marker per point and none under its distance panel, even
# with "<!--<script>" in its texts, every loss visible at shared spots, and
# with a base map built in from a tile set the test makes (or an online
# template); a cut input is named and the rest still exported. Usage: check_exports.sh <qvx-export> <source dir> <npm dir>
set -euo pipefail
tool=$1 src=$2 npm=$3
data=$src/tests/data/export
here=$src/tests/export
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$data/170921_FSK Mode_field.log"
fail() { echo "FAIL: $*" >&2; exit 1; }

# The same points from the logs and from the stream (layer names aside;
# marker rows only in the stream).
"$tool" --to csv "$log" >"$work/log.csv"
"$tool" --to csv "$data/field.jsonl" >"$work/stream.csv"
strip() { grep -v ',marker,' "$1" | cut -d, -f2-; }
diff <(strip "$work/log.csv") <(strip "$work/stream.csv") || fail "logs and stream differ"
[[ $(wc -l <"$work/log.csv") -eq 9 ]] || fail "expected a header and 8 exchanges"
[[ $(head -c 3 "$work/log.csv" | od -An -tx1 | tr -d ' ') == efbbbf ]] || fail "CSV without its UTF-8 BOM"
"$tool" --to csv --csv-encoding utf-8 "$log" | head -c 3 | grep -q '^run' || fail "--csv-encoding utf-8 keeps a BOM"
python3 - "$work/stream.csv" <<'PY' || fail "CSV does not read back through Python's csv"
import csv, sys
rows = list(csv.DictReader(open(sys.argv[1], encoding='utf-8-sig', newline='')))
assert rows[0]['run'] == 'field.jsonl 2017-09-21 23:59:57', rows[0]['run']
marker = [r for r in rows if r['kind'] == 'marker']
assert len(marker) == 1 and marker[0]['note'] == "'=gate, \"north\"", marker
assert marker[0]['lat_deg'].startswith('35.681'), marker[0]
assert [r['far_rssi_dBm'] for r in rows if r['kind'] == 'exchange'][:2] == ['-75', ''], rows
PY

# GPX times in UTC: the log's equal the stream's.
"$tool" --to gpx --output "$work/log.gpx" "$log"
"$tool" --to gpx --output "$work/stream.gpx" "$data/field.jsonl"
times() { grep -o '<trkpt.*</time>' "$1" | grep -o '<time>[^<]*</time>'; }
[[ $(times "$work/log.gpx" | head -1) == '<time>2017-09-21T14:59:58.000Z</time>' ]] || fail "GPX time of the log: $(times "$work/log.gpx" | head -1)"
diff <(times "$work/log.gpx") <(times "$work/stream.gpx") || fail "GPX times of log and stream differ"

# GeoJSON against the GeoJSON schema.
"$tool" --to geojson --output "$work/points.json" "$log" "$data/field.jsonl"
ajv=$npm/node_modules/.bin/ajv
schema=$npm/node_modules/geojson-schema/FeatureCollection.json
[[ -x $ajv && -f $schema ]] || fail "ajv-cli and geojson-schema missing under $npm (scripts/setup.sh installs them)"
"$ajv" validate --strict=false -s "$schema" -d "$work/points.json" >/dev/null || fail "GeoJSON invalid"
sed 's/"Point"/"Pointe"/' "$work/points.json" >"$work/bad.json"
! "$ajv" validate --strict=false -s "$schema" -d "$work/bad.json" >/dev/null 2>&1 || fail "the validator took a bad GeoJSON"
[[ $(grep -o '"type":"Feature"' "$work/points.json" | wc -l) -eq 11 ]] || fail "expected 10 points and a marker"
# Heights above the ellipsoid: 40.5 m above sea level and a geoid 39.3 m above the ellipsoid.
grep -q '"coordinates":\[139.7670783,35.6811866,79.8\]' "$work/points.json" || fail "GeoJSON height is not ellipsoidal"

# KML and GPX.
"$tool" --to kml --output "$work/points.kml" "$log" "$data/field.jsonl"
"$tool" --to gpx --output "$work/points.gpx" "$log" "$data/field.jsonl"
xmllint --noout --schema "$here/kml-subset.xsd" "$work/points.kml" 2>/dev/null || fail "KML invalid"
xmllint --noout --schema "$here/gpx-subset.xsd" "$work/points.gpx" 2>/dev/null || fail "GPX invalid"
[[ $(grep -c '<trkpt' "$work/points.gpx") -eq 10 ]] || fail "expected 10 track points"
[[ $(grep -c '<wpt' "$work/points.gpx") -eq 1 ]] || fail "expected the marker as a waypoint"
# Run 2's GPS was off for its packet 2: a new segment after it.
[[ $(grep -c '<trkseg>' "$work/points.gpx") -eq 6 ]] || fail "expected a segment per stretch with positions"
[[ $(grep -c '<name>lost</name>' "$work/points.kml") -eq 4 ]] || fail "expected a lost folder per run"
[[ $(grep -c '<name>markers</name>' "$work/points.kml") -eq 1 ]] || fail "expected a marker folder"

# GIS tools: GDAL with typed fields, gpsbabel.
command -v ogrinfo >/dev/null && command -v gpsbabel >/dev/null || fail "gdal-bin and gpsbabel missing (scripts/setup.sh installs them)"
for f in points.json points.kml; do
  info=$(ogrinfo -ro -al -so "$work/$f" 2>&1) || fail "ogrinfo cannot read $f: $info"
  grep -q '^far_rssi: Integer' <<<"$info" || fail "$f: far_rssi not an Integer for GDAL: $(grep far_rssi <<<"$info")"
  grep -q '^rtt_ms: Real' <<<"$info" || fail "$f: rtt_ms not Real for GDAL"
done
n=$(ogrinfo -ro -al "$work/points.json" | grep -c '^OGRFeature(') || true
[[ $n -eq 11 ]] || fail "GDAL read $n GeoJSON features"
ogrinfo -ro -al -so "$work/points.gpx" >/dev/null 2>&1 || fail "GDAL cannot read the GPX"
ogrinfo -ro -al -so "$work/log.csv" >/dev/null 2>&1 || fail "GDAL cannot read the CSV"
gpsbabel -t -i gpx -f "$work/points.gpx" -o unicsv -F "$work/gpx.csv" || fail "gpsbabel cannot read the GPX"
[[ $(wc -l <"$work/gpx.csv") -eq 11 ]] || fail "gpsbabel read $(($(wc -l <"$work/gpx.csv") - 1)) GPX track points"
gpsbabel -i gpx -f "$work/points.gpx" -o unicsv -F "$work/wpt.csv" || fail "gpsbabel cannot read the GPX waypoints"
# The marker, halfway between the packets before and after it.
grep -q '^1,35.681260,139.767122,"marker 1"' "$work/wpt.csv" || fail "GPX waypoint: $(cat "$work/wpt.csv")"
gpsbabel -i kml -f "$work/points.kml" -o unicsv -F "$work/kml.csv" || fail "gpsbabel cannot read the KML"
[[ $(wc -l <"$work/kml.csv") -ge 11 ]] || fail "gpsbabel read too few KML points"

chromium=$(command -v chromium || command -v chromium-browser || true)
[[ -n $chromium ]] || fail "chromium missing (scripts/setup.sh installs it)"
page() {
  timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
      --virtual-time-budget=3000 --dump-dom "file://$1" 2>/dev/null | grep -o '<body[^>]*>'
}

# The HTML map, offline: no script error, one marker per point; texts
# that would end a script end nothing.
cp "$data/field.jsonl" "$work/<!--<script>.jsonl"
sed -i 's/"payload":"003"/"payload":"<\/script><!--<script>\\u2028"/; s/=gate/<!--<script>/' "$work/<!--<script>.jsonl"
"$tool" --to html --output "$work/map.html" "$log" "$work/<!--<script>.jsonl"
body=$(page "$work/map.html")
[[ $body == *'data-ready="1"'* && $body == *'data-errors="0"'* && $body == *'data-markers="10"'* ]] \
    || fail "HTML map: $body"

# RSSI against distance beside the map: distances from --datum give a dot
# per answered RSSI value (the first run's 2 answered exchanges with
# positions, far and answer RSSI each), and the panel covers no point.
head -9 "$data/field.jsonl" >"$work/first.jsonl"
"$tool" --to html --datum 35.68,139.76 --output "$work/distance.html" "$work/first.jsonl"
body=$(page "$work/distance.html")
[[ $body == *'data-ready="1"'* && $body == *'data-errors="0"'* && $body == *'data-distance-dots="4"'* \
   && $body == *'data-covered="0"'* ]] || fail "HTML distance plot: $body"

# A walk of 3,000 exchanges around the datum point: every marker drawn, on
# a canvas, none under the distance panel (folded when the window is too
# small for both).
python3 "$src/scripts/synthetic-stream.py" 3000 >"$work/walk.jsonl"
"$tool" --to html --output "$work/walk.html" "$work/walk.jsonl"
body=$(page "$work/walk.html")
[[ $body == *'data-ready="1"'* && $body == *'data-errors="0"'* && $body == *'data-markers="3000"'* \
   && $body == *'data-covered="0"'* ]] || fail "HTML walk: $body"

# Lost packets at shared spots (a 1 Hz fix held over 300 ms exchanges):
# the losses a reader can see on the map, the figures of the uncovered
# crosses, are every lost packet with a position.
python3 - "$work/walk.jsonl" >"$work/held.jsonl" <<'PY'
import json, sys
held = {}
for line in open(sys.argv[1]):
    r = json.loads(line)
    if r.get('type') == 'exchange' and r.get('lat') is not None:
        second = r['sent_us'] // 1000000
        r['lat'], r['lon'] = held.setdefault(second, (r['lat'], r['lon']))
    print(json.dumps(r, ensure_ascii=False))
PY
lost=$(python3 -c '
import json, sys
print(sum(1 for l in open(sys.argv[1]) for r in [json.loads(l)]
          if r.get("type") == "exchange" and r["outcome"] != "answered" and r.get("lat") is not None))' "$work/held.jsonl")
"$tool" --to html --output "$work/held.html" "$work/held.jsonl"
body=$(page "$work/held.html")
[[ $lost -gt 100 && $body == *'data-errors="0"'* && $body == *"data-lost=\"$lost\""* \
   && $body == *"data-lost-visible=\"$lost\""* ]] || fail "HTML lost marks ($lost lost): $body"

# A base map from an XYZ folder and from an MBTiles file (rows from the
# south) the test makes, solid colours: built into the page, drawn under
# the points with the network off; an online template becomes the page's
# tile layer with its attribution; without --tiles the page is as before.
python3 - "$work" <<'PY'
import math, os, sqlite3, struct, sys, zlib
work = sys.argv[1]
def png(rgb):
    raw = b''.join(b'\0' + bytes(rgb) * 256 for _ in range(256))
    chunk = lambda t, d: struct.pack('>I', len(d)) + t + d + struct.pack('>I', zlib.crc32(t + d))
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 256, 256, 8, 2, 0, 0, 0)) + \
        chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
def tiles(z):
    n = 2 ** z
    tx = lambda lon: int((lon + 180) / 360 * n)
    ty = lambda lat: int((1 - math.asinh(math.tan(math.radians(lat))) / math.pi) / 2 * n)
    for x in range(tx(139.767125 - 0.03), tx(139.767125 + 0.03) + 1):
        for y in range(ty(35.681236 + 0.025), ty(35.681236 - 0.025) + 1):
            yield x, y
magenta, cyan = png((255, 0, 255)), png((0, 255, 255))
db = sqlite3.connect(os.path.join(work, 'streets.mbtiles'))
db.execute('CREATE TABLE metadata (name text, value text)')
db.execute("INSERT INTO metadata VALUES ('attribution', 'Test <streets>')")
db.execute('CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob)')
for z in range(12, 18):
    for x, y in tiles(z):
        db.execute('INSERT INTO tiles VALUES (?, ?, ?, ?)', (z, x, 2 ** z - 1 - y, cyan))
        d = os.path.join(work, 'xyz', str(z), str(x))
        os.makedirs(d, exist_ok=True)
        open(os.path.join(d, '%d.png' % y), 'wb').write(magenta)
db.commit()
PY
shot() {
  timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" --window-size=1000,700 \
      --virtual-time-budget=3000 --screenshot="$2" "file://$1" >/dev/null 2>&1
}
at() { convert "$1" -format "%[fx:int(255*p{$2}.r)],%[fx:int(255*p{$2}.g)],%[fx:int(255*p{$2}.b)]" info:; }
for set in xyz:255,0,255 streets.mbtiles:0,255,255; do
  "$tool" --to html --tiles "$work/${set%%:*}" --output "$work/tiles.html" "$work/walk.jsonl"
  body=$(page "$work/tiles.html")
  [[ $body == *'data-errors="0"'* && $body != *'data-tiles="0"'* && $body == *'data-markers="3000"'* ]] \
      || fail "HTML tiles from ${set%%:*}: $body"
  shot "$work/tiles.html" "$work/tiles.png"
  [[ $(at "$work/tiles.png" 500,80) == "${set#*:}" && $(at "$work/tiles.png" 120,300) == "${set#*:}" ]] \
      || fail "HTML tiles from ${set%%:*}: $(at "$work/tiles.png" 500,80) under the map"
done
grep -q 'Test &lt;streets&gt;' <(timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --virtual-time-budget=3000 --dump-dom "file://$work/tiles.html" 2>/dev/null) || fail "HTML tiles: attribution"
"$tool" --to html --tiles 'https://tiles.example.invalid/{z}/{x}/{y}.png' --tiles-attribution 'Survey <office>' \
    --output "$work/online.html" "$work/walk.jsonl"
dom=$(timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
    --virtual-time-budget=3000 --dump-dom "file://$work/online.html" 2>/dev/null)
[[ $dom == *'src="https://tiles.example.invalid/'* && $dom != *'src="https://tile.openstreetmap.org/'* \
   && $dom == *'Survey &lt;office&gt;'* ]] || fail "HTML online template"
grep -q '"tiles":null' "$work/walk.html" || fail "HTML without --tiles"
rc=0
"$tool" --to html --tiles "$work/none.mbtiles" "$work/walk.jsonl" >/dev/null 2>"$work/tiles.err" || rc=$?
[[ $rc -eq 1 ]] && grep -q 'none.mbtiles' "$work/tiles.err" || fail "--tiles without a tile set: exit $rc"

# A cut stream: named with its line, the rest still exported, exit status 2.
head -c 1500 "$data/field.jsonl" >"$work/cut.jsonl"
rc=0
"$tool" --to csv "$work/cut.jsonl" >"$work/cut.csv" 2>"$work/cut.err" || rc=$?
[[ $rc -eq 2 ]] || fail "cut stream: exit $rc"
grep -q "cut.jsonl:[0-9]*: last line cut short" "$work/cut.err" || fail "cut stream: $(cat "$work/cut.err")"
[[ $(wc -l <"$work/cut.csv") -ge 3 ]] || fail "cut stream: nothing exported"

# A run without its end record (the program was killed): exported whole,
# a note on standard error, exit status 0.
grep -v '"type":"end","schema":1,"run":2,' "$data/field.jsonl" >"$work/killed.jsonl"
rc=0
"$tool" --to csv "$work/killed.jsonl" >"$work/killed.csv" 2>"$work/killed.err" || rc=$?
[[ $rc -eq 0 ]] || fail "run without end: exit $rc"
grep -q 'killed.jsonl:10: run without its "end" record' "$work/killed.err" || fail "run without end: $(cat "$work/killed.err")"
cmp -s "$work/killed.csv" <("$tool" --to csv "$data/field.jsonl" 2>/dev/null | sed 's/field\.jsonl/killed.jsonl/g') \
    || fail "run without end: not the same rows"
"$tool" --help | grep -q -- '--datum' || fail "--help"
echo "exports checked"
