"""Checks of what callers pass, before the library sees it.

The library itself refuses what it cannot analyse (NaN, decreasing times,
mismatched lengths, fewer than 3 photons, colours other than 0 and 1), with
the command line's messages.  What it cannot see is how the numbers arrived:
the dtype, the memory layout, the shape.  Those are checked here.
"""

import operator

import numpy as np


def _as_array(value, what):
    try:
        return value if isinstance(value, np.ndarray) else np.asarray(value)
    except (TypeError, ValueError) as failure:
        raise ValueError(f"{what}: not an array of numbers ({failure})") from None


def _one_dimensional(array, what):
    if array.ndim != 1:
        raise ValueError(f"{what} must be one-dimensional (it has shape {array.shape})")
    if not array.flags.c_contiguous:
        # A strided view would have to be copied behind the caller's back for
        # every record; refusing it keeps the cost visible.
        raise ValueError(f"{what} is not contiguous in memory: pass numpy.ascontiguousarray(...)")


def times_array(value, what="times_us"):
    """Arrival times as contiguous float64; integers and narrower floats are
    converted (no value changes), anything else is refused."""
    array = _as_array(value, what)
    _one_dimensional(array, what)
    if array.dtype == np.float64:
        return array
    if array.dtype.kind in "fiu" and np.can_cast(array.dtype, np.float64, "safe"):
        return array.astype(np.float64)
    raise ValueError(f"{what} must hold real numbers (float or integer), not {array.dtype}")


def colours_array(value, what="is_acceptor"):
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


def coefficients_array(value):
    """Diffusion coefficients in m^2/s: one or more positive finite numbers."""
    array = np.atleast_1d(_as_array(value, "D"))
    if array.ndim != 1 or array.dtype.kind not in "fiu":
        raise ValueError(f"D must be a number or a one-dimensional array of numbers, not {array.dtype} "
                         f"of shape {array.shape}")
    array = np.ascontiguousarray(array, dtype=np.float64)
    if array.size == 0:
        raise ValueError("No diffusion coefficients to scan.")
    for d in array:
        if not (d > 0 and np.isfinite(d)):
            raise ValueError(f"Diffusion coefficient {d:g} m^2/s must be a positive finite number.")
    return array


def threads_count(threads):
    """0 for the default (PELMORA_THREADS, else the CPUs this process may
    use), else a count >= 1."""
    if threads is None:
        return 0
    count = operator.index(threads)
    if count < 1:
        raise ValueError(f"threads must be at least 1 (it is {count})")
    return count


def grid_settings(R0, rmin, rmax, bins):
    """The distance grid's settings as the library takes them; the library
    checks their values."""
    return dict(R0=float(R0), rmin=float(rmin), rmax=None if rmax is None else float(rmax),
                bins=operator.index(bins))
