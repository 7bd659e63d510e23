# Values into host arrays and back, without a module in between: classes,
# MATLAB sizes, memory orders, text and structs.
import numpy as np
import pytest

import vtx
from vtx._host import StructList

host = vtx._get_host()


def round_trip(x):
    a = host.to_host(x)
    try:
        return host.from_host(a)
    finally:
        host.lib.mxDestroyArray(a)


def class_of(x):
    a = host.to_host(x)
    try:
        return host.lib.mxGetClassID(a), bool(host.lib.mxIsComplex(a))
    finally:
        host.lib.mxDestroyArray(a)


@pytest.mark.parametrize("dtype, cls, cplx", [
    (np.float64, 6, False), (np.complex128, 6, True), (np.float32, 7, False),
    (np.complex64, 7, True), (np.bool_, 3, False), (np.int8, 8, False), (np.uint8, 9, False),
    (np.int16, 10, False), (np.uint16, 11, False), (np.int32, 12, False),
    (np.uint32, 13, False), (np.int64, 14, False), (np.uint64, 15, False)])
def test_numpy_types_keep_their_class_and_values(dtype, cls, cplx):
    x = (np.arange(24).reshape(2, 3, 4) % 2 == 1) if dtype is np.bool_ else \
        (np.arange(24).reshape(2, 3, 4) * (1 + 1j if cplx else 1)).astype(dtype)
    assert class_of(x) == (cls, cplx)
    y = round_trip(x)
    assert y.dtype == x.dtype and y.shape == x.shape and np.array_equal(y, x)


@pytest.mark.parametrize("x, shape", [
    (np.float64(2.5), (1, 1)), (np.zeros(5), (1, 5)), (np.zeros((5, 1)), (5, 1)),
    (np.zeros((0, 3)), (0, 3)), (np.zeros((2, 3, 1, 1)), (2, 3)), (np.zeros((2, 1, 3)), (2, 1, 3)),
    (np.zeros((2, 3, 4, 5)), (2, 3, 4, 5)), (None, (0, 0)), ([], (0, 0))])
def test_matlab_sizes(x, shape):
    y = round_trip(x)
    assert y.shape == shape and y.dtype == np.float64


def test_python_literals_are_doubles():
    assert class_of(3) == (6, False) and class_of(True) == (6, False)
    assert class_of([1, 2, 3]) == (6, False) and class_of([1, 2j]) == (6, True)
    assert np.array_equal(round_trip([[1, 2, 3]]), [[1.0, 2.0, 3.0]])


def test_every_memory_order_gives_the_same_host_array(rng):
    x = rng.standard_normal((4, 5, 3)) + 1j * rng.standard_normal((4, 5, 3))
    for v in (x, np.ascontiguousarray(x), np.asfortranarray(x), x[::-1, ::2][::-1],
              np.moveaxis(np.ascontiguousarray(np.moveaxis(x, 0, 2)), 2, 0)):
        y = round_trip(v)
        assert y.shape == v.shape and np.array_equal(y, v)


def test_non_native_byte_order():
    x = np.arange(6, dtype=">f8").reshape(2, 3)
    assert np.array_equal(round_trip(x), x)


def test_text_and_structs():
    assert round_trip("2x5") == "2x5" and round_trip("") == ""
    s = round_trip({"dk": 2.0, "pattern": "*x*", "coef": np.ones((2, 2), complex)})
    assert isinstance(s, dict) and s["pattern"] == "*x*" and s["dk"].shape == (1, 1)
    assert s["coef"].dtype == np.complex128
    lst = round_trip([{"a": 1}, {"a": 2, "b": "t"}])
    assert isinstance(lst, StructList) and lst.dims == (2, 1)
    assert lst[0]["b"].shape == (0, 0) and lst[1]["b"] == "t"   # missing fields are []
    row = round_trip(StructList([{"a": 1}, {"a": 2}], dims=(1, 2)))
    assert row.dims == (1, 2) and [e["a"][0, 0] for e in row] == [1, 2]


@pytest.mark.parametrize("x, error", [
    ("a\0b", ValueError), (np.array(["x"]), TypeError), (np.float16(1), TypeError),
    ({1: 2}, TypeError), ([{"a": object()}], TypeError)])
def test_values_without_a_host_form_are_refused(x, error):
    with pytest.raises(error):
        host.to_host(x)
