"""Figures of the results (matplotlib).

Each function draws into ``ax`` when given, else into a new figure, and
returns the Axes.  Times are shown in ms from the record's first photon.
"""

from __future__ import annotations

from typing import TYPE_CHECKING, Any, Optional

import matplotlib.pyplot as plt
import numpy as np
from matplotlib import ticker
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from . import _core

if TYPE_CHECKING:
    from matplotlib.axes import Axes

    from ._analysis import ScanResult, Trajectory

DONOR_COLOUR = "#2e8b57"
ACCEPTOR_COLOUR = "#c0392b"
MEAN_COLOUR = "#1f3a93"


def _axes(ax: Optional[Axes], size: tuple[float, float] = (7.0, 4.0)) -> Axes:
    if ax is not None:
        return ax
    _, ax = plt.subplots(figsize=size, layout="constrained")
    return ax


def _milliseconds(times_us: np.ndarray, t_first: float) -> np.ndarray:
    return (np.asarray(times_us) - t_first) / 1000.0


def distance_map(traj: Trajectory, ax: Optional[Axes] = None, cmap: str = "magma") -> Axes:
    """P(r, t) of a ``pelmora.trajectory`` result as an image: time (ms) across,
    distance (nm) up, with a colour bar."""
    ax = _axes(ax)
    times = _milliseconds(traj.times, traj.t_first)
    r = traj.distances
    dt = (times[-1] - times[0]) / max(times.size - 1, 1)
    dr = (r[-1] - r[0]) / max(r.size - 1, 1)
    image = ax.imshow(traj.P.T, origin="lower", aspect="auto", interpolation="nearest", cmap=cmap,
                      extent=(times[0] - dt / 2, times[-1] + dt / 2, r[0] - dr / 2, r[-1] + dr / 2))
    ax.set_xlabel("time (ms)")
    ax.set_ylabel("distance (nm)")
    ax.set_title(f"Distance distribution, D = {traj.D:.3g} m²/s")
    bar = ax.figure.colorbar(image, ax=ax, pad=0.02)
    bar.set_label("P(r, t)")
    return ax


def trajectory(traj: Trajectory, ax: Optional[Axes] = None) -> Axes:
    """The mean distance of a ``pelmora.trajectory`` result with its 1σ and 2σ
    bands, and the photons as ticks: donor photons along the top, acceptor
    photons along the bottom."""
    ax = _axes(ax)
    times = _milliseconds(traj.times, traj.t_first)
    # The mean and its bands are drawn within [rmin, rmax], the range of the
    # result; the margins above and below hold the photons.
    r = traj.distances
    low, high = r[0], r[-1]
    margin = 0.1 * (high - low)
    mean, sd = traj.mean, traj.sd
    ax.fill_between(times, np.clip(mean - 2 * sd, low, high), np.clip(mean + 2 * sd, low, high),
                    color=MEAN_COLOUR, alpha=0.12, lw=0)
    ax.fill_between(times, np.clip(mean - sd, low, high), np.clip(mean + sd, low, high),
                    color=MEAN_COLOUR, alpha=0.28, lw=0)
    ax.plot(times, np.clip(mean, low, high), color=MEAN_COLOUR, lw=1.6)

    photons = _milliseconds(traj.photon_times_us, traj.t_first)
    acceptor = traj.photon_is_acceptor
    ax.vlines(photons[~acceptor], high + 0.2 * margin, high + margin, color=DONOR_COLOUR, lw=0.6)
    ax.vlines(photons[acceptor], low - margin, low - 0.2 * margin, color=ACCEPTOR_COLOUR, lw=0.6)
    ax.set_ylim(low - margin, high + margin)
    # The points lie a fraction of a step inside [rmin, rmax]: ticks at the
    # range's own ends stay.
    step = (high - low) / max(r.size - 1, 1)
    ax.set_yticks([tick for tick in ax.get_yticks() if low - step <= tick <= high + step])
    ax.set_xlim(0.0, (traj.t_last - traj.t_first) / 1000.0)
    ax.set_xlabel("time (ms)")
    ax.set_ylabel("distance (nm)")
    ax.set_title(f"Mean distance, D = {traj.D:.3g} m²/s")
    ax.legend(handles=[Line2D([], [], color=MEAN_COLOUR, lw=1.6, label="mean"),
                       Patch(color=MEAN_COLOUR, alpha=0.4, label="±1σ"),
                       Patch(color=MEAN_COLOUR, alpha=0.15, label="±2σ"),
                       Line2D([], [], color=DONOR_COLOUR, marker="|", ls="", label="donor photon"),
                       Line2D([], [], color=ACCEPTOR_COLOUR, marker="|", ls="",
                              label="acceptor photon")],
              loc="upper left", bbox_to_anchor=(1.01, 1.0), frameon=False, fontsize="small")
    return ax


def likelihood(result: ScanResult, ax: Optional[Axes] = None) -> Axes:
    """P(D) of a ``pelmora.scan`` result on a logarithmic D axis (in units of
    1e-14 m²/s, as the command line takes D): the joint P(D) over the analysed
    bursts, and each burst's own P(D) faint behind it."""
    ax = _axes(ax)
    d = result.D / 1e-14
    analysed = np.flatnonzero(result.analysed)
    faint = float(np.clip(10.0 / max(analysed.size, 1), 0.08, 0.5))
    for b in analysed:
        ax.plot(d, _core.normalize_likelihoods(np.ascontiguousarray(result.loglik[b])),
                color="0.45", lw=0.8, alpha=faint)
    ax.plot(d, result.P, color=MEAN_COLOUR, lw=2.2, marker="o", ms=3.5)
    ax.set_xscale("log")
    ax.set_xlim(d[0], d[-1])
    plain = ticker.FuncFormatter(lambda value, _: f"{value:g}")
    ax.xaxis.set_major_formatter(plain)
    if d[-1] / d[0] < 1e3:
        ax.xaxis.set_minor_locator(ticker.LogLocator(subs=(2.0, 5.0)))
        ax.xaxis.set_minor_formatter(plain)
    ax.set_ylim(0.0, None)
    ax.set_xlabel("D (10⁻¹⁴ m²/s)")
    ax.set_ylabel("P(D)")
    ax.set_title("Likelihood of the distance diffusion coefficient")
    ax.legend(handles=[Line2D([], [], color=MEAN_COLOUR, lw=2.2, marker="o", ms=3.5,
                              label=f"joint ({analysed.size} bursts)"),
                       Line2D([], [], color="0.45", lw=0.8, label="single bursts")],
              frameon=False, fontsize="small")
    return ax


def es_histogram(bursts: Any, bins: int = 40, ax: Optional[Axes] = None,
                 E: str = "E", S: str = "S", cmap: str = "viridis") -> Axes:
    """The E–S histogram of an ALEX measurement's bursts (a DataFrame with E
    and S columns, pelmora.search_bursts), as the field draws it: the 2-D
    histogram of E (x) against S (y), with the 1-D
    histogram of E above and of S to its right, over -0.1 to 1.1 (background
    subtraction carries values a little past 0 and 1).  Bursts whose E or S
    is not defined are left out.  ``E`` and ``S`` name the columns (``"E_raw"``,
    ``"S_raw"`` for the uncorrected ones).  Returns the 2-D axes; the
    marginals are ``ax.figure.axes``."""
    try:
        e = np.asarray(bursts[E], dtype=float)
        s = np.asarray(bursts[S], dtype=float)
    except (KeyError, TypeError, ValueError):
        raise ValueError(f"es_histogram needs the burst columns {E} and {S} "
                         "(pelmora.search_bursts of an ALEX measurement)") from None
    keep = np.isfinite(e) & np.isfinite(s)
    if not keep.any():
        raise ValueError(f"No burst has both {E} and {S}: S needs acceptor excitation (ALEX)")
    e, s = e[keep], s[keep]
    edges = np.linspace(-0.1, 1.1, int(bins) + 1)
    if ax is None:
        fig = plt.figure(figsize=(6.0, 6.0))
        grid = fig.add_gridspec(2, 2, width_ratios=(4, 1), height_ratios=(1, 4),
                                wspace=0.05, hspace=0.05)
        ax = fig.add_subplot(grid[1, 0])
        top = fig.add_subplot(grid[0, 0], sharex=ax)
        right = fig.add_subplot(grid[1, 1], sharey=ax)
    else:
        inset = ax.inset_axes
        top = inset([0.0, 1.02, 1.0, 0.25], sharex=ax)
        right = inset([1.02, 0.0, 0.25, 1.0], sharey=ax)
    counts, _, _ = np.histogram2d(e, s, bins=[edges, edges])
    ax.pcolormesh(edges, edges, np.ma.masked_equal(counts.T, 0), cmap=cmap)
    ax.set_xlim(edges[0], edges[-1])
    ax.set_ylim(edges[0], edges[-1])
    ax.set_xlabel(E)
    ax.set_ylabel(S)
    top.hist(e, bins=edges, color="0.35")
    right.hist(s, bins=edges, orientation="horizontal", color="0.35")
    top.tick_params(labelbottom=False)
    right.tick_params(labelleft=False)
    top.set_ylabel("bursts")
    right.set_xlabel("bursts")
    top.set_title(f"{int(keep.sum())} bursts")
    return ax
