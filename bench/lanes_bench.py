#!/usr/bin/python3
"""The workloads of the lane paths, a build before them against this one,
side by side: each case runs with each build and each thread count, round
after round, so that both builds meet the same load of a shared machine.
Prints the best wall time of the rounds (the least disturbed) and its CPU
time (all threads, user + system), then a Markdown table for
bench/RESULTS.md.

    /usr/bin/python3 bench/lanes_bench.py BEFORE_BUILD AFTER_BUILD [--rounds R] [CASE...]

BEFORE_BUILD is the build directory of the earlier commit (configured with
-DPELMORA_BUILD_BENCH=ON; its source tree is its parent directory): its
pelmora and pelmora-bursts, and the present bench/confined_eval_bench.cpp
compiled against its library.  AFTER_BUILD is this tree's build with the
benchmarks.  Cases (all by default):

  confined    one evaluation of log L over ~2000 simulated chain:6 bursts of
              ~120 photons at M = 10, 16, 50 and 128 (confined_eval_bench): µs per
              photon and G multiply-adds/s, and the peak (peak_bench)
  bursts      pelmora-bursts scan, free model, ~280 bursts, 21 values of D:
              photons per second
  scan        pelmora scan mode, 2·10^4 photons, -n 20
  trajectory  pelmora trajectory mode, 10^4 and 10^5 photons
  binding     pelmora.scan against pelmora-bursts scan and the engine on the
              same bursts (chain:6, M = 50 and 128, 3 values of D, no
              background), this build only

Threads: 1 and 2 (PELMORA_THREADS).  The instruction set is the widest the
processor has unless PELMORA_SIMD says otherwise."""

import argparse
import os
import resource
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
# The confined grids timed (M = 10 is the smallest a confined model takes).
MS_INT = (10, 16, 50, 128)
MS = [str(m) for m in MS_INT]


def cpu_of_children():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def timed(command, cwd, threads, environment=None):
    """Wall and CPU seconds of one run, and its standard output."""
    env = dict(os.environ, PELMORA_THREADS=str(threads), **(environment or {}))
    cpu = cpu_of_children()
    start = time.perf_counter()
    done = subprocess.run(command, cwd=cwd, env=env, check=True, capture_output=True, text=True)
    return time.perf_counter() - start, cpu_of_children() - cpu, done.stdout


def engine_before(before, folder):
    """confined_eval_bench of this tree compiled against the earlier library."""
    source = os.path.dirname(os.path.abspath(before))
    program = os.path.join(folder, "confined_eval_before")
    libraries = subprocess.run(["pkg-config", "--libs", "hdf5-serial"], capture_output=True,
                               text=True).stdout.split() or ["-lhdf5_serial"]
    subprocess.run(["g++", "-O2", "-std=c++20", "-ffp-contract=off", "-I", os.path.join(source, "src"),
                    os.path.join(HERE, "confined_eval_bench.cpp"),
                    os.path.join(before, "libpelmora_core.a"), *libraries, "-lpthread", "-o",
                    program], check=True)
    return program


class Table:
    def __init__(self):
        self.rows = []

    def add(self, *cells):
        self.rows.append(cells)
        print("  ".join(str(c) for c in cells), flush=True)

    def markdown(self, header):
        lines = ["| " + " | ".join(header) + " |", "|" + "---|" * len(header)]
        lines += ["| " + " | ".join(str(c) for c in row) + " |" for row in self.rows]
        return "\n".join(lines)


def best_of(rounds, works):
    """Each work `rounds` times, the works taking turns: per work the run of
    least wall time (wall, CPU, output)."""
    best = [None] * len(works)
    for _ in range(rounds):
        for k, work in enumerate(works):
            result = work()
            if best[k] is None or result[0] < best[k][0]:
                best[k] = result
    return best


def engine_lines(output):
    """M -> (seconds, µs per photon, GMAdd/s) from confined_eval_bench."""
    rows = {}
    for line in output.splitlines():
        fields = line.split()
        if len(fields) == 5 and fields[0].isdigit():
            rows[int(fields[0])] = (float(fields[1]), float(fields[2]), float(fields[3]))
    return rows


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("cases", nargs="*",
                        default=["confined", "bursts", "scan", "trajectory", "binding"])
    args = parser.parse_intermixed_args()
    before = os.path.abspath(args.before)
    after = os.path.abspath(args.after)
    folder = tempfile.mkdtemp()
    try:
        run_cases(args, before, after, folder)
    finally:
        shutil.rmtree(folder)


def run_cases(args, before, after, folder):
    def program(build, name):
        return os.path.join(build, name)

    simulate = program(after, "simulate_measurement")
    rounds = args.rounds
    print(f"{rounds} rounds, builds taking turns; load average before: {os.getloadavg()[0]:.2f}")

    if "confined" in args.cases or "binding" in args.cases:
        subprocess.run([simulate, "--duration", "260", "--burst-rate", "8", "--burst-size", "115",
                        "--bg-donor", "1500", "--bg-acceptor", "1500", "-D", "1", "--model",
                        "chain:6", "--seed", "21", "chain.h5"], cwd=folder, check=True,
                       capture_output=True)
    if "confined" in args.cases:
        old = engine_before(before, folder)
        new = program(after, "bench/confined_eval_bench")
        peak = subprocess.run([program(after, "bench/peak_bench"), "1"], capture_output=True,
                              text=True, check=True).stdout
        print(peak, end="")
        table = Table()
        for threads in (1, 2):
            results = best_of(rounds, [
                lambda b=b: timed([b, "chain.h5", "chain:6", "1", str(threads), "1", *MS],
                                  folder, threads) for b in (old, new)])
            lines = [engine_lines(r[2]) for r in results]
            for m in MS_INT:
                table.add(m, threads, f"{lines[0][m][1]:.3f}", f"{lines[0][m][2]:.2f}",
                          f"{lines[1][m][1]:.3f}", f"{lines[1][m][2]:.2f}",
                          f"{lines[0][m][1] / lines[1][m][1]:.2f}x")
        print(table.markdown(["M", "threads", "before µs/photon", "before GMAdd/s",
                              "after µs/photon", "after GMAdd/s", "speed-up"]))

    if "bursts" in args.cases:
        subprocess.run([simulate, "--duration", "60", "--type", "usALEX", "--burst-rate", "5",
                        "--burst-size", "260", "--seed", "5", "m.h5"], cwd=folder, check=True,
                       capture_output=True)
        subprocess.run([program(after, "pelmora-bursts"), "search", "m.h5", "-o", "bursts.csv",
                        "-q"], cwd=folder, check=True)
        runs = 21
        subprocess.run([program(after, "pelmora-bursts"), "scan", "m.h5", "--bursts", "bursts.csv",
                        "-Dmin", "0.1", "-Dmax", "10", "-n", "3", "--loglik", "l.csv", "-q"],
                       cwd=folder, check=True)
        # Photons of the analysed bursts: the loglik file's photons column,
        # once per burst.
        counts = {}
        for line in open(os.path.join(folder, "l.csv")).read().splitlines()[1:]:
            fields = line.split(",")
            counts[fields[0]] = int(fields[3])
        photons = sum(counts.values())
        print(f"{len(counts)} bursts, {photons} photons, {runs} values of D")
        table = Table()
        for threads in (1, 2):
            results = best_of(rounds, [
                lambda b=b: timed([program(b, "pelmora-bursts"), "scan", "m.h5", "--bursts",
                                   "bursts.csv", "-Dmin", "0.1", "-Dmax", "10", "-n", str(runs),
                                   "--joint", f"joint_{os.path.basename(b)}.dat", "-q"], folder,
                                  threads) for b in (before, after)])
            same = open(os.path.join(folder, f"joint_{os.path.basename(before)}.dat")).read() == \
                open(os.path.join(folder, f"joint_{os.path.basename(after)}.dat")).read()
            table.add(threads, f"{results[0][0]:.2f} s ({results[0][1]:.2f})",
                      f"{photons * runs / results[0][0] / 1e3:.0f}",
                      f"{results[1][0]:.2f} s ({results[1][1]:.2f})",
                      f"{photons * runs / results[1][0] / 1e3:.0f}",
                      f"{results[0][0] / results[1][0]:.2f}x", "same" if same else "DIFFER")
        print(table.markdown(["threads", "before: wall (CPU)", "before: k photons/s",
                              "after: wall (CPU)", "after: k photons/s", "speed-up", "joint.dat"]))

    for case, photons, arguments in (("scan", 20000, ["-n", "20"]),
                                     ("trajectory", 10000, []), ("trajectory", 100000, [])):
        if case not in args.cases:
            continue
        name = f"photons_{photons}.txt"
        if not os.path.exists(os.path.join(folder, name)):
            subprocess.run([program(after, "generate_photons"), "-n", str(photons), "-rate", "0.05",
                            "-seed", "2026", name], cwd=folder, check=True, capture_output=True)
        table = Table()
        for threads in (1, 2):
            results = best_of(rounds, [
                lambda b=b: timed([program(b, "pelmora"), *arguments, name,
                                   f"out_{os.path.basename(b)}.dat"], folder, threads)
                for b in (before, after)])
            same = open(os.path.join(folder, f"out_{os.path.basename(before)}.dat"), "rb").read() \
                == open(os.path.join(folder, f"out_{os.path.basename(after)}.dat"), "rb").read()
            table.add(case, photons, threads, f"{results[0][0]:.2f} s ({results[0][1]:.2f})",
                      f"{results[1][0]:.2f} s ({results[1][1]:.2f})",
                      f"{results[0][0] / results[1][0]:.2f}x", "same" if same else "DIFFER")
        print(table.markdown(["mode", "photons", "threads", "before: wall (CPU)",
                              "after: wall (CPU)", "speed-up", "output"]))

    if "binding" in args.cases:
        subprocess.run([program(after, "pelmora-bursts"), "search", "chain.h5", "-o",
                        "chain_bursts.csv", "-q"], cwd=folder, check=True)
        table = Table()
        for bins in (50, 128):
            for threads in (1, 2):
                script = ("import time, pelmora, warnings; warnings.simplefilter('ignore'); "
                          "m = pelmora.read_photon_hdf5('chain.h5'); "
                          "t = pelmora.read_burst_table('chain_bursts.csv'); "
                          "D = pelmora.log_spaced(0.5e-14, 2e-14, 3); s = time.perf_counter(); "
                          f"pelmora.scan((m, t), D, model='chain:6', bins={bins}, "
                          f"threads={threads}, background='off'); "
                          "print('scan', time.perf_counter() - s)")
                python = ["/usr/bin/python3", "-c", script]
                engine = [program(after, "bench/confined_eval_bench"), "chain.h5", "chain:6",
                          "0.5:2:3", str(threads), "1", str(bins)]
                bursts = [program(after, "pelmora-bursts"), "scan", "chain.h5", "--bursts",
                          "chain_bursts.csv", "--model", "chain:6", "-d", str(bins), "-Dmin",
                          "0.5", "-Dmax", "2", "-n", "3", "--background", "off", "--joint",
                          "j.dat", "-q"]
                path = dict(PYTHONPATH=os.path.join(after, "python"))
                results = best_of(rounds, [
                    lambda: timed(engine, folder, threads),
                    lambda: timed(bursts, folder, threads),
                    lambda: timed(python, folder, threads, path)])
                engine_seconds = engine_lines(results[0][2])[bins][0]
                python_seconds = float(results[2][2].split()[-1])
                table.add(bins, threads, f"{engine_seconds:.3f} s", f"{results[1][0]:.3f} s",
                          f"{python_seconds:.3f} s", f"{results[2][0]:.3f} s",
                          f"{python_seconds / engine_seconds:.3f}",
                          f"{results[2][0] / results[1][0]:.3f}")
        print(table.markdown(["M", "threads", "engine: the scan", "pelmora-bursts: the process",
                              "pelmora.scan: the call", "python: the process",
                              "call / engine", "process / pelmora-bursts"]))
    print(f"load average after: {os.getloadavg()[0]:.2f}")


if __name__ == "__main__":
    sys.exit(main())
