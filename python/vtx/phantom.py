"""The project's test phantom (tests/fixtures/vtx_phantom.m) in NumPy: a
multi-coil modified Shepp-Logan object with smooth complex coil maps."""

import numpy as np

# centre x, y, half-axes a, b, angle (degrees), intensity
_ELLIPSES = np.array([
    [0, 0, 0.69, 0.92, 0, 1.0],
    [0, -0.0184, 0.6624, 0.874, 0, -0.8],
    [0.22, 0, 0.11, 0.31, -18, -0.2],
    [-0.22, 0, 0.16, 0.41, 18, -0.2],
    [0, 0.35, 0.21, 0.25, 0, 0.1],
    [0, 0.1, 0.046, 0.046, 0, 0.1],
    [0, -0.1, 0.046, 0.046, 0, 0.1],
    [-0.08, -0.605, 0.046, 0.023, 0, 0.1],
    [0, -0.606, 0.023, 0.023, 0, 0.1],
    [0.06, -0.605, 0.023, 0.046, 0, 0.1]])


def phantom(M, N, L=8):
    """dict with img (M x N real object, rows = readout), maps (M x N x L
    coil sensitivities), coil (img * maps), k (centred k-space of each
    coil: ifft2(ifftshift(k)) = coil) and rss (root-sum-of-squares)."""
    y, x = np.meshgrid(np.linspace(1, -1, M), np.linspace(-1, 1, N), indexing="ij")
    img = np.zeros((M, N))
    for cx, cy, a, b, deg, v in _ELLIPSES:
        t = deg * np.pi / 180
        xr = (x - cx) * np.cos(t) + (y - cy) * np.sin(t)
        yr = -(x - cx) * np.sin(t) + (y - cy) * np.cos(t)
        img[(xr / a) ** 2 + (yr / b) ** 2 <= 1] += v
    maps = np.zeros((M, N, L), dtype=complex)
    for c in range(L):
        a = 2 * np.pi * c / L
        cx, cy = 1.3 * np.cos(a), 1.3 * np.sin(a)
        mag = np.exp(-((x - cx) ** 2 + (y - cy) ** 2) / (2 * 0.8 ** 2))
        ph = a + 0.6 * (x * np.cos(a + 0.5) + y * np.sin(a + 0.5))
        maps[:, :, c] = mag * np.exp(1j * ph)
    coil = img[:, :, None] * maps
    k = np.fft.fftshift(np.fft.fft2(coil, axes=(0, 1)), axes=(0, 1))
    return {"img": img, "maps": maps, "coil": coil, "k": np.asfortranarray(k),
            "rss": np.sqrt(np.sum(np.abs(coil) ** 2, axis=2))}
