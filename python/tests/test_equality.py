"""The package's numbers are the command-line programs' numbers, to the bit:
compared through the programs' result files and console, and against the
full-precision log L that the library's own tests pin."""

import json
import math
import re
import warnings

import h5py
import numpy as np
import pandas as pd
import pytest

import pelmora
from conftest import EXAMPLE, run_program

# log L of the example at D = 1e-16 .. 1e-13 m^2/s, 10 values, default grid:
# the library's values pinned in tests/e2e/pinned_outputs_e2e_test.cpp.
PINNED_LOG_L = [float.fromhex(h) for h in (
    "-0x1.6ad29fbbb1b76p+10", "-0x1.55fdc97a1057cp+10", "-0x1.4620485fd5904p+10",
    "-0x1.3aa68249c4649p+10", "-0x1.32bdf3d797e37p+10", "-0x1.2e03670350973p+10",
    "-0x1.2c7489140ee6ap+10", "-0x1.2e46ad8af2aedp+10", "-0x1.33a3c4f12e672p+10",
    "-0x1.3bdf448c5d689p+10")]


def console_log_l(console):
    """The log L of each run line, as printed with "%10.5f"."""
    return re.findall(r"log L = ( *-?[0-9]+\.[0-9]{5})", console)


def likelihood_text(D, P):
    return "".join("%g %g\n" % (d, p) for d, p in zip(D, P))


@pytest.fixture(scope="module")
def example():
    return pelmora.read_photons(EXAMPLE)


def test_scan_of_one_record_is_the_programs_scan(example, tmp_path):
    console = run_program("pelmora", ["-n", "10", EXAMPLE, "pd.dat"], tmp_path)
    D = pelmora.log_spaced(0.01 * 1e-14, 10 * 1e-14, 10)  # the program's defaults
    result = pelmora.scan([example], D, threads=2)
    assert result.loglik[0].tolist() == PINNED_LOG_L
    assert result.joint_loglik.tolist() == PINNED_LOG_L
    assert likelihood_text(D, result.P) == (tmp_path / "pd.dat").read_text()
    assert console_log_l(console) == ["%10.5f" % v for v in result.loglik[0]]


@pytest.mark.parametrize("options, keywords", [
    (["-t", "40", "-d", "60"], dict(time_bins=40, bins=60)),
    (["-dt", "2500", "-d", "50", "-R", "5.5", "-min", "1", "-max", "9", "-D", "0.5"],
     dict(dt=2500, bins=50, R0=5.5, rmin=1, rmax=9, D=0.5e-14)),
])
def test_trajectory_is_the_programs_map_and_trajectory(example, tmp_path, options, keywords):
    run_program("pelmora", options + [EXAMPLE, "map.dat", "traj.dat"], tmp_path)
    traj = pelmora.trajectory(example.times_us, example.is_acceptor, **keywords)
    # The files label slice i with t_first + (t_last - t_first) i / (n + 2).
    slices = traj.times.size
    labels = [traj.t_first + (traj.t_last - traj.t_first) * i / (slices + 2)
              for i in range(1, slices + 1)]
    map_text = "".join("%f %f %f\n" % (t, r, p) for t, row in zip(labels, traj.P)
                       for r, p in zip(traj.distances, row))
    assert map_text == (tmp_path / "map.dat").read_text()
    traj_text = "".join("%f %f %f\n" % v for v in zip(labels, traj.mean, traj.sd))
    assert traj_text == (tmp_path / "traj.dat").read_text()


def burst_table_text(table):
    """The columns of the burst table that the search's DataFrame holds (burst,
    t_start_s, t_stop_s, photons_window, n_dd, n_da) as pelmora-bursts search
    writes them."""
    columns = table[["burst", "t_start_s", "t_stop_s", "photons_window", "n_dd", "n_da"]]
    return "".join("%d,%.9f,%.9f,%d,%d,%d\n" % tuple(row)
                   for row in columns.itertuples(index=False))


def written_columns(path, names):
    """The named columns of a CSV file, as written."""
    lines = path.read_text().splitlines()
    header = lines[0].split(",")
    at = [header.index(name) for name in names]
    return "".join(",".join(line.split(",")[i] for i in at) + "\n" for line in lines[1:])


def loglik_text(result):
    """loglik.csv as pelmora-bursts scan writes it."""
    return "burst,t_start_s,t_stop_s,photons_analysed,D_m2_per_s,log_L\n" + "".join(
        "%d,%.9f,%.9f,%d,%.10g,%s\n" % (b, t0, t1, n, d, "" if math.isnan(v) else "%.17g" % v)
        for b, t0, t1, n, d, v in result.table().itertuples(index=False))


def test_search_and_scan_of_a_measurement_are_the_burst_programs(measurement_file, tmp_path):
    m = pelmora.read_photon_hdf5(measurement_file)
    run_program("pelmora-bursts", ["search", measurement_file, "-o", "bursts.csv", "-q"], tmp_path)
    found = pelmora.search_bursts(m)
    assert burst_table_text(found) == written_columns(
        tmp_path / "bursts.csv",
        ["burst", "t_start_s", "t_stop_s", "photons_window", "n_dd", "n_da"])

    # The search's bursts and a window around one photon in the longest gap
    # between them, which is left out.
    gaps = found["t_start_s"].to_numpy()[1:] - found["t_stop_s"].to_numpy()[:-1]
    middle = found["t_stop_s"][gaps.argmax()] + gaps.max() / 2
    t = m.times_s[np.searchsorted(m.times_s, middle)]
    lonely = pd.DataFrame({"burst": [len(found)], "t_start_s": [t], "t_stop_s": [t]})
    pd.concat([found[["burst", "t_start_s", "t_stop_s"]], lonely]).sort_values("t_start_s").to_csv(
        tmp_path / "table.csv", index=False, float_format="%.9f")
    run_program("pelmora-bursts", ["scan", measurement_file, "--bursts", "table.csv", "-Dmin", "0.1",
                                   "-Dmax", "10", "-n", "5", "-d", "50", "--loglik", "loglik.csv",
                                   "--joint", "joint.dat", "-o", "results.h5", "-q"], tmp_path)
    table = pelmora.read_burst_table(tmp_path / "table.csv")
    D = pelmora.log_spaced(0.1 * 1e-14, 10 * 1e-14, 5)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        result = pelmora.scan((m, table), D, bins=50)
        # The bursts' photon records as arrays are the records scanned.
        from_arrays = pelmora.scan(pelmora.burst_photons(m, found), D, bins=50)
    assert result.bursts["burst"][~result.analysed].tolist() == [len(found)]
    assert np.array_equal(from_arrays.loglik, result.loglik[result.analysed])
    assert loglik_text(result) == (tmp_path / "loglik.csv").read_text()
    assert likelihood_text(D, result.P) == (tmp_path / "joint.dat").read_text()
    with h5py.File(tmp_path / "results.h5", "r") as f:
        for name, values in [("D_m2_per_s", result.D), ("log_L", result.loglik),
                             ("joint_log_L", result.joint_loglik), ("P_D", result.P),
                             ("bursts/analysed", result.analysed),
                             ("bursts/boundary_runs", result.bursts["boundary_runs"])]:
            assert np.array_equal(f[name][()], values, equal_nan=True), name


def without(summary, *keys):
    return {key: value for key, value in summary.items() if key not in keys}


# chain:6 without a background takes the programs' default, "auto" on a
# measurement; the scanned chain's per-burst lines have their own layout.
@pytest.mark.parametrize("model, background", [("free", None), ("chain:6", None),
                                               ("box:2:10", "400,300"), ("chain:4:8:3", None)])
def test_scan_and_estimate_are_the_burst_programs(measurement_file, tmp_path, model, background):
    m = pelmora.read_photon_hdf5(measurement_file)
    run_program("pelmora-bursts", ["search", measurement_file, "-o", "bursts.csv", "-q"], tmp_path)
    console = run_program("pelmora-bursts", [
        "scan", measurement_file, "--bursts", "bursts.csv", "-Dmin", "0.1", "-Dmax", "10", "-n", "5",
        "-d", "50", "--model", model, *(["--background", background] if background else []),
        "--loglik", "loglik.csv", "--joint", "joint.dat", "--summary", "summary.json", "-q"],
        tmp_path)
    table = pelmora.read_burst_table(tmp_path / "bursts.csv")
    D = pelmora.log_spaced(0.1 * 1e-14, 10 * 1e-14, 5)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        result = pelmora.scan((m, table), D, bins=50, model=model, background=background)
    confined = model != "free"
    assert (result.model, result.background) == (model, background or ("auto" if confined else "off"))
    if model != "chain:4:8:3":
        assert loglik_text(result) == (tmp_path / "loglik.csv").read_text()
    assert likelihood_text(D, result.P) == (tmp_path / "joint.dat").read_text()
    # The estimate: summary.json's, but for the settings line (which names the
    # table by its file) and the command.
    program = json.loads((tmp_path / "summary.json").read_text())
    assert without(result.summary(), "settings", "command") == \
        without(program, "settings", "command")
    assert result.summary()["command"].startswith("pelmora.scan(bursts, D, R0=6.5")
    assert result.estimate.D == program["D_m2_per_s"]
    assert list(result.estimate.ci95) == program["ci95_m2_per_s"]
    assert f"D = {result.estimate.D:.4g} m^2/s (68 %: {result.estimate.ci68[0]:.4g}" in console


def test_confined_trajectory_with_background(example):
    free = pelmora.trajectory(example.times_us, example.is_acceptor, time_bins=20, bins=60)
    named = pelmora.trajectory(example.times_us, example.is_acceptor, time_bins=20, bins=60,
                               model="free", background="off")
    assert named.P.tobytes() == free.P.tobytes()
    chain = pelmora.trajectory(example.times_us, example.is_acceptor, time_bins=20, bins=60,
                               model="chain:6")
    noisy = pelmora.trajectory(example.times_us, example.is_acceptor, time_bins=20, bins=60,
                               model="chain:6", background="2000,2000")
    # The chain's grid is its support, every point of it shown.
    assert chain.distances.size == 60 and chain.distances[0] < 0.3 and chain.distances[-1] > 25
    assert np.allclose(chain.P.sum(axis=1), 1) and np.allclose(noisy.P.sum(axis=1), 1)
    assert not np.array_equal(chain.P, noisy.P)
