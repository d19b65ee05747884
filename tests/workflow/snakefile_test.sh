#!/usr/bin/env bash
# The example workflow with Snakemake on 2 cores: search, three shares,
# combine; the combined files must be those of one scan over all bursts.
# usage: snakefile_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$build_dir/simulate_measurement" --duration 20 --type usALEX --burst-size 150 --seed 3 m.h5 >/dev/null
scan="-Dmin 0.3 -Dmax 3 -n 5 -d 50"
snakemake --quiet --cores 2 -s "$source_dir/examples/Snakefile" \
  --config measurement=m.h5 shares=3 "scan_options=$scan" \
  "pelmora_bursts=$build_dir/pelmora-bursts" results=out >snakemake.log 2>&1 ||
  { cat snakemake.log; exit 1; }
PELMORA_THREADS=2 "$build_dir/pelmora-bursts" scan m.h5 --bursts out/bursts.csv $scan \
  --loglik whole.csv --joint whole.dat --summary whole.json -q
cmp out/loglik.csv whole.csv
cmp out/joint.dat whole.dat
# Every line but the one that records the command that ran.
cmp <(grep -v '"command": ' out/summary.json) <(grep -v '"command": ' whole.json)
/usr/bin/python3 -c "import h5py; f = h5py.File('out/results.h5'); assert f['log_L'].shape[1] == 5"
echo "workflow results equal the single scan"
