"""Photon-HDF5 files no honest writer makes, read through the package: a
pipe in place of a file is refused at once instead of blocking the reader
for ever, and timestamps whose span exceeds the int64 range are read as
they are."""

import os
import subprocess
import sys

import h5py
import numpy as np

import pelmora

INT64_MIN = np.iinfo(np.int64).min


def test_a_pipe_is_refused_not_waited_for(tmp_path):
    fifo = tmp_path / "m.h5"
    os.mkfifo(fifo)
    # In a child: a reader that blocks fails the test by its timeout
    # instead of hanging the suite.
    done = subprocess.run(
        [sys.executable, "-c", "import sys, pelmora; pelmora.read_photon_hdf5(sys.argv[1])",
         str(fifo)], capture_output=True, text=True, timeout=60)
    assert done.returncode != 0
    assert "OSError" in done.stderr
    assert "it is a pipe, not a regular file" in done.stderr


def test_a_span_beyond_int64_is_read_as_it_is(tmp_path):
    path = tmp_path / "m.h5"
    timestamps = np.array([INT64_MIN + 5, 1000, 2000, 3000, 4000, 5000], dtype=np.int64)
    with h5py.File(path, "w") as f:
        f.attrs["format_name"] = np.bytes_("Photon-HDF5")
        f.attrs["format_version"] = np.bytes_("0.5")
        f["photon_data/timestamps"] = timestamps
        f["photon_data/detectors"] = np.array([0, 1, 0, 1, 0, 1], dtype=np.uint8)
        f["photon_data/timestamps_specs/timestamps_unit"] = 1e-12
        f["photon_data/measurement_specs/measurement_type"] = np.bytes_("smFRET")
        f["photon_data/measurement_specs/detectors_specs/spectral_ch1"] = np.array([0], np.uint8)
        f["photon_data/measurement_specs/detectors_specs/spectral_ch2"] = np.array([1], np.uint8)
    m = pelmora.read_photon_hdf5(path)
    np.testing.assert_array_equal(m.timestamps, timestamps)
    assert m.metadata["first_timestamp"] == INT64_MIN + 5
    assert m.metadata["last_timestamp"] == 5000
    assert "over 9223372.037 s" in repr(m)
