"""Each figure renders, with labelled axes (and the map with its colour bar)."""

import os
import subprocess
import sys
import warnings

import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import pelmora  # noqa: E402
import pelmora.plot  # noqa: E402
from conftest import EXAMPLE, SOURCE_DIR, run_program  # noqa: E402


@pytest.fixture(scope="module")
def results():
    photons = pelmora.read_photons(EXAMPLE)
    records = [(photons.times_us[s:s + 300], photons.is_acceptor[s:s + 300])
               for s in range(0, 1500, 300)]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        scan = pelmora.scan(records, pelmora.log_spaced(1e-15, 1e-13, 6), bins=50)
        traj = pelmora.trajectory(*records[0], D=1e-14, time_bins=30, bins=50)
    return {"scan": scan, "traj": traj}


@pytest.mark.parametrize("draw, subject, labels", [
    (pelmora.plot.distance_map, "traj", ("time (ms)", "distance (nm)", "P(r, t)")),
    (pelmora.plot.trajectory, "traj", ("time (ms)", "distance (nm)")),
    (pelmora.plot.likelihood, "scan", ("D (10⁻¹⁴ m²/s)", "P(D)")),
])
def test_figure_renders_with_labelled_axes(results, draw, subject, labels):
    ax = draw(results[subject])
    figure = ax.figure
    figure.canvas.draw()
    shown = [ax.get_xlabel(), ax.get_ylabel()] + [a.get_ylabel() for a in figure.axes if a is not ax]
    assert shown == list(labels)
    assert ax.get_title()
    pixels = np.asarray(figure.canvas.buffer_rgba())
    assert pixels.std() > 0
    plt.close(figure)


def test_demo_picture_draws_the_programs_files(tmp_path):
    # make demo's picture, from a small run of the program on the example.
    run_program("pelmora", ["-t", "40", "-d", "60", EXAMPLE, "map.dat", "traj.dat"], tmp_path)
    subprocess.run([sys.executable, os.path.join(SOURCE_DIR, "examples", "plot_demo.py"),
                    "map.dat", "traj.dat", EXAMPLE, "demo.png"], cwd=tmp_path, check=True,
                   capture_output=True, timeout=120)
    assert (tmp_path / "demo.png").read_bytes().startswith(b"\x89PNG")
