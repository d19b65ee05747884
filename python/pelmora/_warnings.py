"""Warnings of the library, issued as Python warnings."""

from __future__ import annotations

import warnings
from typing import Iterable


class PelmoraWarning(UserWarning):
    """A warning of an analysis (simultaneous photons moved apart, possible
    boundary artifacts, rounding residue, ...).  The results list them too;
    ``warnings.simplefilter("ignore", pelmora.PelmoraWarning)`` silences
    them."""


def warn_all(texts: Iterable[str], stacklevel: int = 3) -> None:
    for text in texts:
        warnings.warn(text, PelmoraWarning, stacklevel=stacklevel)
