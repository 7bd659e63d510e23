# xform2 against NumPy's FFT, slice by slice, in every memory order.
import numpy as np
import pytest

import vtx
from conftest import crandn, need


@pytest.fixture(autouse=True)
def built():
    need("xform2")


@pytest.mark.parametrize("shape", [(16, 8, 3), (12, 10, 2), (7, 5), (1, 9, 2), (32, 32, 1)])
def test_equals_numpy_fft2_and_ifft2_on_every_slice(shape, rng):
    x = crandn(rng, *shape)
    matlab_shape = shape if len(shape) == 2 or shape[2] > 1 else shape[:2]
    tol = 1e-12 * np.abs(x).sum()
    y = vtx.xform2(x)
    assert y.shape == matlab_shape
    assert np.abs(y.reshape(shape) - np.fft.fft2(x, axes=(0, 1))).max() < tol
    z = vtx.xform2(x, "b")
    assert np.abs(z.reshape(shape) - np.fft.ifft2(x, axes=(0, 1))).max() < 1e-12 * np.abs(x).max()


def test_real_input_and_every_memory_order_agree(rng):
    x = crandn(rng, 12, 16, 4)
    ref = vtx.xform2(x)
    for v in (np.ascontiguousarray(x), np.asfortranarray(x), x.T.copy().T, x[:, ::-1][:, ::-1]):
        assert np.array_equal(vtx.xform2(v), ref)
    r = rng.standard_normal((12, 16, 4))
    assert np.array_equal(vtx.xform2(r), vtx.xform2(r + 0j))
    assert np.array_equal(vtx.xform2(np.ascontiguousarray(r)), vtx.xform2(r + 0j))


def test_dimensions_beyond_the_third_are_not_returned(rng):
    x = crandn(rng, 4, 6, 2, 3)
    y = vtx.xform2(x)
    assert y.shape == (4, 6, 2)
    assert np.allclose(y, np.fft.fft2(x[:, :, :, 0], axes=(0, 1)))


@pytest.mark.parametrize("x", [np.ones((4, 4), np.float32), np.ones((4, 4), np.int16), "abc",
                               {"a": 1}])
def test_other_classes_get_the_module_message(x, capsys):
    with pytest.raises(vtx.VtxError) as e:
        vtx.xform2(x)
    assert e.value.message == ("error with 1st input: Need to declare a complex M-by-N-by-L "
                               "array for the input data.\n")


def test_direction_that_is_not_text():
    with pytest.raises(vtx.VtxError) as e:
        vtx.xform2(np.ones((4, 4)), 1)
    # the progress line comes first, then the refusal
    assert e.value.message == "\nerror with 2nd input: Need to declare string, 'f' or 'b' \n"
