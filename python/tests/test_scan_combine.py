"""pelmora-bursts combine of the shares of a scan gives every output of the
one scan over all bursts: loglik.csv, joint.dat, --grid and summary.json
byte for byte (but for summary.json's line of the command that ran), and
results.h5 in every dataset, value and attribute (but for those that record
the command and the shares).  For free diffusion, a chain with its
background, a table of P_eq in a folder whose name holds a space, and a
scanned chain RMS."""

import h5py
import numpy as np
import pytest

from conftest import program, run_program

SCAN = ["-Dmin", "0.3", "-Dmax", "3", "-n", "4", "-d", "50"]
CASES = {
    "free": [],
    "chain with background": ["--model", "chain:6", "--background", "auto"],
    "table in a folder with a space": ["--model", "pmf:p m/pmf.txt"],
    "scanned RMS": ["--model", "chain:4:8:3"],
}
# Attributes that name the command that ran, or the shares.
PROVENANCE = {"command", "combined_from"}


@pytest.fixture(scope="module")
def measurement(tmp_path_factory):
    folder = tmp_path_factory.mktemp("shares")
    run_program("simulate_measurement", ["--duration", "6", "--model", "chain:6", "--bg-donor",
                                         "1500", "--bg-acceptor", "1500", "--seed", "7", "m.h5"],
                folder)
    (folder / "p m").mkdir()
    (folder / "p m" / "pmf.txt").write_text("# r P\n1 0\n2 1\n4 0.5\n6 2\n9 0.1\n10 0\n")
    return folder


def without_command(text):
    return "".join(line for line in text.splitlines(True) if '"command": ' not in line)


def contents(path):
    """Every dataset's value and every attribute of an HDF5 file."""
    found = {}
    with h5py.File(path, "r") as f:
        found.update({("/", name): value for name, value in f.attrs.items()})

        def visit(name, item):
            found.update({(name, key): value for key, value in item.attrs.items()})
            if isinstance(item, h5py.Dataset):
                found[(name, None)] = item[()]
        f.visititems(visit)
    return found


def equal(a, b):
    if isinstance(a, np.ndarray) or isinstance(b, np.ndarray):
        a, b = np.asarray(a), np.asarray(b)
        return a.dtype == b.dtype and a.shape == b.shape and a.tobytes() == b.tobytes()
    return type(a) is type(b) and (a == b or (a != a and b != b))


@pytest.mark.parametrize("options", CASES.values(), ids=CASES.keys())
def test_combined_shares_are_the_scan(measurement, options):
    grid = ["--grid", "{}grid.csv"] if "chain:4:8:3" in options else []
    outputs = ["--loglik", "{}loglik.csv", "--joint", "{}joint.dat", "-o", "{}results.h5",
               "--summary", "{}summary.json"] + grid
    tag = str(abs(hash(tuple(options))))
    whole = [o.format(tag + "whole_") for o in outputs]
    console = run_program("pelmora-bursts", ["scan", "m.h5", *SCAN, *options, *whole, "-q"],
                          measurement)
    # -q silences the progress, not the result.
    assert "Scanning bursts" not in console and "\nD = " in "\n" + console
    for i in (1, 2, 3):
        run_program("pelmora-bursts", ["scan", "m.h5", *SCAN, *options, "--shard", f"{i}/3",
                                       "--loglik", f"{tag}share{i}.csv", "-q"], measurement)
    combined = [o.format(tag + "combined_") for o in outputs]
    run_program("pelmora-bursts", ["combine", *(f"{tag}share{i}.csv" for i in (3, 1, 2)),
                                   *combined], measurement)

    def read(prefix, name):
        return (measurement / f"{tag}{prefix}_{name}").read_text()
    for name in ["loglik.csv", "joint.dat"] + (["grid.csv"] if grid else []):
        assert read("combined", name) == read("whole", name), name
    assert without_command(read("combined", "summary.json")) == \
        without_command(read("whole", "summary.json"))
    one = contents(measurement / f"{tag}whole_results.h5")
    other = contents(measurement / f"{tag}combined_results.h5")
    assert {k for k in one if k[1] not in PROVENANCE} == {k for k in other if k[1] not in PROVENANCE}
    for key, value in one.items():
        if key[1] not in PROVENANCE:
            assert equal(other[key], value), key
    assert "--shard" not in one[("/", "command")] and "combine" in other[("/", "command")]
    assert one[("/", "pelmora_version")] == other[("/", "pelmora_version")]
