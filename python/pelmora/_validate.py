"""Checks of what callers pass, before the library sees it.

The library itself refuses what it cannot analyse (NaN, decreasing times,
mismatched lengths, fewer than 3 photons, colours other than 0 and 1), with
the command line's messages.  What it cannot see is how the numbers arrived:
the dtype, the memory layout, the shape.  Those are checked here.
"""

from __future__ import annotations

import math
import operator
from typing import Any, Optional

import numpy as np

# The largest D taken, m²/s: far above any molecule's (1e-8 m²/s is a small
# ion in water), and far below the values 1 to 1e6 that a caller thinking in
# the command line's units of 1e-14 m²/s would pass.
MAX_COEFFICIENT = 1e-8


def _as_array(value: Any, what: str) -> np.ndarray:
    try:
        return value if isinstance(value, np.ndarray) else np.asarray(value)
    except (TypeError, ValueError) as failure:
        raise ValueError(f"{what}: not an array of numbers ({failure})") from None


def _one_dimensional(array: np.ndarray, what: str) -> None:
    if array.ndim != 1:
        raise ValueError(f"{what} must be one-dimensional (it has shape {array.shape})")
    if not array.flags.c_contiguous:
        # A strided view would have to be copied behind the caller's back for
        # every record; refusing it keeps the cost visible.
        raise ValueError(f"{what} is not contiguous in memory: pass numpy.ascontiguousarray(...)")


def times_array(value: Any, what: str = "times_us") -> np.ndarray:
    """Arrival times as contiguous float64; integers and narrower floats are
    converted (no value changes), anything else is refused."""
    array = _as_array(value, what)
    _one_dimensional(array, what)
    if array.dtype == np.float64:
        return array
    if array.dtype.kind in "fiu" and np.can_cast(array.dtype, np.float64, "safe"):
        return array.astype(np.float64)
    raise ValueError(f"{what} must hold real numbers (float or integer), not {array.dtype}")


def colours_array(value: Any, what: str = "is_acceptor") -> np.ndarray:
    """Colours as contiguous uint8, 1 for an acceptor photon: booleans as they
    are, integers when every value is 0 or 1; floats and the rest refused."""
    array = _as_array(value, what)
    _one_dimensional(array, what)
    if array.dtype == np.bool_:
        return array.view(np.uint8)
    if array.dtype.kind not in "iu":
        raise ValueError(f"{what} must be boolean or integer 0/1, not {array.dtype}")
    bad = np.flatnonzero((array != 0) & (array != 1))
    if bad.size:
        raise ValueError(
            f"Photon at index {bad[0]}: colour {array[bad[0]]} is neither donor (0) nor acceptor (1)."
        )
    return array.astype(np.uint8)


def coefficient(d: float) -> float:
    """One diffusion coefficient in m²/s: positive, finite and at most
    MAX_COEFFICIENT, which catches a value given in units of 1e-14 m²/s."""
    if not (d > 0 and np.isfinite(d)):
        raise ValueError(f"Diffusion coefficient {d:g} m^2/s must be a positive finite number.")
    if d > MAX_COEFFICIENT:
        raise ValueError(f"Diffusion coefficient {d:g} m^2/s is above {MAX_COEFFICIENT:g} m^2/s: D is "
                         f"in m^2/s here, not in the command line's 1e-14 m^2/s (1 there is 1e-14 "
                         f"here).")
    return float(d)


def coefficients_array(value: Any) -> np.ndarray:
    """Diffusion coefficients in m²/s: one or more positive finite numbers of
    at most MAX_COEFFICIENT, increasing."""
    array = np.atleast_1d(_as_array(value, "D"))
    if array.ndim != 1 or array.dtype.kind not in "fiu":
        raise ValueError(f"D must be a number or a one-dimensional array of numbers, not {array.dtype} "
                         f"of shape {array.shape}")
    array = np.ascontiguousarray(array, dtype=np.float64)
    if array.size == 0:
        raise ValueError("No diffusion coefficients to scan.")
    for d in array:
        coefficient(d)
    return array


def threads_count(threads: Optional[int]) -> int:
    """0 for the default (PELMORA_THREADS, else the CPUs this process may
    use), else a count >= 1."""
    if threads is None:
        return 0
    count = operator.index(threads)
    if count < 1:
        raise ValueError(f"threads must be at least 1 (it is {count})")
    return count


def finite(value: Any, what: str) -> float:
    """A real number that is finite: NaN and infinities are refused here, as
    the command line refuses them, before any is converted to an integer."""
    number = float(value)
    if not math.isfinite(number):
        raise ValueError(f"{what} must be a finite number (it is {number}).")
    return number


def whole(value: Any, what: str, low: int, high: int) -> int:
    """A whole number from low to high (the library checks the narrower
    ranges it takes, with the command line's messages)."""
    if isinstance(value, float):
        finite(value, what)
    number = int(value)
    if not low <= number <= high:
        raise ValueError(f"{what} must be a whole number from {low} to {high} (it is {number}).")
    return number


INT_MAX = 2**31 - 1


def grid_settings(R0: float, rmin: float, rmax: Optional[float], bins: int,
                  model: str) -> tuple[float, float, Optional[float], int]:
    """The distance grid's settings as the library takes them (the library
    checks their values).  A confined model's grid is its own support, so
    rmin and rmax are refused with one rather than ignored."""
    if str(model).split(":")[0] != "free" and (rmin != 0 or rmax is not None):
        raise ValueError(f"rmin and rmax set the distance range of free diffusion; the grid of model "
                         f"{model} is its own support (bins sets its points).")
    return (finite(R0, "R0"), finite(rmin, "rmin"), None if rmax is None else finite(rmax, "rmax"),
            whole(operator.index(bins), "bins", 0, INT_MAX))
