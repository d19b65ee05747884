#!/usr/bin/env bash
# The stoichiometry, the dual-channel search, the corrections estimate and
# D with and without the setup's corrections, on simulated µs-ALEX
# measurements with donor-only and acceptor-only molecules and an imperfect
# setup (bench/measurement_recovery.cpp says what each figure is).  Each
# replicate: 120 s, chain:6 at D = 1e-14 m^2/s, 30 % donor-only and 15 %
# acceptor-only molecules, leakage 0.07, direct excitation 0.05, gamma 0.8,
# background 500 and 300 Hz; D scanned with chain:6 and the background
# estimated (-d 100, 13 coefficients from 0.4 to 2.5e-14 m^2/s, 1000
# bootstrap resamples).
#
#   bench/corrections_recovery.sh [BUILD_DIR] [REPLICATES]   (default build, 3)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
replicates=${2:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
setup=(--leakage 0.07 --dir-ex 0.05 --gamma 0.8)
for ((k = 1; k <= replicates; ++k)); do
  seed=$((100 + k))
  "$build/simulate_measurement" --type usALEX --duration 120 --burst-size 100 --model chain:6 \
    -D 1 --donor-only 0.3 --acceptor-only 0.15 "${setup[@]}" --seed "$seed" m.h5 >/dev/null
  echo "== replicate $k (seed $seed)"
  "$build/bench/measurement_recovery" populations m.h5 m.bursts.csv "${setup[@]}"
  echo "D, S selected (0.2 to 0.8), the setup's corrections:"
  "$build/bench/measurement_recovery" scan m.h5 --model chain:6 --where S=0.2:0.8 "${setup[@]}"
  echo "D, S selected, no corrections:"
  "$build/bench/measurement_recovery" scan m.h5 --model chain:6 --where S=0.2:0.8
  echo "D, every burst, no corrections:"
  "$build/bench/measurement_recovery" scan m.h5 --model chain:6
done
