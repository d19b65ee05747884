"""Each figure renders with labelled axes (the map with its colour bar); the
P(D) figure marks the estimate and its interval where they are and labels at
least three values of D over any range; the trajectory keeps its bands within
the distance range and its photons outside the data."""

import dataclasses
import os
import subprocess
import sys
import warnings

import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402
from matplotlib.collections import LineCollection  # noqa: E402

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
        scan = pelmora.scan(records, pelmora.log_spaced(1e-15, 1e-13, 6), bins=50, bootstrap=50)
        traj = pelmora.trajectory(*records[0], D=1e-14, time_bins=30, bins=50)
    # An E-S table as the search of an ALEX measurement gives it: a FRET
    # population, donor-only bursts, and one without S (NaN).
    rng = np.random.default_rng(1)
    bursts = {"E": np.r_[rng.normal(0.6, 0.1, 80), rng.normal(0.05, 0.03, 30), 0.5],
              "S": np.r_[rng.normal(0.5, 0.05, 80), rng.normal(0.97, 0.02, 30), np.nan]}
    return {"scan": scan, "traj": traj, "bursts": bursts}


def all_axes(figure):
    return [a for ax in figure.axes for a in [ax] + ax.child_axes]


@pytest.mark.parametrize("draw, subject, labels", [
    (pelmora.plot.distance_map, "traj", ("time (ms)", "distance (nm)", "P(r, t)")),
    (pelmora.plot.trajectory, "traj", ("time (ms)", "distance (nm)")),
    (pelmora.plot.likelihood, "scan", ("D (10⁻¹⁴ m²/s)", "P(D)")),
    (pelmora.plot.es_histogram, "bursts", ("E", "S", "bursts", "")),
])
def test_figure_renders_with_labelled_axes(results, draw, subject, labels):
    ax = draw(results[subject])
    figure = ax.figure
    figure.canvas.draw()
    shown = [ax.get_xlabel(), ax.get_ylabel()] + [a.get_ylabel() for a in figure.axes if a is not ax]
    assert shown == list(labels)
    assert any(a.get_title() for a in all_axes(figure))
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


@pytest.mark.parametrize("low, high", [
    (0.3, 3), (0.2, 5), (0.6, 1.5), (1.1, 1.3), (0.1, 10), (1e-3, 1e3), (1e-6, 1e8), (0.05, 0.07),
])
def test_log_ticks_label_three_to_nine_values_inside_any_range(low, high):
    values = pelmora.plot.log_tick_values(low, high)
    assert 3 <= len(values) <= 9
    assert all(low * (1 - 1e-9) <= v <= high * (1 + 1e-9) for v in values)
    labels = [f"{v:g}" for v in values]
    assert len(set(labels)) == len(labels) and all(len(label) <= 6 for label in labels)


def test_likelihood_marks_the_estimate_and_labels_a_narrow_decade(results):
    scan = results["scan"]
    ax = pelmora.plot.likelihood(scan)
    estimate = [line for line in ax.get_lines() if line.get_label().startswith("estimate")]
    assert len(estimate) == 1
    assert estimate[0].get_xdata()[0] == pytest.approx(scan.estimate.D / 1e-14, rel=1e-12)
    spans = [p.get_xy()[:, 0] for p in ax.patches]
    assert len(spans) == 1
    assert (spans[0].min(), spans[0].max()) == pytest.approx(
        tuple(c / 1e-14 for c in scan.estimate.ci95), rel=1e-12)
    # A decade of the view, as docs' figures of 0.3 to 3 show it.
    ax.set_xlim(0.3, 3)
    ax.figure.canvas.draw()
    labelled = [(t.get_position()[0], t.get_text()) for t in ax.get_xticklabels() if t.get_text()]
    assert len(labelled) >= 3
    assert all(0.3 * (1 - 1e-9) <= x <= 3 * (1 + 1e-9) for x, _ in labelled)
    plt.close(ax.figure)


def test_trajectory_keeps_bands_in_range_and_photons_outside_the_data(results):
    traj = results["traj"]
    # A mean near the range's ends with a wide spread: bands reaching past both ends.
    wide = dataclasses.replace(traj, mean=np.linspace(traj.distances[0], traj.distances[-1],
                                                      traj.times.size),
                               sd=np.full(traj.times.size, 3.0))
    ax = pelmora.plot.trajectory(wide)
    ax.figure.canvas.draw()
    low, high = ax.get_ylim()
    step = traj.distances[1] - traj.distances[0]
    assert (low, high) == pytest.approx((traj.distances[0] - step / 2,
                                         traj.distances[-1] + step / 2))
    for band in ax.collections:
        y = band.get_paths()[0].vertices[:, 1]
        assert low <= y.min() and y.max() <= high
    assert not [c for c in ax.collections if isinstance(c, LineCollection)]
    strip = ax.photon_strip
    ticks = [c for c in strip.collections if isinstance(c, LineCollection)]
    assert sum(len(c.get_segments()) for c in ticks) == traj.photon_times_us.size
    assert strip.get_window_extent().y0 >= ax.get_window_extent().y1
    plt.close(ax.figure)
