#!/usr/bin/env bash
# Whole-program timings on synthetic photon records: wall time, photons per
# second and peak memory of trajectory mode (defaults) and scan mode (-n 20,
# with the default range of D and with -Dmin 0.1, which leaves out D values so
# small that rounding residue swamps the distribution of a long record).
#
# usage: bench/end_to_end.sh PELMORA GENERATE_PHOTONS [SIZE...]
#   SIZE: photon counts to run (default: 10000 100000 1000000); scan mode
#   runs only up to 100000 photons.
set -euo pipefail

if [ $# -lt 2 ]; then
  sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'
  exit 1
fi
pelmora=$(realpath "$1")
generate=$(realpath "$2")
shift 2
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "pelmora: $pelmora"
echo "threads: ${PELMORA_THREADS:-all cores ($(nproc))}"
printf '%-16s %9s %8s %11s %14s %10s\n' mode photons runs "wall [s]" "photons/s" "peak [MB]"

measure() {  # label photons runs args...
  local label=$1 photons=$2 runs=$3
  shift 3
  local status=0
  (cd "$work" && /usr/bin/time -f '%e %M' -o time.txt "$pelmora" "$@" >/dev/null 2>run.log) ||
    status=$?
  if [ "$status" -ne 0 ]; then
    printf '%-16s %9d %8d   failed (status %d): %s\n' "$label" "$photons" "$runs" "$status" \
      "$(grep -m1 ERROR "$work/run.log" || true)"
    return
  fi
  read -r wall kilobytes < <(tail -n 1 "$work/time.txt")
  awk -v l="$label" -v n="$photons" -v r="$runs" -v w="$wall" -v k="$kilobytes" \
    'BEGIN { printf "%-16s %9d %8d %11.2f %14.0f %10.1f\n", l, n, r, w, n * r / (w > 0 ? w : 0.01), k / 1024 }'
}

for n in "${sizes[@]}"; do
  "$generate" -n "$n" -rate 0.05 -seed 2026 "$work/photons_$n.txt"
  measure trajectory "$n" 1 "photons_$n.txt" map.dat
  if [ "$n" -le 100000 ]; then
    measure scan "$n" 20 -n 20 "photons_$n.txt" likelihood.dat
    measure "scan, Dmin 0.1" "$n" 20 -Dmin 0.1 -n 20 "photons_$n.txt" likelihood.dat
  fi
done
