#!/usr/bin/env bash
# Two builds of pelmora timed in turn on the same synthetic records: each
# case runs with each build and each thread count, round after round, so that
# both builds meet the same load of a shared machine.  Per run: wall time,
# task-clock (CPU time of all threads, from perf stat), page faults and peak
# memory; the summary gives the best and the worst of the rounds.  Before
# each run the script waits (up to two minutes) until both cores have been
# idle for a second, so that other work on a shared machine disturbs fewer
# runs; a run that started on a busy machine is marked "busy".
#
# usage: bench/side_by_side.sh BEFORE_PELMORA AFTER_PELMORA GENERATE_PHOTONS [ROUNDS [CASE...]]
#   CASE: mode:photons[:runs], e.g. scan:20000:20 or trajectory:100000
#   (default: trajectory and scan, -n 20, at 10^4 and 10^5 photons, and scan
#   mode at 2*10^4 photons).  Threads: 1 and 2.
set -euo pipefail

if [ $# -lt 3 ]; then
  sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//'
  exit 1
fi
builds=("$(realpath "$1")" "$(realpath "$2")")
generate=$(realpath "$3")
rounds=${4:-3}
shift $(($# < 4 ? $# : 4))
cases=("$@")
[ ${#cases[@]} -gt 0 ] ||
  cases=(trajectory:10000 scan:10000:20 scan:20000:20 trajectory:100000 scan:100000:20)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
log="$work/runs.txt"

# Waits until the machine's cores were at least 90 % idle over one second,
# for at most two minutes; prints "quiet" or "busy".
wait_for_quiet() {
  local waited=0 idle
  while :; do
    idle=$(
      read -r _ u1 n1 s1 i1 w1 q1 sq1 st1 _ </proc/stat
      sleep 1
      read -r _ u2 n2 s2 i2 w2 q2 sq2 st2 _ </proc/stat
      busy=$(((u2 + n2 + s2 + q2 + sq2 + st2) - (u1 + n1 + s1 + q1 + sq1 + st1)))
      total=$((busy + (i2 + w2) - (i1 + w1)))
      echo $((total > 0 ? 100 * (total - busy) / total : 0))
    )
    if [ "$idle" -ge 90 ]; then echo quiet; return; fi
    if [ "$waited" -ge 120 ]; then echo busy; return; fi
    sleep 2
    waited=$((waited + 3))
  done
}

run_once() {  # build mode photons runs threads
  local pelmora=$1 mode=$2 photons=$3 runs=$4 threads=$5 arguments machine
  machine=$(wait_for_quiet)
  if [ "$mode" = scan ]; then
    arguments=(-n "$runs" "photons_$photons.txt" likelihood.dat)
  else
    arguments=("photons_$photons.txt" map.dat)
  fi
  (cd "$work" && PELMORA_THREADS=$threads /usr/bin/time -f '%e %M' -o time.txt \
    perf stat -x, -e task-clock,page-faults -o stat.txt "$pelmora" "${arguments[@]}" \
    >/dev/null 2>run.log)
  local wall peak clock faults
  read -r wall peak < <(tail -n 1 "$work/time.txt")
  clock=$(awk -F, '/task-clock/ { print $1 / 1000 }' "$work/stat.txt")
  faults=$(awk -F, '/page-faults/ { print $1 }' "$work/stat.txt")
  echo "$mode $photons $threads $6 $wall $clock $faults $((peak / 1024))" >>"$log"
  printf '%-10s %7d %2d threads %-6s wall %7.2f s  task-clock %7.2f s  faults %7d  peak %5d MB  %s\n' \
    "$mode" "$photons" "$threads" "$6" "$wall" "$clock" "$faults" "$((peak / 1024))" "$machine"
}

for c in "${cases[@]}"; do
  IFS=: read -r mode photons runs <<<"$c"
  [ -f "$work/photons_$photons.txt" ] ||
    "$generate" -n "$photons" -rate 0.05 -seed 2026 "$work/photons_$photons.txt"
done
for ((round = 1; round <= rounds; ++round)); do
  echo "== round $round of $rounds ($(date -u +%H:%M:%S) UTC, load $(cut -d' ' -f1 /proc/loadavg))"
  for c in "${cases[@]}"; do
    IFS=: read -r mode photons runs <<<"$c"
    for threads in 1 2; do
      run_once "${builds[0]}" "$mode" "$photons" "${runs:-0}" "$threads" before
      run_once "${builds[1]}" "$mode" "$photons" "${runs:-0}" "$threads" after
    done
  done
done

echo "== best (worst) of $rounds rounds"
printf '%-10s %7s %7s %6s %17s %17s %9s %7s\n' mode photons threads build "wall [s]" \
  "task-clock [s]" faults "peak MB"
sort -k1,1 -k2,2n -k3,3n -k4,4r "$log" | awk '
  { key = $1 " " $2 " " $3 " " $4
    if (!(key in best) || $5 < best[key]) best[key] = $5
    if (!(key in worst) || $5 > worst[key]) worst[key] = $5
    if (!(key in cbest) || $6 < cbest[key]) cbest[key] = $6
    if (!(key in cworst) || $6 > cworst[key]) cworst[key] = $6
    faults[key] = $7; peak[key] = $8
    if (!(key in seen)) { seen[key] = 1; order[n++] = key } }
  END { for (i = 0; i < n; ++i) { k = order[i]; split(k, f, " ")
    printf "%-10s %7d %7d %6s %7.2f (%7.2f) %7.2f (%7.2f) %9d %7d\n", f[1], f[2], f[3], f[4],
      best[k], worst[k], cbest[k], cworst[k], faults[k], peak[k] } }'
