"""Ctrl-C stops a long analysis: a process whose engine threads are busy gets
SIGINT, raises KeyboardInterrupt and has no thread of the engine left.  The
work would last far longer than the wait allowed here."""

import os
import signal
import subprocess
import sys
import textwrap
import time

import pytest

# Each prints its thread count once the record is made, runs the analysis,
# and on KeyboardInterrupt prints "interrupted" and the thread count then.
PROGRAM = textwrap.dedent("""\
    import os, sys
    import numpy as np
    import pelmora

    def threads():
        return len(os.listdir("/proc/self/task"))

    rng = np.random.default_rng(1)
    def record(n):
        return np.cumsum(rng.exponential(20.0, n)), rng.random(n) < 0.5

    {setup}
    print("ready", threads(), flush=True)
    try:
        {work}
    except KeyboardInterrupt:
        print("interrupted", threads(), flush=True)
    """)

WORK = [
    # About a minute of scanning on two threads.
    ("records = [record(2000) for _ in range(200)]",
     "pelmora.scan(records, pelmora.log_spaced(1e-15, 1e-13, 20), bins=100, threads=2)"),
    # Forward and backward passes over a million photons, side by side.
    ("times, colours = record(1000000)",
     "pelmora.trajectory(times, colours, threads=2)"),
]


def thread_count(pid):
    try:
        return len(os.listdir(f"/proc/{pid}/task"))
    except FileNotFoundError:
        return 0


@pytest.mark.parametrize("setup, work", WORK)
def test_sigint_stops_the_engine_and_leaves_no_thread(setup, work):
    process = subprocess.Popen([sys.executable, "-c", PROGRAM.format(setup=setup, work=work)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
    try:
        ready = process.stdout.readline().split()
        assert ready[0] == "ready", process.stderr.read()
        before = int(ready[1])
        # The engine has started once its worker threads exist.
        for _ in range(1000):
            if thread_count(process.pid) > before:
                break
            time.sleep(0.01)
        assert thread_count(process.pid) > before
        process.send_signal(signal.SIGINT)
        out, err = process.communicate(timeout=15)
    finally:
        process.kill()
    assert out.split() == ["interrupted", str(before)], err
    assert process.returncode == 0
