"""Measurements: Photon-HDF5 files, photon files, bursts and burst tables."""

from __future__ import annotations

import operator
import os
from typing import Any, NamedTuple, Optional, Union

import numpy as np
import pandas as pd

from . import _core
from ._warnings import warn_all

PathLike = Union[str, "os.PathLike[str]"]


class Photons(NamedTuple):
    """A photon record: arrival times in µs (as the reader holds them, in
    single precision) and the colour of each photon (True: acceptor)."""

    times_us: np.ndarray
    is_acceptor: np.ndarray

    def __repr__(self) -> str:
        times = np.asarray(self.times_us)
        acceptor = int(np.count_nonzero(self.is_acceptor))
        span = f" over {(times[-1] - times[0]) / 1000:.4g} ms" if times.size else ""
        return (f"<pelmora.Photons: {times.size} photons ({times.size - acceptor} donor, "
                f"{acceptor} acceptor){span}>")


def _description_dict(d: _core.MeasurementDescription) -> dict[str, Any]:
    alex = None
    if d.alex is not None:
        alex = {"period": d.alex.period, "offset": d.alex.offset, "donor_start": d.alex.donor_start,
                "donor_stop": d.alex.donor_stop, "nanotime_windows": d.alex.nanotime_windows}
    return {"path": d.path, "file_size": d.file_size, "format_version": d.format_version,
            "measurement_type": d.measurement_type,
            "stored_measurement_type": d.stored_measurement_type, "spots": d.spots, "spot": d.spot,
            "timestamps_unit": d.timestamps_unit, "donor_detectors": d.donor_detectors,
            "acceptor_detectors": d.acceptor_detectors, "alex": alex,
            "detectors": [{"detector": c.detector, "photons": c.photons,
                           "donor_excited": c.donor_excited} for c in d.detectors],
            "first_timestamp": d.first_timestamp, "last_timestamp": d.last_timestamp}


class Measurement:
    """One spot of a Photon-HDF5 measurement: the donor- and acceptor-channel
    photons in time order.  Photons of other detectors are only counted
    (``metadata["detectors"]``)."""

    def __init__(self, core: _core.Measurement) -> None:
        self._core = core

    @property
    def timestamps(self) -> np.ndarray:
        """Timestamps in units of ``timestamps_unit`` (int64, read-only)."""
        return self._core.timestamps

    @property
    def timestamps_unit(self) -> float:
        """Seconds per timestamp tick."""
        return self._core.description.timestamps_unit

    @property
    def times_s(self) -> np.ndarray:
        """Arrival times in seconds, timestamp × unit as the burst search
        computes them."""
        return self._core.timestamps.astype(np.float64) * self.timestamps_unit

    @property
    def is_acceptor(self) -> np.ndarray:
        """True for a photon of the acceptor channel."""
        return (self._core.flags & 1).astype(bool)

    @property
    def donor_excitation(self) -> np.ndarray:
        """True for a photon excited by the donor laser (every photon of a
        measurement without alternation)."""
        return (self._core.flags & 2).astype(bool)

    @property
    def metadata(self) -> dict[str, Any]:
        """What the file says: path, format version, measurement type, spots,
        detectors and their photon counts, alternation settings."""
        return _description_dict(self._core.description)

    def __len__(self) -> int:
        return len(self._core)

    def __repr__(self) -> str:
        d = self._core.description
        spot = "" if d.spot is None else f", spot {d.spot}"
        span = (d.last_timestamp - d.first_timestamp) * d.timestamps_unit
        flags = self._core.flags
        acceptor = int(np.count_nonzero(flags & 1))
        alternated = ""
        if d.alex is not None:
            alternated = f", {int(np.count_nonzero(flags & 2))} donor-excited"
        return (f"<pelmora.Measurement {os.path.basename(d.path)}{spot}: {d.measurement_type}, "
                f"{len(self)} photons ({len(self) - acceptor} donor channel, {acceptor} acceptor "
                f"channel{alternated}) over {span:.3f} s>")


def read_photon_hdf5(path: PathLike, spot: Optional[int] = None, *,
                     measurement_type: Optional[str] = None, alex_period: Optional[int] = None,
                     alex_offset: Optional[int] = None,
                     donor_window: Optional[tuple[int, int]] = None) -> Measurement:
    """Reads one spot of a Photon-HDF5 file (versions 0.4 and 0.5; smFRET,
    µs-ALEX, ns-ALEX).  ``spot`` chooses the spot of a multi-spot file;
    the other keywords correct wrong or missing metadata (``donor_window``:
    the µs-ALEX donor period ``(start, stop)`` in timestamp units)."""
    core = _core.read_photon_hdf5(os.fspath(path), spot, measurement_type, alex_period,
                                  alex_offset, donor_window)
    return Measurement(core)


def read_photons(path: PathLike) -> Photons:
    """Reads a photon file of the command-line program.  Simultaneous photons
    are moved apart as the program moves them (with a warning)."""
    times_us, acceptor, warnings = _core.read_photons(os.fspath(path))
    warn_all(warnings)
    return Photons(times_us, acceptor.astype(bool))


def _frame(columns: Any) -> pd.DataFrame:
    """The burst table's columns as a DataFrame; counts as integers where
    every value is one."""
    frame = {}
    for name in columns.names:
        values = np.asarray(getattr(columns, name))
        if name in _WHOLE_COLUMNS and np.all(np.isfinite(values)):
            values = values.astype(np.int64)
        frame[name] = values
    return pd.DataFrame(frame)


_WHOLE_COLUMNS = ("burst", "photons_window", "photons_analysed", "n_dd", "n_da", "n_aa")


def search_bursts(measurement: Measurement, m: int = 10, F: float = 6,
                  min_rate: Optional[float] = None, min_photons: int = 30, *,
                  background_window_s: float = 60.0, search: str = "apbs",
                  gamma: float = 1.0, leakage: float = 0.0, dir_ex: float = 0.0,
                  beta: float = 1.0) -> pd.DataFrame:
    """The sliding-window burst search: ``m`` photons within (m − 1) /
    rate_min, with rate_min ``F`` times the background rate (estimated per
    ``background_window_s`` window) or ``min_rate`` in kHz; bursts with fewer
    than ``min_photons`` analysed photons are dropped.  ``search="apbs"``
    searches all photons; ``"dcbs"`` (ALEX only) keeps the spans where the
    donor- and the acceptor-excitation streams are both in a burst.

    Returns a DataFrame with one row per burst, numbered from 0, with the
    columns of the burst table the command line writes: ``burst, t_start_s,
    t_stop_s, photons_window, photons_analysed, n_dd, n_da, n_aa, n_dd_corr,
    n_da_corr, n_aa_corr, E_raw, S_raw, E, S`` (NaN where not defined; E and
    S with the corrections ``gamma``, ``leakage``, ``dir_ex``, ``beta``).
    Select a population as a DataFrame filter, e.g.
    ``bursts[(bursts.S >= 0.2) & (bursts.S <= 0.8)]``.  ``attrs`` holds
    ``too_small`` (the bursts dropped) and ``threshold_s`` (T of each
    background window)."""
    if not isinstance(measurement, Measurement):
        raise ValueError("search_bursts needs a Measurement (pelmora.read_photon_hdf5)")
    found = _core.search_bursts(measurement._core, operator.index(m), float(F),
                                None if min_rate is None else float(min_rate),
                                operator.index(min_photons), float(background_window_s),
                                str(search), float(gamma), float(leakage), float(dir_ex),
                                float(beta))
    warn_all(found.warnings)
    table = _frame(found.bursts)
    table.attrs["too_small"] = found.too_small
    table.attrs["threshold_s"] = found.threshold_s
    return table


def table_columns(table: Any) -> tuple[np.ndarray, np.ndarray, np.ndarray]:
    """Burst numbers and windows of a burst table (a DataFrame, a mapping of
    columns or one row), checked."""
    if isinstance(table, pd.Series):
        table = table.to_frame().T
    try:
        starts = np.ascontiguousarray(table["t_start_s"], dtype=np.float64)
        stops = np.ascontiguousarray(table["t_stop_s"], dtype=np.float64)
    except (KeyError, TypeError, ValueError, IndexError):
        raise ValueError("The burst table needs the columns t_start_s and t_stop_s "
                         "(pelmora.search_bursts or pelmora.read_burst_table)") from None
    numbers = (np.ascontiguousarray(table["burst"], dtype=np.int64) if "burst" in table
               else np.arange(starts.size, dtype=np.int64))
    if starts.ndim != 1 or starts.shape != stops.shape or numbers.shape != starts.shape:
        raise ValueError("The burst table's columns must be one-dimensional and of one length")
    bad = np.flatnonzero(~(np.isfinite(starts) & np.isfinite(stops) & (stops >= starts)))
    if bad.size:
        i = bad[0]
        raise ValueError(f"Burst {numbers[i]}: the window {starts[i]!r} to {stops[i]!r} s is not "
                         f"a pair of finite times with the stop not before the start")
    return numbers, starts, stops


def burst_photons(measurement: Measurement, table: Any) -> list[Photons]:
    """The photon record of each burst of ``table`` (a DataFrame with
    ``t_start_s`` and ``t_stop_s``, or one of its rows): the donor-excited
    donor and acceptor photons of the window, times in µs from the burst's
    first photon, exactly as the burst analysis holds them.  A list of
    ``Photons``, one per burst."""
    if not isinstance(measurement, Measurement):
        raise ValueError("burst_photons needs a Measurement (pelmora.read_photon_hdf5)")
    _, starts, stops = table_columns(table)
    return [Photons(times_us, acceptor.astype(bool)) for times_us, acceptor in
            _core.burst_photon_arrays(measurement._core, starts, stops)]


def read_burst_table(path: PathLike) -> pd.DataFrame:
    """A burst table (CSV with at least ``burst,t_start_s,t_stop_s``), as the
    command line reads it: a DataFrame of those three columns."""
    return _frame(_core.read_burst_table(os.fspath(path)))


def estimate_corrections(measurement: Measurement, bursts: Optional[Any] = None, *,
                         donor_only_s: float = 0.9, acceptor_only_s: float = 0.2,
                         bootstrap: int = 1000, seed: int = 1, leakage: float = 0.0,
                         background_window_s: float = 60.0) -> "_core.CorrectionEstimate":
    """Leakage (from the donor-only bursts, S_raw above ``donor_only_s``) and
    direct excitation (from the acceptor-only bursts, S_raw below
    ``acceptor_only_s``) of an ALEX measurement, as ``pelmora-bursts
    corrections`` estimates them.  ``bursts``: a burst table (its windows);
    none searches them, counting all three streams so that acceptor-only
    molecules stay.  ``leakage``: the one direct excitation is corrected for
    when the donor-only population gives none.

    The result's ``.leakage`` and ``.dir_ex`` each have ``.value`` (None
    without an estimate, ``.reason`` says why), ``.ci95`` (the bootstrap 95 %
    interval) and ``.bursts``; ``.options`` is ready to paste on the command
    line.  Gamma cannot be had from one population: give it as you know it."""
    if not isinstance(measurement, Measurement):
        raise ValueError("estimate_corrections needs a Measurement (pelmora.read_photon_hdf5)")
    numbers = starts = stops = None
    if bursts is not None:
        numbers, starts, stops = table_columns(bursts)
    return _core.estimate_corrections(measurement._core, numbers, starts, stops,
                                      float(donor_only_s), float(acceptor_only_s),
                                      operator.index(bootstrap), operator.index(seed),
                                      float(leakage), float(background_window_s))
