#!/usr/bin/env bash
# run_script_module_port_test.sh BIN_DIR SCRIPTS_DIR: the simulated module
# (both firmware answers) is found; a GPS receiver, a module that does not
# answer, a plain file and a missing port are not.
set -euo pipefail
bin=$1 scripts=$2
scratch=$(mktemp -d)
pids=()
cleanup() {
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$scratch"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$scripts/pty-path.sh"
source "$scripts/module-port.sh"
start() {  # start TAG EXE ARGS...: the tool's pseudo-terminal into $port
    local tag=$1; shift
    "$@" >"$scratch/$tag.out" 2>"$scratch/$tag.out.err" &
    pids+=($!)
    port=$(pty_path "$scratch/$tag.out")
}
start fv "$bin/qvx-sim" --mode lora --sf 3 --wander; fv=$port
start old "$bin/qvx-sim" --firmware version; old=$port
start mute "$bin/qvx-sim" --firmware none; mute=$port
start gps "$bin/qvx-nmea" --lat 35.6812 --lon 139.7671 --baud 9600; gps=$port
touch "$scratch/file"

found=$(QVX_PROBE_PORTS="$gps $mute $scratch/file /dev/nonexistent $fv" module_port) || fail "no module among the ports"
[[ $found == "$fv" ]] || fail "found $found, not $fv"
found=$(QVX_PROBE_PORTS="$old" module_port) || fail "the older firmware's answer not taken"
[[ $found == "$old" ]] || fail "found $found"
if found=$(QVX_PROBE_PORTS="$gps $mute $scratch/file" module_port); then
    fail "a module found on $found among a GPS receiver, a mute module and a file"
fi
echo "run_script_module_port: module on $fv and $old found; GPS, mute module and file not"
