#!/usr/bin/env bash
# Times the Photon-HDF5 reader on simulated gzip-compressed measurements:
# wall time of the read and peak memory of the whole process.
#
#   bench/photon_hdf5_read.sh PHOTON_HDF5_READ SIMULATE_MEASUREMENT [MILLIONS...]
#
# Each size is a µs-ALEX measurement of about that many million photons
# (mostly background, which costs the reader the same as burst photons).
set -euo pipefail
reader=$1
simulator=$2
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for millions in "${sizes[@]}"; do
  # 50 kHz per channel: 1e6 photons take 10 s.
  duration=$((millions * 10))
  "$simulator" --type usALEX --duration "$duration" --burst-rate 20 --bg-donor 50000 \
    --bg-acceptor 50000 --seed 1 "$work/m.h5"
  size=$(du -m "$work/m.h5" | cut -f1)
  /usr/bin/time -v "$reader" "$work/m.h5" 2> "$work/time.txt"
  peak=$(awk -F': ' '/Maximum resident set size/ {print int($2 / 1024)}' "$work/time.txt")
  wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
  echo "  file ${size} MB, peak memory ${peak} MB, process wall time ${wall}"
done
