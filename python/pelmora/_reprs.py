"""Short reprs, for a console or a notebook: counts, shapes and ranges,
never whole arrays."""

from __future__ import annotations

from typing import Any, Callable

import numpy as np

from . import _core


def array_summary(array: Any) -> str:
    """An array as its dtype, shape and range: ``float64[236×29] 1e-15 to
    1e-13`` (finite values only; for booleans how many are true)."""
    a = np.asarray(array)
    text = f"{a.dtype}[{'×'.join(str(n) for n in a.shape)}]"
    if a.size == 0:
        return text
    if a.dtype.kind == "b":
        return f"{text} {int(np.count_nonzero(a))} true"
    if a.dtype.kind in "iuf":
        finite = a[np.isfinite(a)] if a.dtype.kind == "f" else a
        if finite.size == 0:
            return f"{text} no finite values"
        text += f" {finite.min():.4g} to {finite.max():.4g}"
        if finite.size < a.size:
            text += f" ({a.size - finite.size} not finite)"
    return text


def value_summary(value: Any) -> str:
    """Any field's value, short: arrays summarised, long lists counted."""
    if isinstance(value, np.ndarray):
        return array_summary(value)
    if isinstance(value, float):
        return f"{value:.4g}"
    if isinstance(value, (list, tuple)) and (len(value) > 4 or len(repr(value)) > 80):
        return f"[{len(value)} items]"
    if isinstance(value, tuple):
        return "(" + ", ".join(value_summary(v) for v in value) + ")"
    if isinstance(value, str) and len(value) > 60:
        return repr(value[:57] + "...")
    return repr(value)


def interval_text(interval: Any) -> str:
    return "none" if interval is None else f"{interval[0]:.4g} to {interval[1]:.4g}"


def count_text(count: int, noun: str) -> str:
    return f"{count} {noun}" + ("" if count == 1 else "s")


def _fields_repr(*fields: str) -> Callable[[Any], str]:
    def __repr__(self: Any) -> str:
        shown = ", ".join(f"{name}={value_summary(getattr(self, name))}" for name in fields)
        return f"<pelmora._core.{type(self).__name__} {shown}>"

    return __repr__


def _sized_repr(*fields: str) -> Callable[[Any], str]:
    def __repr__(self: Any) -> str:
        shown = "".join(f", {name}={value_summary(getattr(self, name))}" for name in fields)
        return f"<pelmora._core.{type(self).__name__} of {len(self)}{shown}>"

    return __repr__


# The compiled module's classes, as they appear inside results, in a
# debugger or on a Dask dashboard.
_CORE_REPRS = {
    "DetectorCount": _fields_repr("detector", "photons", "donor_excited"),
    "AlexSettings": _fields_repr("period", "offset", "donor_start", "donor_stop"),
    "MeasurementDescription": _fields_repr("path", "measurement_type", "spot", "timestamps_unit",
                                           "first_timestamp", "last_timestamp"),
    "Measurement": _sized_repr("timestamps"),
    "BurstColumns": _fields_repr("burst", "t_start_s", "t_stop_s"),
    "SearchResult": _fields_repr("bursts", "too_small", "threshold_s", "warnings"),
    "ScanRequest": _fields_repr("D", "model", "values"),
    "BurstRecords": _sized_repr("from_measurement", "warnings"),
    "MeasurementScan": _fields_repr("D", "model", "background", "parameter", "burst", "analysed"),
    "JointResult": _fields_repr("analysed", "shown", "probability"),
    "AxisEstimate": _fields_repr("value", "ci95", "refinement", "resampled"),
    "JointEstimate": _fields_repr("bursts", "interval", "resamples", "seed", "coefficient"),
    "ScanWarning": _fields_repr("kind", "count", "total", "text"),
    "TrajectoryArrays": _fields_repr("D", "times", "distances", "P", "photon_times"),
}


def install_core_reprs() -> None:
    for name, function in _CORE_REPRS.items():
        setattr(getattr(_core, name), "__repr__", function)
