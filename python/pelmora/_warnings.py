"""Warnings of the library, issued as Python warnings."""

import warnings


class PelmoraWarning(UserWarning):
    """A warning of an analysis (simultaneous photons moved apart, possible
    boundary artifacts, rounding residue, ...).  The results list them too;
    ``warnings.simplefilter("ignore", pelmora.PelmoraWarning)`` silences
    them."""


def warn_all(texts, stacklevel=3):
    for text in texts:
        warnings.warn(text, PelmoraWarning, stacklevel=stacklevel)
