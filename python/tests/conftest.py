"""What the Python tests share: the built programs and a small simulated
measurement.  ctest sets PELMORA_BUILD_DIR and PYTHONPATH; run by hand,
the tests take the build tree beside the sources:

    PYTHONPATH=build/python /usr/bin/python3 -m pytest python/tests
"""

import os
import subprocess

import pytest

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DIR = os.environ.get("PELMORA_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
EXAMPLE = os.path.join(SOURCE_DIR, "examples", "photons.txt")


def program(name):
    return os.path.join(BUILD_DIR, name)


def run_program(name, arguments, folder):
    """Runs a built program in `folder`; its standard error (the console)."""
    done = subprocess.run([program(name)] + [str(a) for a in arguments], cwd=folder,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode == 0, done.stderr
    return done.stderr


@pytest.fixture(scope="session")
def measurement_file(tmp_path_factory):
    """A 5 s smFRET measurement of about 30 bursts, and its true burst windows."""
    folder = tmp_path_factory.mktemp("measurement")
    path = folder / "sim.h5"
    subprocess.run([program("simulate_measurement"), "--duration", "5", "--seed", "3", str(path)],
                   check=True, capture_output=True, timeout=120)
    return path
