#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (a no-op when everything is
# there), then configures and builds into build/. Executables land in
# build/bin/. Usage: scripts/setup.sh [extra cmake -D options]
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ccache pkg-config
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-charts-dev qt6-qpa-plugins libgl-dev
  fonts-noto-cjk xvfb xauth imagemagick
  clang libclang-rt-14-dev
  # The analysis window saves its map and plots as SVG (QSvgGenerator).
  qt6-svg-dev
  help2man man-db dpkg-dev desktop-file-utils appstream lintian
  # qvx-export builds Leaflet into its HTML maps; its tests validate KML and
  # GPX with xmllint, open the HTML map in headless Chromium and run ajv
  # (from npm, below) for GeoJSON.
  libjs-leaflet libxml2-utils chromium nodejs
  # Tests only: the export tests read every export with GDAL (ogrinfo, typed
  # fields) and the GPX and KML with gpsbabel, as GIS users do.
  gdal-bin gpsbabel
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm may come with nodejs (as from some Node.js builds) or on its own.
command -v npm >/dev/null || missing+=(npm)
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build_dir="${QVX_BUILD_DIR:-build}"
# The GeoJSON schema validator of the export tests, pinned, in build-tools/
# (shared by the normal and the sanitizer build).
npm_dir=build-tools/npm
if [[ ! -x "$npm_dir/node_modules/.bin/ajv" || ! -f "$npm_dir/node_modules/geojson-schema/FeatureCollection.json" ]]; then
  npm install --prefix "$npm_dir" --no-audit --no-fund --silent ajv-cli@5.0.0 geojson-schema@1.0.5 >/dev/null
fi
cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build "$build_dir" -j"$(nproc)"
