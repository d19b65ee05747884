"""What a console or a notebook shows: reprs that give counts, shapes and
ranges but never whole arrays, and progress bars that count bursts and name
the D being scanned."""

import re
import warnings

import numpy as np
import pytest

import pelmora
import pelmora._analysis

D = pelmora.log_spaced(1e-15, 1e-13, 4)


@pytest.fixture(scope="module")
def shown(measurement_file):
    """The objects of a session, big enough that a dumped array would show."""
    m = pelmora.read_photon_hdf5(measurement_file)
    bursts = pelmora.search_bursts(m)
    photons = pelmora.burst_photons(m, bursts)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        scan = pelmora.scan((m, bursts), D, bins=50, bootstrap=20)
        chain = pelmora.scan((m, bursts.head(5)), D, bins=50, bootstrap=20, model="chain:5:7:3")
        traj = pelmora.trajectory(*photons[0], D=1e-14, time_bins=200, bins=50)
    long = pelmora.Photons(np.arange(100000.0), np.arange(100000) % 3 == 0)
    return {"measurement": m, "photons": long, "scan": scan, "chain": chain, "traj": traj,
            "estimate": scan.estimate, "axis": chain.estimate.parameter, "core scan": scan._scan}


@pytest.mark.parametrize("name, says", [
    ("measurement", r"sim\.h5: smFRET, \d+ photons \(\d+ donor channel, \d+ acceptor channel\) "
                    r"over [\d.]+ s"),
    ("photons", r"100000 photons \(66666 donor, 33334 acceptor\) over 100 ms"),
    ("scan", r"\d+ bursts \(\d+ analysed\) × 4 values of D from 1e-15 to 1e-13 m²/s; model free"),
    ("chain", r"× 3 of rms_nm from 5 to 7; model chain:5:7:3, background auto"),
    ("traj", r"200 slices × 50 distances from [\d.]+ to [\d.]+ nm"),
    ("estimate", r"D = [\d.e-]+ m²/s \(68 %: .* to .*; 95 %: .* to .*\); bootstrap of \d+ bursts, "
                 r"20 resamples, seed 1"),
    ("axis", r"20 resamples"),
    ("core scan", r"D=float64\[4\] 1e-15 to 1e-13, .*analysed=bool\[\d+\] \d+ true"),
])
def test_repr_gives_counts_and_ranges_not_arrays(shown, name, says):
    text = repr(shown[name])
    assert re.search(says, text), text
    assert len(text) < 400 and "array(" not in text and "..." not in text


def test_core_classes_show_no_array(shown):
    traj = shown["traj"]
    core = pelmora._core.trajectory(traj.photon_times_us.astype(float), traj.photon_is_acceptor,
                                    1e-14, 300, 0.0, 6.5, 0.0, None, 50, 1, None, "free", "off",
                                    1.0, 0.0, 0.0, 1.0)
    text = repr(core)
    assert "P=float64[300×50]" in text and len(text) < 400


class Bar:
    """What the scan's progress does to a tqdm bar."""

    def __init__(self, total):
        self.total, self.n, self.postfixes = total, 0, []

    def update(self, n):
        self.n += n

    def set_postfix_str(self, text, refresh=True):
        self.postfixes.append(text)

    def refresh(self):
        pass


@pytest.mark.parametrize("bursts, values, reports", [
    (3, 1, [1] * 12),           # one call per run, as the engine reports them
    (2, 3, [1] * 24),
    (4, 1, [5, 3, 8]),          # several runs at once
])
def test_scan_progress_counts_bursts_and_names_the_D(bursts, values, reports):
    bar = Bar(bursts * values)
    progress = pelmora._analysis._ScanProgress(bar, D, bursts, values)
    done = []
    for runs in reports:
        progress(runs)
        done.append(bar.n)
    assert bar.n == bursts * values
    assert done == [sum(reports[:i + 1]) // D.size for i in range(len(reports))]
    # The D waited for next: the second of the first burst, ..., the last at the end.
    assert bar.postfixes[0].endswith(f"D={D[reports[0] % D.size]:.3g} m²/s")
    assert bar.postfixes[-1].endswith("D=1e-13 m²/s")
    assert ("model value" in bar.postfixes[-1]) == (values > 1)


def test_progress_bar_of_a_scan_counts_bursts(capsys):
    rng = np.random.default_rng(3)
    records = [(np.cumsum(rng.exponential(30.0, 60)), rng.random(60) < 0.4) for _ in range(5)]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", pelmora.PelmoraWarning)
        pelmora.scan(records, D, bins=50, bootstrap=0, progress=True)
    bar = capsys.readouterr().err
    assert " 5/5 [" in bar and "burst/s" in bar and "D=1e-13 m²/s" in bar
