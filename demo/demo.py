#!/usr/bin/python3
"""The phantom reconstructed from Python: zero-filled (xform2), GRAPPA
(grappa) and coil-combined with estimated maps (coilsens), written as PNG
images into build/demo/python/ (or the folder given as the argument).

    make build && /usr/bin/python3 demo/demo.py
"""

import contextlib
import io
import struct
import sys
import zlib
from pathlib import Path

import numpy as np

root = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(root / "python"))
import vtx  # noqa: E402
from vtx.phantom import phantom  # noqa: E402


def write_png(path, img):
    """The magnitude of img as an 8-bit grey PNG scaled to its maximum,
    rows as image rows (as the Octave demo's imwrite)."""
    a = np.abs(img)
    if a.max() > 0:
        a = a / a.max()
    g = np.round(255 * a).astype(np.uint8)
    raw = b"".join(b"\0" + row.tobytes() for row in g)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", g.shape[1], g.shape[0],
                                                                  8, 0, 0, 0, 0)) +
                chunk(b"IDAT", zlib.compress(raw, 6)) + chunk(b"IEND", b""))


def nrmse(x, ref):
    return np.linalg.norm(np.abs(x) - ref) / np.linalg.norm(ref)


def main():
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "build" / "demo" / "python"
    out.mkdir(parents=True, exist_ok=True)
    M, N, L = 256, 256, 8
    p = phantom(M, N, L)
    lines = np.unique(np.r_[1:N + 1:2, N // 2 - 11:N // 2 + 13]).astype(float)  # R = 2, 24 centre
    acq = lines.astype(int) - 1
    quiet = contextlib.redirect_stdout(io.StringIO())  # the modules' progress lines

    # zero-filled: the centred k-space shifted back, then xform2 backwards
    zf = np.zeros((M, N, L), complex)
    zf[:, acq] = p["k"][:, acq]
    with quiet:
        coils_zf = vtx.xform2(np.fft.ifftshift(zf, axes=(0, 1)), "b")
    alias = np.sqrt((np.abs(coils_zf) ** 2).sum(axis=2))
    write_png(out / "zero_filled.png", alias)

    # grappa: kernels from the centre lines fill the missing ones
    kg, img, params = vtx.grappa([M, N, L], p["k"][:, acq], lines[:, None])
    write_png(out / "grappa_rss.png", img.real)

    # coilsens on the completed k-space (lines first), then the coil images
    # combined with the maps: sum(conj(S) x) / sum(|S|^2)
    with quiet:
        maps = vtx.coilsens(kg.transpose(1, 0, 2), np.arange(1.0, N + 1)[:, None], [N, M], 1)
        coils = vtx.xform2(np.fft.ifftshift(kg, axes=(0, 1)), "b")
    S = maps.transpose(1, 0, 2)
    w = (np.abs(S) ** 2).sum(axis=2)
    combined = np.where(w > 0, (np.conj(S) * coils).sum(axis=2) / np.where(w > 0, w, 1), 0)
    write_png(out / "coilsens_combined.png", combined)
    write_png(out / "coilsens_maps.png", np.block([[np.abs(S[:, :, 0]), np.abs(S[:, :, 1])],
                                                   [np.abs(S[:, :, 2]), np.abs(S[:, :, 3])]]))

    inside = p["img"] > 0.15
    print(f"demo: zero-filled nrmse {nrmse(alias, p['rss']):.3f}, "
          f"grappa R=2+24 nrmse {nrmse(img, p['rss']):.3f} ({len(params) if isinstance(params, list) else 1} kernel patterns), "
          f"coil-combined nrmse {nrmse(combined[inside], p['rss'][inside]):.3f} inside the object; "
          f"images in {out}")


if __name__ == "__main__":
    main()
