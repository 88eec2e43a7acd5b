#!/usr/bin/env bash
# Sets up (the programs only: scripts/setup.sh --run), builds and starts
# the program.
#
# With options, the program starts with them (see build/bin/qvx-loopback
# --help): `scripts/run.sh --port /dev/ttyUSB0` names the radio module's
# port. Without options, a radio module answering on a USB-serial port
# (scripts/module-port.sh) is started with; when none answers (no port, or
# only a GPS receiver or other devices) it runs the demo: the built-in
# module simulator and a GPS receiver walking a route, each on a
# pseudo-terminal, and a run against them with the logs saved and the link
# analysis window open beside the main one:
#   - with a display, a continuous run in the window (stop it with its button);
#   - without one, a counted run of 10 under a virtual X screen, then the
#     window's picture, the log files, the record stream (.jsonl) and the run
#     report (.summary.txt, also printed) are left in build/demo and named.
# QVX_DEMO=1 forces the demo, QVX_DEMO_COUNT=N sets the counted run's length,
# QVX_DEMO_LOG=NAME the logs' name (default demo), QVX_DEMO_SPEED=M the walk's
# speed in m/s (default 1.4).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh --run >&2
root=$PWD
bin=$root/build/bin

if [[ $# -gt 0 ]]; then
    exec "$bin/qvx-loopback" "$@"
fi
source "$root/scripts/module-port.sh"
if [[ "${QVX_DEMO:-}" != 1 ]] && radio=$(module_port); then
    echo "A radio module answers on $radio: starting with it" >&2
    exec "$bin/qvx-loopback" --port "$radio"
fi

# The demo's own folder: the program keeps its settings and logs beside
# itself, so it runs from a copy with the two result sounds.
demo=$root/build/demo
mkdir -p "$demo"
cp -f "$bin/qvx-loopback" "$bin/COMP.wav" "$bin/NO_COMP.wav" "$bin/ALARM.wav" "$demo/"

pids=()
# The simulator and the feeder end with the demo, however it ends.
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do
        for _ in $(seq 20); do kill -0 "$p" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$p" 2>/dev/null || true
    done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

source "$root/scripts/pty-path.sh"
# The simulated link follows the walker: the loopback unit stands where the
# walk starts, and the levels fall and packets get lost with the distance
# to it (qvx-sim --help: the path-loss law's defaults), read from where the
# GPS walk writes where it is. The floor noise wanders; no loss but the
# law's. A trace left by an earlier demo is removed first, so the simulator
# never follows it.
truth=$demo/gps-truth.csv
rm -f "$truth"
"$bin/qvx-sim" --mode fsk --wander --loss 0 --distance-trace "$truth" --trace "$demo/sim-trace.log" \
    >"$demo/sim.out" 2>"$demo/sim.out.err" &
pids+=($!)
# A walk north-east from a point in central Tokyo at walking pace
# (QVX_DEMO_SPEED m/s for a faster one).
"$bin/qvx-nmea" --lat 35.6812 --lon 139.7671 --speed "${QVX_DEMO_SPEED:-1.4}" --heading 45 --baud 9600 \
    --truth "$truth" >"$demo/gps.out" 2>"$demo/gps.out.err" &
pids+=($!)
radio=$(pty_path "$demo/sim.out")
gps=$(pty_path "$demo/gps.out")
echo "Module simulator on $radio, GPS walk on $gps" >&2

log=${QVX_DEMO_LOG:-demo}
args=(--port "$radio" --gps-port "$gps" --gps-baud 9600 --log "$log" --analysis)
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
    "$demo/qvx-loopback" "${args[@]}" --start
else
    count=${QVX_DEMO_COUNT:-10}
    echo "No display: a counted run of $count under a virtual X screen" >&2
    rc=0
    xvfb-run -a -s "-screen 0 2200x1024x24" \
        "$demo/qvx-loopback" "${args[@]}" --count "$count" --screenshot "$demo/window.png" --quit || rc=$?
    echo "Demo finished (exit $rc). Files in $demo:"
    for f in "$demo"/window.png "$demo"/*"$log".log "$demo"/*"$log".csv "$demo"/*"$log".jsonl "$demo"/*"$log".summary.txt \
             "$demo"/qvx-loopback.ini; do
        [[ -e "$f" ]] && echo "  $f ($(stat -c %s "$f") bytes)"
    done
    exit "$rc"
fi
