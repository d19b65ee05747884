"""What the Python tests share: the programs and a small simulated
measurement.  The tests take whichever package `import pelmora` finds:
ctest sets PYTHONPATH to the build tree and PELMORA_BUILD_DIR; CI also
installs the wheel into a virtual environment and runs them there, with
PELMORA_BIN_DIR naming the folder of the installed pelmora and
pelmora-bursts.  The build's own tools (simulate_measurement) always come
from the build tree.  By hand, from the build tree beside the sources:

    PYTHONPATH=build/python /usr/bin/python3 -m pytest python/tests
"""

import os
import subprocess

import pytest

import pelmora

SOURCE_DIR = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", ".."))
BUILD_DIR = os.environ.get("PELMORA_BUILD_DIR", os.path.join(SOURCE_DIR, "build"))
BIN_DIR = os.environ.get("PELMORA_BIN_DIR", BUILD_DIR)
PROGRAMS = ("pelmora", "pelmora-bursts")
EXAMPLE = os.path.join(SOURCE_DIR, "examples", "photons.txt")


def program(name):
    return os.path.join(BIN_DIR if name in PROGRAMS else BUILD_DIR, name)


def pytest_report_header():
    return [f"pelmora {pelmora.__version__} from {os.path.dirname(pelmora.__file__)}",
            f"programs from {BIN_DIR}, tools from {BUILD_DIR}"]


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
