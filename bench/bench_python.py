#!/usr/bin/python3
"""vtx.xform2 and vtx.grappa from Python against NumPy implementations of
the same computations, on the same data in the same run: numpy.fft for the
transforms, numpy.linalg.lstsq for the GRAPPA kernel fit. Everything on one
thread, as the modules run. Ratios are vtx time / NumPy time (below 1: vtx
is faster); vtx times include the conversions in and out.

    make build && /usr/bin/python3 bench/bench_python.py
"""

import os

for v in ("OPENBLAS_NUM_THREADS", "OMP_NUM_THREADS", "MKL_NUM_THREADS"):
    os.environ[v] = "1"

import io  # noqa: E402
import contextlib  # noqa: E402
import sys  # noqa: E402
import time  # noqa: E402
from pathlib import Path  # noqa: E402

import numpy as np  # noqa: E402

sys.path.insert(0, str(Path(__file__).resolve().parents[1] / "python"))
import vtx  # noqa: E402
from vtx.phantom import phantom  # noqa: E402


def best_time(f, runs):
    """Least wall time of runs calls, after one warm-up call."""
    f()
    best = float("inf")
    for _ in range(runs):
        t = time.perf_counter()
        f()
        best = min(best, time.perf_counter() - t)
    return best


def peer_grappa(sz, data, lines):
    """GRAPPA in NumPy: kernel 2x5, one gap of 2 (pattern *x*), calibration
    over whole ACS lines, weights by lstsq; the module's coefficient layout."""
    M, N, L = sz
    ky, kx = 2, 5
    grid = np.zeros((M, N, L), complex)
    grid[:, lines, :] = data
    acq = np.zeros(N, bool)
    acq[lines] = True
    y = np.arange(N)
    both = acq[(y - 1) % N] & acq[(y + 1) % N]
    acs, miss = np.nonzero(acq & both)[0], np.nonzero(~acq & both)[0]

    def sources(targets):
        A = np.empty((M * len(targets), ky * kx * L), complex)
        for k in range(kx):
            xs = (np.arange(M) + k - (kx - 1) // 2) % M
            for l, dy in enumerate((-1, 1)):
                cols = l + ky * (np.arange(L) + L * k)
                A[:, cols] = grid[xs][:, (targets + dy) % N, :].reshape(-1, L, order="F")
        return A

    W = np.linalg.lstsq(sources(acs), grid[:, acs, :].reshape(-1, L, order="F"), rcond=None)[0]
    k = grid.copy()
    k[:, miss, :] = (sources(miss) @ W).reshape(M, len(miss), L, order="F")
    return k


def main():
    quiet = contextlib.redirect_stdout(io.StringIO())
    print(f"{'case':<28} {'vtx ms':>10} {'numpy ms':>10} {'ratio':>8} {'max |d|':>10}")

    def row(case, tv, tn, d):
        print(f"{case:<28} {1e3 * tv:10.1f} {1e3 * tn:10.1f} {tv / tn:8.2f} {d:10.1e}")

    if "xform2" in vtx.available():
        rng = np.random.default_rng(1)
        for M, N, L in ((256, 256, 8), (192, 192, 8)):
            x = rng.standard_normal((M, N, L)) + 1j * rng.standard_normal((M, N, L))
            for d, peer in (("f", np.fft.fft2), ("b", np.fft.ifft2)):
                with quiet:
                    tv = best_time(lambda: vtx.xform2(x, d), 10)
                    y = vtx.xform2(x, d)
                tn = best_time(lambda: peer(x, axes=(0, 1)), 10)
                ref = peer(x, axes=(0, 1))
                row(f"xform2 {M}x{N}x{L} '{d}'", tv, tn,
                    np.abs(y - ref).max() / np.abs(ref).max())

    if "grappa" in vtx.available():
        M = N = 256
        lines = np.unique(np.r_[1:N + 1:2, N // 2 - 11:N // 2 + 13]).astype(float)
        acq = lines.astype(int) - 1
        for L in (8, 32):
            data = phantom(M, N, L)["k"][:, acq, :]
            tv = best_time(lambda: vtx.grappa([M, N, L], data, lines[:, None], "2x5", nargout=1), 3)
            tn = best_time(lambda: peer_grappa((M, N, L), data, acq), 3)
            kv = vtx.grappa([M, N, L], data, lines[:, None], "2x5", nargout=1)
            kn = peer_grappa((M, N, L), data, acq)
            row(f"grappa {M}x{N}x{L} R=2+24", tv, tn, np.abs(kv - kn).max() / np.abs(kn).max())


if __name__ == "__main__":
    main()
