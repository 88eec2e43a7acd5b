#!/usr/bin/env bash
# Takes a picture of the window at its start-up state and writes docs/window.png.
# Usage: scripts/screenshot.sh [build-dir]   (default: build; the program must already be built)
# The program runs from a scratch copy of its binary, so its settings file stays out of the tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
bin="$build/bin/qvx-loopback"
[ -x "$bin" ] || { echo "screenshot: no program at $bin (build it first)" >&2; exit 1; }
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
cp "$bin" "$scratch/"
out="$root/docs/window.png"
mkdir -p "$(dirname "$out")"
export LANG=ja_JP.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb
xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
    "$1" & pid=$!
    sleep "${SCREENSHOT_WAIT:-4}"
    import -window root "$2"
    kill "$pid"; wait "$pid" 2>/dev/null || true
' _ "$scratch/qvx-loopback" "$out"
echo "screenshot: wrote $out"
