#!/usr/bin/python3
"""P(D) of a whole measurement from pelmora-bursts' files, as a figure.

    examples/plot_joint.py loglik.csv joint.dat figure.png [TRUE_D] [--summary summary.json]

Each burst's own P(D) is drawn faintly behind the joint one (the product of
all bursts' likelihoods), on a log D axis in units of 1e-14 m²/s; the
estimate of D and its 95 % interval from summary.json (``scan --summary``)
and TRUE_D (m²/s, for a simulated measurement) are marked.  The ticks and
marks come from the Python package: run it with the package installed or
with PYTHONPATH=build/python.
"""
import argparse
import json

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402
import pandas as pd  # noqa: E402

import pelmora.plot  # noqa: E402

UNIT = pelmora.plot.D_UNIT


def mark_summary(ax, path, colour=pelmora.plot.ESTIMATE_COLOUR, label=None):
    """The estimate of D and its 95 % interval of a summary.json, if it has them."""
    with open(path, encoding="utf-8") as f:
        summary = json.load(f)
    ci95 = summary.get("ci95_m2_per_s")
    pelmora.plot.mark_estimate(ax, summary["D_m2_per_s"] / UNIT,
                               None if ci95 is None else (ci95[0] / UNIT, ci95[1] / UNIT),
                               colour=colour, label=label)


def finish(ax, D, true_d, figure_png):
    """The axes' scale, labels and marks, and the file."""
    if true_d is not None:
        ax.axvline(float(true_d) / UNIT, color="k", ls=":", lw=1.2, label="simulated D")
    ax.set_xscale("log")
    ax.set_xlim(D[0] / UNIT, D[-1] / UNIT)
    pelmora.plot.log_ticks(ax.xaxis)
    ax.set_ylim(0.0, None)
    ax.set_xlabel("D (10⁻¹⁴ m²/s)")
    ax.set_ylabel("P(D)")
    ax.legend(frameon=False, fontsize=8)
    ax.figure.savefig(figure_png)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("loglik_csv")
    parser.add_argument("joint_dat")
    parser.add_argument("figure_png")
    parser.add_argument("true_d", nargs="?", help="the simulated D, m²/s")
    parser.add_argument("--summary", help="summary.json of the same scan: marks its estimate")
    args = parser.parse_args()

    lines = pd.read_csv(args.loglik_csv, comment="#")
    joint = np.loadtxt(args.joint_dat)
    fig, ax = plt.subplots(figsize=(6, 4), dpi=120, layout="constrained")
    for _, burst in lines.dropna(subset=["log_L"]).groupby("burst"):
        p = np.exp(burst.log_L - burst.log_L.max())
        ax.plot(burst.D_m2_per_s / UNIT, p / p.sum(), color="0.6", alpha=0.15, lw=0.8)
    ax.plot([], [], color="0.6", label="single bursts")
    ax.plot(joint[:, 0] / UNIT, joint[:, 1], color="C3", lw=2.5, marker="o", ms=4,
            label=f"joint, {lines.dropna().burst.nunique()} bursts")
    if args.summary:
        mark_summary(ax, args.summary)
    finish(ax, joint[:, 0], args.true_d, args.figure_png)


if __name__ == "__main__":
    main()
