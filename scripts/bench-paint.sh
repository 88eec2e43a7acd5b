#!/usr/bin/env bash
# What each of the window's paint savings buys: for each piece, RUNS pairs
# of real runs side by side on the same display, each `qvx-runbench
# --program-only COUNT` against its own qvx-sim (FSK, 300 ms), one with the
# piece off (QVX_PLAIN_PAINT=PIECE), one with everything on. Side A starts
# a moment before side B; which side has the piece off swaps every run.
# Prints, per run, each side's CPU per minute of run, period error (mean,
# p99) and response excess over the simulator's own answer time (median,
# p95, microsecond round trips); per piece the CPU ratio off / on (above 1:
# the piece saves CPU) with its mean, spread (standard deviation), least
# and greatest, and the load average before and after.
#
# Usage: scripts/bench-paint.sh [PIECES [RUNS [COUNT [BIN_DIR]]]]
#   PIECES  comma-separated (default frames,shaping,pacer); a name the
#           program does not know leaves both sides all on, which measures
#           the spread of the machine itself
#   RUNS    pairs per piece (default 5); COUNT packets a run (default 100)
#   BIN_DIR where qvx-runbench, qvx-loopback and qvx-sim are (default build/bin)
# The windows go to $DISPLAY; without one the script runs itself under
# xvfb-run (offscreen when that is missing).
set -euo pipefail

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,20p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
pieces=${1:-frames,shaping,pacer}
runs=${2:-5}
count=${3:-100}
bin=${4:-"$(cd "$(dirname "$0")/.." && pwd)/build/bin"}

if [[ -z "${DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  if command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$pieces" "$runs" "$count" "$bin"
  fi
  export QT_QPA_PLATFORM=offscreen
fi

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

load() { cut -d' ' -f1-3 /proc/loadavg; }

# side NAME OFF: one qvx-runbench, the piece OFF left out (empty: all on).
side() {
  QVX_PLAIN_PAINT=$2 "$bin/qvx-runbench" --program-only "$count" >"$work/$1.out" 2>"$work/$1.err" &
  pids+=($!)
}

# figures NAME: the five figures of a finished side, or fails.
figures() {
  local line
  line=$(grep '^program: ' "$work/$1.out" | cut -d' ' -f2-) || {
    echo "bench-paint: side $1 failed:" >&2
    cat "$work/$1.err" >&2
    return 1
  }
  echo "$line"
}

echo "machine: $(nproc) cores; $count packets a run, $runs pairs a piece; display ${DISPLAY:-offscreen}"
echo "figures: CPU s/min, period |error| mean and p99 ms, response excess median and p95 ms"
for piece in ${pieces//,/ }; do
  echo
  echo "== $piece off against all on; load average before: $(load)"
  printf '%-4s %-4s  %-40s  %-40s  %s\n' run off "piece off: CPU  per.mean per.p99 exc.med exc.p95" \
    "all on:    CPU  per.mean per.p99 exc.med exc.p95" "ratio"
  ratios=()
  for ((i = 1; i <= runs; i++)); do
    pids=()
    if ((i % 2)); then
      offside=A
      side A "$piece"; sleep 0.2; side B ""
    else
      offside=B
      side A ""; sleep 0.2; side B "$piece"
    fi
    for p in "${pids[@]}"; do wait "$p" || true; done
    pids=()
    if [[ $offside == A ]]; then off=$(figures A); on=$(figures B); else off=$(figures B); on=$(figures A); fi
    # The runbench line is period mean, period p99, excess median, p95, CPU.
    read -r pm1 pp1 em1 ep1 c1 <<<"$off"
    read -r pm2 pp2 em2 ep2 c2 <<<"$on"
    ratio=$(awk -v a="$c1" -v b="$c2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }')
    ratios+=("$ratio")
    printf '%-4s %-4s  %6.3f %8.3f %7.3f %7.3f %7.3f         %6.3f %8.3f %7.3f %7.3f %7.3f    %s\n' \
      "$i" "$offside" "$c1" "$pm1" "$pp1" "$em1" "$ep1" "$c2" "$pm2" "$pp2" "$em2" "$ep2" "$ratio"
  done
  printf '%s\n' "${ratios[@]}" | awk -v piece="$piece" '
    { r[NR] = $1; s += $1; if (NR == 1 || $1 < lo) lo = $1; if (NR == 1 || $1 > hi) hi = $1 }
    END { m = s / NR; for (i = 1; i <= NR; i++) v += (r[i] - m) ^ 2
          sd = NR > 1 ? sqrt(v / (NR - 1)) : 0
          printf "%s: CPU off / on: mean %.3f, spread (sd) %.3f, least %.3f, greatest %.3f\n", piece, m, sd, lo, hi }'
  echo "load average after: $(load)"
done
