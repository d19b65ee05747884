#!/usr/bin/env bash
# The joint scan of a whole measurement against its bound and against the
# single-record program: a simulated µs-ALEX measurement of about 300 bursts
# (about 120 analysed photons each), -n 21 over the default range, default
# grid.  For 1 and 2 threads: pelmora-bursts scan; pelmora -n 21 on the
# exported bursts one after another; and the propagation bound, the
# number of propagations (2 (N - 1) per burst and D) times one benchmarked
# propagation (default grid, 20 µs steps that change from call to call)
# divided by the threads.  Also the time to read a 10^7-photon measurement.
#
# usage: bench/bursts_bench.sh BUILD_DIR   (BUILD_DIR with bench/propagate_bench)
set -euo pipefail
build=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

"$build/simulate_measurement" --duration 60 --type usALEX --burst-rate 5 --burst-size 260 \
  --seed 5 m.h5 >/dev/null
"$build/pelmora-bursts" search m.h5 -o bursts.csv -q
bursts=$(($(wc -l < bursts.csv) - 1))
# CPU time of one propagation, the least disturbed of several repetitions.
propagate_us=$("$build/bench/propagate_bench" \
  --benchmark_filter='BM_Propagate/M:1200/dt_us:20/fresh:1$' \
  --benchmark_repetitions=7 --benchmark_format=csv 2>/dev/null | awk -F, '/_min"/ { print $4 }')

timed() {  # label threads command...; prints wall, task-clock
  local label=$1 threads=$2
  shift 2
  local start end
  start=$(date +%s.%N)
  PELMORA_THREADS=$threads /usr/bin/time -f "%U %S %M" -o times "$@" >/dev/null 2>&1
  end=$(date +%s.%N)
  read -r user system peak < times
  printf '%-34s %7d %9.2f %11.2f %9.0f\n' "$label" "$threads" "$(echo "$end - $start" | bc)" \
    "$(echo "$user + $system" | bc)" "$((peak / 1024))"
}

mean=$(awk -F, 'NR > 1 { n += $5; b++ } END { printf "%.0f", n / b }' bursts.csv)
echo "bursts: $bursts of $mean analysed photons on average; one propagation: $propagate_us us CPU"
printf '%-34s %7s %9s %11s %9s\n' run threads "wall [s]" "task [s]" "peak [MB]"
for threads in 1 2; do
  timed "pelmora-bursts scan" $threads "$build/pelmora-bursts" scan m.h5 --bursts bursts.csv \
    -n 21 --loglik loglik.csv -q
done
# The propagations of the scan: 2 (N - 1) per analysed burst and D.
propagations=$(awk -F, 'NR > 1 && $6 != "" { n += 2 * ($4 - 1) } END { print n }' loglik.csv)
for threads in 1 2; do
  echo "  bound with $threads thread(s): $(echo "scale=2; $propagations * $propagate_us / 1000000 / $threads" | bc) s ($propagations propagations)"
done

mkdir -p exported
labels=$(awk -F, 'NR > 1 { print $1 }' bursts.csv)
for k in $labels; do
  "$build/pelmora-bursts" export m.h5 --bursts bursts.csv --burst "$k" -o "exported/$k.txt" \
    >/dev/null 2>&1
done
cat > each.sh <<SCRIPT
for f in exported/*.txt; do "$build/pelmora" -n 21 "\$f" pd.dat 2>/dev/null || true; done
SCRIPT
for threads in 1 2; do
  timed "pelmora -n 21 on each burst file" $threads bash each.sh
done

"$build/simulate_measurement" --duration 600 --type usALEX --burst-rate 20 --burst-size 300 \
  --bg-donor 4000 --bg-acceptor 3000 --seed 6 big.h5 >/dev/null
photons=$("$build/pelmora-bursts" info big.h5 | awk '/photons per detector/ {next} /Donor and acceptor channels/ {print $5}')
timed "info of $photons photons (gzip)" 1 "$build/pelmora-bursts" info big.h5
