# grappa from Python: the same numbers as the Octave module on the same
# data, kernels that go back in as the sixth input, the module's messages.
import shutil
import subprocess

import numpy as np
import pytest

import vtx
from conftest import ROOT, build_dir, need
from vtx.phantom import phantom


def read_arrays(path):
    raw = np.fromfile(path, dtype="<f8")
    pos, out = 0, []
    while pos < raw.size:
        nd = int(raw[pos])
        dims = tuple(int(d) for d in raw[pos + 1:pos + 1 + nd])
        cplx = raw[pos + 1 + nd] != 0
        pos += nd + 2
        n = int(np.prod(dims)) * (2 if cplx else 1)
        v = raw[pos:pos + n]
        pos += n
        out.append((v.view(np.complex128) if cplx else v).reshape(dims, order="F"))
    return iter(out)


def same_bits(a, b):
    return a.shape == b.shape and a.dtype == b.dtype and np.array_equal(
        np.ascontiguousarray(a).view(np.uint64), np.ascontiguousarray(b).view(np.uint64))


@pytest.fixture(scope="module")
def octave_results(tmp_path_factory):
    need("grappa")
    octave = shutil.which("octave-cli")
    mex = build_dir() / "octave" / "grappa.mex"
    if octave is None or not mex.is_file():
        pytest.skip("no octave-cli or Octave grappa module")
    path = tmp_path_factory.mktemp("octave") / "grappa.bin"
    here = ROOT / "python" / "tests"
    subprocess.run([octave, "--no-gui", "--norc", "--quiet", "--eval",
                    f"addpath('{mex.parent}', '{ROOT / 'tests' / 'fixtures'}', '{here}'); "
                    f"grappa_fixture('{path}');"], check=True, capture_output=True, timeout=600)
    return read_arrays(path)


def test_grappa_equals_the_octave_module_bit_for_bit(octave_results, capsys):
    for _ in range(2):
        data, lines, k, img = (next(octave_results) for _ in range(4))
        kp, imgp, par = vtx.grappa([80, 64, 4], data, lines)
        # Octave stores a complex result whose imaginary parts are all 0 as real
        assert same_bits(kp, k) and same_bits(imgp.real, img) and not imgp.imag.any()
        par = par if isinstance(par, list) else [par]
        assert len(par) == int(next(octave_results)[0, 0])
        for kern in par:
            dk, pattern, coef = (next(octave_results) for _ in range(3))
            assert same_bits(kern["dk"], dk) and same_bits(kern["coef"], coef)
            assert kern["pattern"] == "".join(map(chr, pattern.astype(int).ravel()))


@pytest.fixture(scope="module")
def acquired():
    need("grappa")
    M, N, L = 64, 48, 4
    p = phantom(M, N, L)
    lines = np.unique(np.r_[1:N + 1:3, N // 2 - 5:N // 2 + 7])  # 1-based
    return p, lines.astype(float), (M, N, L)


def test_kernels_go_back_in_as_the_sixth_input(acquired):
    p, lines, (M, N, L) = acquired
    data = p["k"][:, lines.astype(int) - 1, :]
    k, img, par = vtx.grappa([M, N, L], data, lines[:, None])
    assert isinstance(par, vtx.StructList) and len(par) > 1 and par.dims == (len(par), 1)
    assert {e["pattern"] for e in par} >= {"*xo*", "*ox*"}  # R = 3
    # other data, sampled alike: the kernels apply without calibration
    k2, img2, par2 = vtx.grappa([M, N, L], 2 * data, lines[:, None], "2x5", None, par)
    assert np.allclose(k2, 2 * k, rtol=0, atol=1e-12 * np.abs(k).max())
    # a plain list of dicts serves as well
    k3 = vtx.grappa([M, N, L], data, lines[:, None], "2x5", None, list(par), nargout=1)
    assert np.array_equal(k3, k)
    rss = p["rss"]
    assert np.linalg.norm(img.real - rss) / np.linalg.norm(rss) < 0.05


def test_outputs_on_request(acquired):
    p, lines, (M, N, L) = acquired
    data = p["k"][:, lines.astype(int) - 1, :]
    assert vtx.grappa([M, N, L], data, lines[:, None], nargout=0) is None
    k = vtx.grappa([M, N, L], data, lines[:, None], nargout=1)
    assert k.shape == (M, N, L) and k.dtype == np.complex128
    k2, img = vtx.grappa([M, N, L], data, lines[:, None], nargout=2)
    assert np.array_equal(k2, k) and img.shape == (M, N)


@pytest.mark.parametrize("args, nargout, message", [
    (([64, 48, 4], None), 3, "At least 3 input arguments are required."),
    (([64, 48], "d", "l"), 3,
     "1st input: Need to declare a real 1-by-3 array for the output data size\n"),
    (([64, 48, 4], "d", "l"), 3,
     "3rd input: Need to declare a real M-by-1 array for the output data size"),
    (([64, 48, 4], "d", np.ones((3, 1))), 3,
     "2nd input: Need to declare a complex M-by-N-L array for the input data.\n"
     "\t (in:[ 1 1 1 ]) != (expected:[ 64 3 4 ]) \n"),
    (([64, 48, 4], "d", "l"), 4, "Too many output arguments."),
])
def test_refused_calls_raise_with_the_module_message(args, nargout, message, capsys):
    need("grappa")
    with pytest.raises(vtx.VtxError) as e:
        vtx.grappa(*args, nargout=nargout)
    assert e.value.message == message and e.value.module == "grappa"
    assert capsys.readouterr().out == message  # printed as well, as on a console


def test_framecal_kernels_keep_their_shape_into_grappa():
    need("framecal")
    need("grappa")
    M, L = 32, 4
    k = phantom(M, M, L)["k"]
    frames = np.stack([k, 0.5 * k], axis=2)  # M x N x Z x L, two frame sets
    _, _, par = vtx.framecal(frames, frames)
    assert isinstance(par, vtx.StructList) and par.dims == (1, 2)
    assert [e["pattern"] for e in par] == ["*x*", "*x*"]
    lines = np.arange(2.0, M + 1, 2)[:, None]
    odd = k[:, 1::2, :]
    # a 1-by-Z struct goes back as 1-by-Z: grappa uses its first frame set
    kz = vtx.grappa([M, M, L], odd, lines, "2x5", None, par, nargout=1)
    assert np.array_equal(kz, vtx.grappa([M, M, L], odd, lines, "2x5", None, par[0], nargout=1))
    assert np.abs(kz[:, 0::2]).max() > 0  # the missing lines were filled
