#!/usr/bin/python3
"""P(D) of one measurement under several models, as one figure.

    examples/plot_models.py figure.png TRUE_D LABEL=joint.dat [LABEL=joint.dat ...]

Each joint.dat is pelmora-bursts' joint P(D) file of one scan of the same
measurement (the same -Dmin, -Dmax and -n); TRUE_D (m²/s), for a simulated
measurement, is marked.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt
import numpy as np


def main(figure_png, true_d, *curves):
    fig, ax = plt.subplots(figsize=(6, 4), dpi=120)
    for k, curve in enumerate(curves):
        label, path = curve.split("=", 1)
        joint = np.loadtxt(path)
        ax.plot(joint[:, 0], joint[:, 1], color=f"C{k}", lw=2, marker="o", ms=3, label=label)
    ax.axvline(float(true_d), color="k", ls="--", lw=1, label="simulated D")
    ax.set_xscale("log")
    ax.set_xlabel("D (m²/s)")
    ax.set_ylabel("P(D)")
    ax.legend(frameon=False, fontsize=8)
    fig.tight_layout()
    fig.savefig(figure_png)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
