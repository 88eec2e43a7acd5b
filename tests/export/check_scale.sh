#!/usr/bin/env bash
# The level colour scale of the HTML map (in headless Chromium) and of the
# KML (valid against the schema subset, read back with Python): one rule for
# both, as the live map has it. A LoRa walk with levels down to -125 dBm
# gets the LoRa steps, two classes below -110; an FSK walk within its steps
# keeps the FSK steps; an FSK walk down to -130 dBm takes the steps from its
# own range. Each marker's colour (Leaflet's SVG path, in the order of the
# points) and each placemark's style is the step of its level, and the
# legends say which steps they are.
# Usage: check_scale.sh <qvx-export> <source dir>
set -euo pipefail
tool=$1 src=$2
here=$src/tests/export
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
chromium=$(command -v chromium || command -v chromium-browser || true)
[[ -n $chromium ]] || fail "chromium missing (scripts/setup.sh installs it)"

# walk MODE STRONGEST WEAKEST: an answered exchange a level 1 dB weaker
# every 40 m east, every tenth one lost.
walk() {
  python3 - "$@" <<'PY'
import sys
mode, strong, weak = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
print('{"type":"run","schema":1,"run":1,"time":"2024-05-01T10:00:00.000+09:00","version":"0.900.5","port":"/dev/ttyUSB0",'
      '"mode":"%s","spreading":0,"period_ms":1000,"kind":"continuous","length":0,"comm_log":"walk.log","map_csv":"","map_log":""}' % mode)
packet = 0
for level in range(strong, weak - 1, -1):
    for k in range(3):
        packet += 1
        lost = packet % 10 == 0
        print('{"type":"exchange","schema":1,"run":1,"packet":%d,"payload":"%03d","time":"2024-05-01T10:%02d:%02d.000+09:00",'
              '"outcome":"%s","rtt_us":%s,"far_rssi":%s,"ack_rssi":%s,"noise":-130,"lat":35.681236,"lon":%.7f,"alt":40,'
              '"fix":1,"sats":9,"hdop":0.9,"dist_m":null,"sent_us":%d,"answered_us":null,"mode":"%s","spreading":0,'
              '"period_ms":1000,"checksum_ok":true}'
              % (packet, packet % 1000, packet // 60, packet % 60, 'lost' if lost else 'answered',
                 'null' if lost else 60000, 'null' if lost else level, 'null' if lost else level - 2,
                 139.767125 + packet * 0.00044, packet * 1000000, mode))
print('{"type":"end","schema":1,"run":1,"time":null,"cause":"operator","message":"","sent":%d,"stats":{}}' % packet)
PY
}

# check NAME MODE STRONGEST WEAKEST BASIS BOUNDS: the HTML markers and KML
# placemarks coloured by the steps BOUNDS (the lowest level of steps 0..3).
check() {
  local name=$1 basis=$5 bounds=$6
  walk "$2" "$3" "$4" >"$work/$name.jsonl"
  "$tool" --to html --output "$work/$name.html" "$work/$name.jsonl"
  "$tool" --to kml --output "$work/$name.kml" "$work/$name.jsonl"
  xmllint --noout --schema "$here/kml-subset.xsd" "$work/$name.kml" 2>/dev/null || fail "$name: KML invalid"
  timeout 90 "$chromium" --headless --no-sandbox --disable-gpu --user-data-dir="$work/profile" \
      --virtual-time-budget=3000 --dump-dom "file://$work/$name.html" 2>/dev/null >"$work/$name.dom"
  python3 - "$work/$name" "$basis" "$bounds" <<'PY' || fail "$name: colours do not follow the scale"
import json, re, sys
import xml.etree.ElementTree as ET
base, basis, bounds = sys.argv[1], sys.argv[2], [int(b) for b in sys.argv[3].split(',')]
palette = ['#fee838', '#bcaf6f', '#7d7c78', '#434e6c', '#00224e']
step = lambda level: next((i for i, b in enumerate(bounds) if level >= b), 4)
levels = [r['far_rssi'] for r in map(json.loads, open(base + '.jsonl')) if r['type'] == 'exchange' and r['outcome'] == 'answered']
dom = open(base + '.dom').read()
body = re.search(r'<body[^>]*>', dom).group(0)
assert 'data-ready="1"' in body and 'data-errors="0"' in body, body
fills = [re.search(r' fill="(#[0-9a-f]{6})"', p).group(1) for p in re.findall(r'<path[^>]*qvx-answered[^>]*>', dom)]
assert len(fills) == len(levels), (len(fills), len(levels))
wrong = [(l, f) for l, f in zip(levels, fills) if f != palette[step(l)]]
assert not wrong, ('HTML', wrong[:5])
legend = re.search(r'<div class="qvx-legend[^"]*"[^>]*>(.*?)</div>', dom, re.S).group(1)
assert 'scale: ' + basis in legend, legend
labels = ['&gt;= %d dBm' % bounds[0]] + ['%d .. %d dBm' % (bounds[i], bounds[i - 1] - 1) for i in (1, 2, 3)] + ['&lt; %d dBm' % bounds[3]]
assert all(l in legend for l in labels), (labels, legend)
ns = {'k': 'http://www.opengis.net/kml/2.2'}
doc = ET.parse(base + '.kml').getroot().find('k:Document', ns)
description = doc.find('k:description', ns).text
assert basis in description and all(l.replace('&gt;', '>').replace('&lt;', '<') in description for l in labels), description
styles = {s.get('id'): s.find('k:IconStyle/k:color', ns).text for s in doc.findall('k:Style', ns)}
kml = []
for folder in doc.iter('{http://www.opengis.net/kml/2.2}Folder'):
    if folder.findtext('k:name', namespaces=ns) != 'answered':
        continue
    for p in folder.findall('k:Placemark', ns):
        far = p.find(".//k:SimpleData[@name='far_rssi']", ns)
        kml.append((int(far.text), p.findtext('k:styleUrl', namespaces=ns)))
assert [l for l, _ in kml] == levels, 'KML placemarks'
wrong = [(l, s) for l, s in kml if s != '#rssi%d' % step(l)]
assert not wrong, ('KML', wrong[:5])
# The styles keep the palette: aabbggrr.
assert all(styles['rssi%d' % i] == 'ff' + c[5:7] + c[3:5] + c[1:3] for i, c in enumerate(palette)), styles
print('%s: %d markers and placemarks, %d classes below -110 dBm' % (base.rsplit('/', 1)[1], len(levels),
      len({step(l) for l in levels if l < -110})))
PY
}

check lora LoRa -80 -125 'LoRa steps' -90,-105,-120,-130
grep -q '"scaleBasis":"LoRa steps"' "$work/lora.html" || fail "LoRa: scale basis not in the page"
check fsk FSK -50 -115 'FSK steps' -70,-85,-100,-110
check deep FSK -80 -130 "the run's range -130 .. -80 dBm" -90,-100,-110,-120
echo "level scales checked"
