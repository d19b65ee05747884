"""The compiled engine, pelmora._core: imported here first, so that a package
without it (the source tree, a build that left the module out, a module built
for another Python or missing its libraries) says how to get it."""

import glob
import importlib
import importlib.machinery
import os
import sys
import sysconfig

HOW_TO_BUILD = ("Build it with `make build` and use the build tree "
                "(PYTHONPATH=build/python /usr/bin/python3), or install the package from the "
                "source tree with `pip install --no-build-isolation .` into a virtual "
                "environment made by `/usr/bin/python3 -m venv --system-site-packages` "
                "(docs/python.md)")


def _missing_message(error):
    folder = os.path.dirname(os.path.abspath(__file__))
    if any(os.path.exists(os.path.join(folder, "_core" + suffix))
           for suffix in importlib.machinery.EXTENSION_SUFFIXES):
        # The module is there but could not be loaded.
        return (f"pelmora's engine module pelmora._core in {folder} could not be loaded: {error}. "
                "It needs the HDF5 C library (Debian: libhdf5-103-1; tools/install-deps runtime "
                f"lists what the package needs). {HOW_TO_BUILD}.")
    others = sorted(os.path.basename(path) for path in glob.glob(os.path.join(folder, "_core.*")))
    if others:
        return (f"pelmora's engine module in {folder} ({', '.join(others)}) was built for another "
                f"Python than this one ({sys.executable}, which loads "
                f"_core{sysconfig.get_config_var('EXT_SUFFIX')}). {HOW_TO_BUILD}, with the "
                "interpreter that is to import it.")
    return (f"pelmora's engine module pelmora._core is missing from {folder}: these are the "
            f"package's sources, or a build without the Python module. {HOW_TO_BUILD}.")


try:
    _core = importlib.import_module("._core", __package__)
except ImportError as error:
    raise ImportError(_missing_message(error)) from error
