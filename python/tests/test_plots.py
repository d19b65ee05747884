"""Each figure renders, with labelled axes (and the map with its colour bar)."""

import warnings

import matplotlib

matplotlib.use("Agg")

import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pytest  # noqa: E402

import pelmora  # noqa: E402
import pelmora.plot  # noqa: E402
from conftest import EXAMPLE  # noqa: E402


@pytest.fixture(scope="module")
def results():
    photons = pelmora.read_photons(EXAMPLE)
    records = [(photons.times_us[s:s + 300], photons.is_acceptor[s:s + 300])
               for s in range(0, 1500, 300)]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        scan = pelmora.scan(records, pelmora.log_spaced(1e-15, 1e-13, 6), bins=50)
        traj = pelmora.trajectory(*records[0], D=1e-14, time_bins=30, bins=50)
    # An E-S table as the search of an ALEX measurement gives it: a FRET
    # population, donor-only bursts, and one without S (NaN).
    rng = np.random.default_rng(1)
    bursts = {"E": np.r_[rng.normal(0.6, 0.1, 80), rng.normal(0.05, 0.03, 30), 0.5],
              "S": np.r_[rng.normal(0.5, 0.05, 80), rng.normal(0.97, 0.02, 30), np.nan]}
    return {"scan": scan, "traj": traj, "bursts": bursts}


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
    assert any(a.get_title() for a in figure.axes)
    pixels = np.asarray(figure.canvas.buffer_rgba())
    assert pixels.std() > 0
    plt.close(figure)
