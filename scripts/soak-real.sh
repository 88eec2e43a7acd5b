#!/usr/bin/env bash
# A long real run: the program, built as the operator gets it, against the
# module simulator and a GPS walk on pseudo-terminals, with real time, real
# timers and real ports, under a virtual X screen. Every minute it samples
# the program's resident memory and the sizes of the log files.
#   scripts/soak-real.sh [seconds]   (default 3600; FSK at 300 ms)
# Figures go to build/soak-real/samples.txt and to the terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-3600}
bin=$PWD/build/bin
[[ -x "$bin/qvx-loopback" ]] || scripts/setup.sh >&2
dir=$PWD/build/soak-real
rm -rf "$dir"
mkdir -p "$dir"
cp -f "$bin/qvx-loopback" "$bin/COMP.wav" "$bin/NO_COMP.wav" "$bin/ALARM.wav" "$dir/"

pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
}
trap cleanup EXIT
trap 'exit 130' INT TERM

pty_path() {
    for _ in $(seq 100); do
        [[ -s "$1" ]] && { head -n1 "$1"; return 0; }
        sleep 0.05
    done
    echo "soak-real.sh: no pseudo-terminal from $1" >&2
    return 1
}
"$bin/qvx-sim" --mode fsk --wander --loss 0.05 >"$dir/sim.out" 2>"$dir/sim.err" &
pids+=($!)
"$bin/qvx-nmea" --lat 35.6812 --lon 139.7671 --speed 1.4 --heading 45 --baud 9600 >"$dir/gps.out" 2>"$dir/gps.err" &
pids+=($!)
radio=$(pty_path "$dir/sim.out")
gps=$(pty_path "$dir/gps.out")

count=$((seconds * 1000 / 300))
xvfb-run -a -s "-screen 0 1280x1024x24" \
    "$dir/qvx-loopback" --port "$radio" --gps-port "$gps" --gps-baud 9600 --log soak \
    --count "$count" --screenshot "$dir/window.png" --quit >"$dir/program.out" 2>&1 &
runner=$!
pids+=($runner)

program=""
for _ in $(seq 100); do
    program=$(pgrep -f "^$dir/qvx-loopback" | head -n1 || true)
    [[ -n "$program" ]] && break
    sleep 0.1
done
[[ -n "$program" ]] || { echo "soak-real.sh: the program did not start" >&2; exit 1; }

samples=$dir/samples.txt
echo "elapsed[s]  VmRSS[kB]  CPU[s]  comm-log[bytes]  map-csv[bytes]  map-log[bytes]" | tee "$samples"
start=$(date +%s)
ticks=$(getconf CLK_TCK)
sample() {
    local rss cpu now
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$program/status" 2>/dev/null) || return 1
    cpu=$(awk -v t="$ticks" '{printf "%.1f", ($14 + $15) / t}' "/proc/$program/stat" 2>/dev/null) || return 1
    now=$(date +%s)
    size() { local f; f=$(compgen -G "$dir/$1" | head -n1 || true); [[ -n "$f" ]] && stat -c %s "$f" || echo 0; }
    echo "$((now - start))  $rss  $cpu  $(size '*Mode_soak.log')  $(size '*Map_soak.csv')  $(size '*Map_soak.log')" | tee -a "$samples"
}
while kill -0 "$program" 2>/dev/null; do
    sample || break
    for _ in $(seq 60); do kill -0 "$program" 2>/dev/null || break; sleep 1; done
done
rc=0
wait "$runner" || rc=$?
echo "program exit $rc after $(( $(date +%s) - start )) s" | tee -a "$samples"
cat "$dir/program.out" >&2 || true
exit "$rc"
