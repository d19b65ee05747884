"""Builds the wheel of the Python package pelmora (pyproject.toml), offline and
from Debian's packages alone:

    /usr/bin/python3 -m pip install --no-build-isolation .

CMake builds the engine module pelmora._core and the two programs (nothing
else: no tests, no tools); the wheel carries the package, the module, the
programs (installed into the environment's bin/) and the man page.  The
release is the one of CMakeLists.txt.

PELMORA_CMAKE_BUILD_DIR names a CMake build tree to build in, an existing one
included (make install and CI take the tree that make built, so nothing is
compiled twice); by default it is build/pip/ under the sources.
PELMORA_CMAKE_ARGS adds settings to a new tree's configuration.
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext
from setuptools.errors import SetupError

SOURCE_DIR = os.path.dirname(os.path.abspath(__file__))
PROGRAMS = ("pelmora", "pelmora-bursts")
MAN_PAGES = ("pelmora.1", "pelmora-bursts.1")


def release():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as cmake_lists:
        found = re.search(r"project\(\s*pelmora\s+VERSION\s+([0-9][0-9.]*)", cmake_lists.read())
    if found is None:
        raise SetupError("CMakeLists.txt has no project(pelmora VERSION ...) line")
    return found.group(1)


def debian_packages():
    """The compile group of tools/install-deps, as one line."""
    listed = subprocess.run([os.path.join(SOURCE_DIR, "tools", "install-deps"), "--list", "compile"],
                            capture_output=True, text=True, check=False)
    return " ".join(listed.stdout.split()) if listed.returncode == 0 else "(tools/install-deps)"


def missing_packages():
    """What tools/install-deps finds missing of what compiling needs, as its
    message; None when everything is there or this is no Debian system."""
    if shutil.which("dpkg-query") is None:
        return None
    check = subprocess.run([os.path.join(SOURCE_DIR, "tools", "install-deps"), "--check", "compile"],
                           capture_output=True, text=True, check=False)
    return check.stderr.strip() if check.returncode != 0 else None


def build_failure(what):
    return SetupError(
        f"{what}. Pelmora builds with a C++20 compiler, CMake, HDF5, Eigen, nlohmann-json, "
        "pybind11 and the Python headers; on Debian: sudo apt-get install "
        f"--no-install-recommends {debian_packages()} (or sudo tools/install-deps compile, which "
        "installs what is missing).")


def run(command):
    print("pelmora:", shlex.join(command), flush=True)
    return subprocess.run(command, check=False).returncode == 0


class CMakeBuild(build_ext):
    """Builds pelmora._core with CMake and puts the programs and the man page
    among the wheel's data files."""

    def run(self):
        build_dir = os.path.abspath(
            os.environ.get("PELMORA_CMAKE_BUILD_DIR") or os.path.join(self.build_temp, "cmake"))
        self.configure(build_dir)
        jobs = str(os.cpu_count() or 2)
        targets = ["pelmora_python", *PROGRAMS]
        if not run(["cmake", "--build", build_dir, "-j", jobs, "--target", *targets]):
            raise build_failure(f"The build in {build_dir} failed (its errors are above)")

        package = os.path.join(build_dir, "python", "pelmora")
        module = "_core" + sysconfig.get_config_var("EXT_SUFFIX")
        if not os.path.exists(os.path.join(package, module)):
            raise SetupError(
                f"{build_dir} holds no {module} for this Python ({sys.executable}): it was "
                "configured for another interpreter (Python3_EXECUTABLE in its CMakeCache.txt)")
        destination = os.path.dirname(self.get_ext_fullpath("pelmora._core"))
        os.makedirs(destination, exist_ok=True)
        for name in (module, "_version.py"):
            self.copy_file(os.path.join(package, name), os.path.join(destination, name))
        self.distribution.data_files = [
            ("bin", [os.path.join(build_dir, program) for program in PROGRAMS]),
            ("share/man/man1", [os.path.join(build_dir, page) for page in MAN_PAGES]),
        ]

    def configure(self, build_dir):
        """Configures a new tree with the wheel's settings; a tree configured
        before keeps its own, and is only asked for the Python module."""
        cache = os.path.join(build_dir, "CMakeCache.txt")
        configured = os.path.exists(cache)
        command = ["cmake", "-S", SOURCE_DIR, "-B", build_dir, "-DPELMORA_PYTHON=ON"]
        if not configured:
            problem = missing_packages()
            if problem:
                raise SetupError(problem)
            if shutil.which("cmake") is None:
                raise build_failure("CMake is not installed")
            command += ["-DCMAKE_BUILD_TYPE=Release", "-DPELMORA_BUILD_TESTS=OFF",
                        f"-DPython3_EXECUTABLE={sys.executable}",
                        *shlex.split(os.environ.get("PELMORA_CMAKE_ARGS", ""))]
        if not run(command):
            if not configured and os.path.exists(cache):
                # A half-configured tree would be taken as configured next time.
                os.remove(cache)
            raise build_failure(f"CMake could not configure the build in {build_dir} (its errors "
                                "are above)")


# setuptools' own files go beside the CMake trees, under build/ (ignored by git).
SETUPTOOLS_DIR = os.path.join("build", "pip")
os.makedirs(SETUPTOOLS_DIR, exist_ok=True)

setup(
    version=release(),
    package_dir={"": "python"},
    packages=["pelmora"],
    options={"build": {"build_base": SETUPTOOLS_DIR}, "egg_info": {"egg_base": SETUPTOOLS_DIR}},
    ext_modules=[Extension("pelmora._core", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
