"""A scan on a Dask cluster of two worker processes is the scan of one
process, to the bit, its estimate and summary included: chunks of any size,
bursts from arrays and from a measurement, a burst left out of the joint
sum, and a chain with the background estimated from the measurement."""

import warnings

import numpy as np
import pandas as pd
import pytest
from distributed import Client, LocalCluster

import pelmora
import pelmora.dask

D = pelmora.log_spaced(0.1e-14, 10e-14, 5)


@pytest.fixture(scope="session")
def client():
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                      dashboard_address=None) as cluster, Client(cluster) as client:
        yield client


def bursts_from_arrays():
    rng = np.random.default_rng(5)
    return [(np.cumsum(rng.exponential(30.0, n)), rng.random(n) < 0.4) for n in (40, 90, 3, 60, 25,
                                                                                  70, 50)]


def bursts_of_measurement(path):
    m = pelmora.read_photon_hdf5(path)
    table = pelmora.search_bursts(m)
    # A window around one photon: too few photons, left out.
    t = m.times_s[len(m) // 2]
    lonely = pd.DataFrame({"burst": [len(table)], "t_start_s": [t], "t_stop_s": [t]})
    return m, pd.concat([table, lonely], ignore_index=True)


def without_call(summary):
    return {key: value for key, value in summary.items() if key != "command"}


@pytest.mark.parametrize("make, chunk, left_out, keywords", [
    (lambda path: bursts_from_arrays(), 2, 0, {}),
    (lambda path: bursts_from_arrays(), 7, 0, {"background": "2000,1000"}),
    (bursts_of_measurement, None, 1, {}),
    (bursts_of_measurement, 9, 1, {"model": "chain:6"}),
])
def test_dask_scan_is_the_scan_of_one_process(client, measurement_file, make, chunk, left_out,
                                              keywords):
    bursts = make(measurement_file)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        alone = pelmora.scan(bursts, D, bins=50, threads=1, **keywords)
        spread = pelmora.dask.scan(bursts, D, client, chunk=chunk, bins=50, **keywords)
    assert (~alone.analysed).sum() == left_out
    assert np.array_equal(spread.loglik, alone.loglik, equal_nan=True)
    assert spread.joint_loglik.tobytes() == alone.joint_loglik.tobytes()
    assert spread.P.tobytes() == alone.P.tobytes()
    pd.testing.assert_frame_equal(spread.bursts, alone.bursts)
    assert spread.warnings == alone.warnings
    assert (spread.model, spread.background) == (alone.model, alone.background)
    assert spread.estimate.coefficient.resampled.tobytes() == \
        alone.estimate.coefficient.resampled.tobytes()
    assert without_call(spread.summary()) == without_call(alone.summary())


def test_dask_progress_counts_bursts_not_chunks(client, capsys):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        pelmora.dask.scan(bursts_from_arrays(), D, client, chunk=2, bins=50, bootstrap=0,
                          progress=True)
    bar = capsys.readouterr().err
    assert " 7/7 [" in bar and "burst/s" in bar and "chunks 4/4" in bar
