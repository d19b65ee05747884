"""Scans on a Dask cluster: the bursts are split into shares, each share is
scanned on a worker, and the client puts the shares together exactly as
``pelmora-bursts combine`` does, so that the result, the estimate of D with
its interval included, is the one of ``pelmora.scan`` to the bit.  The
workers need pelmora installed (``cmake --install build --component python``
on each machine, or a shared installation)."""

from __future__ import annotations

import math
from typing import Any, Optional

from distributed import Client, as_completed

from . import _analysis, _core
from ._analysis import Bursts, ScanResult
from ._validate import threads_count


def _scan_share(records: _core.BurstRecords, request: _core.ScanRequest, threads: int,
                call: str) -> tuple[str, list[str]]:
    """Runs on a worker: one share of the bursts, as its share file's text."""
    scanned, warnings = _core.scan_measurement(records, request, threads, None)
    return scanned.share_text(call), warnings


def scan(bursts: Bursts, D: Any, client: Client, *, chunk: Optional[int] = None, R0: float = 6.5,
         rmin: float = 0, rmax: Optional[float] = None, bins: int = 400, threads: int = 1,
         progress: bool = False, model: str = "free", background: Optional[str] = None,
         gamma: float = 1.0, leakage: float = 0.0, dir_ex: float = 0.0, beta: float = 1.0,
         bootstrap: int = 1000, seed: int = 1) -> ScanResult:
    """``pelmora.scan`` on the workers of the Dask ``client``.

    ``bursts``, ``D``, the grid, ``model``, ``background``, the corrections,
    ``bootstrap`` and ``seed`` as for ``pelmora.scan``; the background of
    "auto" is estimated here, from the measurement, which stays here.  About
    ``chunk`` bursts go to each task (default: about four tasks per worker
    thread), share i of k taking the bursts b with b mod k = i - 1;
    ``threads`` is the engine's threads per task.  ``progress=True`` shows a
    tqdm bar of the bursts scanned, moved on as each task ends.  Ctrl-C
    cancels the tasks that have not started; those running end on their
    own."""
    request = _analysis._request(D, R0, rmin, rmax, bins, model, background, gamma, leakage,
                                 dir_ex, beta)
    records = _analysis._records(bursts, request)
    call = _analysis._call("pelmora.dask.scan", chunk=chunk, R0=R0, rmin=rmin, rmax=rmax, bins=bins,
                           threads=threads, progress=progress, model=model, background=background,
                           gamma=gamma, leakage=leakage, dir_ex=dir_ex, beta=beta,
                           bootstrap=bootstrap, seed=seed)
    count = len(records)
    if chunk is None:
        slots = max(sum(client.nthreads().values()), 1)
        chunk = math.ceil(count / (4 * slots))
    if int(chunk) < 1:
        raise ValueError(f"chunk must be at least 1 (it is {chunk})")
    shares = math.ceil(count / int(chunk))
    engine_threads = threads_count(threads)
    parts = [records.share(i, shares) for i in range(1, shares + 1)]
    futures = [client.submit(_scan_share, part, request, engine_threads, call, pure=False)
               for part in parts]
    bursts_of = {future.key: len(part) for future, part in zip(futures, parts)}
    del parts
    try:
        # The bar counts bursts, a chunk's all at once when its task ends.
        with _analysis._progress_bar(progress, count * request.values, "burst") as bar:
            for finished, future in enumerate(as_completed(futures), start=1):
                if bar is not None:
                    bar.set_postfix_str(f"chunks {finished}/{shares}, {request.D.size} values of D",
                                        refresh=False)
                    bar.update(bursts_of[future.key] * request.values)
        done = client.gather(futures)
    except BaseException:
        client.cancel(futures)
        raise
    names = [f"share {i}/{shares}" for i in range(1, shares + 1)]
    parts = [_core.parse_share(text, name) for (text, _), name in zip(done, names)]
    warnings = [text for _, share_warnings in done for text in share_warnings]
    return _analysis._result(_core.combine_scans(parts, names), warnings, call, bootstrap, seed)
