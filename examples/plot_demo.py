#!/usr/bin/python3
"""Draws the results of `make demo` into one PNG, with matplotlib alone:
pelmora's distance map P(r, t) with time and distance axes and a colour bar,
and below it the mean distance with its 1σ and 2σ bands and the photons, as
pelmora.plot draws them.

    examples/plot_demo.py map.dat trajectory.dat photons.txt demo.png

map.dat is a plain map (time µs, distance nm, P per line, slice after slice),
trajectory.dat the plain trajectory file (time µs, mean nm, sd nm), photons.txt
the photon file they came from.  Times are shown in ms from its first photon.
"""

import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
from matplotlib.lines import Line2D  # noqa: E402
from matplotlib.patches import Patch  # noqa: E402

DONOR_COLOUR = "#2e8b57"
ACCEPTOR_COLOUR = "#c0392b"
MEAN_COLOUR = "#1f3a93"
END_MARKER = -99999


def read_photons(path):
    """Arrival times (µs) and acceptor flags of a photon file: records of eight
    numbers, the third the time, the fourth the type (4 and 6 acceptor), up to
    the end marker."""
    numbers = []
    with open(path, encoding="ascii") as text:
        for word in text.read().split():
            try:
                numbers.append(float(word))
            except ValueError:
                break
    records = np.array(numbers[:len(numbers) // 8 * 8]).reshape(-1, 8)
    ends = np.flatnonzero(records[:, 0] == END_MARKER)
    if ends.size:
        records = records[:ends[0]]
    return records[:, 2], np.isin(records[:, 3], (4, 6))


def read_map(path):
    """Slice times (µs), distances (nm) and P as time slices × distances."""
    columns = np.loadtxt(path)
    bins = int(np.count_nonzero(columns[:, 0] == columns[0, 0]))
    rows = columns.reshape(-1, bins, 3)
    return rows[:, 0, 0], rows[0, :, 1], rows[:, :, 2]


def main(map_path, trajectory_path, photons_path, picture_path):
    times_us, r, P = read_map(map_path)
    trajectory = np.loadtxt(trajectory_path, ndmin=2)
    photon_times, acceptor = read_photons(photons_path)
    t_first, t_last = photon_times[0], photon_times[-1]
    ms = (times_us - t_first) / 1000.0

    figure, axes = plt.subplot_mosaic([["map", "bar"], ["trajectory", "."]], figsize=(8.0, 7.0),
                                      width_ratios=[1.0, 0.03], layout="constrained")
    ax = axes["map"]
    dt = (ms[-1] - ms[0]) / max(ms.size - 1, 1)
    dr = (r[-1] - r[0]) / max(r.size - 1, 1)
    image = ax.imshow(P.T, origin="lower", aspect="auto", interpolation="nearest", cmap="magma",
                      extent=(ms[0] - dt / 2, ms[-1] + dt / 2, r[0] - dr / 2, r[-1] + dr / 2))
    ax.set_xlabel("time (ms)")
    ax.set_ylabel("distance (nm)")
    ax.set_title("Distance distribution P(r, t) of examples/photons.txt")
    figure.colorbar(image, cax=axes["bar"]).set_label("P(r, t)")

    # The bands are drawn within the map's distance range; the margins above
    # and below it hold the photons.
    ax = axes["trajectory"]
    low, high = r[0], r[-1]
    margin = 0.1 * (high - low)
    t = (trajectory[:, 0] - t_first) / 1000.0
    mean, sd = trajectory[:, 1], trajectory[:, 2]
    ax.fill_between(t, np.clip(mean - 2 * sd, low, high), np.clip(mean + 2 * sd, low, high),
                    color=MEAN_COLOUR, alpha=0.12, lw=0)
    ax.fill_between(t, np.clip(mean - sd, low, high), np.clip(mean + sd, low, high),
                    color=MEAN_COLOUR, alpha=0.28, lw=0)
    ax.plot(t, np.clip(mean, low, high), color=MEAN_COLOUR, lw=1.4)
    photons = (photon_times - t_first) / 1000.0
    ax.vlines(photons[~acceptor], high + 0.2 * margin, high + margin, color=DONOR_COLOUR, lw=0.4)
    ax.vlines(photons[acceptor], low - margin, low - 0.2 * margin, color=ACCEPTOR_COLOUR, lw=0.4)
    ax.set_ylim(low - margin, high + margin)
    ax.set_yticks([tick for tick in ax.get_yticks() if low - dr <= tick <= high + dr])
    ax.set_xlim(0.0, (t_last - t_first) / 1000.0)
    axes["map"].set_xlim(ax.get_xlim())
    ax.set_xlabel("time (ms)")
    ax.set_ylabel("distance (nm)")
    ax.set_title("Mean distance with its 1σ and 2σ bands, and the photons")
    ax.legend(handles=[Line2D([], [], color=MEAN_COLOUR, lw=1.4, label="mean"),
                       Patch(color=MEAN_COLOUR, alpha=0.4, label="±1σ"),
                       Patch(color=MEAN_COLOUR, alpha=0.15, label="±2σ"),
                       Line2D([], [], color=DONOR_COLOUR, marker="|", ls="", label="donor photon"),
                       Line2D([], [], color=ACCEPTOR_COLOUR, marker="|", ls="",
                              label="acceptor photon")],
              loc="upper center", bbox_to_anchor=(0.5, -0.14), ncols=5, fontsize="small",
              frameon=False)
    figure.savefig(picture_path, dpi=120)


if __name__ == "__main__":
    if len(sys.argv) != 5:
        sys.exit(__doc__)
    main(*sys.argv[1:])
