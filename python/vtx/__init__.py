"""vtx: the toolkit's MRI reconstruction functions for Python and NumPy.

Every function takes the MATLAB call form of its module, e.g.

    kspace, image, params = vtx.grappa([M, N, L], data, lines[:, None])

and returns all its outputs (a single value for one output, None for none),
or as many as ``nargout=`` asks for. The modules run in mexhost, the
project's own host of MEX modules; no MATLAB or Octave is involved.

Inputs become host arrays with the NumPy shape as MATLAB sizes, in any
memory order: float64 and complex128 are MATLAB's double, other NumPy types
their own class (so the module's class checks speak); a 0-d value is 1-by-1
and a 1-D array of n values a 1-by-n row, as MATLAB writes [a b c] (use
x[:, None] for a column). Plain Python numbers and lists are doubles,
str is char, dict a 1-by-1 struct, a list of dicts an N-by-1 struct array,
None an empty double. Outputs come back as NumPy arrays of the MATLAB sizes
(two dimensions at least, column-major), char as str, a 1-by-1 struct as a
dict and other struct arrays as a StructList of dicts.

A call that returns without the outputs it was asked for raises VtxError
with the module's message; the modules' console text goes to sys.stdout as
it is printed, their warnings become VtxWarning, and the library's own
lines stay on the standard error stream. Calls into one module are
serialised; calls into different modules may run in parallel threads.
"""

import threading
from pathlib import Path

from ._host import Host, StructList, VtxError, VtxWarning, find_build
from ._table import MODULES

__all__ = ["VtxError", "VtxWarning", "StructList", "available", "build_dir"] + sorted(MODULES)
__version__ = "0.1.0"

_host = None
_host_lock = threading.Lock()


def _get_host():
    global _host
    with _host_lock:
        if _host is None:
            build = find_build()
            if build is None:
                raise VtxError("vtx", "vtx: mexhost not found: run make, or set VTX_BUILD to the "
                               "build folder holding libmexhost.so and mex-interleaved/")
            _host = Host(build)
        return _host


def build_dir():
    """The build folder the modules are loaded from, or None."""
    return find_build()


def available():
    """Names of the functions whose modules are built, in table order."""
    build = find_build()
    if build is None:
        return []
    return [m for m in MODULES if (build / "mex-interleaved" / f"{m}.so").is_file()]


def _help(name):
    """The module's MATLAB help text, from the source tree or beside the
    package (make python copies it), or None."""
    here = Path(__file__).resolve().parent
    for p in (here.parents[1] / "matlab" / f"{name}.m", here / "_lib" / "help" / f"{name}.m"):
        if p.is_file():
            text = []
            for line in p.read_text(errors="replace").splitlines():
                if not line.startswith("%"):
                    break
                text.append(line[1:])
            return "\n".join(text)
    return None


def _function(name, nout, form):
    def call(*args, nargout=None):
        n = nout if nargout is None else nargout
        if not isinstance(n, int) or isinstance(n, bool) or n < 0:
            raise ValueError(f"nargout must be a count of outputs, not {n!r}")
        out = _get_host().call(name, args, n)
        if n == 0:
            return None
        return out[0] if n == 1 else tuple(out)

    call.__name__ = call.__qualname__ = name
    text = _help(name)
    call.__doc__ = (f"{form}\n\nThe module {name} in its MATLAB call form; returns {nout} "
                    f"output{'s' if nout > 1 else ''} unless nargout= asks for another count.\n\n"
                    + (f"The module's MATLAB help:\n\n{text}" if text else
                       f"Inputs, outputs and messages: matlab/{name}.m."))
    return call


for _name, (_nout, _form) in MODULES.items():
    globals()[_name] = _function(_name, _nout, _form)
del _name, _nout, _form
