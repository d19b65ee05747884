#!/usr/bin/python3
"""A measurement from file to figures: bursts, their E-S histogram, the FRET
population selected by S (0.2 to 0.8; an ALEX measurement), the likelihood of
D over the selected bursts with the estimate of D, and the distance
trajectory of the brightest burst at the estimate.

    examples/analyse_measurement.py [MEASUREMENT.h5] [--out DIR]

Without a file it simulates a 60 s µs-ALEX measurement with
build/simulate_measurement (D = 1e-14 m^2/s, distances reflected at 2 and 11
nm, a quarter of the molecules donor-only).  Writes es_histogram.png (ALEX
only), likelihood.png, distance_map.png and trajectory.png into DIR (default:
.).
Run it from the source tree with the module built (make build):

    PYTHONPATH=build/python /usr/bin/python3 examples/analyse_measurement.py --out figures
"""

import argparse
import os
import subprocess
import sys
import tempfile

import matplotlib

matplotlib.use("Agg")

import pelmora  # noqa: E402
import pelmora.plot  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))


def simulated_measurement(folder, simulator):
    path = os.path.join(folder, "simulated.h5")
    subprocess.run([simulator, "--duration", "60", "--type", "usALEX", "--burst-rate", "4",
                    "--burst-size", "160", "--transit-ms", "3", "-D", "1", "--donor-only", "0.25",
                    "--seed", "7", path], check=True)
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("measurement", nargs="?", help="a Photon-HDF5 file (default: simulate one)")
    parser.add_argument("--out", default=".", help="folder for the three figures")
    parser.add_argument("--simulator", default=os.path.join(HERE, "..", "build", "simulate_measurement"))
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)

    with tempfile.TemporaryDirectory() as folder:
        path = args.measurement or simulated_measurement(folder, args.simulator)
        measurement = pelmora.read_photon_hdf5(path)
    bursts = pelmora.search_bursts(measurement)
    print(f"{measurement}: {len(bursts)} bursts")
    if bursts["S"].notna().any():
        # µs-ALEX or ns-ALEX: the E-S histogram, and the FRET population by S.
        ax = pelmora.plot.es_histogram(bursts)
        ax.figure.savefig(os.path.join(args.out, "es_histogram.png"), dpi=110)
        print(f"wrote {os.path.join(args.out, 'es_histogram.png')}")
        bursts = bursts[bursts["S"].between(0.2, 0.8)]
        print(f"{len(bursts)} bursts with both dyes (0.2 <= S <= 0.8)")

    D = pelmora.log_spaced(2e-15, 5e-14, 29)  # m^2/s
    scan = pelmora.scan((measurement, bursts), D, bins=100, progress=True)
    print(scan.estimate)

    brightest = bursts.loc[bursts["photons_analysed"].idxmax()]
    photons = pelmora.burst_photons(measurement, brightest)[0]
    traj = pelmora.trajectory(photons.times_us, photons.is_acceptor, scan.estimate.D,
                              time_bins=300, bins=200)
    print(traj)

    for name, draw, subject in (("likelihood", pelmora.plot.likelihood, scan),
                                ("distance_map", pelmora.plot.distance_map, traj),
                                ("trajectory", pelmora.plot.trajectory, traj)):
        ax = draw(subject)
        ax.figure.savefig(os.path.join(args.out, f"{name}.png"), dpi=110)
        print(f"wrote {os.path.join(args.out, name + '.png')}")


if __name__ == "__main__":
    sys.exit(main())
