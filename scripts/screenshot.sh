#!/usr/bin/env bash
# Takes pictures of the window under a virtual X screen:
#   docs/window.png          the window at its start-up state;
#   docs/window-running.png  the window in the middle of a counted run against
#                            the module simulator (floor noise, a wandering
#                            link) and a GPS walk, each on a pseudo-terminal.
# Usage: scripts/screenshot.sh [build-dir] [start|running]   (default: build, both)
# The program must already be built. It runs from a scratch copy of its
# binary, so its settings file and logs stay out of the tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
which="${2:-both}"
bin="$build/bin"
[ -x "$bin/qvx-loopback" ] || { echo "screenshot: no program at $bin/qvx-loopback (build it first)" >&2; exit 1; }
scratch="$(mktemp -d)"
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT
cp "$bin/qvx-loopback" "$scratch/"
mkdir -p "$root/docs"
export LANG=ja_JP.UTF-8 LC_ALL=C.UTF-8 QT_QPA_PLATFORM=xcb

# Starts the program with the given options under a virtual screen, waits,
# and writes the whole screen to the given file.
shoot() {
    local out=$1 wait=$2
    shift 2
    xvfb-run -a -s "-screen 0 1400x900x24" bash -c '
        out=$1 wait=$2; shift 2
        "$@" & pid=$!
        sleep "$wait"
        import -window root "$out"
        kill "$pid"; wait "$pid" 2>/dev/null || true
    ' _ "$out" "$wait" "$@"
    echo "screenshot: wrote $out"
}

source "$root/scripts/pty-path.sh"

if [[ "$which" == both || "$which" == start ]]; then
    shoot "$root/docs/window.png" "${SCREENSHOT_WAIT:-4}" "$scratch/qvx-loopback"
fi

if [[ "$which" == both || "$which" == running ]]; then
    rm -f "$scratch/qvx-loopback.ini"
    "$bin/qvx-sim" --mode fsk --firmware fv --wander >"$scratch/sim.out" 2>"$scratch/sim.out.err" &
    pids+=($!)
    "$bin/qvx-nmea" --lat 35.6812 --lon 139.7671 --speed 1.4 --heading 45 --baud 9600 \
        >"$scratch/gps.out" 2>"$scratch/gps.out.err" &
    pids+=($!)
    radio=$(pty_path "$scratch/sim.out")
    gps=$(pty_path "$scratch/gps.out")
    # A counted run far longer than the wait, so the picture is taken while
    # it runs: the frames locked, every counter, level and log filled.
    shoot "$root/docs/window-running.png" "${SCREENSHOT_RUN_WAIT:-12}" "$scratch/qvx-loopback" \
        --port "$radio" --gps-port "$gps" --gps-baud 9600 --log shot --count 100000
fi
