"""Scans on a Dask cluster: the bursts are split into chunks, each chunk is
scanned on a worker, and the client sums the workers' rows in burst order,
exactly as ``pelmora.scan`` sums them, so that the result is the same to the
bit.  The workers need pelmora installed (``cmake --install build
--component python`` on each machine, or a shared installation)."""

import math

import numpy as np
from distributed import as_completed

from . import _analysis, _core
from ._validate import coefficients_array, grid_settings, threads_count

# The table's cells, as the chunks return them and the join takes them.
_CELLS = ("log_likelihood", "run_left_out", "boundary_photons", "most_negative",
          "residue_dominates")


def _scan_chunk(records, from_measurement, prefixes, coefficients, grid, threads):
    """Runs on a worker: the rows of one chunk of bursts."""
    joint = _core.scan(records, from_measurement, prefixes, coefficients, grid["R0"], grid["rmin"],
                       grid["rmax"], grid["bins"], threads, None)
    return {name: joint[name] for name in _CELLS + ("photons", "refused", "warnings",
                                                     "simultaneous_photons")}


def scan(bursts, D, client, *, chunk=None, R0=6.5, rmin=0, rmax=None, bins=400, threads=1,
         progress=False):
    """``pelmora.scan`` on the workers of the Dask ``client``.

    ``bursts``, ``D`` and the grid keywords as for ``pelmora.scan``.
    ``chunk`` bursts go to each task (default: about four tasks per worker
    thread); ``threads`` is the engine's threads per task.  ``progress=True``
    shows a tqdm bar of the chunks.  Ctrl-C cancels the tasks that have not
    started; those running end on their own."""
    prepared = _analysis._bursts(bursts)
    coefficients = coefficients_array(D)
    grid = grid_settings(R0, rmin, rmax, bins)
    count = len(prepared.records)
    if chunk is None:
        slots = max(sum(client.nthreads().values()), 1)
        chunk = math.ceil(count / (4 * slots))
    if int(chunk) < 1:
        raise ValueError(f"chunk must be at least 1 (it is {chunk})")
    chunk = int(chunk)
    starts = range(0, count, chunk)
    futures = [client.submit(_scan_chunk, prepared.records[s:s + chunk],
                             prepared.from_measurement, prepared.prefixes[s:s + chunk], coefficients,
                             grid, threads_count(threads), pure=False)
               for s in starts]
    try:
        with _analysis._progress_bar(progress, len(futures), "chunk") as update:
            for _ in as_completed(futures):
                if update:
                    update(1)
        rows = client.gather(futures)
    except BaseException:
        client.cancel(futures)
        raise

    def joined(name):
        return np.ascontiguousarray(np.concatenate([r[name] for r in rows]))

    joint = _core.join(coefficients, *(joined(name) for name in _CELLS),
                       joined("photons").tolist())
    joint["refused"] = [text for r in rows for text in r["refused"]]
    joint["warnings"] = [text for r in rows for text in r["warnings"]]
    joint["simultaneous_photons"] = sum(r["simultaneous_photons"] for r in rows)
    return _analysis._result(joint, prepared)
