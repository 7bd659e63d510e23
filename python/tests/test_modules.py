# Every function of the table: a valid call returns outputs of the MATLAB
# shapes, and hostile calls raise VtxError without bringing Python down.
# Functions whose modules are not built yet are skipped.
import numpy as np
import pytest

import vtx
from conftest import need

rng = np.random.default_rng(3)


def c(*shape):
    return rng.standard_normal(shape) + 1j * rng.standard_normal(shape)


def col(*v):
    return np.array(v, dtype=float)[:, None]


def struct_shape(s):
    return ("struct", 1) if isinstance(s, dict) else ("struct", len(s))


# name -> (valid inputs, MATLAB sizes of the outputs; ("struct", n) for n elements)
VALID = {
    "xform2": ((c(8, 6, 3), "b"), [(8, 6, 3)]),
    "grappa": (([16, 12, 2], c(16, 8, 2), col(1, 3, 5, 6, 7, 8, 9, 11)),
               [(16, 12, 2), (16, 12), ("struct", 1)]),
    "coilsens": ((c(8, 16, 2), col(*range(1, 9)), [8, 16]), [(8, 16, 2)]),
    "sense": ((c(8, 8, 2), c(8, 8, 2), 2), [(8, 8), (2, 8, 8)]),
    "lcurvesense": ((c(8, 8, 2), c(40, 2),
                     np.array([[x, y] for y in range(0, 8, 2) for x in range(8)] +
                              [[x, 1] for x in range(8)], dtype=float),
                     [[0.1, 1.0, 10.0]], 5),
                    [(8, 8, 3), (3, 1), (3, 1)]),
    "unfold": ((c(4, 4, 6),), [(4, 4, 6), (10, 1)]),
    "cinefilter": ((c(4, 4, 5), 0.1, [1, -0.9]), [(4, 4, 5)]),
    "flipmap": ((c(8, 8, 2, 3, 4),), [(8, 8, 2, 3)]),
    "coilmerge": ((c(8, 8, 3, 4),), [(8, 8, 3), (4, 3)]),
    "ghostfix": ((c(16, 8, 2), c(16, 3, 2)), [(16, 8, 2), (2, 1)]),
    "halfscan": ((c(16, 12), [16, 16]), [(16, 16), (16, 1)]),
    "lineplace": ((col(1, 3, 5, 7, 8), c(8, 5, 2), [8, 10, 2]), [(8, 10, 2)]),
    "warpfill": ((np.array([[1.0, 1], [2, 1], [1, 2]]), c(8, 3), [8, 2, 2]), [(8, 2, 2)]),
    "framecal": ((c(8, 8, 2), c(8, 8, 2)), [(8, 8, 1, 2), (8, 8, 1, 2), ("struct", 1)]),
}


def test_the_table_names_every_function():
    assert set(VALID) == set(vtx._table.MODULES)


@pytest.mark.parametrize("name", list(VALID))
def test_valid_call_returns_matlab_shapes(name, capsys):
    need(name)
    args, shapes = VALID[name]
    out = getattr(vtx, name)(*args)
    out = out if isinstance(out, tuple) else (out,)
    assert len(out) == vtx._table.MODULES[name][0]
    for o, shape in zip(out, shapes):
        if shape[0] == "struct":
            assert struct_shape(o) == shape
        else:
            assert isinstance(o, np.ndarray) and o.shape == shape and o.dtype.kind in "fc"
            assert o.flags.f_contiguous


def hostile(args):
    """Calls built from the valid one: each input swapped for something of
    the wrong kind, inputs missing, and too many outputs asked for."""
    swaps = [None, "x", np.float32(1), np.full((2, 2), np.nan), np.zeros((0, 3)), {"a": 1},
             np.ones((2, 2, 2, 2, 2, 2, 2)) * 1j, np.int32([5, 5, 5])]
    for i in range(len(args)):
        for s in swaps:
            yield args[:i] + (s,) + args[i + 1:], None
    yield (), None
    yield args[:1], None
    yield args, 9


@pytest.mark.parametrize("name", list(VALID))
def test_hostile_calls_raise_or_answer_without_crashing(name, capsys):
    need(name)
    f = getattr(vtx, name)
    refused = 0
    for args, nargout in hostile(VALID[name][0]):
        try:
            f(*args, nargout=nargout)
        except vtx.VtxError as e:
            refused += 1
            assert e.module == name and str(e)
    assert refused > 0
    with pytest.raises(vtx.VtxError):
        f(*VALID[name][0], nargout=9)
