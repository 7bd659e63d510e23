import os
import sys
from pathlib import Path

import numpy as np
import pytest

# The package from this source tree, over the build named by VTX_BUILD
# (CTest passes its own) or the tree's build/.
sys.path.insert(0, str(Path(__file__).resolve().parents[1]))
import vtx  # noqa: E402

ROOT = Path(__file__).resolve().parents[2]


def need(name):
    """Skips the test when the module is not built yet."""
    if name not in vtx.available():
        pytest.skip(f"{name} is not built")


@pytest.fixture
def rng():
    return np.random.default_rng(7)


def crandn(rng, *shape):
    return rng.standard_normal(shape) + 1j * rng.standard_normal(shape)


def build_dir():
    return Path(os.environ.get("VTX_BUILD", ROOT / "build"))
