"""mexhost through ctypes: loading modules, calling them, and the
conversions between NumPy values and host arrays.

Arrays go in as MATLAB sees them: column-major, with the shape of the NumPy
array as MATLAB sizes. The copy into the host array is the only one made,
whatever the memory order; complex128 values go into mexhost's interleaved
storage, which the modules built in build/mex-interleaved read in place.
"""

import ctypes
import math
import os
import sys
import threading
import warnings
from pathlib import Path

import numpy as np

# mxClassID values of mexhost/mex.h
_STRUCT, _LOGICAL, _CHAR, _DOUBLE, _SINGLE = 2, 3, 4, 6, 7
_INTS = {8: np.int8, 9: np.uint8, 10: np.int16, 11: np.uint16,
         12: np.int32, 13: np.uint32, 14: np.int64, 15: np.uint64}

# NumPy type -> (class, complex)
_CLASS_OF = {np.dtype(np.float64): (_DOUBLE, 0), np.dtype(np.complex128): (_DOUBLE, 1),
             np.dtype(np.float32): (_SINGLE, 0), np.dtype(np.complex64): (_SINGLE, 1),
             np.dtype(np.bool_): (_LOGICAL, 0)}
for _cls, _t in _INTS.items():
    _CLASS_OF[np.dtype(_t)] = (_cls, 0)
_DTYPE_OF = {v: k for k, v in _CLASS_OF.items()}

_TEXT_CONSOLE, _TEXT_WARNING = 0, 1


class VtxError(RuntimeError):
    """A call that returned without the outputs it was asked for.

    ``message`` holds the module's console text of the call, exactly as
    printed (also printed on sys.stdout); ``module`` names the module. The
    text of the exception is that message, or what was missing when the
    module printed nothing.
    """

    def __init__(self, module, message, missing=""):
        self.module = module
        self.message = message
        super().__init__(message.strip() or f"{module}: {missing or 'the call failed'}")


class VtxWarning(UserWarning):
    """A warning a module issued (mexWarnMsgTxt); the call carried on."""


class StructList(list):
    """A struct array as a list of dicts, one per element in column-major
    order. ``dims`` keeps its MATLAB sizes, so that it goes back into a
    module with the shape it came out with; a plain list of dicts goes in
    as an N-by-1 struct array."""

    def __init__(self, items=(), dims=None):
        super().__init__(items)
        self.dims = tuple(dims) if dims is not None else (len(self), 1)


_HOOK = ctypes.CFUNCTYPE(None, ctypes.c_int, ctypes.c_void_p, ctypes.c_size_t)
_call_state = threading.local()


def _on_text(kind, text, n):
    s = ctypes.string_at(text, n).decode("utf-8", "replace")
    if kind == _TEXT_WARNING:
        pending = getattr(_call_state, "warnings", None)
        if pending is None:
            warnings.warn(s, VtxWarning)
        else:
            pending.append(s)  # issued when the call has returned
    else:
        sys.stdout.write(s)


_on_text_c = _HOOK(_on_text)  # kept alive for as long as mexhost may call it


def find_build():
    """The folder holding libmexhost.so and mex-interleaved/: $VTX_BUILD, else
    the source tree's build/, else the libraries packaged beside vtx."""
    env = os.environ.get("VTX_BUILD")
    here = Path(__file__).resolve().parent
    places = [Path(env)] if env else [here.parents[1] / "build", here / "_lib"]
    for p in places:
        if (p / "libmexhost.so").is_file():
            return p
    return None


class Host:
    def __init__(self, build):
        self.build = Path(build)
        self.mex_dir = self.build / "mex-interleaved"
        lib = self.lib = ctypes.CDLL(str(self.build / "libmexhost.so"))
        P, S, I = ctypes.c_void_p, ctypes.c_size_t, ctypes.c_int
        sig = {
            "mexhost_load_module": (P, [ctypes.c_char_p, ctypes.c_char_p, S]),
            "mexhost_create_values": (P, [S, ctypes.POINTER(S), I, I, P]),
            "mexhost_values": (P, [P]),
            "mexhost_call": (None, [P, I, ctypes.POINTER(P), I, ctypes.POINTER(P)]),
            "mexhost_console": (ctypes.c_char_p, []),
            "mexhost_set_text_hook": (None, [_HOOK]),
            "mxCreateString": (P, [ctypes.c_char_p]),
            "mxCreateStructMatrix": (P, [S, S, I, ctypes.POINTER(ctypes.c_char_p)]),
            "mxSetFieldByNumber": (None, [P, S, I, P]),
            "mxDestroyArray": (None, [P]),
            "mxGetClassID": (I, [P]),
            "mxIsComplex": (ctypes.c_bool, [P]),
            "mxGetNumberOfDimensions": (S, [P]),
            "mxGetDimensions": (ctypes.POINTER(S), [P]),
            "mxGetNumberOfElements": (S, [P]),
            "mxGetString": (I, [P, ctypes.c_char_p, S]),
            "mxGetNumberOfFields": (I, [P]),
            "mxGetFieldNameByNumber": (ctypes.c_char_p, [P, I]),
            "mxGetFieldByNumber": (P, [P, S, I]),
        }
        for name, (res, args) in sig.items():
            f = getattr(lib, name)
            f.restype, f.argtypes = res, args
        lib.mexhost_set_text_hook(_on_text_c)
        self.functions = {}
        self.locks = {}
        self.load_lock = threading.Lock()

    # Modules

    def path(self, name):
        return self.mex_dir / f"{name}.so"

    def function(self, name):
        with self.load_lock:
            if name not in self.functions:
                path = self.path(name)
                if not path.is_file():
                    raise VtxError(name, f"{name}: module not built ({path} is missing)")
                why = ctypes.create_string_buffer(1024)
                fn = self.lib.mexhost_load_module(str(path).encode(), why, len(why))
                if not fn:
                    raise VtxError(name, f"{name}: {why.value.decode(errors='replace')}")
                self.functions[name] = fn
                # Modules keep process-wide values: one call at a time each.
                self.locks[name] = threading.Lock()
            return self.functions[name], self.locks[name]

    def call(self, name, args, nargout):
        fn, lock = self.function(name)
        ins = []
        try:
            for a in args:
                ins.append(self.to_host(a))
            prhs = (ctypes.c_void_p * max(len(ins), 1))(*ins)
            plhs = (ctypes.c_void_p * max(nargout, 1))()
            _call_state.warnings = []
            with lock:
                self.lib.mexhost_call(fn, nargout, plhs, len(ins), prhs)
                console = self.lib.mexhost_console().decode("utf-8", "replace")
        finally:
            for a in ins:
                self.lib.mxDestroyArray(a)
        pending, _call_state.warnings = _call_state.warnings, None
        for w in pending:
            warnings.warn(w, VtxWarning, stacklevel=3)  # at the caller of vtx.<name>
        outs = list(plhs)
        try:
            got = sum(1 for k in range(nargout) if outs[k])
            if got < nargout:
                raise VtxError(name, console,
                               f"the call returned {got} of the {nargout} outputs asked for")
            return [self.from_host(outs[k]) for k in range(nargout)]
        finally:
            for a in outs:
                if a:
                    self.lib.mxDestroyArray(a)

    # Python and NumPy values -> host arrays (the caller destroys them)

    def to_host(self, x):
        if x is None:
            return self.values(np.zeros((0, 0)))
        if isinstance(x, str):
            b = x.encode("utf-8")
            if b"\0" in b:
                raise ValueError("a text passed to a module cannot hold NUL characters")
            return self.checked(self.lib.mxCreateString(b))
        if isinstance(x, dict):
            return self.struct([x], (1, 1))
        if isinstance(x, (list, tuple)) and x and all(isinstance(e, dict) for e in x):
            dims = getattr(x, "dims", None)
            if dims is None or len(dims) != 2 or math.prod(dims) != len(x):
                dims = (len(x), 1)
            return self.struct(list(x), dims)
        return self.values(as_array(x))

    def checked(self, a):
        if not a:
            raise MemoryError("mexhost could not create an array")
        return a

    def values(self, arr):
        cls, cplx = _CLASS_OF[arr.dtype]
        dims = arr.shape if arr.ndim >= 2 else (1, arr.size)  # MATLAB's row for 1-D
        cdims = (ctypes.c_size_t * len(dims))(*dims)
        if arr.flags.f_contiguous:
            data = arr.ctypes.data if arr.size else None
            return self.checked(self.lib.mexhost_create_values(len(dims), cdims, cls, cplx, data))
        # Any other order: one pass from the NumPy layout into the host's.
        a = self.checked(self.lib.mexhost_create_values(len(dims), cdims, cls, cplx, None))
        ptr = self.lib.mexhost_values(a)
        if not ptr:
            self.lib.mxDestroyArray(a)
            raise MemoryError("mexhost could not hold the values")
        buf = (ctypes.c_char * arr.nbytes).from_address(ptr)
        np.frombuffer(buf, dtype=arr.dtype).reshape(arr.shape, order="F")[...] = arr
        return a

    def struct(self, items, dims):
        names = []
        for d in items:
            for k in d:
                if not isinstance(k, str):
                    raise TypeError(f"struct field names must be str, not {type(k).__name__}")
                if k not in names:
                    names.append(k)
        cnames = (ctypes.c_char_p * max(len(names), 1))(*[n.encode() for n in names])
        s = self.checked(self.lib.mxCreateStructMatrix(dims[0], dims[1], len(names), cnames))
        try:
            for i, d in enumerate(items):
                for f, n in enumerate(names):
                    # A field an element lacks is [], as MATLAB fills it.
                    self.lib.mxSetFieldByNumber(s, i, f, self.to_host(d.get(n)))
        except BaseException:
            self.lib.mxDestroyArray(s)
            raise
        return s

    # Host arrays -> Python and NumPy values (copies; the host array stays)

    def from_host(self, a):
        if not a:
            return None
        lib = self.lib
        cls = lib.mxGetClassID(a)
        pd = lib.mxGetDimensions(a)
        dims = tuple(pd[k] for k in range(lib.mxGetNumberOfDimensions(a)))
        n = lib.mxGetNumberOfElements(a)
        if cls == _CHAR:
            buf = ctypes.create_string_buffer(n + 1)
            lib.mxGetString(a, buf, n + 1)
            return buf.value.decode("utf-8", "replace")
        if cls == _STRUCT:
            nf = lib.mxGetNumberOfFields(a)
            names = [lib.mxGetFieldNameByNumber(a, f).decode() for f in range(nf)]
            items = [{names[f]: self.from_host(lib.mxGetFieldByNumber(a, i, f)) for f in range(nf)}
                     for i in range(n)]
            return items[0] if dims == (1, 1) else StructList(items, dims)
        dtype = _DTYPE_OF.get((cls, int(lib.mxIsComplex(a))))
        if dtype is None:
            raise TypeError(f"an output of class id {cls} has no NumPy form")
        out = np.empty(dims, dtype=dtype, order="F")
        if n:
            ptr = lib.mexhost_values(a)
            if not ptr:
                raise MemoryError("mexhost could not hand over the values")
            ctypes.memmove(out.ctypes.data, ptr, out.nbytes)
        return out


def as_array(x):
    """Plain Python numbers and lists are MATLAB literals: double (complex
    when any is complex). NumPy arrays and scalars keep their type."""
    if isinstance(x, (np.ndarray, np.generic)):
        arr = np.asarray(x)
    else:
        arr = np.asarray(x)
        if arr.size == 0 and arr.ndim == 1:
            arr = arr.reshape(0, 0)  # [] as in MATLAB
        if arr.dtype.kind in "biuf":
            arr = arr.astype(np.float64)
        elif arr.dtype.kind == "c":
            arr = arr.astype(np.complex128)
    if not arr.dtype.isnative:
        arr = arr.astype(arr.dtype.newbyteorder("="))
    if arr.dtype not in _CLASS_OF:
        raise TypeError(f"no host class for NumPy type {arr.dtype}")
    return arr
