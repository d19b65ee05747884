"""The tutorial notebook runs from start to end in a kernel of this
interpreter, on a measurement simulated by the build, and is kept without
outputs (the run fills a copy)."""

import json
import os
import sys

import pytest

import pelmora
from conftest import BUILD_DIR, SOURCE_DIR

nbformat = pytest.importorskip("nbformat")
nbclient = pytest.importorskip("nbclient")

NOTEBOOK = os.path.join(SOURCE_DIR, "examples", "tutorial.ipynb")


def test_committed_notebook_has_no_outputs():
    notebook = nbformat.read(NOTEBOOK, as_version=4)
    filled = [i for i, cell in enumerate(notebook.cells) if cell.cell_type == "code" and
              (cell.outputs or cell.execution_count is not None)]
    assert filled == [], f"cells {filled} keep their outputs: clear them before committing"


def test_tutorial_runs_to_the_end(tmp_path, monkeypatch):
    # A kernel of this very interpreter, whatever kernels the machine has.
    kernel = tmp_path / "kernels" / "pelmora-test"
    kernel.mkdir(parents=True)
    (kernel / "kernel.json").write_text(json.dumps({
        "argv": [sys.executable, "-m", "ipykernel_launcher", "-f", "{connection_file}"],
        "display_name": "pelmora test", "language": "python"}))
    monkeypatch.setenv("JUPYTER_PATH", str(tmp_path))
    monkeypatch.setenv("PELMORA_BUILD_DIR", os.path.abspath(BUILD_DIR))
    # The package these tests import, from the notebook's folder too.
    paths = [os.path.dirname(os.path.dirname(os.path.abspath(pelmora.__file__)))]
    paths += [os.path.abspath(p) for p in os.environ.get("PYTHONPATH", "").split(os.pathsep) if p]
    monkeypatch.setenv("PYTHONPATH", os.pathsep.join(paths))
    monkeypatch.setenv("PYDEVD_DISABLE_FILE_VALIDATION", "1")
    # The notebook's own backend draws the figures into its outputs.
    monkeypatch.delenv("MPLBACKEND", raising=False)
    notebook = nbformat.read(NOTEBOOK, as_version=4)
    client = nbclient.NotebookClient(notebook, timeout=300, kernel_name="pelmora-test",
                                     resources={"metadata": {"path": os.path.dirname(NOTEBOOK)}})
    client.execute()
    nbformat.write(notebook, tmp_path / "tutorial.ipynb")

    outputs = [o for cell in notebook.cells if cell.cell_type == "code" for o in cell.outputs]
    assert not [o for o in outputs if o.output_type == "error"]
    figures = [o for o in outputs if "image/png" in o.get("data", {})]
    assert len(figures) >= 3  # the E (or E-S) histogram, P(D), the map and trajectory
    text = "".join(o.get("text", "") for o in outputs)
    assert "the same as in one process: True" in text
