#!/usr/bin/env bash
# Two real runs side by side, each against its own qvx-sim on a
# pseudo-terminal (FSK, 300 ms), started together: one with the analysis
# window open (on its statistics page, where it opens, or on PAGE), one without. Prints
# for the last LAST packets of each: round-trip p95 (the record stream's
# microsecond round trips), the period error (|interval between sends -
# 300 ms|: p95, mean, share within 1 ms) and the program's CPU per minute,
# and the machine's load.
#
# Usage: scripts/bench-window.sh [COUNT [LAST [BIN_DIR [PAGE]]]]
#   COUNT    packets per run (default 1200); LAST the tail measured (default 600)
#   BIN_DIR  where qvx-loopback and qvx-sim are (default build/bin)
#   PAGE     the analysis window's page in view: 0 statistics (default),
#            1 map, 2 RSSI against distance. Several pairs may run at once.
# The windows go to $DISPLAY; without one the script runs itself under
# xvfb-run (or offscreen when that is missing). The runs' folders (records,
# logs, CPU samples) are kept when QVX_BENCH_KEEP=1 and printed;
# QVX_BENCH_REPORT_DIR=DIR reports again on such a kept folder.
set -euo pipefail

if [[ "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
  exit 0
fi
count=${1:-1200}
last=${2:-600}
bin=${3:-"$(cd "$(dirname "$0")/.." && pwd)/build/bin"}
page=${4:-0}
period_us=300000
hz=$(getconf CLK_TCK)
((count >= last + 1)) || { echo "bench-window: COUNT must exceed LAST" >&2; exit 2; }

if [[ -z "${DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" && -z "${QVX_BENCH_REPORT_DIR:-}" ]]; then
  if command -v xvfb-run >/dev/null; then
    exec xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$count" "$last" "$bin" "$page"
  fi
  export QT_QPA_PLATFORM=offscreen
fi

work=${QVX_BENCH_REPORT_DIR:-$(mktemp -d)}
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  if [[ -n "${QVX_BENCH_REPORT_DIR:-}" ]]; then :
  elif [[ "${QVX_BENCH_KEEP:-0}" == 1 ]]; then echo "runs kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# start NAME [program options...]: a simulator and the program on it.
declare -A prog
start() {
  local name=$1
  shift
  local d="$work/$name"
  mkdir -p "$d"
  printf 'FSKTxTime    ,300  ,x\r\n' >"$d/qvx-loopback.ini"
  "$bin/qvx-sim" --mode fsk --trace "$d/sim.trace" >"$d/sim.out" 2>"$d/sim.err" &
  pids+=($!)
  for _ in $(seq 100); do [[ -s "$d/sim.out" ]] && break; sleep 0.1; done
  local pty
  pty=$(head -n1 "$d/sim.out")
  "$bin/qvx-loopback" --data-dir "$d" --port "$pty" --count "$count" --quit --jsonl - "$@" \
    >"$d/records.jsonl" 2>"$d/program.err" &
  prog[$name]=$!
  pids+=($!)
}

if [[ -z "${QVX_BENCH_REPORT_DIR:-}" ]]; then
echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg) at start; $count packets a run, last $last measured; analysis page $page"
QVX_BENCH_ANALYSIS_PAGE=$page start window --analysis
start plain

# Every 5 s: seconds, the program's CPU ticks, exchanges recorded so far.

t0=$(date +%s.%N)
while :; do
  alive=0
  for name in window plain; do
    pid=${prog[$name]}
    [[ -r /proc/$pid/stat ]] || continue
    alive=1
    ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo "")
    [[ -n "$ticks" ]] || continue
    n=$(grep -c '"type":"exchange"' "$work/$name/records.jsonl" || true)
    echo "$(date +%s.%N) $ticks $n" >>"$work/$name/cpu.samples"
  done
  ((alive)) || break
  sleep 5
done
load_end=$(cut -d' ' -f1-3 /proc/loadavg)
fi

report() {
  local name=$1
  local d="$work/$name"
  local n
  n=$(grep -c '"type":"exchange"' "$d/records.jsonl" || true)
  if ((n < count)); then
    echo "$name: only $n of $count exchanges recorded:" >&2
    cat "$d/program.err" >&2
    return 1
  fi
  grep '"type":"exchange"' "$d/records.jsonl" | tail -n "$last" | awk -v P="$period_us" '
    function num(key,   m) { return match($0, "\"" key "\":-?[0-9]+") ? substr($0, RSTART + length(key) + 3, RLENGTH - length(key) - 3) + 0 : -1 }
    { s = num("sent_us"); r = num("rtt_us"); if (r >= 0) rtt[nr++] = r / 1000
      if (NR > 1) { e = s - prev - P; if (e < 0) e = -e; err[ne++] = e / 1000 }
      prev = s }
    function p95(a, n,   i, j, t) { for (i = 1; i < n; i++) { t = a[i]; for (j = i - 1; j >= 0 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
      return n ? a[int(0.95 * n + 0.999999) - 1] : 0 }
    END { for (i = 0; i < ne; i++) { if (err[i] <= 1) w++; sum += err[i] }
          printf "%.1f %.2f %d %.1f %.1f\n", p95(rtt, nr), p95(err, ne), nr, sum / ne, 100 * w / ne }' >"$d/figures"
  # CPU per minute over the measured tail: from the first sample at or past
  # its first packet to the last sample taken while the run was going.
  awk -v from=$((count - last)) -v hz="$hz" '
    $3 >= from && !start { t1 = $1; c1 = $2; start = 1 }
    { t2 = $1; c2 = $2 }
    END { printf "%.2f\n", (t2 > t1 ? (c2 - c1) / hz / (t2 - t1) * 60 : 0) }' "$d/cpu.samples" >>"$d/figures"
  read -r rtt err answered errmean within <"$d/figures" || true
  cpu=$(tail -n1 "$d/figures")
  printf '%-10s %8s ms %10s ms %9s ms %8s %% %9s s %9s\n' "$name" "$rtt" "$err" "$errmean" "$within" "$cpu" "$answered/$last"
}
echo "last $last packets of each run; period error = |interval between sends - 300 ms|"
printf '%-10s %11s %13s %12s %10s %11s %9s\n' "run" "rtt p95" "period p95" "period mean" "<= 1 ms" "CPU/minute" "answered"
report window
report plain
# The same tails against each run's own simulator (its --trace, on the same
# microsecond clock): the round trip less the simulator's own time from the
# data command to its answer, the arrival stamp less the simulator's write
# of that answer, and the data command's receipt less the program's send.
# Each run has its simulator, whose own scheduling moves the plain round
# trip; these take it out.
if command -v python3 >/dev/null; then
  echo "against each run's simulator (p95 of the last $last): round trip less the simulator's answer time, arrival less its write, receipt less the send"
  for name in window plain; do
    python3 - "$work/$name" "$last" "$name" <<'PY'
import bisect, json, sys
d, last, name = sys.argv[1], int(sys.argv[2]), sys.argv[3]
recv, wrote = {}, {}
for line in open(d + "/sim.trace", encoding="latin-1"):
    f = line.rstrip("\n").split("\t")
    if len(f) != 4:
        continue
    if f[1].startswith("@DT05"):
        recv.setdefault(f[1][5:8], []).append(int(f[3]))
    elif f[1].startswith(">*DR=05"):
        wrote.setdefault(f[1][7:10], []).append(int(f[3]))
def near(table, key, at):
    xs = table.get(key, [])
    i = bisect.bisect_left(xs, at)
    return min((x for x in xs[max(i - 1, 0):i + 1]), key=lambda x: abs(x - at), default=None)
ex = [json.loads(l) for l in open(d + "/records.jsonl") if '"type":"exchange"' in l][-last:]
excess, stamp, send = [], [], []
for e in ex:
    r = near(recv, e["payload"], e["sent_us"])
    if r is not None:
        send.append((r - e["sent_us"]) / 1000)
    if e.get("answered_us") is None or r is None:
        continue
    w = near(wrote, e["payload"], e["answered_us"])
    if w is None:
        continue
    excess.append((e["rtt_us"] - (w - r)) / 1000)
    stamp.append((e["answered_us"] - w) / 1000)
def p95(xs):
    xs = sorted(xs)
    return xs[max(int(0.95 * len(xs) + 0.999999) - 1, 0)] if xs else float("nan")
print(f"{name:<10} {p95(excess):8.2f} ms {p95(stamp):8.2f} ms {p95(send):8.2f} ms  ({len(excess)} matched)")
PY
  done
fi
[[ -n "${load_end:-}" ]] && echo "load average at the end: $load_end (1, 5, 15 min)"
exit 0
