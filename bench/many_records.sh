#!/usr/bin/env bash
# A joint scan over many short records, as a burst analysis runs it: 300
# synthetic bursts of 30 to 500 photons (sizes spread evenly, 200 kHz photon
# rate), 21 coefficients, scanned with 1 and with 2 worker threads in turn.
#
# usage: bench/many_records.sh SCAN_RECORDS_BENCH GENERATE_PHOTONS [REPEATS [RECORDS [RUNS]]]
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,7p' "$0" | sed 's/^# \{0,1\}//'
  exit 1
fi
bench=$(realpath "$1")
generate=$(realpath "$2")
repeats=${3:-3}
records=${4:-300}
runs=${5:-21}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

files=()
for ((i = 0; i < records; ++i)); do
  # 30 + (i * 97 mod 471): 300 different sizes from 30 to 500 photons, in a scattered order.
  n=$((30 + (i * 97) % 471))
  "$generate" -n "$n" -rate 0.2 -seed $((1000 + i)) "$work/burst_$i.txt"
  files+=("$work/burst_$i.txt")
done
"$bench" 1,2 "$repeats" "$runs" "${files[@]}"
