# Sourced by the scripts that start the module simulator or the NMEA feeder.
# pty_path FILE: the path a started tool prints as its first line of output
# (its pseudo-terminal), waiting up to five seconds for it.
pty_path() {
    local out=$1
    for _ in $(seq 100); do
        [[ -s "$out" ]] && { head -n1 "$out"; return 0; }
        sleep 0.05
    done
    echo "$(basename "$0"): no pseudo-terminal from $out: $(cat "$out.err")" >&2
    return 1
}
