#!/usr/bin/python3
"""P(D) of a whole measurement from pelmora-bursts' files, as a figure.

    examples/plot_joint.py loglik.csv joint.dat figure.png [TRUE_D]

Each burst's own P(D) is drawn faintly behind the joint one (the product of
all bursts' likelihoods), on a log D axis; TRUE_D (m²/s), for a simulated
measurement, is marked.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np
import pandas as pd


def main(loglik_csv, joint_dat, figure_png, true_d=None):
    lines = pd.read_csv(loglik_csv, comment="#")
    joint = np.loadtxt(joint_dat)
    fig, ax = plt.subplots(figsize=(6, 4), dpi=120)
    for _, burst in lines.dropna(subset=["log_L"]).groupby("burst"):
        p = np.exp(burst.log_L - burst.log_L.max())
        ax.plot(burst.D_m2_per_s, p / p.sum(), color="0.6", alpha=0.15, lw=0.8)
    ax.plot(joint[:, 0], joint[:, 1], color="C3", lw=2.5, marker="o", ms=4,
            label=f"joint, {lines.dropna().burst.nunique()} bursts")
    ax.plot([], [], color="0.6", label="single bursts")
    if true_d is not None:
        ax.axvline(float(true_d), color="k", ls="--", lw=1, label="simulated D")
    ax.set_xscale("log")
    ax.set_xlabel("D (m²/s)")
    ax.set_ylabel("P(D)")
    ax.legend(frameon=False)
    fig.tight_layout()
    fig.savefig(figure_png)


if __name__ == "__main__":
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__)
    main(*sys.argv[1:])
