#!/usr/bin/env bash
# Takes pictures of the window under a virtual X screen:
#   docs/window.png          the window at its start-up state;
#   docs/window-running.png  the window in the middle of a counted run against
#                            the module simulator (floor noise, a wandering
#                            link) and a GPS walk, each on a pseudo-terminal;
#   docs/analysis.png        the link analysis window (--analysis) during such
#                            a run, with some packets lost.
# Usage: scripts/screenshot.sh [build-dir] [start|running|analysis|all]
#        (default: build, all)
# The program must already be built. It runs from a scratch copy of its
# binary, so its settings file and logs stay out of the tree.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
which="${2:-all}"
[[ "$which" == both ]] && which=all
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
# and writes the whole screen (SHOOT_WINDOW unset) or the window of that
# title to the given file.
shoot() {
    local out=$1 wait=$2
    shift 2
    xvfb-run -a -s "-screen 0 ${SHOOT_SCREEN:-1400x900}x24" bash -c '
        out=$1 wait=$2 title=$3; shift 3
        "$@" & pid=$!
        sleep "$wait"
        id=root
        if [[ -n "$title" ]]; then
            id=$(xwininfo -root -tree | awk -v t="\"$title\"" "index(\$0, t) { print \$1; exit }")
            [[ -n "$id" ]] || { echo "screenshot: no window \"$title\"" >&2; kill "$pid"; exit 1; }
        fi
        import -window "$id" "$out"
        kill "$pid"; wait "$pid" 2>/dev/null || true
    ' _ "$out" "$wait" "${SHOOT_WINDOW:-}" "$@"
    echo "screenshot: wrote $out"
}

# The module simulator (with the given extra options) and a GPS walk on
# pseudo-terminals; sets radio and gps to their paths.
start_peers() {
    "$bin/qvx-sim" --mode fsk --firmware fv --wander "$@" >"$scratch/sim.out" 2>"$scratch/sim.out.err" &
    pids+=($!)
    "$bin/qvx-nmea" --lat 35.6812 --lon 139.7671 --speed 1.4 --heading 45 --baud 9600 \
        >"$scratch/gps.out" 2>"$scratch/gps.out.err" &
    pids+=($!)
    radio=$(pty_path "$scratch/sim.out")
    gps=$(pty_path "$scratch/gps.out")
}

source "$root/scripts/pty-path.sh"

if [[ "$which" == all || "$which" == start ]]; then
    shoot "$root/docs/window.png" "${SCREENSHOT_WAIT:-4}" "$scratch/qvx-loopback"
fi

if [[ "$which" == all || "$which" == running ]]; then
    rm -f "$scratch/qvx-loopback.ini"
    start_peers
    # A counted run far longer than the wait, so the picture is taken while
    # it runs: the frames locked, every counter, level and log filled.
    shoot "$root/docs/window-running.png" "${SCREENSHOT_RUN_WAIT:-12}" "$scratch/qvx-loopback" \
        --port "$radio" --gps-port "$gps" --gps-baud 9600 --log shot --count 100000
fi

if [[ "$which" == all || "$which" == analysis ]]; then
    rm -f "$scratch/qvx-loopback.ini" "$scratch/qvx-loopback-analysis.ini"
    # Some packets lost, one answer in eleven held past its period, and a
    # loop delay that varies, so every figure and plot has something to show.
    start_peers --loss 0.08 --jitter 25 --swap-every 11
    SHOOT_SCREEN=2200x1000 SHOOT_WINDOW="リンク解析" \
        shoot "$root/docs/analysis.png" "${SCREENSHOT_ANALYSIS_WAIT:-40}" "$scratch/qvx-loopback" \
        --port "$radio" --gps-port "$gps" --gps-baud 9600 --log shot --count 100000 --analysis
fi