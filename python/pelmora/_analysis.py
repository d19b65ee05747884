"""The likelihood of D over bursts, and the distance trajectory of one record."""

import contextlib
from dataclasses import dataclass, field

import numpy as np
import pandas as pd

from . import _core
from ._measurement import Measurement, table_columns
from ._validate import (coefficients_array, colours_array, grid_settings, threads_count,
                        times_array)
from ._warnings import warn_all


def log_spaced(Dmin, Dmax, n):
    """``n`` diffusion coefficients evenly spaced in log D from ``Dmin`` to
    ``Dmax`` (m²/s), exactly as ``pelmora -Dmin a -Dmax b -n n`` spaces them
    (with a, b in 1e-14 m²/s: ``log_spaced(a * 1e-14, b * 1e-14, n)``)."""
    return _core.log_spaced(float(Dmin), float(Dmax), int(n))


@contextlib.contextmanager
def _progress_bar(progress, total, unit, **style):
    """A tqdm bar's update method when ``progress`` is true, else None."""
    if not progress:
        yield None
        return
    from tqdm.auto import tqdm

    with tqdm(total=total, unit=unit, desc="pelmora", **style) as bar:
        yield bar.update


# What a scan needs of its bursts, from either form the caller may give.
@dataclass
class _Bursts:
    records: list  # (times_us, colours) or, from a measurement, (times_us, colours, unordered)
    from_measurement: bool
    labels: list  # burst numbers
    prefixes: list  # "burst 12: " before each record's warnings and errors, when there are several
    windows: pd.DataFrame  # burst, t_start_s, t_stop_s; or just burst
    measurement: object = None  # the Measurement the bursts came from, if they did


def _prefixes(labels):
    labels = list(labels)
    return [f"burst {label}: " for label in labels] if len(labels) > 1 else [""] * len(labels)


def _bursts(bursts):
    if isinstance(bursts, tuple) and len(bursts) == 2 and isinstance(bursts[0], Measurement):
        measurement, table = bursts
        numbers, starts, stops = table_columns(table)
        if numbers.size == 0:
            raise ValueError("No bursts to scan.")
        records = _core.burst_photon_arrays(measurement._core, starts, stops)
        windows = pd.DataFrame({"burst": numbers, "t_start_s": starts, "t_stop_s": stops})
        return _Bursts(records, True, numbers.tolist(), _prefixes(numbers.tolist()), windows,
                       measurement)
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
    return _Bursts(records, False, list(range(len(items))), _prefixes(range(len(items))),
                   pd.DataFrame({"burst": np.arange(len(items), dtype=np.int64)}))


@dataclass(frozen=True, eq=False)
class ScanResult:
    """The likelihood of D over bursts.

    ``loglik[b, i]`` is the log-likelihood of burst b at ``D[i]`` (NaN for a
    burst left out); ``joint_loglik`` is their sum over the analysed bursts,
    in burst order; ``P`` is the normalised likelihood, as the command line
    normalises P(D) (0 from 100 below the maximum on).  ``bursts`` has one
    row per burst: its number (and window, for a measurement), ``photons``
    analysed, ``analysed`` (in the joint sum), ``left_out`` (why not, else
    empty) and ``boundary_runs`` (values of D at which the distribution
    reached the internal grid's edges).  These are the contents of the burst
    program's results.h5.  ``boundary_photons`` and ``residue_dominates``
    (bursts × D) flag each run."""

    D: np.ndarray
    loglik: np.ndarray
    joint_loglik: np.ndarray
    P: np.ndarray
    bursts: pd.DataFrame
    boundary_photons: np.ndarray
    residue_dominates: np.ndarray
    warnings: list = field(default_factory=list)
    model: str = "free"
    background: str = "off"
    background_rates_hz: tuple = None  # (donor, acceptor) channel, with background="auto"
    # With a scanned model parameter (model="chain:FROM:TO:COUNT"): its name
    # and values, the log L of every burst at every (value, D) cell
    # (bursts × values × D, NaN for a burst left out), their sum over the
    # bursts analysed at every value, its normalisation over all cells P2d
    # (values × D), and the marginals.  ``P`` is then P(D), the marginal, and
    # ``loglik`` and ``joint_loglik`` are those of the first value.
    parameter: str = None
    parameter_values: np.ndarray = None
    loglik2d: np.ndarray = None
    joint_loglik2d: np.ndarray = None
    P2d: np.ndarray = None
    P_parameter: np.ndarray = None

    @property
    def analysed(self):
        return self.bursts["analysed"].to_numpy()

    def table(self):
        """One row per burst and D, the layout of the burst program's
        loglik.csv: ``burst, [t_start_s, t_stop_s,] photons, D_m2_per_s,
        log_L``."""
        runs = self.D.size
        columns = [c for c in ("burst", "t_start_s", "t_stop_s", "photons") if c in self.bursts]
        frame = self.bursts.loc[self.bursts.index.repeat(runs), columns].reset_index(drop=True)
        frame["D_m2_per_s"] = np.tile(self.D, len(self.bursts))
        frame["log_L"] = self.loglik.reshape(-1)
        return frame

    def __repr__(self):
        best = int(np.argmax(self.P))
        return (f"<pelmora.ScanResult: {len(self.bursts)} bursts ({int(self.analysed.sum())} "
                f"analysed) × {self.D.size} values of D; P(D) largest at D = {self.D[best]:g} m²/s "
                f"(P = {self.P[best]:.3g})>")


def _listed(labels, most=10):
    shown = ", ".join(str(label) for label in labels[:most])
    return shown + (f" and {len(labels) - most} more" if len(labels) > most else "")


def _summary_warnings(joint, frame, labels):
    """The warnings of the burst program, in a few lines rather than one per
    burst or run."""
    texts = list(joint["warnings"])
    count = len(frame)
    reasons = {}
    for b in np.flatnonzero(~frame["analysed"].to_numpy()):
        reasons.setdefault(frame["left_out"].iat[b], []).append(labels[b])
    for reason, bursts in reasons.items():
        texts.append(f"{len(bursts)} of {count} bursts left out: {reason} (burst {_listed(bursts)}).")
    with_boundary = int((frame["boundary_runs"] > 0).sum())
    if with_boundary:
        texts.append(f"possible boundary artifacts in {with_boundary} of {count} bursts (at some of "
                     f"the coefficients); enlarge [rmin, rmax].")
    collapsed = int((joint["left_out"] == _core.LEFT_OUT_COLLAPSED).sum())
    if collapsed:
        texts.append(f"{collapsed} bursts were left out because the smallest D values are too small "
                     f"for them on this grid; a larger smallest D (or fewer bins) keeps them in the "
                     f"joint sum, which leaving them out biases.")
    residue = int(np.asarray(joint["residue_dominates"]).sum())
    if residue:
        texts.append(f"rounding residue dominates in {residue} runs (D too small for the grid): "
                     f"their log L is not to be trusted.")
    if joint["simultaneous_photons"]:
        texts.append(f"{joint['simultaneous_photons']} photons arrived at the time of the one "
                     f"before and were moved 0.01 mu s later, as the photon reader does.")
    return texts


def _result(joint, bursts):
    """A ScanResult from the library's joint scan (pelmora._core.scan, or
    pelmora._core.join of the rows of chunks)."""
    frame = bursts.windows.copy()
    frame["photons"] = joint["photons"]
    analysed = joint["left_out"] == 0
    frame["analysed"] = analysed
    frame["left_out"] = [refused or ("" if code == 0 else _core.left_out_reason(int(code)))
                         for code, refused in zip(joint["left_out"], joint["refused"])]
    frame["boundary_runs"] = joint["boundary_runs"]
    if not analysed.any():
        reasons = "; ".join(sorted(set(frame["left_out"])))
        raise RuntimeError(f"None of the {len(frame)} bursts could be analysed ({reasons}).")
    loglik = np.where(analysed[:, None], joint["log_likelihood"], np.nan)
    extra = {"model": joint.get("model", "free"), "background": joint.get("background", "off"),
             "background_rates_hz": joint.get("background_rates_hz")}
    P = joint["probability"]
    if "parameter" in joint:
        every = joint["analysed_at_every_value"].astype(bool)
        extra.update(parameter=joint["parameter"], parameter_values=joint["parameter_values"],
                     loglik2d=np.where(every[:, None, None], joint["log_likelihood_2d"], np.nan),
                     joint_loglik2d=joint["joint_log_likelihood_2d"], P2d=joint["probability_2d"],
                     P_parameter=joint["probability_parameter"])
        P = joint["probability_d"]
    result = ScanResult(D=joint["D"], loglik=loglik, joint_loglik=joint["joint_log_likelihood"],
                        P=P, bursts=frame,
                        boundary_photons=joint["boundary_photons"],
                        residue_dominates=joint["residue_dominates"],
                        warnings=_summary_warnings(joint, frame, bursts.labels), **extra)
    warn_all(result.warnings, stacklevel=4)
    return result


def scan(bursts, D, *, R0=6.5, rmin=0, rmax=None, bins=400, threads=None, progress=False,
         model="free", background=None):
    """The likelihood of each diffusion coefficient in ``D`` (m²/s) for every
    burst, and jointly for all of them.

    ``bursts`` is a list of ``(times_us, is_acceptor)`` array pairs (times in
    µs, non-decreasing; colours True/1 for an acceptor photon), or a pair
    ``(measurement, table)`` of a Photon-HDF5 measurement and a burst table
    (``search_bursts``, ``read_burst_table`` or any DataFrame with
    ``t_start_s`` and ``t_stop_s``).  Distances in nm: Förster radius ``R0``,
    the range [rmin, rmax] (default 2 × R0) in ``bins`` points.  ``threads``
    defaults, as for the command line, to PELMORA_THREADS when it is set,
    else to the CPUs this process may use.  ``progress=True`` shows a
    tqdm bar.  Ctrl-C stops the scan within a fraction of a second.

    ``model`` is the free energy of the distance, as ``--model`` of the
    burst program: "free", "chain:RMS", "box:A:B", "pmf:FILE", or
    "chain:FROM:TO:COUNT" to scan RMS too (see ScanResult).  A confined model
    covers its own support with ``bins`` points (10 or more; free diffusion
    takes 50 or more).  ``background`` mixes
    background photons into the colours: "off", "auto" (rates estimated from
    the measurement as the burst search does; needs ``(measurement, table)``)
    or "D_HZ,A_HZ".  By default, as for the burst program, "auto" with a
    confined model on ``(measurement, table)`` and "off" otherwise, so that
    "free" keeps the numbers of the single-record program.

    The numbers equal, to the bit, those of the command-line programs for the
    same photons and settings."""
    prepared = _bursts(bursts)
    if background is None:
        confined = str(model).split(":")[0] != "free"
        background = "auto" if confined and prepared.measurement is not None else "off"
    coefficients = coefficients_array(D)
    grid = grid_settings(R0, rmin, rmax, bins)
    # A scanned parameter (chain:FROM:TO:COUNT) runs every burst and D once per
    # value; the library checks the text, so a count it refuses never gets far.
    fields = str(model).split(":")
    try:
        values = int(float(fields[3])) if fields[0] == "chain" and len(fields) == 4 else 1
    except (ValueError, OverflowError):
        values = 1
    runs = len(prepared.records) * coefficients.size * max(values, 1)
    with _progress_bar(progress, runs, "run") as update:
        joint = _core.scan(prepared.records, prepared.from_measurement, prepared.prefixes,
                           coefficients, grid["R0"], grid["rmin"], grid["rmax"], grid["bins"],
                           threads_count(threads), update, str(model), str(background),
                           None if prepared.measurement is None else prepared.measurement._core,
                           _window_column(prepared, "t_start_s"),
                           _window_column(prepared, "t_stop_s"))
    return _result(joint, prepared)


def _window_column(prepared, name):
    if name not in prepared.windows:
        return np.zeros(0)
    return np.ascontiguousarray(prepared.windows[name].to_numpy(dtype=np.float64))


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
    warnings: list = field(default_factory=list)

    def __repr__(self):
        return (f"<pelmora.Trajectory: {self.photon_times_us.size} photons over "
                f"{(self.t_last - self.t_first) / 1000:.3f} ms, D = {self.D:g} m²/s; "
                f"{self.times.size} slices × {self.distances.size} distances>")


def trajectory(times_us, is_acceptor, D=1e-14, *, time_bins=1000, dt=None, R0=6.5, rmin=0,
               rmax=None, bins=400, threads=None, progress=False):
    """The distance distribution P(r, t) of one photon record at diffusion
    coefficient ``D`` (m²/s), in ``time_bins`` slices, or in slices ``dt`` µs
    apart when ``dt`` is given.  Other keywords as for ``scan``."""
    times = times_array(times_us)
    colours = colours_array(is_acceptor)
    coefficient = float(D)
    if not (coefficient > 0 and np.isfinite(coefficient)):
        raise ValueError(f"Diffusion coefficient {coefficient:g} m^2/s must be a positive finite "
                         f"number.")
    grid = grid_settings(R0, rmin, rmax, bins)
    slices = 0 if dt is not None else int(time_bins)
    increment = 0.0 if dt is None else float(dt)
    # Four passes of 100 % each, shown as one percentage.
    with _progress_bar(progress, 400, "%",
                       bar_format="{desc}: {percentage:3.0f}%|{bar}| {elapsed}<{remaining}") as update:
        out = _core.trajectory(times, colours, coefficient, slices, increment, grid["R0"],
                               grid["rmin"], grid["rmax"], grid["bins"], threads_count(threads),
                               update)
    result = Trajectory(D=out["D"], times=out["times"], distances=out["distances"], P=out["P"],
                        mean=out["mean"], sd=out["sd"], boundary_slices=out["boundary_slices"],
                        slices_without_overlap=out["slices_without_overlap"],
                        t_first=out["t_first"], t_last=out["t_last"],
                        photon_times_us=out["photon_times"],
                        photon_is_acceptor=out["photon_acceptor"].astype(bool),
                        warnings=out["warnings"])
    warn_all(result.warnings)
    return result
