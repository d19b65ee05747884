#!/usr/bin/env bash
# The recovery of D in confined models on 1000 simulated bursts with
# background: for chain:6 and box:2:10 at D = 1e-14 m^2/s, 1.5 kHz of
# background in each channel, the estimate with the right model and
# --background auto (and, side by side, free diffusion and the right model
# without the background) with its 95 % bootstrap interval, and the time of
# each joint scan.  The goal: D within 10 % of the truth, the interval
# covering it.
#
#   bench/confined_recovery.sh [BUILD_DIR]   (default build)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

for model in chain:6 box:2:10; do
  "$build/simulate_measurement" --duration 125 --burst-rate 8 --burst-size 150 \
    --bg-donor 1500 --bg-acceptor 1500 -D 1 --model "$model" --seed 21 m.h5 >/dev/null
  for run in "free off" "$model off" "$model auto"; do
    set -- $run
    start=$(date +%s%N)
    "$build/pelmora-bursts" scan m.h5 -d 100 -Dmin 0.4 -Dmax 2.5 -n 13 --bootstrap 1000 \
      --model "$1" --background "$2" --summary s.json -q
    seconds=$(( ($(date +%s%N) - start) / 1000000 ))
    /usr/bin/python3 - "$model" "$1" "$2" "$seconds" <<'PY'
import json, sys
s = json.load(open("s.json"))
truth = 1e-14
d, (lo, hi) = s["D_m2_per_s"], s["ci95_m2_per_s"]
print(f"simulated {sys.argv[1]:9s} scanned {sys.argv[2]:9s} background {sys.argv[3]:4s}: "
      f"{s['bursts']} bursts, D = {d / truth:.3f} (95 %: {lo / truth:.3f} to {hi / truth:.3f}) "
      f"x 1e-14 m^2/s, covers the truth: {lo <= truth <= hi}, scan {float(sys.argv[4]):.1f} s")
PY
  done
done
