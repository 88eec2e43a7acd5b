#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks (a no-op when everything is
# there), then configures and builds into build/ (QVX_BUILD_DIR to build
# elsewhere). Executables land in build/bin/.
#   scripts/setup.sh --run [cmake -D options]   the programs only (scripts/run.sh)
#   scripts/setup.sh [cmake -D options]         the programs and every test
set -euo pipefail
cd "$(dirname "$0")/.."

tests=1
if [[ ${1:-} == --run ]]; then
    tests=0
    shift
fi

# Building and running the programs.
run_packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-serialport-dev qt6-multimedia-dev qt6-charts-dev libgl-dev
  # Qt Charts' CMake package asks for the OpenGL module's.
  libqt6opengl6-dev
  # The X11 client library: the windows name their desktop file on X11.
  libxcb1-dev
  # The analysis window saves its map and plots as SVG (QSvgGenerator).
  qt6-svg-dev
  # The window's platform plugins (X11, and off-screen for scripts).
  qt6-qpa-plugins
  # The window's captions are Japanese, and so are the toolkit's own
  # dialogs' buttons.
  fonts-noto-cjk qt6-translations-l10n
  # Screen readers reach the windows through the accessibility bus.
  at-spi2-core
  # The demo without a display runs under a virtual X server.
  xvfb xauth
  # qvx-export builds Leaflet into its HTML maps.
  libjs-leaflet
  # The record stream's lines are parsed with simdjson (qvx-export, the
  # recorded run's opening).
  libsimdjson-dev
  # The maps' base map from an MBTiles file (an SQLite database) is read
  # through Qt's SQLite driver.
  libqt6sql6-sqlite
)
# The tests, the package and the fuzz/sanitizer builds, on top.
test_packages=(
  ccache
  # LLD links the test programs (each holds the whole window) several
  # times faster than the default linker; the build uses it when present.
  lld
  imagemagick
  # The window as the desktop sees it (xprop, xwininfo).
  x11-utils
  clang libclang-rt-14-dev
  # The package test: manual pages from --help, the package, its checks.
  help2man man-db dpkg-dev desktop-file-utils appstream lintian python3
  # The export tests validate KML and GPX with xmllint, open the HTML map in
  # headless Chromium and run ajv (from npm, below) for GeoJSON.
  libxml2-utils chromium nodejs
  # The GPS source tests run a real gpsd under gpsfake (gpsd-clients, which
  # brings python3-gps).
  gpsd gpsd-clients
  # The export tests read every export with GDAL (ogrinfo, typed fields) and
  # the GPX and KML with gpsbabel, as GIS users do.
  gdal-bin gpsbabel
  # The summary test checks the sensitivity and path-loss fits against an
  # independent fit (numpy, scipy) and the comparison's interval against
  # statsmodels.
  python3-numpy python3-scipy python3-statsmodels
)
packages=("${run_packages[@]}")
((tests)) && packages+=("${test_packages[@]}")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# npm may come with nodejs (as from some Node.js builds) or on its own.
((tests)) && ! command -v npm >/dev/null && missing+=(npm)
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "setup: installing ${missing[*]}"
  # The programs alone take what the list names and nothing the packages
  # merely recommend (video drivers, GTK, systemd: 90 packages a fresh
  # machine would otherwise unpack first); the tests take the recommends
  # too, as their tools expect them.
  recommends=()
  ((tests)) || recommends=(--no-install-recommends)
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${recommends[@]}" "${missing[@]}" >/dev/null
fi

build_dir="${QVX_BUILD_DIR:-build}"
if ((tests)); then
  # The GeoJSON schema validator of the export tests, pinned, in build-tools/
  # (shared by the normal and the sanitizer build).
  npm_dir=build-tools/npm
  if [[ ! -x "$npm_dir/node_modules/.bin/ajv" || ! -f "$npm_dir/node_modules/geojson-schema/FeatureCollection.json" ]]; then
    npm install --prefix "$npm_dir" --no-audit --no-fund --silent ajv-cli@5.0.0 geojson-schema@1.0.5 >/dev/null
  fi
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBUILD_TESTING=ON "$@" >/dev/null
  cmake --build "$build_dir" -j"$(nproc)"
else
  # A build folder already set up with the tests keeps them; either way
  # only the programs (and their sound files) are built here.
  testing=()
  # A new build directory: the programs only, in merged units (QVX_UNITY).
  [[ -f $build_dir/CMakeCache.txt ]] || testing=(-DBUILD_TESTING=OFF -DQVX_UNITY=ON)
  cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${testing[@]}" "$@" >/dev/null
  cmake --build "$build_dir" -j"$(nproc)" --target qvx-loopback qvx-sim qvx-nmea qvx-export qvx_sounds
fi
