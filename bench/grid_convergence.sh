#!/usr/bin/env bash
# How log L and the estimate of D converge with the number of grid points M
# of a confined model: simulated chain:6 and box:2:10 measurements (about
# 1000 bursts, D = 1e-14 m^2/s, 1.5 kHz background in each channel, seed 21,
# as bench/confined_recovery.sh), each scanned with its own model and the
# background estimated (auto) at M = 10, 16, 25, 50, 100 and 200.  Per M:
# the joint log L at its largest over the D grid, its difference from the
# finest grid's, the estimate of D with its 95 % bootstrap interval, and the
# scan's wall time.
#
#   bench/grid_convergence.sh [BUILD_DIR]   (default build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

for model in chain:6 box:2:10; do
  "$build/simulate_measurement" --duration 125 --burst-rate 8 --burst-size 150 \
    --bg-donor 1500 --bg-acceptor 1500 -D 1 --model "$model" --seed 21 m.h5 >/dev/null
  echo "simulated $model"
  echo "| M | joint log L (largest) | difference to M = 200 | D (1e-14 m^2/s) | 95 % interval | scan |"
  echo "|---:|---:|---:|---:|---|---:|"
  for bins in 200 100 50 25 16 10; do
    start=$(date +%s%N)
    "$build/pelmora-bursts" scan m.h5 --model "$model" -d "$bins" -Dmin 0.4 -Dmax 2.5 -n 13 \
      --bootstrap 1000 --summary "s_$bins.json" -q
    echo "$(( ($(date +%s%N) - start) / 1000000 ))" >"t_$bins"
  done
  for bins in 10 16 25 50 100 200; do
    /usr/bin/python3 - "$bins" "$(cat "t_$bins")" <<'PY'
import json, sys
bins, ms = sys.argv[1], float(sys.argv[2])
s = json.load(open(f"s_{bins}.json"))
finest = json.load(open("s_200.json"))
best, reference = max(s["joint_log_L"]), max(finest["joint_log_L"])
d, (lo, hi) = s["D_m2_per_s"], s["ci95_m2_per_s"]
print(f"| {bins} | {best:.2f} | {best - reference:+.2f} | {d / 1e-14:.3f} | "
      f"{lo / 1e-14:.3f} to {hi / 1e-14:.3f} | {ms / 1000:.1f} s |")
PY
  done
done
