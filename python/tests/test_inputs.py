"""What the package accepts and what it refuses, and with which message:
arrays are converted when no value can change and refused otherwise; the
library's refusals arrive as ValueError (bad input), OSError (files) with
the command line's words."""

import re

import numpy as np
import pandas as pd
import pytest

import pelmora

TIMES = np.array([0.0, 1.5, 4.0, 7.25, 9.0, 12.0])
COLOURS = np.array([False, True, True, False, True, False])
D = [1e-15, 1e-14]


def scan(times=TIMES, colours=COLOURS, **keywords):
    return pelmora.scan([(times, colours)], keywords.pop("D", D), bins=50, **keywords)


def trajectory(times=TIMES, colours=COLOURS, **keywords):
    return pelmora.trajectory(times, colours, time_bins=keywords.pop("time_bins", 10), bins=50,
                              **keywords)


REFUSED = [
    # What is passed, what the message says.
    (lambda: scan(times=TIMES.astype(complex)), "must hold real numbers"),
    (lambda: scan(times=TIMES.astype(str)), "must hold real numbers"),
    (lambda: scan(times=TIMES > 3), "must hold real numbers"),
    (lambda: scan(times=np.repeat(TIMES, 2)[::2]), "not contiguous"),
    (lambda: scan(colours=np.repeat(COLOURS, 2)[::2]), "not contiguous"),
    (lambda: scan(times=TIMES.reshape(2, 3)), "one-dimensional"),
    (lambda: scan(times=np.array([0.0, 1.0, np.nan, 3.0, 4.0, 5.0])),
     "Photon at index 2: arrival time nan mu s is not a finite single-precision number."),
    (lambda: scan(times=np.array([0.0, 1.0, 2.0, 1e39, 4.0, 5.0])), "not a finite single-precision"),
    (lambda: scan(times=np.array([0.0, 2.0, 1.0, 3.0, 4.0, 5.0])),
     "Photon at index 2: arrival time 1.000000 mu s is earlier than the one before it (2.000000 mu s); "
     "photon times must not decrease."),
    (lambda: scan(colours=COLOURS[:5]), "6 arrival times but 5 colours: give one colour per photon."),
    (lambda: scan(times=TIMES[:2], colours=COLOURS[:2]), "Too few photons (2)."),
    (lambda: scan(colours=COLOURS.astype(float)), "must be boolean or integer 0/1"),
    (lambda: scan(colours=COLOURS.astype(np.int64) * 2),
     "Photon at index 1: colour 2 is neither donor (0) nor acceptor (1)."),
    (lambda: scan(colours=np.array([0, 1, 1, 0, 257, 0])), "colour 257 is neither"),
    (lambda: pelmora.scan([(TIMES, COLOURS), (TIMES[::-1].copy(), COLOURS)], D, bins=50),
     "burst 1: Photon at index 1: arrival time"),
    (lambda: pelmora.scan([(TIMES, COLOURS), TIMES], D), "burst 1: not a (times_us, is_acceptor) pair"),
    (lambda: pelmora.scan([], D), "No bursts to scan."),
    (lambda: scan(D=[1e-14, -1e-15]), "Diffusion coefficient -1e-15 m^2/s must be a positive finite"),
    (lambda: scan(D=[np.nan]), "Diffusion coefficient nan m^2/s"),
    (lambda: scan(D=[]), "No diffusion coefficients to scan."),
    (lambda: scan(D=[[1e-14]]), "D must be a number or a one-dimensional array"),
    (lambda: scan(R0=0), "Foerster radius must be > 0."),
    (lambda: pelmora.scan([(TIMES, COLOURS)], D, bins=20), "number of distance bins must be > 49."),
    (lambda: pelmora.scan([(TIMES, COLOURS)], D, bins=9, model="chain:6"),
     "number of distance bins must be > 9."),
    (lambda: scan(threads=0), "threads must be at least 1"),
    (lambda: trajectory(time_bins=3), "number of time slices (3) must be > 3."),
    (lambda: trajectory(D=0), "Diffusion coefficient 0 m^2/s must be a positive finite number."),
    # D in the command line's units of 1e-14 m²/s.
    (lambda: scan(D=[0.1, 10]), "D is in m^2/s here, not in the command line's 1e-14 m^2/s"),
    (lambda: trajectory(D=1), "Diffusion coefficient 1 m^2/s is above 1e-08 m^2/s"),
    (lambda: scan(D=[2e-14, 1e-14]), "The diffusion coefficients must increase."),
    (lambda: scan(model="spring:3"), "Unknown model spring:3"),
    (lambda: scan(model="chain:6", rmax=10), "the grid of model chain:6 is its own support"),
    (lambda: trajectory(model="chain:4:8:3"), "Unknown model chain:4:8:3"),
    (lambda: scan(background="auto"), "The background auto is estimated from a measurement"),
    (lambda: trajectory(background="auto"), "The background auto is estimated from a measurement"),
    (lambda: scan(background="lots"), "Background lots"),
    (lambda: scan(gamma=0), "--gamma 0: gamma, the acceptor's detection efficiency"),
    (lambda: scan(leakage=1), "--leakage 1: the leakage"),
    (lambda: trajectory(dir_ex=-1), "--dir-ex -1: the direct excitation"),
    (lambda: scan(beta=float("inf")), "--beta inf: beta"),
    (lambda: scan(gamma=1e308), "the corrections alone would rule distances in or out"),
    (lambda: trajectory(dir_ex=0.05), "give the record's n_aa"),
    (lambda: scan(bootstrap=-1), "bootstrap takes 0"),
    # Numbers that are no numbers, or beyond what a C++ int holds: never
    # converted behind the caller's back.
    (lambda: trajectory(time_bins=0, dt=float("nan")), "dt must be a finite number (it is nan)."),
    (lambda: trajectory(time_bins=float("nan")), "time_bins must be a finite number (it is nan)."),
    (lambda: trajectory(time_bins=2**40), "time_bins must be a whole number from 0 to 2147483647"),
    (lambda: scan(R0=float("nan")), "R0 must be a finite number (it is nan)."),
    (lambda: trajectory(rmax=float("inf")), "rmax must be a finite number (it is inf)."),
    (lambda: scan(seed=-1), "seed must be a whole number from 0"),
    (lambda: scan(bootstrap=2**40), "bootstrap must be a whole number"),
]


@pytest.mark.parametrize("call, message", REFUSED)
def test_refused_input_is_a_value_error_with_its_message(call, message):
    with pytest.raises(ValueError, match=re.escape(message)):
        call()


# PELMORA_SIMD chooses the instruction set, as for the programs; every one
# this processor has gives the same numbers, and an unknown one is refused.
def test_instruction_sets_give_the_same_numbers(monkeypatch):
    monkeypatch.setenv("PELMORA_SIMD", "scalar")
    expected = scan(D=pelmora.log_spaced(1e-16, 1e-13, 9)).loglik
    for path in ["sse2", "avx2", "avx512"]:
        monkeypatch.setenv("PELMORA_SIMD", path)
        try:
            got = scan(D=pelmora.log_spaced(1e-16, 1e-13, 9)).loglik
        except ValueError as error:
            assert "does not have" in str(error)
            continue
        assert np.array_equal(got, expected), path
    monkeypatch.setenv("PELMORA_SIMD", "avx3")
    with pytest.raises(ValueError, match="PELMORA_SIMD must be scalar, sse2, avx2 or avx512"):
        scan()


def test_a_result_beyond_the_memory_budget_is_refused_up_front():
    with pytest.raises(MemoryError, match=r"would need \d+\.\d GiB for its distributions alone "
                                          r"\(99999 time slices x \d+ grid points.*4\.0 GiB allowed"):
        pelmora.trajectory(TIMES, COLOURS, time_bins=99999, bins=19999)


@pytest.mark.parametrize("times, colours, same_as", [
    (TIMES.astype(np.float32), COLOURS, TIMES),
    ((TIMES * 4).astype(np.int32), COLOURS.astype(np.int8), TIMES * 4),
    (TIMES.tolist(), COLOURS.astype(np.uint64).tolist(), TIMES),
])
def test_safe_conversions_change_no_number(times, colours, same_as):
    assert np.array_equal(scan(times=times, colours=colours).loglik, scan(times=same_as).loglik)


def test_burst_tables_and_files_refused(measurement_file, tmp_path):
    m = pelmora.read_photon_hdf5(measurement_file)
    backwards = pd.DataFrame({"burst": [0], "t_start_s": [1.0], "t_stop_s": [0.5]})
    with pytest.raises(ValueError, match="Burst 0: the window 1.0 to 0.5 s"):
        pelmora.scan((m, backwards), D)
    with pytest.raises(ValueError, match="needs the columns t_start_s and t_stop_s"):
        pelmora.scan((m, pd.DataFrame({"start": [0.1]})), D)
    with pytest.raises(ValueError, match="Give a measurement together with its bursts"):
        pelmora.scan(m, D)
    with pytest.raises(ValueError):
        pelmora.search_bursts(m, m=1)
    (tmp_path / "table.csv").write_text("burst,t_stop_s,t_start_s\n0,1,2\n")
    with pytest.raises(ValueError, match="Burst table"):
        pelmora.read_burst_table(tmp_path / "table.csv")
    for read in (pelmora.read_photons, pelmora.read_photon_hdf5, pelmora.read_burst_table):
        with pytest.raises(OSError):
            read(tmp_path / "missing")
