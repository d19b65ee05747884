"""Figures of the results (matplotlib).

Each function draws into ``ax`` when given, else into a new figure, and
returns the Axes.  Times are shown in ms from the record's first photon, D
in units of 1e-14 m²/s (the command line's unit) on a logarithmic axis with
at least three labelled values however narrow the range (``log_ticks``).
"""

from __future__ import annotations

import math
from typing import TYPE_CHECKING, Any, Optional, Sequence

import matplotlib.pyplot as plt
import numpy as np
from matplotlib import ticker
from matplotlib.lines import Line2D
from matplotlib.patches import Patch

from . import _core

if TYPE_CHECKING:
    from matplotlib.axes import Axes
    from matplotlib.axis import Axis

    from ._analysis import ScanResult, Trajectory

DONOR_COLOUR = "#2e8b57"
ACCEPTOR_COLOUR = "#c0392b"
MEAN_COLOUR = "#1f3a93"
ESTIMATE_COLOUR = "#d35400"

# The unit of D on the figures, m²/s.
D_UNIT = 1e-14

# Mantissas of the labelled values on a logarithmic axis, sparsest first.
_MANTISSAS = ((1,), (1, 3), (1, 2, 5), (1, 2, 3, 5), (1, 1.5, 2, 3, 4, 5, 6, 7, 8, 9))
_MOST_TICKS = 9


def _axes(ax: Optional[Axes], size: tuple[float, float] = (7.0, 4.0)) -> Axes:
    if ax is not None:
        return ax
    _, ax = plt.subplots(figsize=size, layout="constrained")
    return ax


def _milliseconds(times_us: np.ndarray, t_first: float) -> np.ndarray:
    return (np.asarray(times_us) - t_first) / 1000.0


def log_tick_values(low: float, high: float) -> list[float]:
    """The labelled values of a logarithmic axis from ``low`` to ``high``:
    powers of ten, then 1-3, 1-2-5, 1-2-3-5 or every mantissa of each
    decade, whichever first gives four values or more (else three),
    and evenly spaced values over a range narrower than a factor of about
    1.5.  Never more than nine."""
    low, high = sorted((float(low), float(high)))
    if not (low > 0 and math.isfinite(high)):
        return []
    # A hair of tolerance keeps the range's own ends (0.3 of 0.3 to 3).
    inside = (low * (1 - 1e-9), high * (1 + 1e-9))
    decades = range(math.floor(math.log10(inside[0])), math.floor(math.log10(inside[1])) + 1)
    found: list[list[float]] = []
    for mantissas in _MANTISSAS:
        # float("2e-15"), not 2 * 10.0**-15: labels read 0.2, not 0.20000000000000004.
        values = [float(f"{m}e{e}") for e in decades for m in mantissas]
        values = [v for v in values if inside[0] <= v <= inside[1]]
        if mantissas == (1,) and len(values) > _MOST_TICKS:
            step = math.ceil(len(values) / _MOST_TICKS)
            values = values[::step]
        if 3 <= len(values) <= _MOST_TICKS:
            found.append(values)
    for values in found:
        if len(values) >= 4:
            return values
    if found:
        return found[0]
    values = ticker.MaxNLocator(nbins=4, steps=[1, 2, 2.5, 5, 10]).tick_values(low, high)
    return [float(f"{v:.12g}") for v in values if inside[0] <= v <= inside[1]]


class _LogTicks(ticker.Locator):
    """``log_tick_values`` over the axis' current view."""

    def __call__(self) -> Sequence[float]:
        low, high = self.axis.get_view_interval()
        return self.tick_values(low, high)

    def tick_values(self, vmin: float, vmax: float) -> Sequence[float]:
        return log_tick_values(vmin, vmax)


def log_ticks(axis: Axis) -> None:
    """Labels a logarithmic axis with plain numbers (0.3, 1, 3) at
    ``log_tick_values``, with unlabelled minor ticks between them."""
    axis.set_major_locator(_LogTicks())
    axis.set_major_formatter(ticker.FuncFormatter(lambda value, _: f"{value:g}"))
    axis.set_minor_locator(ticker.LogLocator(subs="auto"))
    axis.set_minor_formatter(ticker.NullFormatter())


def mark_estimate(ax: Axes, value: float, ci95: Optional[tuple[float, float]] = None,
                  colour: str = ESTIMATE_COLOUR, label: Optional[str] = None) -> None:
    """A vertical line at an estimate and, when given, its 95 % interval
    shaded, in the units of the axis.  ``label`` names them in the legend
    (default: the values)."""
    if label is None:
        label = f"estimate {value:.3g}"
        if ci95 is not None:
            label += f" (95 %: {ci95[0]:.3g} to {ci95[1]:.3g})"
    if ci95 is not None:
        ax.axvspan(ci95[0], ci95[1], color=colour, alpha=0.15, lw=0)
    ax.axvline(value, color=colour, lw=1.4, ls="--", label=label)


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
    bands, clipped to the result's distance range, and the photons as ticks
    in a strip above the data: donor photons in its upper row, acceptor
    photons in its lower row.  The strip is ``ax.photon_strip``."""
    ax = _axes(ax)
    times = _milliseconds(traj.times, traj.t_first)
    # The distance range of the result: its points are the centres of equal
    # cells that fill [rmin, rmax] (or a confined model's support).
    r = traj.distances
    step = (r[-1] - r[0]) / max(r.size - 1, 1)
    low, high = r[0] - step / 2, r[-1] + step / 2
    mean, sd = traj.mean, traj.sd
    ax.fill_between(times, np.clip(mean - 2 * sd, low, high), np.clip(mean + 2 * sd, low, high),
                    color=MEAN_COLOUR, alpha=0.12, lw=0)
    ax.fill_between(times, np.clip(mean - sd, low, high), np.clip(mean + sd, low, high),
                    color=MEAN_COLOUR, alpha=0.28, lw=0)
    ax.plot(times, np.clip(mean, low, high), color=MEAN_COLOUR, lw=1.6)
    ax.set_ylim(low, high)
    span = (0.0, (traj.t_last - traj.t_first) / 1000.0)
    ax.set_xlim(*span)
    ax.set_xlabel("time (ms)")
    ax.set_ylabel("distance (nm)")

    # The photons outside the data area, on the time axis of the data.
    strip = ax.inset_axes((0.0, 1.03, 1.0, 0.12), sharex=ax)
    photons = _milliseconds(traj.photon_times_us, traj.t_first)
    acceptor = np.asarray(traj.photon_is_acceptor, dtype=bool)
    strip.vlines(photons[~acceptor], 0.55, 0.95, color=DONOR_COLOUR, lw=0.6)
    strip.vlines(photons[acceptor], 0.05, 0.45, color=ACCEPTOR_COLOUR, lw=0.6)
    strip.set_ylim(0.0, 1.0)
    strip.set_yticks([0.75, 0.25], ["donor", "acceptor"], fontsize="small")
    for label, colour in zip(strip.get_yticklabels(), (DONOR_COLOUR, ACCEPTOR_COLOUR)):
        label.set_color(colour)
    strip.tick_params(axis="x", labelbottom=False, bottom=False)
    strip.tick_params(axis="y", length=0)
    strip.set_title(f"Mean distance, D = {traj.D:.3g} m²/s")
    ax.photon_strip = strip  # type: ignore[attr-defined]

    ax.legend(handles=[Line2D([], [], color=MEAN_COLOUR, lw=1.6, label="mean"),
                       Patch(color=MEAN_COLOUR, alpha=0.4, label="±1σ"),
                       Patch(color=MEAN_COLOUR, alpha=0.15, label="±2σ")],
              loc="upper left", bbox_to_anchor=(1.01, 1.0), frameon=False, fontsize="small")
    return ax


def likelihood(result: ScanResult, ax: Optional[Axes] = None) -> Axes:
    """P(D) of a ``pelmora.scan`` result on a logarithmic D axis (in units of
    1e-14 m²/s, as the command line takes D): the joint P(D) over the analysed
    bursts, each burst's own P(D) faint behind it, and the estimate of D
    with its 95 % interval (``result.estimate``)."""
    ax = _axes(ax)
    d = result.D / D_UNIT
    analysed = np.flatnonzero(result.analysed)
    faint = float(np.clip(10.0 / max(analysed.size, 1), 0.08, 0.5))
    for b in analysed:
        ax.plot(d, _core.normalize_likelihoods(np.ascontiguousarray(result.loglik[b])),
                color="0.45", lw=0.8, alpha=faint)
    ax.plot([], [], color="0.45", lw=0.8, label="single bursts")
    ax.plot(d, result.P, color=MEAN_COLOUR, lw=2.2, marker="o", ms=3.5,
            label=f"joint ({analysed.size} burst{'' if analysed.size == 1 else 's'})")
    e = result.estimate
    ci95 = None if e.ci95 is None else (e.ci95[0] / D_UNIT, e.ci95[1] / D_UNIT)
    mark_estimate(ax, e.D / D_UNIT, ci95)
    ax.set_xscale("log")
    ax.set_xlim(d[0], d[-1])
    log_ticks(ax.xaxis)
    ax.set_ylim(0.0, None)
    ax.set_xlabel("D (10⁻¹⁴ m²/s)")
    ax.set_ylabel("P(D)")
    ax.set_title("Likelihood of the distance diffusion coefficient")
    ax.legend(frameon=False, fontsize="small")
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
