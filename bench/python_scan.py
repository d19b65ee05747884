#!/usr/bin/python3
"""Times the Python package against pelmora-bursts on the simulated µs-ALEX
measurement of about 300 bursts of bench/bursts_bench.sh, and a Dask
LocalCluster of two worker processes against one process on one thread.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_scan.py [BUILD_DIR] [--runs N] [-d BINS] [--rounds R]

Prints the best of R rounds (the least disturbed by other load) of each.
"""

import argparse
import os
import resource
import subprocess
import sys
import tempfile
import time
import warnings

import pelmora
import pelmora.dask


def cpu_seconds():
    """CPU time of this process (all its threads) and of its finished children."""
    own = resource.getrusage(resource.RUSAGE_SELF)
    children = resource.getrusage(resource.RUSAGE_CHILDREN)
    return own.ru_utime + own.ru_stime + children.ru_utime + children.ru_stime


def best_of(rounds, *works):
    """For each work, the least wall time and the least CPU time of `rounds`
    calls; the works take turns, so that a change of the machine's load
    falls on all of them."""
    walls = [[] for _ in works]
    cpus = [[] for _ in works]
    for _ in range(rounds):
        for k, work in enumerate(works):
            start, cpu = time.perf_counter(), cpu_seconds()
            work()
            walls[k].append(time.perf_counter() - start)
            cpus[k].append(cpu_seconds() - cpu)
    return [(min(w), min(c)) for w, c in zip(walls, cpus)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--runs", type=int, default=21, help="values of D (-n)")
    parser.add_argument("-d", type=int, default=400, help="distance points")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    warnings.simplefilter("ignore", pelmora.PelmoraWarning)
    threads = pelmora._core.default_threads()

    with tempfile.TemporaryDirectory() as folder:
        def run(*command, **environment):
            subprocess.run(command, cwd=folder, check=True, capture_output=True,
                           env=dict(os.environ, **environment))

        build = os.path.abspath(args.build)
        run(os.path.join(build, "simulate_measurement"), "--duration", "60", "--type",
            "usALEX", "--burst-rate", "5", "--burst-size", "260", "--seed", "5", "m.h5")
        bursts_program = os.path.join(build, "pelmora-bursts")
        run(bursts_program, "search", "m.h5", "-o", "bursts.csv", "-q")
        m = pelmora.read_photon_hdf5(os.path.join(folder, "m.h5"))
        table = pelmora.read_burst_table(os.path.join(folder, "bursts.csv"))
        D = pelmora.log_spaced(0.1e-14, 10e-14, args.runs)
        print(f"{len(table)} bursts, {args.runs} values of D, {args.d} distance points, "
              f"{threads} threads; best of {args.rounds}")

        program, package = best_of(args.rounds, lambda: run(
            bursts_program, "scan", "m.h5", "--bursts", "bursts.csv", "-Dmin", "0.1", "-Dmax", "10",
            "-n", str(args.runs), "-d", str(args.d), "--joint", "joint.dat", "-q",
            PELMORA_THREADS=str(threads)),
            lambda: pelmora.scan((m, table), D, bins=args.d, threads=threads))
        print("                              wall       CPU")
        print(f"pelmora-bursts scan          {program[0]:6.2f} s  {program[1]:6.2f} s")
        print(f"pelmora.scan                 {package[0]:6.2f} s  {package[1]:6.2f} s   "
              f"({package[0] / program[0] - 1:+.1%} wall, {package[1] / program[1] - 1:+.1%} CPU)")

        from distributed import Client, LocalCluster
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                          dashboard_address=None) as cluster, Client(cluster) as client:
            one, spread = best_of(
                args.rounds, lambda: pelmora.scan((m, table), D, bins=args.d, threads=1),
                lambda: pelmora.dask.scan((m, table), D, client, bins=args.d))
        print(f"pelmora.scan, one thread     {one[0]:6.2f} s")
        print(f"pelmora.dask.scan, 2 workers {spread[0]:6.2f} s             ({one[0] / spread[0]:.2f}x)")


if __name__ == "__main__":
    sys.exit(main())
