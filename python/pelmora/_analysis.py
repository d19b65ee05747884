"""The likelihood of D over bursts with its estimate, and the distance
trajectory of one record."""

from __future__ import annotations

import contextlib
import json
import time
from warnings import catch_warnings, simplefilter
from dataclasses import dataclass, field
from typing import Any, Iterator, Optional, Sequence, Union

import numpy as np
import pandas as pd

from . import _core
from ._measurement import Measurement, table_columns
from ._reprs import count_text, interval_text
from ._validate import (INT_MAX, coefficient, coefficients_array, colours_array, finite,
                        grid_settings, threads_count, times_array, whole)
from ._warnings import warn_all

# Bursts as scan takes them: (times_us, is_acceptor) array pairs, or a
# measurement with its burst table.
Bursts = Union[Sequence[tuple[Any, Any]], tuple[Measurement, Any]]

# Seconds per background estimate of background="auto": the burst search's default.
_BACKGROUND_WINDOW_S = 60.0


def log_spaced(Dmin: float, Dmax: float, n: int) -> np.ndarray:
    """``n`` diffusion coefficients evenly spaced in log D from ``Dmin`` to
    ``Dmax`` (m²/s), exactly as ``pelmora -Dmin a -Dmax b -n n`` spaces them
    (with a, b in 1e-14 m²/s: ``log_spaced(a * 1e-14, b * 1e-14, n)``)."""
    return _core.log_spaced(float(Dmin), float(Dmax), int(n))


@contextlib.contextmanager
def _progress_bar(progress: bool, total: int, unit: str,
                  **style: Any) -> Iterator[Optional[Any]]:
    """A tqdm bar when ``progress`` is true, else None."""
    if not progress:
        yield None
        return
    with catch_warnings():
        # In Jupyter without ipywidgets tqdm falls back to a text bar, which
        # is all we need, and says so with a warning.
        simplefilter("ignore", category=Warning)
        from tqdm.auto import tqdm

    with tqdm(total=total, unit=unit, desc="pelmora", **style) as bar:
        yield bar


class _ScanProgress:
    """The engine's progress of a scan on a bar of bursts.

    The engine reports each run (one burst at one D) once, in order: burst by
    burst, each over the values of D in turn, and with a scanned model
    parameter all bursts again at each of its values.  The count of runs
    reported so tells where the scan is: the bar moves by one burst when a
    burst's last D is done, and shows the D the scan waits for next (and
    which value of the parameter), at most a few times a second."""

    _SHOW_EVERY_S = 0.2

    def __init__(self, bar: Any, D: np.ndarray, bursts: int, values: int) -> None:
        self._bar = bar
        self._D = D
        self._runs_per_value = bursts * D.size
        self._values = values
        self._runs = 0
        self._shown = time.monotonic()

    def __call__(self, runs: int) -> None:
        before = self._runs
        self._runs += runs
        current = min(self._runs, self._runs_per_value * self._values - 1)
        postfix = f"D={self._D[current % self._D.size]:.3g} m²/s"
        if self._values > 1:
            postfix = f"model value {current // self._runs_per_value + 1}/{self._values}, {postfix}"
        self._bar.set_postfix_str(postfix, refresh=False)
        bursts = self._runs // self._D.size - before // self._D.size
        if bursts:
            self._bar.update(bursts)
        elif time.monotonic() - self._shown > self._SHOW_EVERY_S:
            # A long burst: its D values go by while the count stands still.
            self._bar.refresh()
            self._shown = time.monotonic()


def _call(function: str, **keywords: Any) -> str:
    """The call as provenance records it: the function and every keyword."""
    return f"{function}(bursts, D, " + ", ".join(f"{k}={v!r}" for k, v in keywords.items()) + ")"


def _request(D: Any, R0: float, rmin: float, rmax: Optional[float], bins: int, model: str,
             background: Optional[str], gamma: float, leakage: float, dir_ex: float,
             beta: float) -> _core.ScanRequest:
    """The scan's request, checked: the library refuses what it cannot take
    (the model, the background, the grid, corrections out of range)."""
    coefficients = coefficients_array(D)
    R0, rmin, rmax, bins = grid_settings(R0, rmin, rmax, bins, model)
    return _core.scan_request(coefficients, R0, rmin, rmax, bins, str(model),
                              None if background is None else str(background), float(gamma),
                              float(leakage), float(dir_ex), float(beta))


def _records(bursts: Bursts, request: _core.ScanRequest) -> _core.BurstRecords:
    """The bursts as the library's photon records, from either form."""
    if isinstance(bursts, tuple) and len(bursts) == 2 and isinstance(bursts[0], Measurement):
        measurement, table = bursts
        numbers, starts, stops = table_columns(table)
        if numbers.size == 0:
            raise ValueError("No bursts to scan.")
        return _core.measurement_records(measurement._core, numbers, starts, stops, request,
                                         _BACKGROUND_WINDOW_S)
    if isinstance(bursts, Measurement):
        raise ValueError("Give a measurement together with its bursts: "
                         "scan((measurement, pelmora.search_bursts(measurement)), D)")
    try:
        items = list(bursts)
    except TypeError:
        raise ValueError("bursts must be a list of (times_us, is_acceptor) pairs, or "
                         "(measurement, burst table)") from None
    if not items:
        raise ValueError("No bursts to scan.")
    records = []
    for i, item in enumerate(items):
        try:
            times, colours = item
        except (TypeError, ValueError):
            raise ValueError(f"burst {i}: not a (times_us, is_acceptor) pair") from None
        where = f"burst {i}: " if len(items) > 1 else ""
        records.append((times_array(times, where + "times_us"),
                        colours_array(colours, where + "is_acceptor")))
    return _core.array_records(records)


@dataclass(frozen=True)
class AxisEstimate:
    """The estimate of one axis of a scan: the maximum of the joint log L
    (marginalised over the other axis, when there are two), refined between
    grid points (``refinement``: "parabola", "grid point" or "grid edge",
    ``at_grid_edge`` when the maximum lies at the first or last point), and
    the central 68 % and 95 % of the bootstrap resamples' maxima (None
    without a bootstrap)."""

    value: float
    ci68: Optional[tuple[float, float]]
    ci95: Optional[tuple[float, float]]
    refinement: str
    at_grid_edge: bool
    resamples_at_grid_edge: int
    resampled: np.ndarray = field(repr=False)

    def __repr__(self) -> str:
        return (f"<pelmora.AxisEstimate: {self.value:.4g} (68 %: {interval_text(self.ci68)}; "
                f"95 %: {interval_text(self.ci95)}), {self.refinement}, "
                f"{self.resampled.size} resamples ({self.resamples_at_grid_edge} at the grid's "
                f"edge)>")


@dataclass(frozen=True)
class Estimate:
    """The estimate of D (m²/s) and its bootstrap interval, as the burst
    program's last console line, summary.json and results.h5 give it.

    ``interval`` is "bootstrap", "single burst" (resampling one burst only
    gives it back) or "not asked" (``bootstrap=0``); ``bursts`` the bursts
    analysed; ``resamples`` and ``seed`` fix the resamples, the same on any
    machine.  ``parameter`` is the scanned model parameter's estimate, with
    its name in ``parameter_name``."""

    D: float
    ci68: Optional[tuple[float, float]]
    ci95: Optional[tuple[float, float]]
    interval: str
    bursts: int
    resamples: int
    seed: int
    coefficient: AxisEstimate = field(repr=False)
    parameter: Optional[AxisEstimate] = None
    parameter_name: Optional[str] = None

    def __repr__(self) -> str:
        text = (f"<pelmora.Estimate: D = {self.D:.4g} m²/s (68 %: {interval_text(self.ci68)}; "
                f"95 %: {interval_text(self.ci95)}); {self.interval}")
        if self.interval == "bootstrap":
            text += f" of {self.bursts} bursts, {self.resamples} resamples, seed {self.seed}"
        if self.parameter is not None:
            text += (f"; {self.parameter_name} = {self.parameter.value:.4g} "
                     f"(95 %: {interval_text(self.parameter.ci95)})")
        flags = self.flags
        return text + (f"; {'; '.join(flags)}>" if flags else ">")

    @property
    def flags(self) -> list[str]:
        """What to look at before trusting the interval: the maximum at the
        grid's edge, resamples at the grid's edge."""
        flags = []
        for name, axis in (("D", self.coefficient), (self.parameter_name, self.parameter)):
            if axis is None:
                continue
            if axis.at_grid_edge:
                flags.append(f"{name}: maximum at the edge of the grid")
            if axis.resamples_at_grid_edge:
                flags.append(f"{name}: {axis.resamples_at_grid_edge} resamples at the edge of the "
                             f"grid")
        return flags


def _axis(core: _core.AxisEstimate) -> AxisEstimate:
    return AxisEstimate(value=core.value, ci68=core.ci68, ci95=core.ci95,
                        refinement=core.refinement, at_grid_edge=core.at_grid_edge,
                        resamples_at_grid_edge=core.resamples_at_grid_edge,
                        resampled=core.resampled)


def _estimate(core: _core.JointEstimate, parameter: Optional[str]) -> Estimate:
    d = _axis(core.coefficient)
    return Estimate(D=d.value, ci68=d.ci68, ci95=d.ci95, interval=core.interval, bursts=core.bursts,
                    resamples=core.resamples, seed=core.seed, coefficient=d,
                    parameter=None if core.parameter is None else _axis(core.parameter),
                    parameter_name=parameter)


@dataclass(frozen=True, eq=False)
class ScanResult:
    """The likelihood of D over bursts and the estimate of D.

    ``loglik[b, i]`` is the log-likelihood of burst b at ``D[i]`` (NaN for a
    burst left out); ``joint_loglik`` is their sum over the analysed bursts,
    in burst order; ``P`` is the normalised likelihood, as the command line
    normalises P(D) (0 from 100 below the maximum on).  ``bursts`` has one
    row per burst: its number (and window, for a measurement), ``photons``
    analysed, ``analysed`` (in the joint sum), ``left_out`` (why not, else
    empty) and ``boundary_runs`` (values of D at which the distribution
    reached the internal grid's edges).  These are the contents of the burst
    program's results.h5.  ``boundary_photons`` and ``residue_dominates``
    (bursts × D) flag each run.  ``estimate`` is the estimate of D with its
    bootstrap interval; ``summary()`` is summary.json's contents."""

    D: np.ndarray
    loglik: np.ndarray
    joint_loglik: np.ndarray
    P: np.ndarray
    bursts: pd.DataFrame
    boundary_photons: np.ndarray
    residue_dominates: np.ndarray
    estimate: Estimate
    warnings: list[str] = field(default_factory=list)
    model: str = "free"
    background: str = "off"
    background_rates_hz: Optional[tuple[float, float]] = None  # (donor, acceptor), background="auto"
    # With a scanned model parameter (model="chain:FROM:TO:COUNT"): its name
    # and values, the log L of every burst at every (value, D) cell
    # (bursts × values × D, NaN for a burst left out), their sum over the
    # bursts analysed at every value, its normalisation over all cells P2d
    # (values × D), and the marginals.  ``P`` is then P(D), the marginal, and
    # ``loglik`` and ``joint_loglik`` are those at the value of the joint
    # maximum, as loglik.csv's lines and results.h5 hold them.
    parameter: Optional[str] = None
    parameter_values: Optional[np.ndarray] = None
    loglik2d: Optional[np.ndarray] = None
    joint_loglik2d: Optional[np.ndarray] = None
    P2d: Optional[np.ndarray] = None
    P_parameter: Optional[np.ndarray] = None
    _scan: Any = field(default=None, repr=False)
    _joint: Any = field(default=None, repr=False)
    _core_estimate: Any = field(default=None, repr=False)
    _call: str = field(default="", repr=False)

    @property
    def analysed(self) -> np.ndarray:
        return self.bursts["analysed"].to_numpy()

    def table(self) -> pd.DataFrame:
        """One row per burst and D, the layout of the burst program's
        loglik.csv: ``burst, [t_start_s, t_stop_s,] photons_analysed, D_m2_per_s,
        log_L``."""
        runs = self.D.size
        columns = [c for c in ("burst", "t_start_s", "t_stop_s", "photons_analysed")
                   if c in self.bursts]
        frame = self.bursts.loc[self.bursts.index.repeat(runs), columns].reset_index(drop=True)
        frame["D_m2_per_s"] = np.tile(self.D, len(self.bursts))
        frame["log_L"] = self.loglik.reshape(-1)
        return frame

    def summary(self) -> dict[str, Any]:
        """What the burst program writes to summary.json for these bursts
        and settings: the model, the estimate and its interval, the bootstrap,
        the grid and the joint log L, the settings, the release and this
        call."""
        return json.loads(_core.summary_json(self._scan, self._joint, self._core_estimate,
                                             self._call))

    def __repr__(self) -> str:
        e = self.estimate
        interval = "" if e.ci95 is None else f" (95 %: {interval_text(e.ci95)})"
        values = (f"{count_text(self.D.size, 'value')} of D from {self.D[0]:.4g} to "
                  f"{self.D[-1]:.4g} m²/s")
        if self.parameter_values is not None:
            values += (f" × {self.parameter_values.size} of {self.parameter} from "
                       f"{self.parameter_values[0]:g} to {self.parameter_values[-1]:g}")
        return (f"<pelmora.ScanResult: {count_text(len(self.bursts), 'burst')} "
                f"({int(self.analysed.sum())} analysed) × {values}; model {self.model}, "
                f"background {self.background}; D = {e.D:.4g} m²/s{interval}; "
                f"{count_text(len(self.warnings), 'warning')}>")


def _result(scan: _core.MeasurementScan, engine_warnings: list[str], call: str, bootstrap: int,
            seed: int, stacklevel: int = 4) -> ScanResult:
    """A ScanResult from the library's scan (of one process, or the shares
    of many put together)."""
    joint = _core.joint_result(scan)
    analysed = scan.analysed
    left_out = scan.left_out
    if joint.analysed == 0:
        reasons = "; ".join(sorted(set(left_out)))
        raise RuntimeError(f"None of the {analysed.size} bursts could be analysed ({reasons}).")
    estimate = _core.estimate(scan, whole(bootstrap, "bootstrap", -INT_MAX, INT_MAX),
                              whole(seed, "seed", 0, 2**63 - 1))
    shown = joint.shown
    frame = pd.DataFrame({"burst": scan.burst})
    if scan.from_measurement:
        frame["t_start_s"] = scan.t_start_s
        frame["t_stop_s"] = scan.t_stop_s
    frame["photons_analysed"] = scan.photons
    frame["analysed"] = analysed
    frame["left_out"] = left_out
    frame["boundary_runs"] = scan.boundary_runs[:, shown]
    cells = scan.log_likelihood
    extra: dict[str, Any] = {}
    if scan.parameter:
        extra.update(parameter=scan.parameter, parameter_values=scan.parameter_values,
                     loglik2d=cells, joint_loglik2d=joint.joint_log_likelihood_2d,
                     P2d=joint.probability_2d, P_parameter=joint.probability_parameter)
    warnings = list(engine_warnings) + [w.text for w in _core.scan_warnings(scan, joint, estimate)]
    result = ScanResult(D=scan.D, loglik=cells[:, shown, :], joint_loglik=joint.joint_log_likelihood,
                        P=joint.probability, bursts=frame,
                        boundary_photons=scan.boundary_photons[:, shown, :],
                        residue_dominates=scan.residue_dominates[:, shown, :],
                        estimate=_estimate(estimate, scan.parameter or None), warnings=warnings,
                        model=scan.model, background=scan.background,
                        background_rates_hz=scan.background_rates_hz, _scan=scan, _joint=joint,
                        _core_estimate=estimate, _call=call, **extra)
    warn_all(result.warnings, stacklevel=stacklevel)
    return result


def scan(bursts: Bursts, D: Any, *, R0: float = 6.5, rmin: float = 0, rmax: Optional[float] = None,
         bins: int = 400, threads: Optional[int] = None, progress: bool = False,
         model: str = "free", background: Optional[str] = None, gamma: float = 1.0,
         leakage: float = 0.0, dir_ex: float = 0.0, beta: float = 1.0, bootstrap: int = 1000,
         seed: int = 1) -> ScanResult:
    """The likelihood of each diffusion coefficient in ``D`` (m²/s) for every
    burst and jointly for all of them, and the estimate of D with its
    bootstrap interval.

    ``bursts`` is a list of ``(times_us, is_acceptor)`` array pairs (times in
    µs, non-decreasing; colours True/1 for an acceptor photon), or a pair
    ``(measurement, table)`` of a Photon-HDF5 measurement and a burst table
    (``search_bursts``, ``read_burst_table`` or any DataFrame with
    ``t_start_s`` and ``t_stop_s``).  ``D`` increases, each value at most
    1e-8 m²/s.  Distances in nm: Förster radius ``R0``, the range
    [rmin, rmax] (default 2 × R0) in ``bins`` points.  ``threads`` defaults,
    as for the command line, to PELMORA_THREADS when it is set, else to the
    CPUs this process may use.  ``progress=True`` shows a tqdm bar.  Ctrl-C
    stops the scan within a fraction of a second.

    ``model`` is the free energy of the distance, as ``--model`` of the
    burst program: "free", "chain:RMS", "box:A:B", "pmf:FILE", or
    "chain:FROM:TO:COUNT" to scan RMS too (see ScanResult).  A confined model
    covers its own support with ``bins`` points (10 or more; free diffusion
    takes 50 or more; rmin and rmax are refused with it).  ``background``
    mixes background photons into the colours: "off", "auto" (rates estimated from the measurement as the burst search
    does; needs ``(measurement, table)``) or "D_HZ,A_HZ".  By default, as for
    the burst program, "auto" with a confined model on ``(measurement,
    table)`` and "off" otherwise, so that "free" keeps the numbers of the
    single-record program.  ``gamma``, ``leakage``, ``dir_ex`` and ``beta``
    are the setup's corrections (finite; gamma > 0, 0 <= leakage < 1,
    dir_ex >= 0, beta > 0); values other than 1, 0, 0, 1 are not yet
    supported.  ``bootstrap`` resamples (0: no interval) with ``seed`` give
    the interval of the estimate.

    The numbers equal, to the bit, those of the command-line programs for the
    same photons and settings."""
    request = _request(D, R0, rmin, rmax, bins, model, background, gamma, leakage, dir_ex, beta)
    records = _records(bursts, request)
    call = _call("pelmora.scan", R0=R0, rmin=rmin, rmax=rmax, bins=bins, threads=threads,
                 progress=progress, model=model, background=background, gamma=gamma,
                 leakage=leakage, dir_ex=dir_ex, beta=beta, bootstrap=bootstrap, seed=seed)
    # With a scanned model parameter each burst is scanned once per value.
    with _progress_bar(progress, len(records) * request.values, "burst") as bar:
        update = None if bar is None else _ScanProgress(bar, request.D, len(records),
                                                        request.values)
        result, warnings = _core.scan_measurement(records, request, threads_count(threads), update)
    # The records' own first: a weak background estimate, bursts that look
    # single-colour.
    return _result(result, list(records.warnings) + warnings, call, bootstrap, seed)


@dataclass(frozen=True, eq=False)
class Trajectory:
    """The distance distribution over time for one diffusion coefficient.

    ``P[i, k]`` is P(r_k, t_i) at ``times[i]`` (µs, where the slice was
    computed: the record's span divided evenly, strictly inside it) and
    ``distances[k]`` (nm, the ``bins`` points of [rmin, rmax]); a slice sums
    to 1 when all probability lies within [rmin, rmax].  ``mean`` and ``sd``
    are taken over the whole internal grid, as the command line's trajectory
    file has them.  ``boundary_slices`` counts the slices whose distribution
    reaches the internal grid's edges.  ``photon_times_us`` and
    ``photon_is_acceptor`` are the photons as analysed (single precision,
    simultaneous photons moved apart)."""

    D: float
    times: np.ndarray
    distances: np.ndarray
    P: np.ndarray
    mean: np.ndarray
    sd: np.ndarray
    boundary_slices: int
    slices_without_overlap: int
    t_first: float
    t_last: float
    photon_times_us: np.ndarray
    photon_is_acceptor: np.ndarray
    warnings: list[str] = field(default_factory=list)

    def __repr__(self) -> str:
        acceptor = int(np.count_nonzero(self.photon_is_acceptor))
        mean = self.mean[np.isfinite(self.mean)]
        means = f"; mean distance {mean.min():.4g} to {mean.max():.4g} nm" if mean.size else ""
        return (f"<pelmora.Trajectory: {self.photon_times_us.size} photons ({acceptor} acceptor) "
                f"over {(self.t_last - self.t_first) / 1000:.4g} ms, D = {self.D:.4g} m²/s; "
                f"{self.times.size} slices × {self.distances.size} distances from "
                f"{self.distances[0]:.4g} to {self.distances[-1]:.4g} nm{means}; "
                f"{self.boundary_slices} slices at the grid's edges>")


def trajectory(times_us: Any, is_acceptor: Any, D: float = 1e-14, *, time_bins: int = 1000,
               dt: Optional[float] = None, R0: float = 6.5, rmin: float = 0,
               rmax: Optional[float] = None, bins: int = 400, threads: Optional[int] = None,
               progress: bool = False, model: str = "free", background: str = "off",
               gamma: float = 1.0, leakage: float = 0.0, dir_ex: float = 0.0,
               beta: float = 1.0, n_aa: Optional[float] = None) -> Trajectory:
    """The distance distribution P(r, t) of one photon record at diffusion
    coefficient ``D`` (m²/s), in ``time_bins`` slices, or in slices ``dt`` µs
    apart when ``dt`` is given.  ``model`` (one model; "free", "chain:RMS",
    "box:A:B" or "pmf:FILE") and the corrections as for ``scan``; with a
    confined model ``distances`` covers its support.  ``background`` is
    "off" or the rates "D_HZ,A_HZ" over the record's span ("auto" needs a
    measurement).  Direct excitation (``dir_ex``) is a share of the
    record's acceptor photons, ``dir_ex`` times its background-corrected
    acceptor-excitation photons ``n_aa`` (the burst table's ``n_aa_corr``),
    which it then needs.  Other keywords as for ``scan``."""
    times = times_array(times_us)
    colours = colours_array(is_acceptor)
    d = coefficient(float(D))
    R0, rmin, rmax, bins = grid_settings(R0, rmin, rmax, bins, model)
    slices = 0 if dt is not None else whole(time_bins, "time_bins", 0, INT_MAX)
    increment = 0.0 if dt is None else finite(dt, "dt")
    # Four passes of 100 % each, shown as one percentage.
    with _progress_bar(progress, 400, "%",
                       bar_format="{desc}: {percentage:3.0f}%|{bar}| {elapsed}<{remaining}") as bar:
        out = _core.trajectory(times, colours, d, slices, increment, R0, rmin, rmax, bins,
                               threads_count(threads), None if bar is None else bar.update,
                               str(model), str(background),
                               float(gamma), float(leakage), float(dir_ex), float(beta),
                               None if n_aa is None else float(n_aa))
    result = Trajectory(D=out.D, times=out.times, distances=out.distances, P=out.P, mean=out.mean,
                        sd=out.sd, boundary_slices=out.boundary_slices,
                        slices_without_overlap=out.slices_without_overlap, t_first=out.t_first,
                        t_last=out.t_last, photon_times_us=out.photon_times,
                        photon_is_acceptor=out.photon_acceptor.astype(bool),
                        warnings=list(out.warnings))
    warn_all(result.warnings)
    return result
