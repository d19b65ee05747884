"""The package's numbers are the command-line programs' numbers, to the bit:
compared through the programs' result files and console, and against the
full-precision log L that the library's own tests pin."""

import re
import warnings

import numpy as np
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


def test_a_burst_of_a_measurement_is_its_exported_photon_file(measurement_file, tmp_path):
    m = pelmora.read_photon_hdf5(measurement_file)
    bursts = pelmora.search_bursts(m)
    burst = bursts.iloc[[int(bursts["photons"].idxmax())]]
    photons = pelmora.burst_photons(m, burst)[0]
    # The photon file the single-record program reads: each time the shortest
    # text of its single-precision value.
    (tmp_path / "burst.txt").write_text("".join(
        f"{i + 1} 0 {np.float32(t)} {4 if a else 0} 0 0 0 0\n"
        for i, (t, a) in enumerate(zip(photons.times_us, photons.is_acceptor))) + "-99999\n")
    console = run_program("pelmora", ["-Dmin", "0.1", "-Dmax", "10", "-n", "6", "-d", "50",
                                      "burst.txt", "pd.dat"], tmp_path)
    D = pelmora.log_spaced(0.1 * 1e-14, 10 * 1e-14, 6)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        from_measurement = pelmora.scan((m, burst), D, bins=50)
        from_arrays = pelmora.scan([photons], D, bins=50)
    assert console_log_l(console) == ["%10.5f" % v for v in from_measurement.loglik[0]]
    assert likelihood_text(D, from_measurement.P) == (tmp_path / "pd.dat").read_text()
    assert np.array_equal(from_measurement.loglik, from_arrays.loglik)
