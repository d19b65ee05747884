#!/usr/bin/env bash
# Whether the search's own windows shift D: on simulated 300-burst µs-ALEX
# measurements (60 s, chain:6 at D = 1e-14 m^2/s, 100 photons a crossing,
# background 500 and 300 Hz), D of the searched bursts' windows over D of the
# same molecules' true windows (first to last photon of the crossing), with
# the windows' own edges and with their isolated edge photons left out (the
# search's default), scanned with chain:6 and the background estimated, and
# with free diffusion and no background (pelmora-bursts scan's defaults).
# The mean and standard error over the replicates close the output.
#
#   bench/search_windows.sh [BUILD_DIR] [REPLICATES]   (default build, 20)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
replicates=${2:-20}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
for ((k = 1; k <= replicates; ++k)); do
  seed=$((200 + k))
  "$build/simulate_measurement" --type usALEX --duration 60 --burst-size 100 --model chain:6 -D 1 \
    --seed "$seed" m.h5 >/dev/null
  for scan in "chain:6 auto" "free off"; do
    set -- $scan
    echo "seed $seed model $1 background $2: $("$build/bench/measurement_recovery" windows m.h5 \
      m.bursts.csv --model "$1" --background "$2" --bootstrap 0)"
  done
done | tee runs.txt
/usr/bin/python3 - <<'PY'
import re, statistics
rows = {}
for line in open("runs.txt"):
    m = re.search(r"model (\S+) background (\S+): .*edges [\d.]+ \(x ([\d.]+);.*trimmed [\d.]+ \(x ([\d.]+);", line)
    rows.setdefault(m.group(1) + " " + m.group(2), []).append((float(m.group(3)), float(m.group(4))))
for scan, pairs in rows.items():
    for name, k in (("windows' edges", 0), ("trimmed", 1)):
        values = [p[k] for p in pairs]
        print(f"{scan:14s} {name:15s}: D / D(true windows) = {statistics.mean(values):.4f} "
              f"+- {statistics.stdev(values) / len(values) ** 0.5:.4f} ({len(values)} replicates)")
PY
