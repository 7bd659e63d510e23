# Console text, warnings and standard error; parallel calls.
import ctypes
import sys
import threading

import numpy as np
import pytest

import vtx
from conftest import crandn, need
from vtx.phantom import phantom

host = vtx._get_host()


class Recorder:
    """A stdout that notes whether each text arrived during the call."""

    def __init__(self, lock):
        self.lock, self.parts = lock, []

    def write(self, s):
        self.parts.append((s, self.lock.locked()))

    def flush(self):
        pass


def test_console_text_reaches_sys_stdout_while_the_call_runs(monkeypatch):
    need("grappa")
    _, lock = host.function("grappa")
    rec = Recorder(lock)
    monkeypatch.setattr(sys, "stdout", rec)
    with pytest.raises(vtx.VtxError):
        vtx.grappa([8, 8], 1, 1)
    assert rec.parts == [("1st input: Need to declare a real 1-by-3 array for the output data size\n",
                          True)]


def test_warnings_and_standard_error(capfd, rng):
    need("xform2")
    x = crandn(rng, 8, 4)
    host.lib.mexhost_fail_next_getstring.argtypes = [ctypes.c_int]
    host.lib.mexhost_fail_next_getstring(3)
    with pytest.warns(vtx.VtxWarning, match="^Error in copying FFT direction argument.$") as w:
        y = vtx.xform2(x, "b")
    assert w[0].filename == __file__  # reported where vtx was called
    assert np.array_equal(y, vtx.xform2(x, "f"))  # the direction stays forward
    out, err = capfd.readouterr()
    assert "Status: 3\n" in err and "Status" not in out


def test_calls_in_parallel_threads_give_the_serial_results():
    need("xform2")
    need("grappa")
    M, N, L = 64, 64, 4
    p = phantom(M, N, L)
    lines = np.unique(np.r_[1:N + 1:2, N // 2 - 7:N // 2 + 9]).astype(float)
    data = p["k"][:, lines.astype(int) - 1, :]
    jobs = [lambda: vtx.grappa([M, N, L], data, lines[:, None], nargout=2),
            lambda: vtx.xform2(p["k"], "b")] * 4
    serial = [j() for j in jobs]
    results = [None] * len(jobs)

    def run(i):
        results[i] = jobs[i]()

    threads = [threading.Thread(target=run, args=(i,)) for i in range(len(jobs))]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for s, r in zip(serial, results):
        s, r = (s, r) if isinstance(s, tuple) else ((s,), (r,))
        assert all(np.array_equal(a, b) for a, b in zip(s, r))


def test_nargout_must_be_a_count():
    for n in (-1, 1.0, True, "1"):
        with pytest.raises(ValueError):
            vtx.xform2(np.ones((2, 2)), nargout=n)


def test_a_module_not_built_raises(monkeypatch, tmp_path):
    monkeypatch.setattr(host, "mex_dir", tmp_path)
    monkeypatch.setattr(host, "functions", {})
    with pytest.raises(vtx.VtxError, match="module not built"):
        vtx.framecal(np.ones((4, 4, 2)), np.ones((4, 4, 2)))
