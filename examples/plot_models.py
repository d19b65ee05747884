#!/usr/bin/python3
"""P(D) of one measurement under several models, as one figure.

    examples/plot_models.py figure.png TRUE_D LABEL=joint.dat[,summary.json] ...

Each joint.dat is pelmora-bursts' joint P(D) file of one scan of the same
measurement (the same -Dmin, -Dmax and -n), drawn on a log D axis in units
of 1e-14 m²/s; with the scan's summary.json (``scan --summary``) its
estimate of D and 95 % interval are marked in the curve's colour.  TRUE_D
(m²/s), for a simulated measurement, is marked too.  Run it with the
Python package installed or with PYTHONPATH=build/python.
"""
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

from plot_joint import UNIT, finish, mark_summary  # noqa: E402


def main(figure_png, true_d, *curves):
    fig, ax = plt.subplots(figsize=(6, 4), dpi=120, layout="constrained")
    D = None
    for k, curve in enumerate(curves):
        label, files = curve.split("=", 1)
        path, _, summary = files.partition(",")
        joint = np.loadtxt(path)
        D = joint[:, 0]
        ax.plot(D / UNIT, joint[:, 1], color=f"C{k}", lw=2, marker="o", ms=3, label=label)
        if summary:
            mark_summary(ax, summary, colour=f"C{k}", label="_estimate")
    if any("," in curve.split("=", 1)[1] for curve in curves):
        ax.plot([], [], color="0.3", ls="--", lw=1.4, label="estimate (95 % shaded)")
    finish(ax, D, true_d, figure_png)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
