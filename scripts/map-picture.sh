#!/usr/bin/env bash
# Makes docs/map.png (the analysis window's coverage map after a walk),
# docs/map-grid.png (its grid view) and docs/rssi-distance.png (RSSI
# against distance with the path-loss fit). Without an argument the walk is
# the synthetic one of qvx-mapshot; with a run's record stream (.jsonl) it
# is that run. Usage: scripts/map-picture.sh [RUN.jsonl [--datum LAT,LON]]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${QVX_BUILD_DIR:-build}"
cmake --build "$build_dir" -j2 --target qvx-mapshot >/dev/null
QT_QPA_PLATFORM=offscreen "$build_dir/bin/qvx-mapshot" \
  --output docs/map.png --grid docs/map-grid.png --distance docs/rssi-distance.png \
  --sensitivity docs/sensitivity.png "$@"
echo "docs/map.png docs/map-grid.png docs/rssi-distance.png docs/sensitivity.png"
