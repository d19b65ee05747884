"""The package as it is built and installed: one release number everywhere,
a package without its engine that says how to build it, a pip build that
names the Debian packages it lacks, and make install's layout under a prefix
and its removal (with the wheel CI builds: PELMORA_WHEEL)."""

import glob
import importlib.metadata
import os
import re
import shutil
import stat
import subprocess
import sys
import sysconfig

import pytest

import pelmora
from conftest import BIN_DIR, BUILD_DIR, SOURCE_DIR

SYSTEM_PYTHON = "/usr/bin/python3"


def release():
    with open(os.path.join(SOURCE_DIR, "CMakeLists.txt"), encoding="utf-8") as cmake_lists:
        return re.search(r"project\(pelmora VERSION ([0-9.]+)", cmake_lists.read()).group(1)


def man_page_title(version):
    with open(os.path.join(SOURCE_DIR, "pelmora.1.in"), encoding="utf-8") as template:
        return template.readline().replace("@PROJECT_VERSION@", version)


def test_the_release_reaches_the_package_its_metadata_and_the_man_page():
    version = release()
    assert pelmora.__version__ == version
    # The metadata, when the package was installed with it.
    try:
        distribution = importlib.metadata.distribution("pelmora")
    except importlib.metadata.PackageNotFoundError:
        distribution = None
    if distribution is not None and os.path.samefile(
            distribution.locate_file("pelmora/__init__.py"), pelmora.__file__):
        assert distribution.version == version
    # The man page beside the programs under test.
    if "PELMORA_BIN_DIR" in os.environ:
        man_page = os.path.join(BIN_DIR, "..", "share", "man", "man1", "pelmora.1")
    else:
        man_page = os.path.join(BUILD_DIR, "pelmora.1")
    with open(man_page, encoding="utf-8") as text:
        assert text.readline() == man_page_title(version)


@pytest.mark.parametrize("module, message", [
    (None, "pelmora._core is missing from"),
    ("_core.cpython-39-x86_64-linux-gnu.so", "was built for another Python"),
    ("_core" + sysconfig.get_config_var("EXT_SUFFIX"), "could not be loaded"),
])
def test_a_package_without_its_engine_says_how_to_build_it(tmp_path, module, message):
    package = tmp_path / "pelmora"
    package.mkdir()
    for source in glob.glob(os.path.join(os.path.dirname(pelmora.__file__), "*.py")):
        shutil.copy(source, package)
    if module is not None:
        (package / module).write_bytes(b"not a shared object")
    done = subprocess.run([sys.executable, "-c", "import sys; sys.path.insert(0, sys.argv[1]); "
                           "import pelmora", str(tmp_path)], capture_output=True, text=True,
                          timeout=60)
    last = done.stderr.strip().splitlines()[-1]
    assert last.startswith("ImportError: pelmora's engine module"), done.stderr
    assert message in last and "make build" in last and "pip install" in last


def fake_dpkg_query(folder, missing):
    """A dpkg-query on PATH that reports `missing` as not installed."""
    real = shutil.which("dpkg-query")
    script = folder / "dpkg-query"
    script.write_text(f'#!/bin/sh\nfor last; do :; done\n[ "$last" = {missing} ] && exit 1\n'
                      f'exec {real} "$@"\n')
    script.chmod(script.stat().st_mode | stat.S_IXUSR)
    return {"PATH": f"{folder}{os.pathsep}{os.environ['PATH']}"}


@pytest.mark.skipif(shutil.which("dpkg-query") is None, reason="not a Debian system")
@pytest.mark.parametrize("environment, named", [
    # Debian says pybind11-dev is not installed: tools/install-deps names it.
    (lambda folder: fake_dpkg_query(folder, "pybind11-dev"), "sudo apt-get install"),
    # The compiler is not where CMake looks: the whole list is named.
    (lambda folder: {"CXX": str(folder / "no-such-compiler")}, "g++ cmake make"),
])
def test_pip_build_without_its_tools_names_the_debian_packages(tmp_path, environment, named):
    env = dict(os.environ, PELMORA_CMAKE_BUILD_DIR=str(tmp_path / "cmake"), **environment(tmp_path))
    done = subprocess.run([sys.executable, "-m", "pip", "wheel", "--no-build-isolation", "--no-deps",
                           "--no-index", "-w", str(tmp_path / "dist"), SOURCE_DIR], env=env,
                          capture_output=True, text=True, timeout=300)
    assert done.returncode != 0
    output = done.stdout + done.stderr
    assert named in output and "pybind11-dev" in output, output
    assert not os.listdir(tmp_path / "dist")


def files_under(folder):
    return sorted(os.path.relpath(os.path.join(root, name), folder)
                  for root, _, names in os.walk(folder) for name in names)


@pytest.mark.skipif("PELMORA_WHEEL" not in os.environ,
                    reason="needs the wheel (CI's wheel test sets PELMORA_WHEEL)")
@pytest.mark.parametrize("user_base", [True, False])
def test_make_install_puts_everything_under_the_prefix_and_takes_it_away(tmp_path, user_base):
    prefix = tmp_path / "prefix"
    env = dict(os.environ)
    env.pop("PYTHONPATH", None)
    # As for ~/.local: the prefix is the user's base, where Python looks by itself.
    env.pop("PYTHONUSERBASE", None)
    if user_base:
        env["PYTHONUSERBASE"] = str(prefix)
    install_wheel = [SYSTEM_PYTHON, os.path.join(SOURCE_DIR, "tools", "install-wheel"), "--prefix",
                     str(prefix)]
    subprocess.run(install_wheel + [os.environ["PELMORA_WHEEL"]], env=env, check=True,
                   capture_output=True, timeout=120)
    version = f"python{sys.version_info.major}.{sys.version_info.minor}"
    site = os.path.join("lib", version, "site-packages")
    installed = files_under(prefix)
    for expected in ("bin/pelmora", "bin/pelmora-bursts", "share/man/man1/pelmora.1",
                     f"{site}/pelmora/__init__.py", f"{site}/pelmora-{pelmora.__version__}"
                     ".dist-info/RECORD"):
        assert expected in installed
    with open(prefix / "share" / "man" / "man1" / "pelmora.1", encoding="utf-8") as text:
        assert text.readline() == man_page_title(pelmora.__version__)
    usage = subprocess.run([prefix / "bin" / "pelmora"], capture_output=True, text=True, timeout=60)
    assert "infile" in usage.stdout + usage.stderr
    if not user_base:
        env["PYTHONPATH"] = str(prefix / site)
    found = subprocess.run([SYSTEM_PYTHON, "-c", "import pelmora; print(pelmora.__file__)"],
                           env=env, cwd=tmp_path, capture_output=True, text=True, timeout=60)
    assert found.stdout.strip() == str(prefix / site / "pelmora" / "__init__.py"), found.stderr
    listed = subprocess.run([SYSTEM_PYTHON, "-m", "pip", "list", "--path", prefix / site], env=env,
                            capture_output=True, text=True, timeout=60)
    assert re.search(rf"^pelmora +{re.escape(pelmora.__version__)}$", listed.stdout, re.M)

    subprocess.run(install_wheel + ["--uninstall"], env=env, check=True, capture_output=True,
                   timeout=60)
    assert files_under(prefix) == []
    assert not os.path.exists(prefix / site / "pelmora")
