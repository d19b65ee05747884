"""Pelmora from Python: the likelihood of the diffusion coefficient D of a
dye-to-dye distance over single-molecule FRET bursts, and the distance
distribution over time of one burst, computed by the same engine as the
command-line programs and equal to their results to the bit.

    import pelmora
    m = pelmora.read_photon_hdf5("measurement.h5")
    bursts = pelmora.search_bursts(m)                    # a pandas DataFrame
    D = pelmora.log_spaced(1e-16, 1e-13, 16)             # m^2/s
    result = pelmora.scan((m, bursts), D, progress=True)
    result.estimate.D, result.estimate.ci95        # the estimate of D, m²/s
    result.P, result.loglik, result.bursts, result.summary()

``pelmora.plot`` draws the results (matplotlib); ``pelmora.dask.scan`` runs a
scan on a Dask cluster.  Times are in µs for photon records and in s for
measurements and bursts, distances in nm, D in m²/s.  Bad input raises
ValueError, a file that cannot be read OSError, a computation that fails
RuntimeError (MemoryError when memory runs out), all with the message the
command line prints; Ctrl-C raises KeyboardInterrupt and leaves nothing
running.
"""

import importlib
from typing import Any

from ._engine import _core  # noqa: F401  (first: says how to build a missing engine)
from ._version import __version__
from ._analysis import AxisEstimate, Estimate, ScanResult, Trajectory, log_spaced, scan, trajectory
from ._measurement import (Measurement, Photons, burst_photons, estimate_corrections,
                           read_burst_table, read_photon_hdf5, read_photons, search_bursts)
from ._reprs import install_core_reprs
from ._warnings import PelmoraWarning

install_core_reprs()

__all__ = ["AxisEstimate", "Estimate", "Measurement", "PelmoraWarning", "Photons", "ScanResult",
           "Trajectory", "__version__", "burst_photons", "estimate_corrections", "log_spaced",
           "read_burst_table", "read_photon_hdf5", "read_photons", "scan", "search_bursts",
           "trajectory"]


def __getattr__(name: str) -> Any:
    # matplotlib and Dask are imported only by those who use them.
    if name in ("plot", "dask"):
        return importlib.import_module(f".{name}", __name__)
    raise AttributeError(f"module 'pelmora' has no attribute {name!r}")
